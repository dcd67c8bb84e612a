// The Win32 adapter: Winsock 1.1's asynchronous calls posting to a window,
// and that window's message loop as the host loop.
//
// Winsock posts its notifications with private message numbers, one per
// socket and one for look-ups; the adapter translates them into the
// messages the core registered (1091, 1092, 1332 + slot) and hands them,
// with the core's own posted messages and timer ticks, to the core's handler
// in arrival order. A private number that no longer belongs to an open
// socket is dropped, so a late notification of a closed socket never reaches
// a new socket that Winsock gave the same handle.
//
// Deliveries to the handler never nest: when the handler itself pumps
// messages (a message box, a DDE wait), what arrives meanwhile is kept and
// handed over when the handler returns.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/event_queue.h"

namespace win32 {

class Win32Adapter : public platform::OsAdapter {
 public:
  // With no target the adapter makes its own message-only window (console
  // programs, tests). With a target (the GUI's main window) everything is
  // posted there, and that window's procedure must first offer each message
  // to HandleWindowMessage.
  explicit Win32Adapter(HWND target = nullptr);
  ~Win32Adapter() override;
  Win32Adapter(const Win32Adapter&) = delete;
  Win32Adapter& operator=(const Win32Adapter&) = delete;

  // True when the message was the adapter's (then it has been dealt with).
  bool HandleWindowMessage(UINT msg, WPARAM w, LPARAM l);
  HWND window() const { return hwnd_; }

  // platform::Net
  int Startup() override;
  void Cleanup() override;
  platform::Socket OpenSocket() override;
  int Connect(platform::Socket s, platform::Ipv4 address, std::uint16_t port) override;
  int Send(platform::Socket s, const char* data, int len) override;
  int Recv(platform::Socket s, char* buf, int len, int flags) override;
  int Close(platform::Socket s) override;
  int AsyncSelect(platform::Socket s, unsigned message, long events) override;
  platform::AsyncTask AsyncGetHostByName(unsigned message, const std::string& name) override;
  int CancelAsyncRequest(platform::AsyncTask task) override;
  platform::Ipv4 InetAddr(const std::string& text) override;
  int LastError() override { return last_error_; }

  // platform::Host
  bool SetTimer(unsigned id, unsigned period_ms) override;
  void KillTimer(unsigned id) override;
  bool Run(unsigned timeout_ms = 0) override;

 private:
  struct SocketState {
    UINT private_msg;          // what Winsock posts for this socket
    unsigned connect_msg = 0;  // the core's message for FD_CONNECT
    unsigned read_msg = 0;     // the core's message for FD_READ and FD_CLOSE
    long events = 0;
  };
  // Winsock writes the host entry into the buffer from another thread and
  // may do so even after a cancel (Wine's cancel does nothing), so the
  // buffer lives until the answer has arrived.
  struct Lookup {
    unsigned message;
    std::vector<char> hostent;
    bool cancelled;
  };

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
  int Fail();
  UINT NextPrivateMessage();
  // Posts the window a reminder to deliver, unless one is on its way or the
  // handler is running.
  void Wake();
  void OnSocketMessage(UINT msg, WPARAM w, LPARAM l);
  void OnLookupMessage(WPARAM w, LPARAM l);

  HWND hwnd_ = nullptr;
  bool own_window_ = false;
  int startups_ = 0;
  int last_error_ = 0;
  std::map<platform::Socket, SocketState> sockets_;
  std::map<UINT, platform::Socket> by_private_msg_;
  UINT next_private_ = 0;
  std::map<HANDLE, Lookup> lookups_;
  bool drain_posted_ = false;
};

// For the GUI: installs an adapter that posts to the main window (see
// HandleWindowMessage); null when it can't. RemoveOsAdapter removes it.
Win32Adapter* InstallWin32Adapter(HWND target);

}  // namespace win32
