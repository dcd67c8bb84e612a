// The OS adapter behind the net and host seams, on real loopback sockets:
// the same file runs natively (poll + c-ares) and under Wine (Winsock and a
// message-only window), and asserts the exact messages the core gets.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/adapter.h"
#include "platform/host.h"
#include "platform/net.h"

namespace {

using platform::host;
using platform::net;

#ifdef _WIN32
using RawSocket = SOCKET;
constexpr RawSocket kNoRaw = INVALID_SOCKET;
using SockLen = int;
void CloseRaw(RawSocket s) {
  closesocket(s);
}
#else
using RawSocket = int;
constexpr RawSocket kNoRaw = -1;
using SockLen = socklen_t;
void CloseRaw(RawSocket s) {
  ::close(s);
}
#endif

// A blocking test server on 127.0.0.1, port chosen by the system. It is only
// asked to accept after the adapter reported the connect, so it never waits.
struct TestServer {
  RawSocket listener = kNoRaw;
  RawSocket conn = kNoRaw;
  std::uint16_t port = 0;

  explicit TestServer(bool listen_too = true) {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return;
    if (listen_too) ::listen(listener, 32);
    SockLen len = sizeof sa;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
  }
  ~TestServer() {
    if (conn != kNoRaw) CloseRaw(conn);
    if (listener != kNoRaw) CloseRaw(listener);
  }
  bool Accept() {
    conn = ::accept(listener, nullptr, nullptr);
    return conn != kNoRaw;
  }
  bool Send(const std::string& data) {
    return ::send(conn, data.data(), static_cast<int>(data.size()), 0) ==
           static_cast<int>(data.size());
  }
  // Reads until the text ends with end (the request's blank line).
  std::string ReadUntil(const std::string& end) {
    std::string got;
    char buf[256];
    while (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end)) {
      int n = static_cast<int>(::recv(conn, buf, sizeof buf, 0));
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }
  void CloseConn() {
    CloseRaw(conn);
    conn = kNoRaw;
  }
};

struct Msg {
  unsigned msg;
  std::uintptr_t w;
  std::intptr_t l;
};

class NetAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InstallOsAdapter());
    ASSERT_EQ(net().Startup(), 0);
    host().SetHandler([this](unsigned msg, std::uintptr_t w, std::intptr_t l) {
      got.push_back({msg, w, l});
      if (on_message) on_message(got.back());
      if (stop_when && stop_when(got.back())) host().Quit();
    });
  }
  void TearDown() override { platform::RemoveOsAdapter(); }

  // Runs the loop until a message matches pred; false after timeout_ms.
  bool WaitFor(std::function<bool(const Msg&)> pred, unsigned timeout_ms = 3000) {
    stop_when = std::move(pred);
    bool ok = host().Run(timeout_ms);
    stop_when = nullptr;
    return ok;
  }
  bool WaitForMsg(unsigned msg) {
    return WaitFor([msg](const Msg& m) { return m.msg == msg; });
  }
  // Lets the loop run for ms, expecting nothing to stop it.
  void Idle(unsigned ms) { EXPECT_FALSE(host().Run(ms)); }
  int Count(unsigned msg) const {
    int n = 0;
    for (const auto& m : got) n += m.msg == msg;
    return n;
  }

  // A socket whose connect to port has been answered; the answer is got.back().
  platform::Socket StartConnect(std::uint16_t port) {
    platform::Socket s = net().OpenSocket();
    EXPECT_NE(s, platform::kInvalidSocket);
    EXPECT_NE(s, 0u);
    EXPECT_EQ(net().AsyncSelect(s, platform::kMsgConnectionEvent, platform::kFdConnect), 0);
    EXPECT_EQ(net().Connect(s, net().InetAddr("127.0.0.1"), port), platform::kSocketError);
    EXPECT_EQ(net().LastError(), platform::kWsaEWouldBlock);
    EXPECT_TRUE(WaitForMsg(platform::kMsgConnectionEvent));
    EXPECT_EQ(got.back().w, s);
    EXPECT_EQ(platform::SelectEvent(got.back().l), static_cast<unsigned>(platform::kFdConnect));
    return s;
  }
  // A socket connected to server, registered for data events.
  platform::Socket Connected(TestServer& server) {
    platform::Socket s = StartConnect(server.port);
    EXPECT_EQ(platform::SelectError(got.back().l), 0u);
    EXPECT_TRUE(server.Accept());
    EXPECT_EQ(net().AsyncSelect(s, platform::kMsgDataEvent, platform::kFdRead), 0);
    return s;
  }

  std::vector<Msg> got;
  std::function<void(const Msg&)> on_message;
  std::function<bool(const Msg&)> stop_when;
};

TEST_F(NetAdapterTest, LookupsAnswerByMessageWithTheFirstAddress) {
  const struct {
    unsigned slot;
    const char* name;
    const char* address;  // null: unknown, answered with 11001
  } asks[] = {{3, "127.0.0.1", "127.0.0.1"},
              {7, "localhost", "127.0.0.1"},
              {19, "no-such-host.invalid", nullptr}};
  std::map<unsigned, platform::AsyncTask> tasks;
  for (const auto& a : asks) {
    const unsigned msg = platform::LookupMessage(a.slot);
    tasks[msg] = net().AsyncGetHostByName(msg, a.name);
    ASSERT_NE(tasks[msg], 0u);
  }
  EXPECT_TRUE(got.empty()) << "answers must come through the loop, never from the call";
  ASSERT_TRUE(WaitFor([&](const Msg&) { return got.size() == 3; }));
  Idle(100);
  ASSERT_EQ(got.size(), 3u);
  for (const auto& a : asks) {
    const unsigned msg = platform::LookupMessage(a.slot);
    auto m = std::find_if(got.begin(), got.end(), [&](const Msg& x) { return x.msg == msg; });
    ASSERT_NE(m, got.end()) << a.name;
    EXPECT_EQ(m->w, tasks[msg]);
    EXPECT_EQ(platform::AsyncError(m->l), a.address ? 0u : platform::kWsaHostNotFound);
    const std::optional<platform::Ipv4> found = net().LookupResult(tasks[msg]);
    EXPECT_EQ(found ? platform::AddressText(*found) : "-", a.address ? a.address : "-");
  }

  // A new look-up on the same message replaces the old answer; a cancelled
  // one never answers.
  const unsigned msg3 = platform::LookupMessage(3);
  platform::AsyncTask again = net().AsyncGetHostByName(msg3, "10.1.2.3");
  EXPECT_FALSE(net().LookupResult(tasks[msg3]).has_value());
  platform::AsyncTask dropped = net().AsyncGetHostByName(platform::LookupMessage(4), "localhost");
  EXPECT_EQ(net().CancelAsyncRequest(dropped), 0);
  got.clear();
  ASSERT_TRUE(WaitForMsg(msg3));
  Idle(100);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].w, again);
  EXPECT_EQ(platform::AddressText(*net().LookupResult(again)), "10.1.2.3");
}

TEST_F(NetAdapterTest, ConnectSendReceiveAndSeeTheEndByPeeking) {
  TestServer server;
  ASSERT_NE(server.port, 0);
  platform::Socket s = Connected(server);
  char buf[230];
  // Connected but nothing sent yet: a recv would block.
  EXPECT_EQ(net().Recv(s, buf, 228, 0), platform::kSocketError);
  EXPECT_EQ(net().LastError(), platform::kWsaEWouldBlock);

  const std::string request = "GET /find?q=a HTTP/1.0\r\n\r\n";
  EXPECT_EQ(net().Send(s, request.data(), static_cast<int>(request.size())),
            static_cast<int>(request.size()));
  EXPECT_EQ(server.ReadUntil("\r\n\r\n"), request);

  got.clear();
  ASSERT_TRUE(server.Send("hello"));
  ASSERT_TRUE(WaitForMsg(platform::kMsgDataEvent));
  EXPECT_EQ(got.back().w, s);
  EXPECT_EQ(platform::SelectEvent(got.back().l), static_cast<unsigned>(platform::kFdRead));
  EXPECT_EQ(platform::SelectError(got.back().l), 0u);
  // Unread data announces itself once, not again and again.
  Idle(150);
  EXPECT_EQ(Count(platform::kMsgDataEvent), 1);

  EXPECT_EQ(net().Recv(s, buf, 228, platform::kMsgPeek), 5);
  EXPECT_EQ(net().Recv(s, buf, 228, 0), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");

  server.CloseConn();
  // The end is found by peeking, as the core's 50 ms timer does.
  int peek = -2;
  for (int i = 0; i < 100 && peek != 0; ++i) {
    Idle(20);
    peek = net().Recv(s, buf, 228, platform::kMsgPeek);
  }
  EXPECT_EQ(peek, 0);
  EXPECT_EQ(net().Close(s), 0);
}

TEST_F(NetAdapterTest, DataEventsComeBackAfterEachRecvWhileDataRemains) {
  TestServer server;
  platform::Socket s = Connected(server);
  const std::string page(5188, 'x');
  ASSERT_TRUE(server.Send(page));
  std::string received;
  on_message = [&](const Msg& m) {
    if (m.msg != platform::kMsgDataEvent) return;
    char buf[230];
    int n = net().Recv(s, buf, 228, 0);
    if (n > 0) received.append(buf, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(WaitFor([&](const Msg&) { return received.size() >= page.size(); }));
  EXPECT_EQ(received, page);
  // One message per piece read (23 pieces); none without data behind it.
  EXPECT_GE(Count(platform::kMsgDataEvent), 23);
  EXPECT_LE(Count(platform::kMsgDataEvent), 24);
}

TEST_F(NetAdapterTest, RefusedConnectReportsTheErrorInTheHighWord) {
  TestServer closed(false);  // bound, never listening: the port refuses
  ASSERT_NE(closed.port, 0);
  StartConnect(closed.port);
  EXPECT_EQ(platform::SelectError(got.back().l), static_cast<unsigned>(platform::kWsaEConnRefused));
  Idle(100);
  EXPECT_EQ(got.size(), 1u);
}

TEST_F(NetAdapterTest, AClosedSocketsLateNotificationNeverReachesItsSuccessor) {
  TestServer server;
  platform::Socket old_socket = Connected(server);
  platform::Socket successor = 0;
  // The close happens in a handler that runs while the old socket's data
  // event is already on its way.
  ASSERT_TRUE(host().PostMessage(platform::kMsgStartNext, 0, 0));
  on_message = [&](const Msg& m) {
    if (m.msg != platform::kMsgStartNext) return;
    EXPECT_EQ(net().Close(old_socket), 0);
    successor = net().OpenSocket();
    EXPECT_EQ(net().AsyncSelect(successor, platform::kMsgDataEvent, platform::kFdRead), 0);
  };
  got.clear();
  ASSERT_TRUE(server.Send("late"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Idle(200);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].msg, platform::kMsgStartNext);
  EXPECT_NE(successor, platform::kInvalidSocket);
  // (Where the system handed out the same number, that is the successor.)
  if (successor != old_socket) {
    EXPECT_EQ(net().Close(old_socket), platform::kSocketError);
  }
  EXPECT_EQ(net().Close(successor), 0);
}

TEST_F(NetAdapterTest, TimersTickUntilKilledAndPostedMessagesKeepTheirOrder) {
  ASSERT_TRUE(host().SetTimer(platform::kTimerPoll, 50));
  ASSERT_TRUE(host().SetTimer(platform::kTimerTimeout, 200));
  for (unsigned i = 0; i < 3; ++i) host().PostMessage(platform::kMsgStartNext, i, -1);
  Idle(500);
  ASSERT_GE(got.size(), 3u);
  for (unsigned i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i].msg, platform::kMsgStartNext);
    EXPECT_EQ(got[i].w, i);
    EXPECT_EQ(got[i].l, -1);
  }
  int poll_ticks = 0, timeout_ticks = 0;
  for (const Msg& m : got) {
    if (m.msg != platform::kWmTimer) continue;
    EXPECT_EQ(m.l, 0);
    poll_ticks += m.w == platform::kTimerPoll;
    timeout_ticks += m.w == platform::kTimerTimeout;
  }
  EXPECT_GE(poll_ticks, 4);
  EXPECT_LE(poll_ticks, 11);
  EXPECT_GE(timeout_ticks, 1);
  EXPECT_LE(timeout_ticks, 3);

  host().KillTimer(platform::kTimerPoll);
  got.clear();
  Idle(250);
  for (const Msg& m : got)
    EXPECT_TRUE(m.msg == platform::kWmTimer && m.w == platform::kTimerTimeout);
  host().KillTimer(platform::kTimerTimeout);
  got.clear();

  // A Run asked for inside the handler delivers, and Quit ends each Run with true.
  bool inner_done = false;
  on_message = [&](const Msg& m) {
    if (m.msg != 1) return;
    host().PostMessage(2, 0, 0);
    stop_when = [](const Msg& n) { return n.msg == 2; };
    inner_done = host().Run(1000);
    stop_when = [](const Msg& n) { return n.msg == 3; };
    host().PostMessage(3, 0, 0);
  };
  host().PostMessage(1, 0, 0);
  stop_when = [](const Msg& n) { return n.msg == 3; };
  EXPECT_TRUE(host().Run(2000));
  EXPECT_TRUE(inner_done);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].msg, 2u);
  EXPECT_EQ(got[2].msg, 3u);
}

}  // namespace
