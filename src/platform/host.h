// The seam to the main loop: posted messages, timers, and the loop itself.
//
// Everything the core reacts to arrives through one handler, in arrival
// order, on the one thread that runs the loop:
//   - messages posted with PostMessage, as (msg, wParam, lParam);
//   - the socket layer's notifications and look-up answers (net.h), as the
//     messages the core registered for them (1091, 1092, 1332 + slot);
//   - timers, as kWmTimer with wParam the timer id and lParam 0, as a
//     window's WM_TIMER.
// The Win32 adapter is a window's message loop; the POSIX adapter is a
// poll() loop. The handler may call any Net or Host method and Quit. Its
// deliveries don't nest: when it pumps messages itself (a message box, a
// DDE wait), what arrives meanwhile is kept and delivered after it returns;
// only an explicit nested Run delivers from inside the handler.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

namespace platform {

// WM_TIMER: how a timer tick reaches the handler.
constexpr unsigned kWmTimer = 275;
// The core's two timers.
constexpr unsigned kTimerTimeout = 181;
constexpr unsigned kTimerPoll = 1330;

using MessageHandler = std::function<void(unsigned msg, std::uintptr_t w, std::intptr_t l)>;

class Host {
 public:
  virtual ~Host() = default;

  // The one receiver of messages and timer ticks (an empty function drops
  // them). Replaces the previous handler.
  virtual void SetHandler(MessageHandler handler) = 0;
  // Queues a message for the handler (PostMessage); false when it can't.
  virtual bool PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) = 0;
  // Starts timer id, or restarts it with a new period (SetTimer). Ticks
  // don't pile up: a late tick is delivered once.
  virtual bool SetTimer(unsigned id, unsigned period_ms) = 0;
  // Stops timer id (KillTimer); a tick not yet delivered is dropped.
  virtual void KillTimer(unsigned id) = 0;
  // Runs the loop until Quit (true) or until timeout_ms have passed (false;
  // 0 means no limit). Quit called before Run makes it return at once.
  virtual bool Run(unsigned timeout_ms = 0) = 0;
  // Makes the running (or the next) Run return true.
  virtual void Quit() = 0;
  // Milliseconds on a clock that only moves forward (its start means
  // nothing); what the Hunt measures its jobs with. Default: the system's
  // steady clock.
  virtual std::uint64_t NowMs();
};

// The Host in use; never null (a ManualHost until one is installed).
Host& host();
// Installs h (null puts the default back); returns the previous one.
Host* SetHost(Host* h);

// A loop without a clock, for the core's tests: posted messages are queued
// and delivered by Run (or Pump) in order; timers only run when a test calls
// FireTimer, and the time is what the test sets. Run returns true after
// Quit, false when the queue is empty.
class ManualHost : public Host {
 public:
  void SetHandler(MessageHandler handler) override;
  bool PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) override;
  bool SetTimer(unsigned id, unsigned period_ms) override;
  void KillTimer(unsigned id) override;
  bool Run(unsigned timeout_ms = 0) override;
  void Quit() override;

  // Delivers queued messages (and those they post) until none is left or
  // Quit is called; returns how many were delivered.
  int Pump();
  // Delivers one tick of a running timer; false when it isn't running.
  bool FireTimer(unsigned id);
  // The clock stands still unless a test moves it.
  std::uint64_t NowMs() override { return now_ms; }
  std::uint64_t now_ms = 0;

  struct Message {
    unsigned msg;
    std::uintptr_t w;
    std::intptr_t l;
  };
  std::deque<Message> queue;            // posted, not yet delivered
  std::map<unsigned, unsigned> timers;  // running timers: id -> period
  bool quit = false;

 private:
  MessageHandler handler_;
};

}  // namespace platform
