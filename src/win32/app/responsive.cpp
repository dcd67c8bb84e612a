// The window stays alive while a Hunt streams in. Each socket notification
// the core handles makes Winsock post the next one, so the thread's queue
// never runs dry, and Windows hands out input, painting and timers only
// when no posted message waits: without help, clicks, redraws and the
// activity indicator would all wait for the last download. So after each
// delivery to the core, input, paint and timer messages that are waiting
// are handed out here. Whatever they start that would open a modal window
// is posted to run from the dialog's own loop instead (see InsideDelivery).
#include "app/main_messages.h"
#include "win32/app/gui.h"

namespace gui {

namespace {

bool g_in_delivery = false;
DWORD g_last_pump = 0;

// Often enough for typing and for a smooth indicator, seldom enough that
// the queries cost nothing next to the downloads.
constexpr DWORD kPumpIntervalMs = 20;
// A burst of input is handed out in pieces, so downloads go on meanwhile.
constexpr int kMaxPumpedMessages = 64;

bool IsDialog(HWND hwnd) {
  char cls[8] = "";
  return GetClassNameA(hwnd, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0;
}

void PumpWaitingWindowMessages() {
  // The rows and texts set so far are drawn with this round.
  ResumeRedraw();
  FlushStatusBar();
  MSG m;
  // Timer ticks only join the core's queue: they are delivered after this.
  while (PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageA(&m);
  for (int n = 0; n < kMaxPumpedMessages; ++n) {
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_PAINT)) break;
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialog(root) && IsDialogMessageA(root, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

}  // namespace

bool InsideDelivery() {
  return g_in_delivery;
}

void DeliverToCore(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  g_in_delivery = true;
  HandleMainMessage(msg, w, l);
  const DWORD now = GetTickCount();
  if (now - g_last_pump >= kPumpIntervalMs) {
    g_last_pump = now;
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0) PumpWaitingWindowMessages();
  }
  g_in_delivery = false;
}

}  // namespace gui
