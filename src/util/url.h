// Which hit locations the program hands on: a report link, the window's
// Download action and `torvane-cli hunt --open` all take the same view.
#pragma once

#include <string>

// True when the location begins with "ftp://", "http://" or "https://" (in
// any case). A location comes from an engine's page, so anything else (a
// "javascript:" address that only holds "ftp://" further on, a file path)
// is shown as text and never opened.
bool IsOpenableLocation(const std::string& location);
bool IsOpenableLocation(const char* location);
