// The POSIX adapter: one poll() loop that is both the host loop and the
// socket layer, with c-ares for host look-ups. It posts the same messages,
// with the same parameters, as Winsock's WSAAsyncSelect and
// WSAAsyncGetHostByName do on Windows.
#pragma once

#include <ares.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/host.h"
#include "platform/net.h"

namespace posix {

// The Winsock error number for an errno value.
int WsaError(int err);

class PosixAdapter : public platform::Net, public platform::Host {
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
  std::optional<platform::Ipv4> LookupResult(platform::AsyncTask task) override;
  platform::Ipv4 InetAddr(const std::string& text) override;
  int LastError() override { return last_error_; }

  // platform::Host
  void SetHandler(platform::MessageHandler handler) override;
  bool PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) override;
  bool SetTimer(unsigned id, unsigned period_ms) override;
  void KillTimer(unsigned id) override;
  bool Run(unsigned timeout_ms = 0) override;
  void Quit() override;

 private:
  using Clock = std::chrono::steady_clock;

  // One entry of the loop's queue. Socket notifications name their socket
  // and look-up answers their task, so that closing or cancelling can take
  // them back out before they are delivered.
  struct Queued {
    unsigned msg;
    std::uintptr_t w;
    std::intptr_t l;
    platform::Socket socket;   // 0 unless a socket notification
    platform::AsyncTask task;  // 0 unless a look-up answer
    bool timer;                // a tick of timer w
  };
  struct SocketState {
    unsigned message = 0;  // of the AsyncSelect registration
    long events = 0;
    bool connecting = false;  // connect started, outcome not yet seen
    bool connected = false;   // connect succeeded: reads may be announced
    bool read_armed = true;   // no FD_READ pending since the last recv
  };
  struct Timer {
    unsigned period_ms;
    Clock::time_point due;
  };
  // A look-up handed to c-ares; it lives until c-ares calls back, even when
  // cancelled meanwhile (c-ares keeps a pointer to it).
  struct Lookup {
    PosixAdapter* adapter;
    platform::AsyncTask task;
    unsigned message;
    bool cancelled;
  };
  struct Answer {
    platform::AsyncTask task;
    std::optional<platform::Ipv4> address;
  };

  int Fail(int error);
  SocketState* Find(platform::Socket s);
  void Enqueue(const Queued& q);
  void DropQueued(platform::Socket s, platform::AsyncTask task);
  void FinishLookup(platform::AsyncTask task, unsigned message, int error,
                    std::optional<platform::Ipv4> address);
  static void OnAresSocket(void* data, ares_socket_t fd, int readable, int writable);
  static void OnAresHost(void* arg, int status, int timeouts, struct hostent* host);
  bool StartResolver();
  void StopResolver();
  // Waits at most wait_ms for sockets, timers and look-ups and queues what
  // happened.
  void PollOnce(int wait_ms);
  void QueueDueTimers(Clock::time_point now);

  bool started_ = false;
  int last_error_ = 0;
  std::map<platform::Socket, SocketState> sockets_;
  std::deque<Queued> queue_;
  std::map<unsigned, Timer> timers_;
  platform::MessageHandler handler_;
  bool quit_ = false;

  ares_channel channel_ = nullptr;
  std::map<int, short> ares_fds_;  // c-ares's sockets and the poll events they want
  platform::AsyncTask next_task_ = 0;
  std::map<platform::AsyncTask, std::unique_ptr<Lookup>> lookups_;  // running
  std::map<unsigned, Answer> answers_;  // latest answer per look-up message
};

}  // namespace posix
