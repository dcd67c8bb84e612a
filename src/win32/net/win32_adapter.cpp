// Winsock behind the net seam and a window's message loop behind the host
// seam.
#include "win32/net/win32_adapter.h"

#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "platform/adapter.h"

namespace win32 {

static_assert(platform::kFdRead == FD_READ && platform::kFdConnect == FD_CONNECT &&
              platform::kFdClose == FD_CLOSE);

namespace {

// Private messages of the adapter's window, clear of the core's numbers.
constexpr UINT kMsgDrain = WM_APP + 1;   // the queue has something to deliver
constexpr UINT kMsgLookup = WM_APP + 2;  // WSAAsyncGetHostByName finished
// One number per socket, handed out in turn, so that a notification still
// in the window's queue when its socket closes can be told from one of a
// later socket with the same handle.
constexpr UINT kSocketMsgFirst = WM_APP + 0x100;
constexpr UINT kSocketMsgCount = 0x3000;

constexpr char kWindowClass[] = "TorvaneNetAdapter";

}  // namespace

Win32Adapter::Win32Adapter(HWND target) : hwnd_(target) {
  events_.SetWake([this] { Wake(); });
  if (hwnd_) return;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32Adapter::WndProc;
  wc.hInstance = inst;
  wc.lpszClassName = kWindowClass;
  RegisterClassExA(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, this);
  own_window_ = hwnd_ != nullptr;
}

Win32Adapter::~Win32Adapter() {
  Cleanup();
  for (unsigned id : events_.RunningTimers()) ::KillTimer(hwnd_, id);
  if (own_window_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK Win32Adapter::WndProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Adapter*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && self->HandleWindowMessage(msg, w, l)) return 0;
  // The window is only a letterbox: everything else, including the core's
  // own numbers posted by someone else, is the system's.
  return DefWindowProcA(hwnd, msg, w, l);
}

bool Win32Adapter::HandleWindowMessage(UINT msg, WPARAM w, LPARAM l) {
  if (msg == kMsgDrain) {
    drain_posted_ = false;
    events_.Deliver();
    Wake();  // what the handler added waits for a later round
    return true;
  }
  if (msg == kMsgLookup) {
    OnLookupMessage(w, l);
    return true;
  }
  if (msg >= kSocketMsgFirst && msg < kSocketMsgFirst + kSocketMsgCount) {
    OnSocketMessage(msg, w, l);
    return true;
  }
  // WM_TIMER is only made when the window's queue is empty, and the
  // adapter's queue keeps at most one tick per timer: ticks never pile up.
  if (msg == WM_TIMER && w == static_cast<unsigned>(w) && events_.Tick(static_cast<unsigned>(w))) {
    return true;
  }
  return false;
}

void Win32Adapter::Wake() {
  if (!drain_posted_ && !events_.Delivering() && !events_.Empty()) {
    drain_posted_ = ::PostMessageA(hwnd_, kMsgDrain, 0, 0) != 0;
  }
}

void Win32Adapter::OnSocketMessage(UINT msg, WPARAM w, LPARAM l) {
  auto owner = by_private_msg_.find(msg);
  if (owner == by_private_msg_.end() || owner->second != static_cast<platform::Socket>(w)) {
    return;  // a socket that has been closed since
  }
  auto it = sockets_.find(owner->second);
  if (it == sockets_.end() || it->second.events == 0) return;
  unsigned event = WSAGETSELECTEVENT(l);
  unsigned core_msg = event == FD_CONNECT                       ? it->second.connect_msg
                      : (event == FD_READ || event == FD_CLOSE) ? it->second.read_msg
                                                                : 0;
  if (!core_msg) return;
  events_.PostSocket(core_msg, it->first,
                     platform::MakeSelectReply(event, static_cast<unsigned>(WSAGETSELECTERROR(l))));
}

void Win32Adapter::OnLookupMessage(WPARAM w, LPARAM l) {
  HANDLE task = reinterpret_cast<HANDLE>(w);
  auto it = lookups_.find(task);
  if (it == lookups_.end()) return;
  if (it->second.cancelled) {
    lookups_.erase(it);
    return;
  }
  unsigned message = it->second.message;
  unsigned error = WSAGETASYNCERROR(l);
  std::optional<platform::Ipv4> address;
  if (!error) {
    const auto* host = reinterpret_cast<const hostent*>(it->second.hostent.data());
    if (host->h_addrtype == AF_INET && host->h_addr_list && host->h_addr_list[0]) {
      address.emplace();
      std::memcpy(&*address, host->h_addr_list[0], sizeof *address);
    } else {
      error = WSAHOST_NOT_FOUND;
    }
  }
  lookups_.erase(it);
  events_.PostLookup(message, reinterpret_cast<platform::AsyncTask>(task), error, address);
}

// --- net --------------------------------------------------------------------

int Win32Adapter::Fail() {
  last_error_ = WSAGetLastError();
  return platform::kSocketError;
}

int Win32Adapter::Startup() {
  WSADATA data;
  int r = WSAStartup(0x0101, &data);
  if (r == 0) ++startups_;
  return r;
}

void Win32Adapter::Cleanup() {
  while (!sockets_.empty()) Close(sockets_.begin()->first);
  for (auto& lookup : lookups_) {
    WSACancelAsyncRequest(lookup.first);
    // The answer may still be written after this: its buffer stays until the
    // process ends (at most one per running look-up, a kilobyte each).
    static std::vector<std::vector<char>> orphans;
    orphans.push_back(std::move(lookup.second.hostent));
  }
  lookups_.clear();
  events_.DropNetwork();
  for (; startups_ > 0; --startups_) WSACleanup();
}

UINT Win32Adapter::NextPrivateMessage() {
  for (UINT tries = 0; tries < kSocketMsgCount; ++tries) {
    UINT msg = kSocketMsgFirst + next_private_;
    next_private_ = (next_private_ + 1) % kSocketMsgCount;
    if (!by_private_msg_.count(msg)) return msg;
  }
  return 0;
}

platform::Socket Win32Adapter::OpenSocket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    last_error_ = WSAGetLastError();
    return platform::kInvalidSocket;
  }
  UINT msg = NextPrivateMessage();
  u_long nonblocking = 1;
  if (!msg || ioctlsocket(s, FIONBIO, &nonblocking) != 0) {
    last_error_ = msg ? WSAGetLastError() : WSAENOBUFS;
    closesocket(s);
    return platform::kInvalidSocket;
  }
  auto handle = static_cast<platform::Socket>(s);
  sockets_[handle] = SocketState{msg};
  by_private_msg_[msg] = handle;
  return handle;
}

int Win32Adapter::Connect(platform::Socket s, platform::Ipv4 address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address;
  if (::connect(static_cast<SOCKET>(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
    return Fail();
  return 0;
}

int Win32Adapter::Send(platform::Socket s, const char* data, int len) {
  int n = ::send(static_cast<SOCKET>(s), data, len, 0);
  return n == SOCKET_ERROR ? Fail() : n;
}

int Win32Adapter::Recv(platform::Socket s, char* buf, int len, int flags) {
  int n = ::recv(static_cast<SOCKET>(s), buf, len, (flags & platform::kMsgPeek) ? MSG_PEEK : 0);
  return n == SOCKET_ERROR ? Fail() : n;
}

int Win32Adapter::Close(platform::Socket s) {
  auto it = sockets_.find(s);
  if (it != sockets_.end()) {
    by_private_msg_.erase(it->second.private_msg);
    sockets_.erase(it);
    events_.DropSocket(s);
  }
  return closesocket(static_cast<SOCKET>(s)) == 0 ? 0 : Fail();
}

int Win32Adapter::AsyncSelect(platform::Socket s, unsigned message, long events) {
  auto it = sockets_.find(s);
  if (it == sockets_.end()) {
    last_error_ = WSAENOTSOCK;
    return platform::kSocketError;
  }
  SocketState& st = it->second;
  int r = events ? WSAAsyncSelect(static_cast<SOCKET>(s), hwnd_, st.private_msg, events)
                 : WSAAsyncSelect(static_cast<SOCKET>(s), hwnd_, 0, 0);
  if (r != 0) return Fail();
  // A notification of the previous registration still on its way keeps the
  // message it was asked with, as Winsock's would.
  if (events & FD_CONNECT) st.connect_msg = message;
  if (events & (FD_READ | FD_CLOSE)) st.read_msg = message;
  st.events = events;
  if (!events) events_.DropSocket(s);
  return 0;
}

platform::AsyncTask Win32Adapter::AsyncGetHostByName(unsigned message, const std::string& name) {
  events_.ForgetAnswer(message);
  std::vector<char> buffer(MAXGETHOSTSTRUCT);
  HANDLE task = WSAAsyncGetHostByName(hwnd_, kMsgLookup, name.c_str(), buffer.data(),
                                      static_cast<int>(buffer.size()));
  if (!task) {
    last_error_ = WSAGetLastError();
    return 0;
  }
  // The answer is posted, never sent, so it can't arrive before this entry.
  lookups_[task] = Lookup{message, std::move(buffer), false};
  return reinterpret_cast<platform::AsyncTask>(task);
}

int Win32Adapter::CancelAsyncRequest(platform::AsyncTask task) {
  auto handle = reinterpret_cast<HANDLE>(task);
  auto it = lookups_.find(handle);
  if (it != lookups_.end() && !it->second.cancelled) {
    WSACancelAsyncRequest(handle);
    it->second.cancelled = true;
    return 0;
  }
  if (events_.DropLookup(task)) return 0;
  last_error_ = WSAEINVAL;
  return platform::kSocketError;
}

platform::Ipv4 Win32Adapter::InetAddr(const std::string& text) {
  return static_cast<platform::Ipv4>(inet_addr(text.c_str()));
}

// --- host -------------------------------------------------------------------

bool Win32Adapter::SetTimer(unsigned id, unsigned period_ms) {
  if (!::SetTimer(hwnd_, id, period_ms, nullptr)) return false;
  events_.StartTimer(id, period_ms);
  return true;
}

void Win32Adapter::KillTimer(unsigned id) {
  ::KillTimer(hwnd_, id);
  events_.StopTimer(id);
}

bool Win32Adapter::Run(unsigned timeout_ms) {
  // Asked for from inside the handler, a loop does deliver: the caller is
  // ready for that.
  platform::EventQueue::RunScope scope(events_);
  Wake();
  const DWORD start = GetTickCount();
  const auto expired = [&] { return timeout_ms && GetTickCount() - start >= timeout_ms; };
  for (;;) {
    MSG m;
    // The time limit holds even while messages keep coming.
    while (!events_.Quitting() && !expired() && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (events_.TakeQuit()) return true;
    DWORD wait = INFINITE;
    if (timeout_ms) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= timeout_ms) return false;
      wait = timeout_ms - spent;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

}  // namespace win32

win32::Win32Adapter* win32::InstallWin32Adapter(HWND target) {
  platform::RemoveOsAdapter();
  auto adapter = std::make_unique<Win32Adapter>(target);
  if (!adapter->window()) return nullptr;
  Win32Adapter* installed = adapter.get();
  platform::InstallAdapter(std::move(adapter));
  return installed;
}

namespace platform {

bool InstallOsAdapter() {
  return win32::InstallWin32Adapter(nullptr) != nullptr;
}

void RemoveOsAdapter() {
  InstallAdapter(nullptr);
}

}  // namespace platform
