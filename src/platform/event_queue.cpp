// The queue both OS adapters deliver from, and the one installed adapter.
#include "platform/event_queue.h"

#include <algorithm>

namespace platform {

void EventQueue::Push(const Entry& e) {
  queue_.push_back(e);
  if (wake_) wake_();
}

template <typename Pred>
std::size_t EventQueue::Remove(Pred drop) {
  const auto end = std::remove_if(queue_.begin(), queue_.end(), drop);
  const auto n = static_cast<std::size_t>(queue_.end() - end);
  queue_.erase(end, queue_.end());
  return n;
}

void EventQueue::Post(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  Push({msg, w, l, Origin::kCore});
}

void EventQueue::PostSocket(unsigned msg, Socket s, std::intptr_t l) {
  Push({msg, s, l, Origin::kSocket});
}

void EventQueue::PostLookup(unsigned msg, AsyncTask task, unsigned error,
                            std::optional<Ipv4> address) {
  if (!error && address) answers_[msg] = {task, *address};
  Push({msg, task, MakeAsyncReply(0, error), Origin::kLookup});
}

void EventQueue::DropSocket(Socket s) {
  Remove([s](const Entry& e) { return e.origin == Origin::kSocket && e.w == s; });
}

bool EventQueue::DropLookup(AsyncTask task) {
  if (!Remove([task](const Entry& e) { return e.origin == Origin::kLookup && e.w == task; }))
    return false;
  for (auto a = answers_.begin(); a != answers_.end(); ++a) {
    if (a->second.task == task) {
      answers_.erase(a);
      break;
    }
  }
  return true;
}

void EventQueue::DropNetwork() {
  Remove([](const Entry& e) { return e.origin == Origin::kSocket || e.origin == Origin::kLookup; });
  answers_.clear();
}

std::optional<Ipv4> EventQueue::Answer(AsyncTask task) const {
  for (const auto& [msg, kept] : answers_) {
    if (kept.task == task) return kept.address;
  }
  return std::nullopt;
}

void EventQueue::StartTimer(unsigned id, unsigned period_ms) {
  period_ms = std::max(period_ms, 1u);  // as SetTimer, a zero period still ticks
  timers_[id] = {period_ms, Clock::now() + std::chrono::milliseconds(period_ms)};
}

void EventQueue::StopTimer(unsigned id) {
  timers_.erase(id);
  Remove([id](const Entry& e) { return e.origin == Origin::kTimer && e.w == id; });
}

bool EventQueue::TickWaits(unsigned id) const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [id](const Entry& e) { return e.origin == Origin::kTimer && e.w == id; });
}

bool EventQueue::Tick(unsigned id) {
  if (!timers_.count(id)) return false;
  if (!TickWaits(id)) Push({kWmTimer, id, 0, Origin::kTimer});
  return true;
}

void EventQueue::TickDue(Clock::time_point now) {
  for (auto& [id, t] : timers_) {
    if (t.due > now) continue;
    // Missed periods are not made up.
    t.due = now + std::chrono::milliseconds(t.period_ms);
    if (!TickWaits(id)) Push({kWmTimer, id, 0, Origin::kTimer});
  }
}

std::optional<EventQueue::Clock::time_point> EventQueue::NextDue() const {
  std::optional<Clock::time_point> next;
  for (const auto& [id, t] : timers_) {
    if (!next || t.due < *next) next = t.due;
  }
  return next;
}

std::vector<unsigned> EventQueue::RunningTimers() const {
  std::vector<unsigned> ids;
  for (const auto& [id, t] : timers_) ids.push_back(id);
  return ids;
}

void EventQueue::Deliver() {
  if (delivering_) return;
  for (std::size_t batch = queue_.size(); batch > 0 && !queue_.empty() && !quit_; --batch) {
    const Entry e = queue_.front();
    queue_.pop_front();
    MessageHandler h = handler_;  // the handler may replace itself
    ++delivering_;
    if (h) h(e.msg, e.w, e.l);
    --delivering_;
  }
}

bool EventQueue::TakeQuit() {
  const bool was = quit_;
  quit_ = false;
  return was;
}

namespace {
std::unique_ptr<OsAdapter> g_installed;
}  // namespace

OsAdapter* InstallAdapter(std::unique_ptr<OsAdapter> adapter) {
  if (g_installed) {
    SetNet(nullptr);
    SetHost(nullptr);
    g_installed.reset();
  }
  g_installed = std::move(adapter);
  if (g_installed) {
    SetNet(g_installed.get());
    SetHost(g_installed.get());
  }
  return g_installed.get();
}

}  // namespace platform
