// The seam to the network: a Winsock-1.1-shaped asynchronous socket API.
//
// The core never waits on the network. It opens non-blocking TCP sockets,
// asks for notifications of connect and read, and starts host look-ups; the
// answers come back later as messages through the host loop (host.h), in
// exactly the shape Winsock posts them to a window:
//
//   message              wParam               lParam
//   -------------------  -------------------  ---------------------------------
//   registered with      the socket           MakeSelectReply(event, error):
//   AsyncSelect (1091,                        low word the event (kFdConnect or
//   1092)                                     kFdRead), high word the error
//   registered with      the task handle      MakeAsyncReply(0, error): high
//   AsyncGetHostByName                        word the error, 0 on success
//   (1332 + slot)
//
// The Win32 adapter is Winsock itself (src/win32/net); the POSIX adapter
// (src/posix) keeps the same contract with poll() and c-ares.
//
// Rules every adapter keeps, so the core can rely on them:
// - Nothing is ever delivered from inside a call of this interface; every
//   notification goes through the host loop, even an answer known at once.
// - After Close(s), or AsyncSelect(s, 0, 0), no notification for s is
//   delivered any more, even one that was already queued. A new socket that
//   the system hands out with the same number never sees the old socket's
//   notifications.
// - After CancelAsyncRequest(task) the look-up's message is not delivered.
// - At most one kFdRead notification is pending per socket: the next one is
//   armed again only by a Recv (with or without kMsgPeek) on that socket,
//   and only arrives while data (or, on some systems, the end of the stream)
//   is waiting. Under Windows no kFdRead announces the end of the stream:
//   kFdClose does, once per registration, when the peer has closed or the
//   connection broke (error 0, or the reason); data may still be waiting
//   behind it. Peeking (Recv with kMsgPeek returning 0) finds the end too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ids.h"

namespace platform {

// A socket handle; wide enough for a Win64 SOCKET.
using Socket = std::uintptr_t;
// "No socket", all bits set (Winsock's INVALID_SOCKET).
constexpr Socket kInvalidSocket = ~Socket{0};
// Result of a failed call (Winsock's SOCKET_ERROR).
constexpr int kSocketError = -1;
// An asynchronous look-up; 0 means the look-up could not be started.
using AsyncTask = std::uintptr_t;

// The window messages of the socket layer.
constexpr unsigned kMsgConnectionEvent = WM_TV_CONNECTION_EVENT;
constexpr unsigned kMsgDataEvent = WM_TV_DATA_EVENT;
constexpr unsigned kMsgStartNext = WM_TV_START_NEXT;
constexpr unsigned kMsgLookupDoneBase = WM_TV_LOOKUP_DONE_BASE;  // + slot
constexpr int kLookupSlots = 20;
constexpr unsigned LookupMessage(int slot) {
  return kMsgLookupDoneBase + static_cast<unsigned>(slot);
}
constexpr bool IsLookupMessage(unsigned msg) {
  return msg >= kMsgLookupDoneBase && msg < kMsgLookupDoneBase + kLookupSlots;
}

// Event bits for AsyncSelect.
constexpr long kFdRead = 0x01;
constexpr long kFdConnect = 0x10;
constexpr long kFdClose = 0x20;

// Flag of Recv.
constexpr int kMsgPeek = 0x2;

// Winsock error numbers the core and the adapters use.
constexpr int kWsaEInval = 10022;
constexpr int kWsaEWouldBlock = 10035;
constexpr int kWsaENotSock = 10038;
constexpr int kWsaENoBufs = 10055;
constexpr int kWsaETimedOut = 10060;
constexpr int kWsaEConnRefused = 10061;
constexpr int kWsaSysNotReady = 10091;
constexpr int kWsaNotInitialised = 10093;
constexpr int kWsaHostNotFound = 11001;
constexpr int kWsaTryAgain = 11002;

// An IPv4 address in network byte order, as in in_addr.s_addr.
using Ipv4 = std::uint32_t;
// inet_addr's failure value (also what "255.255.255.255" gives).
constexpr Ipv4 kInaddrNone = 0xFFFFFFFFu;

// lParam of a socket notification (WSAMAKESELECTREPLY / WSAGETSELECTEVENT /
// WSAGETSELECTERROR). kFdRead and kFdClose share the data event's message.
constexpr std::intptr_t MakeSelectReply(unsigned event, unsigned error) {
  return static_cast<std::intptr_t>(((error & 0xFFFFu) << 16) | (event & 0xFFFFu));
}
constexpr unsigned SelectEvent(std::intptr_t l) {
  return static_cast<unsigned>(static_cast<std::uintptr_t>(l) & 0xFFFFu);
}
constexpr unsigned SelectError(std::intptr_t l) {
  return static_cast<unsigned>((static_cast<std::uintptr_t>(l) >> 16) & 0xFFFFu);
}
// lParam of a look-up message (WSAMAKEASYNCREPLY / WSAGETASYNCERROR).
constexpr std::intptr_t MakeAsyncReply(unsigned buflen, unsigned error) {
  return MakeSelectReply(buflen, error);
}
constexpr unsigned AsyncError(std::intptr_t l) {
  return SelectError(l);
}

// "a.b.c.d" of an address in network byte order (inet_ntoa, portable).
std::string AddressText(Ipv4 address);

class Net {
 public:
  virtual ~Net() = default;

  // WSAStartup(0x0101): 0 when sockets are usable, else a Winsock error
  // number. May be called again and again; each success wants one Cleanup,
  // but the program makes a single Cleanup at shut-down and that ends all.
  virtual int Startup() = 0;
  // WSACleanup: closes every socket still open and drops every pending
  // look-up and notification.
  virtual void Cleanup() = 0;

  // socket(AF_INET, SOCK_STREAM, 0), already non-blocking. kInvalidSocket on
  // failure (LastError tells why). Never returns 0.
  virtual Socket OpenSocket() = 0;
  // connect to address (network order) and port (host order). Returns
  // kSocketError with LastError kWsaEWouldBlock while the connect is pending
  // (the usual case), another error when it failed at once, or 0 when it
  // succeeded at once. Unless it failed at once, kFdConnect follows if it
  // was asked for: error 0 on success, kWsaEConnRefused, kWsaETimedOut, ...
  virtual int Connect(Socket s, Ipv4 address, std::uint16_t port) = 0;
  // send: bytes taken (may be fewer than len), or kSocketError.
  virtual int Send(Socket s, const char* data, int len) = 0;
  // recv of at most len bytes; flags 0 or kMsgPeek (the bytes stay queued).
  // Bytes read, 0 when the peer has closed, kSocketError with LastError
  // kWsaEWouldBlock when nothing is there yet. Re-arms kFdRead.
  virtual int Recv(Socket s, char* buf, int len, int flags) = 0;
  // closesocket: also forgets every notification of s, queued or not.
  virtual int Close(Socket s) = 0;

  // WSAAsyncSelect: from now on, the events of mask are posted as message
  // (wParam s, lParam MakeSelectReply(event, error)); replaces the previous
  // registration of s. Message 0 with events 0 cancels every notification.
  // kFdConnect fires once, when the pending connect ends; kFdRead fires when
  // data waits, kFdClose once when the peer has closed (see the rules at the
  // top). 0 or kSocketError.
  virtual int AsyncSelect(Socket s, unsigned message, long events) = 0;

  // WSAAsyncGetHostByName: looks name up without blocking and posts message
  // with wParam the returned task and lParam MakeAsyncReply(0, error):
  // error 0 and LookupResult(task) gives the first IPv4 address, or
  // kWsaHostNotFound (or another Winsock error) when the name has none.
  // Dotted addresses and "localhost" are answered without asking DNS, but
  // still by message. Returns 0 when the look-up could not be started.
  virtual AsyncTask AsyncGetHostByName(unsigned message, const std::string& name) = 0;
  // WSACancelAsyncRequest: the look-up's message will not come. 0 or
  // kSocketError (unknown or finished task).
  virtual int CancelAsyncRequest(AsyncTask task) = 0;
  // The first address found by a look-up whose message has arrived without
  // error; nullopt otherwise. The result stays readable until the next
  // look-up with the same message starts (so at most one is kept per slot),
  // or until Cleanup.
  virtual std::optional<Ipv4> LookupResult(AsyncTask task) = 0;

  // inet_addr: dotted text to an address in network order, kInaddrNone when
  // the text is not one.
  virtual Ipv4 InetAddr(const std::string& text) = 0;
  // WSAGetLastError: the error of the last failed call of this interface.
  virtual int LastError() = 0;
};

// The Net in use; never null. Until an adapter is installed it is a network
// that is not there: Startup gives kWsaSysNotReady and every call fails with
// kWsaNotInitialised.
Net& net();
// Installs n (null puts the absent network back); returns the previous one.
Net* SetNet(Net* n);

}  // namespace platform
