// The loop half of the POSIX adapter: the message queue, timers, and one
// poll() over the sockets and c-ares's own sockets.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "platform/adapter.h"
#include "posix/posix_adapter.h"

namespace posix {

using platform::Socket;

PosixAdapter::PosixAdapter() = default;

PosixAdapter::~PosixAdapter() {
  Cleanup();
}

void PosixAdapter::SetHandler(platform::MessageHandler handler) {
  handler_ = std::move(handler);
}

bool PosixAdapter::PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  Enqueue({msg, w, l, 0, 0, false});
  return true;
}

bool PosixAdapter::SetTimer(unsigned id, unsigned period_ms) {
  if (period_ms == 0) period_ms = 1;  // as SetTimer, a zero period still ticks
  timers_[id] = {period_ms, Clock::now() + std::chrono::milliseconds(period_ms)};
  return true;
}

void PosixAdapter::KillTimer(unsigned id) {
  timers_.erase(id);
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [id](const Queued& q) { return q.timer && q.w == id; }),
               queue_.end());
}

void PosixAdapter::Quit() {
  quit_ = true;
}

void PosixAdapter::Enqueue(const Queued& q) {
  queue_.push_back(q);
}

void PosixAdapter::DropQueued(Socket s, platform::AsyncTask task) {
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [s, task](const Queued& q) {
                                return (s && q.socket == s) || (task && q.task == task);
                              }),
               queue_.end());
}

void PosixAdapter::QueueDueTimers(Clock::time_point now) {
  for (auto& [id, t] : timers_) {
    if (t.due > now) continue;
    // A late tick is delivered once; missed periods are not made up.
    t.due = now + std::chrono::milliseconds(t.period_ms);
    bool pending = std::any_of(queue_.begin(), queue_.end(),
                               [id = id](const Queued& q) { return q.timer && q.w == id; });
    if (!pending) Enqueue({platform::kWmTimer, id, 0, 0, 0, true});
  }
}

void PosixAdapter::PollOnce(int wait_ms) {
  std::vector<pollfd> fds;
  std::vector<Socket> owners;  // 0 for c-ares's sockets
  for (auto& [s, st] : sockets_) {
    short want = 0;
    if (st.events && st.connecting) want |= POLLOUT;
    if ((st.events & platform::kFdRead) && st.read_armed && st.connected) want |= POLLIN;
    // Sockets nobody waits on stay out: poll would report their hang-up
    // again and again.
    if (!want) continue;
    fds.push_back({static_cast<int>(s), want, 0});
    owners.push_back(s);
  }
  for (auto& [fd, want] : ares_fds_) {
    fds.push_back({fd, want, 0});
    owners.push_back(0);
  }

  auto now = Clock::now();
  for (auto& [id, t] : timers_) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count() + 1;
    if (left < wait_ms || wait_ms < 0) wait_ms = static_cast<int>(std::max<long long>(0, left));
  }
  if (channel_) {
    timeval tv{};
    if (ares_timeout(channel_, nullptr, &tv)) {
      long long left = static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000 + 1;
      if (left < wait_ms || wait_ms < 0) wait_ms = static_cast<int>(left);
    }
  }

  int n = ::poll(fds.data(), fds.size(), wait_ms);
  if (n < 0 && errno != EINTR) n = 0;

  for (std::size_t i = 0; n > 0 && i < fds.size(); ++i) {
    short got = fds[i].revents;
    if (!got) continue;
    Socket s = owners[i];
    if (!s) continue;
    SocketState* st = Find(s);
    if (!st) continue;
    if (st->connecting && (got & (POLLOUT | POLLERR | POLLHUP))) {
      st->connecting = false;
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      st->connected = err == 0;
      if (st->events & platform::kFdConnect) {
        Enqueue({st->message, s,
                 platform::MakeSelectReply(platform::kFdConnect,
                                           static_cast<unsigned>(err ? WsaError(err) : 0)),
                 s, 0, false});
      }
    } else if (st->connected && (got & (POLLIN | POLLERR | POLLHUP)) &&
               (st->events & platform::kFdRead) && st->read_armed) {
      st->read_armed = false;
      Enqueue({st->message, s, platform::MakeSelectReply(platform::kFdRead, 0), s, 0, false});
    }
  }
  if (channel_) {
    // c-ares's sockets, and its timeouts (processing with no socket).
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (owners[i] || !fds[i].revents) continue;
      bool r = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
      bool w = fds[i].revents & (POLLOUT | POLLERR | POLLHUP);
      ares_process_fd(channel_, r ? fds[i].fd : ARES_SOCKET_BAD, w ? fds[i].fd : ARES_SOCKET_BAD);
    }
    ares_process_fd(channel_, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
  }
  QueueDueTimers(Clock::now());
}

bool PosixAdapter::Run(unsigned timeout_ms) {
  std::optional<Clock::time_point> deadline;
  if (timeout_ms) deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (quit_) {
      quit_ = false;
      return true;
    }
    int wait_ms = -1;
    if (!queue_.empty()) {
      wait_ms = 0;
    } else if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) return false;
      wait_ms = static_cast<int>(left.count()) + 1;
    }
    PollOnce(wait_ms);
    // Deliver what was queued before this round; what the handler posts
    // waits for the next round, so sockets are polled between bursts.
    for (std::size_t batch = queue_.size(); batch > 0 && !queue_.empty() && !quit_; --batch) {
      Queued q = queue_.front();
      queue_.pop_front();
      platform::MessageHandler h = handler_;  // the handler may replace itself
      if (h) h(q.msg, q.w, q.l);
    }
    if (deadline && !quit_ && Clock::now() >= *deadline) return false;
  }
}

}  // namespace posix

namespace platform {

namespace {
std::unique_ptr<posix::PosixAdapter> g_adapter;
}  // namespace

bool InstallOsAdapter() {
  RemoveOsAdapter();
  g_adapter = std::make_unique<posix::PosixAdapter>();
  SetNet(g_adapter.get());
  SetHost(g_adapter.get());
  return true;
}

void RemoveOsAdapter() {
  if (!g_adapter) return;
  SetNet(nullptr);
  SetHost(nullptr);
  g_adapter.reset();
}

}  // namespace platform
