// What torvane-cli needs from the operating system besides the network:
// Ctrl-C as a request to cancel the Hunt, and opening the report with the
// system's default program. Defined by the adapter library (src/posix,
// src/win32/net), so the core itself stays free of OS calls.
#pragma once

#include <string>

namespace platform {

// From now on Ctrl-C (SIGINT, or the console's Ctrl-C and Ctrl-Break)
// only raises a flag instead of ending the process.
void InstallCancelSignal();
// Takes the ordinary Ctrl-C behaviour back.
void RemoveCancelSignal();
// True once Ctrl-C has been pressed since InstallCancelSignal.
bool CancelSignalled();
// Opens path (a file below the working directory) with the user's default
// program without waiting for it; false when that could not be started.
bool OpenWithDefaultProgram(const std::string& path);

}  // namespace platform
