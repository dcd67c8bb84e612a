#include "hunt/slot_status.h"

#include <cstdarg>
#include <cstdio>

#include "platform/ui.h"
#include "settings/settings.h"
#include "util/text.h"

std::string g_slot_status[kMaxSlots];
bool g_slot_line_enabled[kMaxSlots];

namespace {

void ShowForSlot(int slot, const std::string& text) {
  auto& ui = platform::ui();
  const bool dialog = ui.IsOpen(platform::kStatusDialog);
  if (dialog) ui.SetText(platform::kStatusDialog, IDC_STATUS_LINE_FIRST + slot, text);
  g_slot_status[slot] = text;
  if (dialog && !g_slot_line_enabled[slot]) {
    ui.Enable(platform::kStatusDialog, IDC_STATUS_LINE_FIRST + slot, true);
    g_slot_line_enabled[slot] = true;
  }
}

}  // namespace

void SetSlotStatus(int slot, const char* fmt, ...) {
  if (!fmt || slot >= kMaxSlots) return;
  // One blank, then at most 179 characters of the message.
  char buf[181];
  buf[0] = ' ';
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf + 1, 180, fmt, ap);
  va_end(ap);
  const std::string text(buf);
  auto& ui = platform::ui();
  ui.StatusBar(1, text);
  if (slot >= 0) {
    ui.StatusBar(0, IntToText(slot));
    ShowForSlot(slot, text);
    ui.SlotStatus(slot, text);
  } else {
    ui.StatusBar(0, "*");
    int in_use = g_settings.packcount;
    if (in_use < 1) in_use = 1;
    if (in_use > kMaxSlots) in_use = kMaxSlots;
    for (int i = 0; i < in_use; ++i) ShowForSlot(i, text);
    ui.SlotStatus(-1, text);
  }
}
