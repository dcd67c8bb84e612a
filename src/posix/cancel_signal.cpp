// Ctrl-C for torvane-cli on POSIX systems, and opening the report with
// xdg-open.
#include <signal.h>
#include <spawn.h>

#include <csignal>
#include <string>

#include "app/console.h"

extern char** environ;

namespace platform {

namespace {

volatile std::sig_atomic_t g_cancel = 0;
struct sigaction g_previous;
bool g_installed = false;

extern "C" void OnSigint(int) {
  g_cancel = 1;
}

}  // namespace

void InstallCancelSignal() {
  g_cancel = 0;
  struct sigaction sa = {};
  sa.sa_handler = OnSigint;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a waiting poll() returns at once and the loop looks.
  sa.sa_flags = 0;
  if (sigaction(SIGINT, &sa, &g_previous) == 0) g_installed = true;
}

void RemoveCancelSignal() {
  if (g_installed) sigaction(SIGINT, &g_previous, nullptr);
  g_installed = false;
}

bool CancelSignalled() {
  return g_cancel != 0;
}

bool OpenWithDefaultProgram(const std::string& path) {
  pid_t pid = 0;
  std::string program = "xdg-open";
  std::string arg = path;
  char* argv[] = {program.data(), arg.data(), nullptr};
  // Not waited for: the browser may stay open long after the Hunt.
  return posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) == 0;
}

}  // namespace platform
