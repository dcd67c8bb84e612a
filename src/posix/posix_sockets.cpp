// The socket half of the POSIX adapter: non-blocking TCP sockets behind the
// Winsock-shaped calls, with Winsock's error numbers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "posix/posix_adapter.h"

namespace posix {

using platform::Socket;

int WsaError(int err) {
  switch (err) {
    case 0:
      return 0;
    case EINTR:
      return 10004;
    case EBADF:
    case ENOTSOCK:
      return platform::kWsaENotSock;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return platform::kWsaEInval;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
    case EINPROGRESS:
      return platform::kWsaEWouldBlock;
    case EALREADY:
      return 10037;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
    case EPIPE:
      return 10054;
    case ENOBUFS:
    case ENOMEM:
      return platform::kWsaENoBufs;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ETIMEDOUT:
      return platform::kWsaETimedOut;
    case ECONNREFUSED:
      return platform::kWsaEConnRefused;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      // Not a Winsock number, but still an error and still telling.
      return 10000 + err;
  }
}

int PosixAdapter::Fail(int error) {
  last_error_ = error;
  return platform::kSocketError;
}

PosixAdapter::SocketState* PosixAdapter::Find(Socket s) {
  auto it = sockets_.find(s);
  return it == sockets_.end() ? nullptr : &it->second;
}

int PosixAdapter::Startup() {
  started_ = true;
  return 0;
}

void PosixAdapter::Cleanup() {
  while (!sockets_.empty()) Close(sockets_.begin()->first);
  StopResolver();
  events_.DropNetwork();
  started_ = false;
}

Socket PosixAdapter::OpenSocket() {
  if (!started_) {
    last_error_ = platform::kWsaNotInitialised;
    return platform::kInvalidSocket;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    last_error_ = WsaError(errno);
    return platform::kInvalidSocket;
  }
  // The core takes socket 0 for "never had one"; keep clear of the standard
  // streams' numbers should one of them be closed.
  if (fd < 3) {
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int err = errno;
    ::close(fd);
    if (high < 0) {
      last_error_ = WsaError(err);
      return platform::kInvalidSocket;
    }
    fd = high;
  }
  Socket s = static_cast<Socket>(fd);
  sockets_[s] = SocketState{};
  return s;
}

int PosixAdapter::Connect(Socket s, platform::Ipv4 address, std::uint16_t port) {
  SocketState* st = Find(s);
  if (!st) return Fail(platform::kWsaENotSock);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address;
  int r = ::connect(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  if (r != 0 && errno != EINPROGRESS) return Fail(WsaError(errno));
  // Pending or done at once: either way FD_CONNECT follows, as on Windows.
  st->connecting = true;
  if (r != 0) return Fail(platform::kWsaEWouldBlock);
  return 0;
}

int PosixAdapter::Send(Socket s, const char* data, int len) {
  if (!Find(s)) return Fail(platform::kWsaENotSock);
  if (len < 0) return Fail(platform::kWsaEInval);
  ssize_t n = ::send(static_cast<int>(s), data, static_cast<std::size_t>(len), MSG_NOSIGNAL);
  if (n < 0) return Fail(WsaError(errno));
  return static_cast<int>(n);
}

int PosixAdapter::Recv(Socket s, char* buf, int len, int flags) {
  SocketState* st = Find(s);
  if (!st) return Fail(platform::kWsaENotSock);
  if (len < 0) return Fail(platform::kWsaEInval);
  // Every recv re-enables FD_READ, as Winsock's does.
  st->read_armed = true;
  int f = (flags & platform::kMsgPeek) ? MSG_PEEK : 0;
  ssize_t n = ::recv(static_cast<int>(s), buf, static_cast<std::size_t>(len), f);
  if (n < 0) return Fail(WsaError(errno));
  return static_cast<int>(n);
}

int PosixAdapter::Close(Socket s) {
  if (sockets_.erase(s) == 0) return Fail(platform::kWsaENotSock);
  // What is queued for this socket dies with it: the next socket may get
  // the same number.
  events_.DropSocket(s);
  ::close(static_cast<int>(s));
  return 0;
}

int PosixAdapter::AsyncSelect(Socket s, unsigned message, long events) {
  SocketState* st = Find(s);
  if (!st) return Fail(platform::kWsaENotSock);
  if ((message == 0) != (events == 0)) return Fail(platform::kWsaEInval);
  st->message = message;
  st->events = events;
  st->read_armed = true;
  st->close_posted = false;
  if (!events) events_.DropSocket(s);
  return 0;
}

platform::Ipv4 PosixAdapter::InetAddr(const std::string& text) {
  return ::inet_addr(text.c_str());
}

}  // namespace posix
