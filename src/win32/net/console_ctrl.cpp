// Ctrl-C for torvane-cli.exe, and opening the report with the program
// Windows associates with it.
#include <windows.h>

#include <atomic>
#include <string>

#include "app/console.h"

namespace platform {

namespace {

std::atomic<bool> g_cancel{false};
bool g_installed = false;

// Runs on a thread of its own that the console starts; it only sets the flag
// the Hunt's loop looks at.
BOOL WINAPI OnConsoleCtrl(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    g_cancel = true;
    return TRUE;
  }
  return FALSE;
}

using ShellExecuteAFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

}  // namespace

void InstallCancelSignal() {
  g_cancel = false;
  g_installed = SetConsoleCtrlHandler(OnConsoleCtrl, TRUE) != 0;
}

void RemoveCancelSignal() {
  if (g_installed) SetConsoleCtrlHandler(OnConsoleCtrl, FALSE);
  g_installed = false;
}

bool CancelSignalled() {
  return g_cancel;
}

bool OpenWithDefaultProgram(const std::string& path) {
  // shell32 is loaded only when asked for, so the tool starts without it.
  HMODULE shell = LoadLibraryA("shell32.dll");
  if (!shell) return false;
  auto open = reinterpret_cast<ShellExecuteAFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteA")));
  bool ok = false;
  if (open) {
    // ShellExecute reports success with a value above 32.
    ok = reinterpret_cast<INT_PTR>(
             open(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
  }
  // shell32 stays loaded: ShellExecute may leave work running inside it.
  return ok;
}

}  // namespace platform
