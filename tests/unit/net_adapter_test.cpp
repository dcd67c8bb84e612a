// The queue the OS adapters deliver from, and the adapters on loopback
// sockets, natively (poll + c-ares) and under Wine (Winsock): the rules of
// net.h and host.h that whole Hunts (the integration tests) would not miss.
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
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/adapter.h"
#include "platform/event_queue.h"
#include "platform/host.h"
#include "platform/net.h"

namespace {

using platform::host;
using platform::net;

struct Msg {
  unsigned msg;
  std::uintptr_t w;
  std::intptr_t l;
  bool operator==(const Msg& o) const { return msg == o.msg && w == o.w && l == o.l; }
};
std::ostream& operator<<(std::ostream& os, const Msg& m) {
  return os << "{" << m.msg << ", " << m.w << ", " << m.l << "}";
}
using Msgs = std::vector<Msg>;

#ifdef _WIN32
using SockLen = int;
#define CloseRaw closesocket
#else
using SockLen = socklen_t;
#define CloseRaw ::close
#endif
using RawSocket = decltype(::socket(0, 0, 0));
const RawSocket kNoRaw = static_cast<RawSocket>(-1);  // INVALID_SOCKET on Windows

// A blocking test server on 127.0.0.1, port chosen by the system. It is only
// asked to accept after the adapter reported the connect, so it never waits.
struct TestServer {
  RawSocket listener = ::socket(AF_INET, SOCK_STREAM, 0);
  RawSocket conn = kNoRaw;
  std::uint16_t port = 0;

  TestServer() {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SockLen len = sizeof sa;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::listen(listener, 4) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
      port = ntohs(sa.sin_port);
    }
  }
  ~TestServer() {
    if (conn != kNoRaw) CloseRaw(conn);
    if (listener != kNoRaw) CloseRaw(listener);
  }
  bool Send(const std::string& data) {
    return ::send(conn, data.data(), static_cast<int>(data.size()), 0) ==
           static_cast<int>(data.size());
  }
};

class NetAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InstallOsAdapter());
    ASSERT_EQ(net().Startup(), 0);
    host().SetHandler(Recorder());
  }
  void TearDown() override { platform::RemoveOsAdapter(); }

  platform::MessageHandler Recorder() {
    return [this](unsigned msg, std::uintptr_t w, std::intptr_t l) {
      got.push_back({msg, w, l});
      if (on_message) on_message(got.back());
      if (stop_when && stop_when(got.back())) host().Quit();
    };
  }
  // One round of q's deliveries.
  Msgs Deliver(platform::EventQueue& q) {
    got.clear();
    q.Deliver();
    return got;
  }
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
    return static_cast<int>(
        std::count_if(got.begin(), got.end(), [msg](const Msg& m) { return m.msg == msg; }));
  }

  // A socket connected to server, registered for data events.
  platform::Socket Connected(TestServer& server) {
    platform::Socket s = net().OpenSocket();
    EXPECT_EQ(net().AsyncSelect(s, platform::kMsgConnectionEvent, platform::kFdConnect), 0);
    net().Connect(s, net().InetAddr("127.0.0.1"), server.port);
    EXPECT_TRUE(WaitForMsg(platform::kMsgConnectionEvent));
    EXPECT_EQ(got.back(), (Msg{platform::kMsgConnectionEvent, s,
                               platform::MakeSelectReply(platform::kFdConnect, 0)}));
    server.conn = ::accept(server.listener, nullptr, nullptr);
    EXPECT_EQ(net().AsyncSelect(s, platform::kMsgDataEvent, platform::kFdRead), 0);
    return s;
  }

  Msgs got;
  std::function<void(const Msg&)> on_message;
  std::function<bool(const Msg&)> stop_when;
};

// ---- the queue ---------------------------------------------------------

TEST_F(NetAdapterTest, QueueTakesBackWhatASocketLookUpOrTimerLeftWaiting) {
  platform::EventQueue q;
  q.SetHandler(Recorder());
  const platform::Ipv4 loopback = 0x0100007F;
  q.PostSocket(1092, 7, 1);
  q.PostLookup(1333, 5, 0, loopback);
  q.Post(1095, 7, 0);  // the core's own, whatever its wParam
  q.DropSocket(7);
  q.PostSocket(1092, 7, 2);  // a new socket with the old number
  EXPECT_TRUE(q.DropLookup(5));
  EXPECT_FALSE(q.Answer(5).has_value());
  EXPECT_EQ(Deliver(q), (Msgs{{1095, 7, 0}, {1092, 7, 2}}));
  // Cleanup takes back the network's messages and answers, not the core's.
  q.PostLookup(1334, 6, 0, loopback);
  q.PostSocket(1091, 9, 0);
  q.Post(1095, 0, 0);
  q.DropNetwork();
  EXPECT_FALSE(q.Answer(6).has_value());
  EXPECT_EQ(Deliver(q), (Msgs{{1095, 0, 0}}));

  // Ticks never pile up, and die with their timer.
  q.StartTimer(181, 50);
  EXPECT_FALSE(q.Tick(1330));  // not a running timer: someone else's
  EXPECT_TRUE(q.Tick(181));
  EXPECT_TRUE(q.Tick(181));
  const auto late = platform::EventQueue::Clock::now() + std::chrono::seconds(1);
  q.TickDue(late);  // twenty periods late: still one tick, and the next a period on
  EXPECT_EQ(q.NextDue(), late + std::chrono::milliseconds(50));
  EXPECT_EQ(Deliver(q), (Msgs{{platform::kWmTimer, 181, 0}}));
  q.Tick(181);
  q.StopTimer(181);
  EXPECT_TRUE(Deliver(q).empty());
  EXPECT_FALSE(q.Tick(181));
  EXPECT_FALSE(q.NextDue().has_value());
}

TEST_F(NetAdapterTest, QueueDeliversWhatWasQueuedAndNeverNests) {
  platform::EventQueue q;
  q.SetHandler(Recorder());
  on_message = [&](const Msg& m) {
    if (m.msg == 1) {
      q.Post(3, 0, 0);
      q.Deliver();  // a message box pumping inside the handler
    }
    if (m.msg == 4) q.Quit();
  };
  q.Post(1, 0, 0);
  q.Post(2, 0, 0);
  EXPECT_EQ(Deliver(q), (Msgs{{1, 0, 0}, {2, 0, 0}}));
  EXPECT_EQ(Deliver(q), (Msgs{{3, 0, 0}}));
  // Quit ends the round; the rest waits.
  q.Post(4, 0, 0);
  q.Post(5, 0, 0);
  EXPECT_EQ(Deliver(q), (Msgs{{4, 0, 0}}));
  EXPECT_TRUE(q.TakeQuit());
  EXPECT_EQ(Deliver(q), (Msgs{{5, 0, 0}}));
}

// ---- the adapters on loopback -----------------------------------------

TEST_F(NetAdapterTest, LookupsAnswerThroughTheLoopAndCancelledOnesNever) {
  const unsigned msg = platform::LookupMessage(3);
  const platform::AsyncTask first = net().AsyncGetHostByName(msg, "localhost");
  ASSERT_NE(first, 0u);
  EXPECT_TRUE(got.empty()) << "answers must come through the loop, never from the call";
  ASSERT_TRUE(WaitForMsg(msg));
  EXPECT_EQ(got.back(), (Msg{msg, first, 0}));
  EXPECT_EQ(platform::AddressText(net().LookupResult(first).value_or(0)), "127.0.0.1");

  // A new look-up on the same message replaces the old answer; a cancelled
  // one never answers.
  const platform::AsyncTask again = net().AsyncGetHostByName(msg, "10.1.2.3");
  EXPECT_FALSE(net().LookupResult(first).has_value());
  const platform::AsyncTask dropped = net().AsyncGetHostByName(msg + 1, "localhost");
  EXPECT_EQ(net().CancelAsyncRequest(dropped), 0);
  got.clear();
  ASSERT_TRUE(WaitForMsg(msg));
  Idle(100);
  EXPECT_EQ(got, (Msgs{{msg, again, 0}}));
  EXPECT_EQ(platform::AddressText(net().LookupResult(again).value_or(0)), "10.1.2.3");
}

TEST_F(NetAdapterTest, OneDataEventPerRecvWhileDataWaits) {
  TestServer server;
  const platform::Socket s = Connected(server);
  // Pieces of the size the Hunt reads (kPeekLimit), and a page of 23 of them.
  constexpr int kPiece = 228;
  constexpr int kPieces = 23;
  const std::string page(kPiece * kPieces - 56, 'x');
  ASSERT_TRUE(server.Send(page));
  std::string received;
  const auto read = [&] {
    char buf[kPiece];
    const int n = net().Recv(s, buf, kPiece, 0);
    if (n > 0) received.append(buf, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(WaitForMsg(platform::kMsgDataEvent));
  // Unread data announces itself once, not again and again.
  Idle(150);
  EXPECT_EQ(Count(platform::kMsgDataEvent), 1);
  read();
  on_message = [&](const Msg& m) {
    if (m.msg == platform::kMsgDataEvent) read();
  };
  ASSERT_TRUE(WaitFor([&](const Msg&) { return received.size() >= page.size(); }));
  EXPECT_EQ(received, page);
  // One message per piece read; at most one without data behind it.
  EXPECT_GE(Count(platform::kMsgDataEvent), kPieces);
  EXPECT_LE(Count(platform::kMsgDataEvent), kPieces + 1);
}

TEST_F(NetAdapterTest, ThePeersCloseIsAnnouncedOnceOnTheDataMessage) {
  TestServer server;
  const platform::Socket s = Connected(server);
  ASSERT_EQ(net().AsyncSelect(s, platform::kMsgDataEvent, platform::kFdRead | platform::kFdClose),
            0);
  ASSERT_TRUE(server.Send("tail"));
  CloseRaw(server.conn);
  server.conn = kNoRaw;
  std::string received;
  const auto is_close = [](const Msg& m) {
    return m.msg == platform::kMsgDataEvent && platform::SelectEvent(m.l) == platform::kFdClose;
  };
  on_message = [&](const Msg& m) {
    if (m.msg != platform::kMsgDataEvent || is_close(m)) return;
    char buf[64];
    const int n = net().Recv(s, buf, sizeof buf, 0);
    if (n > 0) received.append(buf, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(WaitFor(is_close));
  EXPECT_EQ(got.back(),
            (Msg{platform::kMsgDataEvent, s, platform::MakeSelectReply(platform::kFdClose, 0)}));
  Idle(150);
  EXPECT_EQ(std::count_if(got.begin(), got.end(), is_close), 1);
  // Whatever was not read yet is still there, and then the end.
  char buf[64];
  int n;
  while ((n = net().Recv(s, buf, sizeof buf, 0)) > 0)
    received.append(buf, static_cast<std::size_t>(n));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(received, "tail");
  EXPECT_EQ(net().Close(s), 0);
}

TEST_F(NetAdapterTest, AClosedSocketsLateNotificationNeverReachesItsSuccessor) {
  TestServer server;
  const platform::Socket old_socket = Connected(server);
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
  EXPECT_EQ(got, (Msgs{{platform::kMsgStartNext, 0, 0}}));
  EXPECT_EQ(net().Close(successor), 0);
}

// That timers tick, whole Hunts show (a job that never answers times out).
TEST_F(NetAdapterTest, ARunInsideTheHandlerDeliversAndTheTimeLimitHolds) {
  // Quit ends each Run, the inner one first, with true.
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
  EXPECT_EQ(got, (Msgs{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}));

  // The time limit holds while messages keep coming.
  on_message = [](const Msg&) { host().PostMessage(4, 0, 0); };
  host().PostMessage(4, 0, 0);
  Idle(100);
}

}  // namespace
