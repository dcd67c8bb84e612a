// Host look-ups of the POSIX adapter: c-ares driven by the adapter's poll
// loop, so a look-up never blocks the one thread.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include <cstring>

#include "posix/posix_adapter.h"
#include "util/text.h"

namespace posix {

namespace {

// The Winsock number for a failed c-ares look-up. Like gethostbyname on
// Windows, a name that can't be resolved for want of a DNS answer is "host
// not found"; only a timeout says to try again.
int LookupError(int status) {
  switch (status) {
    case ARES_ETIMEOUT:
      return platform::kWsaTryAgain;
    case ARES_ENOMEM:
      return platform::kWsaENoBufs;
    default:
      return platform::kWsaHostNotFound;
  }
}

bool EndsWithInvalid(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n.back() == '.') n.pop_back();
  const std::string tail = ".invalid";
  if (n.size() < tail.size()) return false;
  return StrICmp(n.substr(n.size() - tail.size()).c_str(), tail.c_str()) == 0 ||
         StrICmp(n.c_str(), "invalid") == 0;
}

}  // namespace

bool PosixAdapter::StartResolver() {
  if (channel_) return true;
  static const bool library_ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
  if (!library_ready) return false;
  ares_options opts{};
  opts.sock_state_cb = &PosixAdapter::OnAresSocket;
  opts.sock_state_cb_data = this;
  if (ares_init_options(&channel_, &opts, ARES_OPT_SOCK_STATE_CB) != ARES_SUCCESS) {
    channel_ = nullptr;
    return false;
  }
  return true;
}

void PosixAdapter::StopResolver() {
  if (channel_) {
    // Calls back every running look-up with ARES_EDESTRUCTION.
    ares_destroy(channel_);
    channel_ = nullptr;
  }
  lookups_.clear();
  ares_fds_.clear();
}

void PosixAdapter::OnAresSocket(void* data, ares_socket_t fd, int readable, int writable) {
  auto* self = static_cast<PosixAdapter*>(data);
  short want = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
  if (want)
    self->ares_fds_[fd] = want;
  else
    self->ares_fds_.erase(fd);
}

void PosixAdapter::OnAresHost(void* arg, int status, int /*timeouts*/, hostent* host) {
  auto* lookup = static_cast<Lookup*>(arg);
  PosixAdapter* self = lookup->adapter;
  platform::AsyncTask task = lookup->task;
  unsigned message = lookup->message;
  bool cancelled = lookup->cancelled || status == ARES_EDESTRUCTION;
  self->lookups_.erase(task);  // lookup is gone from here on
  if (cancelled) return;
  if (status == ARES_SUCCESS && host && host->h_addrtype == AF_INET && host->h_addr_list &&
      host->h_addr_list[0]) {
    platform::Ipv4 address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    self->events_.PostLookup(message, task, 0, address);
  } else {
    const int error = status == ARES_SUCCESS ? platform::kWsaHostNotFound : LookupError(status);
    self->events_.PostLookup(message, task, static_cast<unsigned>(error), std::nullopt);
  }
}

platform::AsyncTask PosixAdapter::AsyncGetHostByName(unsigned message, const std::string& name) {
  if (!started_) {
    last_error_ = platform::kWsaNotInitialised;
    return 0;
  }
  if (message == 0) {
    last_error_ = platform::kWsaEInval;
    return 0;
  }
  events_.ForgetAnswer(message);
  platform::AsyncTask task = ++next_task_;

  // Answers known without asking anyone still come by message.
  in_addr dotted{};
  if (::inet_aton(name.c_str(), &dotted)) {
    events_.PostLookup(message, task, 0, dotted.s_addr);
    return task;
  }
  if (StrICmp(name.c_str(), "localhost") == 0) {
    events_.PostLookup(message, task, 0, htonl(INADDR_LOOPBACK));
    return task;
  }
  // Names that can't exist (".invalid" is reserved for that) or can't be
  // asked for fail at once rather than wait on DNS.
  if (name.empty() || name.size() > 255 || name.find('\0') != std::string::npos ||
      EndsWithInvalid(name)) {
    events_.PostLookup(message, task, platform::kWsaHostNotFound, std::nullopt);
    return task;
  }
  if (!StartResolver()) {
    last_error_ = platform::kWsaENoBufs;
    return 0;
  }
  auto lookup = std::make_unique<Lookup>(Lookup{this, task, message, false});
  Lookup* arg = lookup.get();
  lookups_[task] = std::move(lookup);
  // c-ares may call back at once (a name from the hosts file); that only
  // queues the answer.
  ares_gethostbyname(channel_, name.c_str(), AF_INET, &PosixAdapter::OnAresHost, arg);
  return task;
}

int PosixAdapter::CancelAsyncRequest(platform::AsyncTask task) {
  auto it = lookups_.find(task);
  if (it != lookups_.end() && !it->second->cancelled) {
    it->second->cancelled = true;
    return 0;
  }
  return events_.DropLookup(task) ? 0 : Fail(platform::kWsaEInval);
}

}  // namespace posix
