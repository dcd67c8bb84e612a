// Installing the operating system's own network and loop. Defined by the
// adapter library (torvane_adapter): Winsock and a message-only window on
// Windows, poll() and c-ares elsewhere. Programs and tests that use real
// sockets link it; the core alone does not need it.
#pragma once

namespace platform {

// Creates the adapter and installs it as net() and host(); true on success.
// Installing again first removes the previous one.
bool InstallOsAdapter();
// Cleans the adapter up (closes its sockets, drops what is queued) and puts
// the defaults back.
void RemoveOsAdapter();

}  // namespace platform
