// What the operating system adapters share: the queue of messages waiting
// for the core's handler, the timers whose ticks join it, the look-up
// answers that came with it, and the installing of the adapter itself.
//
// Each queued message remembers where it came from (the core, a socket, a
// look-up, a timer), so that Close, AsyncSelect(s, 0, 0),
// CancelAsyncRequest and KillTimer can take back what has not been
// delivered yet: a socket the system hands out again with the same number
// never sees its predecessor's notifications.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/host.h"
#include "platform/net.h"

namespace platform {

class EventQueue {
 public:
  using Clock = std::chrono::steady_clock;

  void SetHandler(MessageHandler handler) { handler_ = std::move(handler); }
  // Called after each message joins the queue: a loop asleep in the system
  // wakes itself there.
  void SetWake(std::function<void()> wake) { wake_ = std::move(wake); }

  // A message of the core's own (PostMessage).
  void Post(unsigned msg, std::uintptr_t w, std::intptr_t l);
  // A notification of socket s, sent with wParam s.
  void PostSocket(unsigned msg, Socket s, std::intptr_t l);
  // The answer of look-up task, sent with wParam task. Without error the
  // address is kept for Answer until the next look-up of msg starts.
  void PostLookup(unsigned msg, AsyncTask task, unsigned error, std::optional<Ipv4> address);

  // Takes back the notifications of s not yet delivered.
  void DropSocket(Socket s);
  // Takes back task's answer and its address; false when no answer waited.
  bool DropLookup(AsyncTask task);
  // Takes back every socket notification, look-up answer and address
  // (WSACleanup); the core's messages and timer ticks stay.
  void DropNetwork();

  std::optional<Ipv4> Answer(AsyncTask task) const;
  // A new look-up of msg starts: the previous one's address is gone.
  void ForgetAnswer(unsigned msg) { answers_.erase(msg); }

  // At most one tick of a timer waits in the queue: ticks never pile up.
  void StartTimer(unsigned id, unsigned period_ms);
  // Stops timer id and takes back its waiting tick.
  void StopTimer(unsigned id);
  // Queues a tick of timer id unless one waits already; false when the
  // timer isn't running (for a loop whose system times the timers).
  bool Tick(unsigned id);
  // Ticks every timer due by now (for a loop that times them itself). A late
  // timer ticks once and is next due a period after now.
  void TickDue(Clock::time_point now);
  std::optional<Clock::time_point> NextDue() const;
  std::vector<unsigned> RunningTimers() const;

  bool Empty() const { return queue_.empty(); }
  // Hands the handler what is queued now, in order, until Quit; what it
  // posts meanwhile waits for the next call, so the loop looks at the system
  // between bursts. Does nothing from inside the handler: a handler that
  // pumps the system's messages (a message box) is not entered again.
  void Deliver();
  bool Delivering() const { return delivering_ > 0; }

  void Quit() { quit_ = true; }
  bool Quitting() const { return quit_; }
  // Whether Quit was called since the last time; clears it.
  bool TakeQuit();

  // Held by Run: a Run asked for from inside the handler does deliver.
  class RunScope {
   public:
    explicit RunScope(EventQueue& q) : q_(q), saved_(q.delivering_) { q.delivering_ = 0; }
    ~RunScope() { q_.delivering_ = saved_; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    EventQueue& q_;
    int saved_;
  };

 private:
  enum class Origin { kCore, kSocket, kLookup, kTimer };
  struct Entry {
    unsigned msg;
    std::uintptr_t w;  // also names the socket, look-up or timer of origin
    std::intptr_t l;
    Origin origin;
  };
  struct Timer {
    unsigned period_ms;
    Clock::time_point due;
  };
  struct Kept {
    AsyncTask task;
    Ipv4 address;
  };

  void Push(const Entry& e);
  // Removes the entries for which drop holds; how many there were.
  template <typename Pred>
  std::size_t Remove(Pred drop);
  bool TickWaits(unsigned id) const;

  std::deque<Entry> queue_;
  std::map<unsigned, Timer> timers_;
  std::map<unsigned, Kept> answers_;  // latest answer per look-up message
  MessageHandler handler_;
  std::function<void()> wake_;
  int delivering_ = 0;
  bool quit_ = false;
};

// The system's sockets and loop in one object, delivering from one queue.
class OsAdapter : public Net, public Host {
 public:
  void SetHandler(MessageHandler handler) final { events_.SetHandler(std::move(handler)); }
  bool PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) final {
    events_.Post(msg, w, l);
    return true;
  }
  void Quit() final { events_.Quit(); }
  std::optional<Ipv4> LookupResult(AsyncTask task) final { return events_.Answer(task); }

 protected:
  EventQueue events_;
};

// Removes the installed adapter (it cleans up), then installs adapter, if
// any, as net() and host(); returns it. InstallOsAdapter and RemoveOsAdapter
// (adapter.h) come down to this.
OsAdapter* InstallAdapter(std::unique_ptr<OsAdapter> adapter);

}  // namespace platform
