// Clipboard and wait cursor: the two desktop helpers every part of the
// window uses.
#include <cstring>

#include "win32/app/gui.h"
#include "win32/app/handles.h"

namespace gui {

namespace {
// The cursor the hourglass replaced; null while no hourglass is shown.
HCURSOR g_cursor_before_wait = nullptr;
bool g_waiting = false;
}  // namespace

bool CopyToClipboard(HWND owner, const std::string& text) {
  // Shareable and movable, as the clipboard wants its memory; a little
  // slack behind the terminator.
  UniqueGlobal mem(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, text.size() + 10));
  if (!mem) return false;
  ClipboardSession clipboard(owner);
  if (!clipboard.open()) return false;
  EmptyClipboard();
  void* p = GlobalLock(mem.get());
  if (!p) return false;
  std::memcpy(p, text.c_str(), text.size() + 1);
  GlobalUnlock(mem.get());
  if (!SetClipboardData(CF_TEXT, mem.get())) return false;
  mem.release();  // the clipboard owns it now
  return true;
}

bool WaitCursorOn() {
  // Nested use keeps the cursor from before the first call.
  if (g_waiting) return false;
  g_cursor_before_wait = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  g_waiting = true;
  return true;
}

bool WaitCursorOff() {
  if (!g_waiting) return false;
  SetCursor(g_cursor_before_wait);
  g_cursor_before_wait = nullptr;
  g_waiting = false;
  return true;
}

}  // namespace gui
