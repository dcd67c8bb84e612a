// The one way a connection's progress is shown: the status bar, the status
// dialog's line for the slot, and the slot's kept status text.
#pragma once

#include <string>

constexpr int kMaxSlots = 20;

// The latest status text of each slot (one blank, then the message).
extern std::string g_slot_status[kMaxSlots];
// Status dialog lines enabled since the dialog opened.
extern bool g_slot_line_enabled[kMaxSlots];

// Formats like printf and shows the text for one slot, or for every slot
// in use when slot is -1. A text that may hold "%" must be doubled first.
void SetSlotStatus(int slot, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
