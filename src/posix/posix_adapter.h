// The POSIX adapter: one poll() loop that is both the host loop and the
// socket layer, with c-ares for host look-ups. It posts the same messages,
// with the same parameters, as Winsock's WSAAsyncSelect and
// WSAAsyncGetHostByName do on Windows.
#pragma once

#include <ares.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/event_queue.h"

namespace posix {

// The Winsock error number for an errno value.
int WsaError(int err);

class PosixAdapter : public platform::OsAdapter {
 public:
  PosixAdapter();
  ~PosixAdapter() override;
  PosixAdapter(const PosixAdapter&) = delete;
  PosixAdapter& operator=(const PosixAdapter&) = delete;

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
  using Clock = platform::EventQueue::Clock;

  struct SocketState {
    unsigned message = 0;  // of the AsyncSelect registration
    long events = 0;
    bool connecting = false;    // connect started, outcome not yet seen
    bool connected = false;     // connect succeeded: reads may be announced
    bool read_armed = true;     // no FD_READ pending since the last recv
    bool close_posted = false;  // FD_CLOSE went out for this registration
  };
  // A look-up handed to c-ares; it lives until c-ares calls back, even when
  // cancelled meanwhile (c-ares keeps a pointer to it).
  struct Lookup {
    PosixAdapter* adapter;
    platform::AsyncTask task;
    unsigned message;
    bool cancelled;
  };

  int Fail(int error);
  SocketState* Find(platform::Socket s);
  static void OnAresSocket(void* data, ares_socket_t fd, int readable, int writable);
  static void OnAresHost(void* arg, int status, int timeouts, struct hostent* host);
  bool StartResolver();
  void StopResolver();
  // Waits at most wait_ms for sockets, timers and look-ups and queues what
  // happened.
  void PollOnce(int wait_ms);

  bool started_ = false;
  int last_error_ = 0;
  std::map<platform::Socket, SocketState> sockets_;

  ares_channel channel_ = nullptr;
  std::map<int, short> ares_fds_;  // c-ares's sockets and the poll events they want
  platform::AsyncTask next_task_ = 0;
  std::map<platform::AsyncTask, std::unique_ptr<Lookup>> lookups_;  // running
};

}  // namespace posix
