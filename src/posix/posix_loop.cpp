// The loop half of the POSIX adapter: one poll() over the sockets and
// c-ares's own sockets, timed by the queue's timers.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/adapter.h"
#include "posix/posix_adapter.h"

namespace posix {

using platform::Socket;

namespace {
constexpr unsigned kWsaEConnReset = 10054;
}  // namespace

PosixAdapter::PosixAdapter() = default;

PosixAdapter::~PosixAdapter() {
  Cleanup();
}

bool PosixAdapter::SetTimer(unsigned id, unsigned period_ms) {
  events_.StartTimer(id, period_ms);
  return true;
}

void PosixAdapter::KillTimer(unsigned id) {
  events_.StopTimer(id);
}

void PosixAdapter::PollOnce(int wait_ms) {
  std::vector<pollfd> fds;
  std::vector<Socket> owners;  // 0 for c-ares's sockets
  for (auto& [s, st] : sockets_) {
    short want = 0;
    if (st.events && st.connecting) want |= POLLOUT;
    if ((st.events & platform::kFdRead) && st.read_armed && st.connected) want |= POLLIN;
    // The peer's close is announced once; asked for again, poll would
    // report it at every round.
    if ((st.events & platform::kFdClose) && !st.close_posted && st.connected) want |= POLLRDHUP;
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

  if (const auto due = events_.NextDue()) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*due - Clock::now()).count() + 1;
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
        events_.PostSocket(
            st->message, s,
            platform::MakeSelectReply(platform::kFdConnect,
                                      static_cast<unsigned>(err ? WsaError(err) : 0)));
      }
      continue;
    }
    if (!st->connected) continue;
    if ((got & (POLLIN | POLLERR | POLLHUP)) && (st->events & platform::kFdRead) &&
        st->read_armed) {
      st->read_armed = false;
      events_.PostSocket(st->message, s, platform::MakeSelectReply(platform::kFdRead, 0));
    }
    // As under Winsock the close follows the read notification. A broken
    // connection says so, but its exact error is left for the next recv:
    // reading SO_ERROR here would take it away from there.
    if ((got & (POLLRDHUP | POLLERR | POLLHUP)) && (st->events & platform::kFdClose) &&
        !st->close_posted) {
      st->close_posted = true;
      const unsigned err = (got & POLLERR) ? kWsaEConnReset : 0;
      events_.PostSocket(st->message, s, platform::MakeSelectReply(platform::kFdClose, err));
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
  events_.TickDue(Clock::now());
}

bool PosixAdapter::Run(unsigned timeout_ms) {
  platform::EventQueue::RunScope scope(events_);
  std::optional<Clock::time_point> deadline;
  if (timeout_ms) deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (events_.TakeQuit()) return true;
    int wait_ms = -1;
    if (!events_.Empty()) {
      wait_ms = 0;
    } else if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) return false;
      wait_ms = static_cast<int>(left.count()) + 1;
    }
    PollOnce(wait_ms);
    events_.Deliver();
    if (deadline && !events_.Quitting() && Clock::now() >= *deadline) return false;
  }
}

}  // namespace posix

namespace platform {

bool InstallOsAdapter() {
  return InstallAdapter(std::make_unique<posix::PosixAdapter>()) != nullptr;
}

void RemoveOsAdapter() {
  InstallAdapter(nullptr);
}

}  // namespace platform
