// The main window's routing of socket messages, the "start next" and "run
// over" messages, the two Hunt timers and the Find and Cancel commands. The
// Win32 window procedure and torvane-cli's loop both hand their messages to
// it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ids.h"

constexpr unsigned kWmCommand = 273;

// True when the message was one of the above and has been handled.
bool HandleMainMessage(unsigned msg, std::uintptr_t w, std::intptr_t l);

// The activity indicator: 19 blanks with character 127 at a position that
// runs 0, 1, ..., 18, 17, ..., 0, 1, ... Returns the text and moves on.
std::string NextActivityIndicator();
// Back to position 0, moving right.
void ResetActivityIndicator();
