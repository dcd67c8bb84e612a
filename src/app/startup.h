// The program's start-up and shut-down around the main window, and the
// start-up of the network that every Find and the version check run.
#pragma once

struct AppState {
  int winsock_failures = 0;  // raised by the first failed network start-up
  int network_started = 0;   // a start-up has succeeded (one Cleanup is owed)
};

extern AppState g_app;

// Loads torva.ini, engines.dat and search.idx, in this order, lets the front
// end find the browser, and clears the query history and the slot tables. The loaders report their
// own errors; none of them stops the program.
void StartUp();
// After the main window exists: the project named by torva.ini (or
// "default.tvs" when none is named) is loaded.
void LoadStartupProject();
// 1 when sockets are usable (or a failed start-up is not to be retried), 0
// when the start-up has just failed (after the error box).
int NetworkStartup();
// Frees what the program holds for the main window's lists and fields (the
// catalogue, hits, seen-URL tree, engines, settings texts, query and
// history); the window calls it once no row of its lists is left.
void FreeProgramState();
// Stops a running Hunt, saves the settings and the project, closes the
// slots' sockets and cleans the network up.
void ShutDown();
