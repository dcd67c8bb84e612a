#include "app/main_messages.h"

#include "app/find.h"
#include "hunt/controller.h"
#include "platform/host.h"
#include "platform/net.h"
#include "platform/ui.h"
#include "update/catalogue_upgrade.h"

namespace {

constexpr int kIndicatorWidth = 19;
// The Online Version Check dialog shows the indicator while it waits.
constexpr int kVersionDialogFields[] = {IDC_LATEST_VERSION, IDC_LATEST_BUILD, IDC_LATEST_DATABASE};

int g_indicator_pos = 0;
int g_indicator_dir = 1;

void OnPollTimer() {
  const std::string indicator = NextActivityIndicator();
  auto& ui = platform::ui();
  ui.SetText(platform::kMainWindow, IDC_ENGINE_COUNT, indicator);
  if (ui.IsOpen(platform::kVersionDialog)) {
    for (int id : kVersionDialogFields) ui.SetText(platform::kVersionDialog, id, indicator);
  }
  PollSlots();
}

}  // namespace

std::string NextActivityIndicator() {
  std::string text(kIndicatorWidth, ' ');
  text[static_cast<std::size_t>(g_indicator_pos)] = '\x7f';
  g_indicator_pos += g_indicator_dir;
  if (g_indicator_pos > kIndicatorWidth - 1) {
    g_indicator_dir = -1;
    g_indicator_pos = kIndicatorWidth - 2;
  } else if (g_indicator_pos < 0) {
    g_indicator_dir = 1;
    g_indicator_pos = 1;
  }
  return text;
}

void ResetActivityIndicator() {
  g_indicator_pos = 0;
  g_indicator_dir = 1;
}

bool HandleMainMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  if (platform::IsLookupMessage(msg)) {
    OnHostLookupDone(static_cast<int>(msg - platform::kMsgLookupDoneBase), w,
                     platform::AsyncError(l));
    return true;
  }
  switch (msg) {
    case platform::kMsgConnectionEvent:
      OnConnectionEvent(w, platform::SelectError(l));
      return true;
    case platform::kMsgDataEvent:
      if (platform::SelectEvent(l) == platform::kFdClose) {
        OnCloseEvent(w, platform::SelectError(l));
      } else {
        OnDataEvent(w, platform::SelectError(l));
      }
      return true;
    case platform::kMsgStartNext:
      OnStartNext();
      return true;
    case kMsgRunOver:
      OnRunOver(w);
      return true;
    case kMsgCatalogueRunOver:
      EndCatalogueUpgrade(w != 0);
      return true;
    case platform::kWmTimer:
      // A tick that was already on its way when the run ended is dropped.
      if (w == kPollTimer) {
        if (g_hunt.poll_timer) OnPollTimer();
        return true;
      }
      if (w == kTimeoutTimer) {
        if (g_hunt.timeout_timer) TimeoutTick();
        return true;
      }
      return false;
    case kWmCommand:
      switch (static_cast<int>(w & 0xFFFF)) {
        case IDC_CANCEL:
          Cancel();
          return true;
        case IDC_FIND:
          Find();
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}
