// The Hunt on a fake network, for what whole Hunts on loopback can't pin
// down: one job's state sequence, the end of a run handled from the loop,
// tick counts, stale look-ups, failures loopback can't provoke, vendor
// replies, answers the demo server never sends, the guard on an answer
// being handled, and shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/find.h"
#include "app/main_messages.h"
#include "app/startup.h"
#include "engines/engines.h"
#include "hunt/controller.h"
#include "hunt/hunt_stats.h"
#include "hunt/response.h"
#include "hunt/slots.h"
#include "platform/frontend.h"
#include "platform/headless_ui.h"
#include "platform/host.h"
#include "platform/net.h"
#include "projects/project.h"
#include "reports/page_capture.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "update/version_check.h"
#include "util/file.h"
#include "util/text.h"

// Slot states by name in failure messages.
void PrintTo(SlotState state, std::ostream* os) {
  *os << SlotStateName(state);
}

namespace {

using platform::Ipv4;
using platform::Socket;

// A network whose events happen only when a test says so, through the
// same messages the real adapters post. Every host is found at one address,
// and a dotted address of more than four parts is none.
class FakeNet : public platform::Net {
 public:
  struct Sock {
    bool open = true;
    std::uint16_t port = 0;
    std::string sent;
    std::string incoming;        // what the server has sent and is not yet read
    bool server_closed = false;  // behind incoming, the end of the stream
  };

  int Startup() override { return startup_error; }
  void Cleanup() override {}
  Socket OpenSocket() override {
    if (refuse_sockets) return platform::kInvalidSocket;
    sockets[next_socket] = Sock{};
    return next_socket++;
  }
  int Connect(Socket s, Ipv4, std::uint16_t port) override {
    sockets[s].port = port;
    error = connect_error;
    return platform::kSocketError;
  }
  int Send(Socket s, const char* data, int len) override {
    sockets[s].sent.append(data, static_cast<std::size_t>(len));
    return len;
  }
  int Recv(Socket s, char* buf, int len, int flags) override {
    Sock& k = sockets[s];
    const int n = std::min(static_cast<int>(k.incoming.size()), len);
    error = platform::kWsaEWouldBlock;
    if (n == 0 && !k.server_closed) return platform::kSocketError;
    std::memcpy(buf, k.incoming.data(), static_cast<std::size_t>(n));
    if (!(flags & platform::kMsgPeek)) k.incoming.erase(0, static_cast<std::size_t>(n));
    return n;
  }
  int Close(Socket s) override {
    sockets[s].open = false;
    return 0;
  }
  int AsyncSelect(Socket, unsigned, long) override { return 0; }
  platform::AsyncTask AsyncGetHostByName(unsigned message, const std::string&) override {
    lookups[next_task] = message;
    return next_task++;
  }
  int CancelAsyncRequest(platform::AsyncTask task) override {
    return lookups.erase(task) ? 0 : platform::kSocketError;
  }
  std::optional<Ipv4> LookupResult(platform::AsyncTask) override { return Ipv4{0x0500000A}; }
  Ipv4 InetAddr(const std::string& text) override {
    return std::count(text.begin(), text.end(), '.') == 3 ? Ipv4{1} : platform::kInaddrNone;
  }
  int LastError() override { return error; }

  void AnswerLookups() {
    for (auto& [task, message] : lookups) platform::host().PostMessage(message, task, 0);
    lookups.clear();
  }
  void ConnectDone(Socket s, unsigned err = 0) {
    platform::host().PostMessage(platform::kMsgConnectionEvent, s,
                                 platform::MakeSelectReply(platform::kFdConnect, err));
  }
  // The server sends bytes, and with close ends the connection behind them.
  void Answer(Socket s, const std::string& bytes, bool close = true) {
    sockets[s].incoming += bytes;
    sockets[s].server_closed = close;
    platform::host().PostMessage(platform::kMsgDataEvent, s,
                                 platform::MakeSelectReply(platform::kFdRead, 0));
  }

  std::map<Socket, Sock> sockets;
  Socket next_socket = 100;
  std::map<platform::AsyncTask, unsigned> lookups;  // pending: task -> message
  platform::AsyncTask next_task = 1;
  int startup_error = 0;
  int connect_error = platform::kWsaEWouldBlock;
  bool refuse_sockets = false;
  int error = 0;
};

// Status flags of every finished job, by engine ID.
std::map<int, std::uint32_t> g_done;

struct DoneFrontEnd : platform::FrontEnd {
  void JobDone(int, const EngineEntry& j) override { g_done[j.id] = j.status_flags; }
  void OpenReport(const std::string& path) override { reports.push_back(path); }
  // Command 1094 to the Online Version Check dialog, as the window posts it.
  void RunEnded() override { ++runs_ended; }
  std::vector<std::string> reports;
  int runs_ended = 0;
};

// A message box that runs the loop meanwhile, as a real one does.
struct NestingUi : platform::HeadlessUi {
  std::function<void()> during_box;
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    if (during_box) during_box();
    return HeadlessUi::MessageBox(text, caption, style);
  }
};

class HuntTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory("reports");
    platform::SetUi(&ui_);
    platform::SetNet(&net_);
    platform::SetHost(&host_);
    platform::SetFrontEnd(&frontend_);
    host_.SetHandler(
        [](unsigned m, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(m, w, l); });
    ResetAll();
    g_settings.exact = 0;
    g_hunt.vendor_replies = 1;  // most tests leave the vendor job out
    for (int id = 1; id <= 5; ++id) {
      EngineEntry& e = g_engines.emplace_back();
      e.id = id;
      e.request = "http://engine.test/s" + std::to_string(id) + "?q=$QUERY&n=$HITS";
    }
  }
  void TearDown() override {
    ResetAll();
    TraceSlotStates(false);
    platform::SetUi(nullptr);
    platform::SetNet(nullptr);
    platform::SetHost(nullptr);
    platform::SetFrontEnd(nullptr);
    TempDirTest::TearDown();
  }
  static void ResetAll() {
    g_engines.clear();
    g_hunt = HuntState{};
    g_app = AppState{};
    g_settings = AppSettings{};
    g_project.query.reset();
    ClearSlotTables();
    FreeHitList();
    SeenTreeFree(g_seen_urls);
    g_total_hits = 0;
    g_done.clear();
  }

  // Starts a Hunt for query over exactly the engines with these IDs.
  int StartHunt(const char* query, std::initializer_list<int> ids) {
    for (EngineEntry& e : g_engines) e.selected = 0;
    for (int id : ids) FindEngineById(id)->selected = 1;
    g_project.query = std::string(query);
    return Find();
  }
  // Delivers the first queued message alone; returns it.
  unsigned DeliverOne() {
    const platform::ManualHost::Message m = host_.queue.front();
    host_.queue.pop_front();
    HandleMainMessage(m.msg, m.w, m.l);
    return m.msg;
  }
  // The status texts a slot has shown, in order, without the leading blank.
  std::vector<std::string> Statuses(int slot) const {
    std::vector<std::string> out;
    const std::string mine = "status " + std::to_string(slot) + "|", all = "status -1|";
    for (const std::string& line : ui_.log) {
      if (line.rfind(mine, 0) == 0) out.push_back(line.substr(mine.size() + 1));
      if (line.rfind(all, 0) == 0) out.push_back(line.substr(all.size() + 1));
    }
    return out;
  }
  // The message boxes shown, as "caption|text".
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const std::string& line : ui_.log) {
      if (line.rfind("box ", 0) == 0) out.push_back(line.substr(4, line.rfind('|') - 4));
    }
    return out;
  }
  // Slot 0 holds a Hunt job of engine 4 and its whole answer, as receiving
  // leaves it for FinishResponse.
  void Hold(const std::string& answer, const char* request = "http://engine.test/s4?q=readme",
            std::uint32_t flags = 0) {
    g_hunt.running = 1;
    ConnSlot& s = g_slots[0];
    s.job.emplace();
    s.job->id = 4;
    s.job->query = "readme";
    s.job->request = request;
    s.job->request_flags = flags;
    s.socket = net_.OpenSocket();
    SetSlotState(0, SlotState::kReceiving, "answer held");
    s.buffer.assign(answer.size() + kMinFree, 'Z');  // no terminator of its own
    std::memcpy(s.buffer.data(), answer.data(), answer.size());
    s.received = answer.size();
  }
  static bool PageHas(int id, const std::string& text) {
    WriteHeldEnginePages();  // a running Hunt holds its pages until it ends
    return ReadFile("reports/" + std::to_string(id) + ".htm").find(text) != std::string::npos;
  }

  NestingUi ui_;
  DoneFrontEnd frontend_;
  FakeNet net_;
  platform::ManualHost host_;
};

TEST(SearchTerms, SplitAtCommas) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitSearchTerms("alpha, beta ,gamma"), (V{"alpha", "beta ", "gamma"}));
  EXPECT_EQ(SplitSearchTerms("  \t lead,,x,"), (V{"lead", "", "x", ""}));
  EXPECT_EQ(SplitSearchTerms("   "), (V{""}));
  std::string sixty;
  for (int i = 0; i < 60; ++i) sixty += (i ? "," : "") + std::string("w") + std::to_string(i);
  const V terms = SplitSearchTerms(sixty.c_str());
  ASSERT_EQ(terms.size(), static_cast<std::size_t>(kMaxSearchTerms));
  EXPECT_EQ(terms.back(), "w48");
}

TEST_F(HuntTest, OneJobThroughEveryStateAndTheEndFromTheLoop) {
  g_settings.packcount = 1;
  ui_.open_dialogs.insert(IDD_STATUS);
  TraceSlotStates(true);
  ASSERT_EQ(StartHunt("readme", {1}), 1);
  net_.AnswerLookups();
  host_.Pump();
  const Socket s = g_slots[0].socket;
  net_.ConnectDone(s);
  host_.Pump();
  EXPECT_EQ(net_.sockets[s].sent.rfind("GET /s1?q=readme", 0), 0u);
  // Bytes behind a NUL are saved with the page but not read.
  const char tail[] = "\0<a href=\"ftp://h/readme.doc\">readme.doc</a>";
  const std::string body =
      "<a href=\"ftp://h/readme.txt\">readme.txt</a>" + std::string(tail, sizeof tail - 1);
  net_.Answer(s, "HTTP/1.0 200 OK\r\n\r\n" + body);
  EXPECT_EQ(DeliverOne(), platform::kMsgDataEvent);
  EXPECT_EQ(DeliverOne(), platform::kMsgStartNext);  // posted for the delivered page

  std::vector<std::string> trace;
  for (const SlotTransition& t : SlotStateTrace()) {
    trace.push_back(std::to_string(t.slot) + " " + SlotStateName(t.from) + " > " +
                    SlotStateName(t.to));
  }
  EXPECT_EQ(trace, (std::vector<std::string>{
                       "0 idle > looking up", "0 looking up > address known",
                       "0 address known > connected", "0 connected > receiving",
                       "0 receiving > handling answer", "0 handling answer > idle"}));
  const std::vector<std::string> texts = Statuses(0);
  EXPECT_EQ(
      std::vector<std::string>(texts.end() - 3, texts.end()),
      (std::vector<std::string>{"Kite 1 Hunting for Filez", "1 files found", "Hunt is Complete"}));
  EXPECT_EQ((ui_.texts[{IDD_STATUS, IDC_FILES_FOUND}]), "1");
  EXPECT_EQ(ReadFile("reports/1.htm"), body);
  EXPECT_EQ(FindEngineById(1)->hits, 1);
  EXPECT_EQ(g_done[1], kJobFinished);

  // The run is over, but the report waits for the loop.
  EXPECT_TRUE(frontend_.reports.empty());
  EXPECT_TRUE(g_hunt.running);
  EXPECT_EQ(DeliverOne(), kMsgRunOver);
  EXPECT_FALSE(g_hunt.running);
  EXPECT_TRUE(host_.timers.empty());
  EXPECT_EQ(frontend_.reports, std::vector<std::string>{JoinPath("reports", "report.htm")});
}

TEST_F(HuntTest, EngineStatsTimeEachJobOnTheHostClock) {
  g_settings.packcount = 1;
  host_.now_ms = 1000;
  ASSERT_EQ(StartHunt("readme", {2}), 1);
  net_.AnswerLookups();
  host_.Pump();
  const Socket s = g_slots[0].socket;
  net_.ConnectDone(s);
  host_.Pump();
  const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
  const std::string body = "<a href=\"ftp://h/readme.txt\">readme.txt</a>";
  host_.now_ms = 1030;
  net_.Answer(s, head, false);
  host_.Pump();
  host_.now_ms = 1100;
  net_.Answer(s, body);
  host_.Pump();
  ASSERT_EQ(g_hunt_stats.size(), 1u);
  const EngineStats& e = g_hunt_stats[0];
  EXPECT_EQ(e.engine_id, 2);
  EXPECT_EQ(e.jobs, 1);
  EXPECT_EQ(e.hits, 1);
  EXPECT_EQ(e.bytes, head.size() + body.size());
  EXPECT_EQ(e.first_byte_ms, std::vector<std::uint64_t>{30});
  EXPECT_EQ(e.end_ms, std::vector<std::uint64_t>{100});
  EXPECT_EQ(e.outcomes, (std::vector<std::pair<std::string, int>>{{"files found", 1}}));
  EXPECT_EQ(MedianOf({5, 1, 9, 7}), 5u);
  EXPECT_EQ(MaxOf({5, 1, 9, 7}), 9u);
  // The next Hunt starts counting afresh.
  host_.Pump();
  ASSERT_EQ(StartHunt("readme", {3}), 1);
  EXPECT_TRUE(g_hunt_stats.empty());
}

TEST_F(HuntTest, VendorJobsOfEachKindOfRun) {
  // The requests NextJob hands slot 0 until it has none.
  const auto jobs = [] {
    std::string out;
    while (NextJob(0)) out += *g_slots[0].job->request + " ";
    return out;
  };
  const std::string news = std::string(kVendorNewsAddress) + " ";
  g_hunt = HuntState{};
  g_hunt.running = 1;
  FindEngineById(3)->selected = 1;
  SplitQuery("a");
  ResetHuntResults();
  EXPECT_EQ(jobs(), news + "http://engine.test/s3?q=$QUERY&n=$HITS ");
  // Once per program run: the next Hunt starts with the engines.
  ResetHuntResults();
  EXPECT_EQ(jobs(), "http://engine.test/s3?q=$QUERY&n=$HITS ");
  // The version check and the insert download run only the vendor's job.
  g_hunt = HuntState{};
  g_hunt.running = 1;
  g_hunt.run_kind = kRunVersionCheck;
  EXPECT_EQ(jobs(), news);
  g_hunt.run_kind = kRunInsertDownload;
  EXPECT_EQ(jobs(), std::string(kInsertFileAddress) + " ");
  EXPECT_EQ(g_slots[0].job->request_flags, kRequestVendorJob | kRequestSaveToFile);
  // Ordered during a Hunt, the file is one job more: every engine still gets its turn.
  g_hunt = HuntState{};
  g_hunt.running = 1;
  g_hunt.vendor_replies = 1;
  SplitQuery("a,b");
  ResetHuntResults();
  ASSERT_TRUE(NextJob(0));
  g_hunt.insert_download_ordered = 1;
  EXPECT_EQ(jobs(), std::string(kInsertFileAddress) + " http://engine.test/s3?q=$QUERY&n=$HITS ");
  EXPECT_EQ(g_hunt.run_kind, kRunHunt);
}

TEST_F(HuntTest, FailuresLoopbackCannotProvoke) {
  // An address that is none fails at once; an unusual connect error is
  // shown with its number.
  FindEngineById(3)->request = "http://1.2.3.4.5/x";
  ASSERT_EQ(StartHunt("x", {2, 3}), 1);
  EXPECT_EQ(Statuses(1).back(), "Address translation error");
  net_.AnswerLookups();
  host_.Pump();
  constexpr unsigned kNetworkDown = 10050;  // WSAENETDOWN: no text of its own
  net_.ConnectDone(g_slots[0].socket, kNetworkDown);
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Winsock Error 10050 (1091)");
  EXPECT_TRUE(PageHas(2, "<BODY>Winsock Error 10050 (1091)</BODY>"));
  host_.FireTimer(kPollTimer);
  host_.Pump();
  // A connect that fails at once.
  g_settings.packcount = 1;
  net_.connect_error = platform::kWsaEConnRefused;
  ASSERT_EQ(StartHunt("x", {1}), 1);
  net_.AnswerLookups();
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Connect Failed (10061)");
  EXPECT_TRUE(PageHas(1, "Connect Fail - The server may be down."));
}

TEST_F(HuntTest, TimeoutRetriesAtTheTenthTickAndAbortsAtTheTwentyFirst) {
  g_settings.packcount = 1;
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  EXPECT_EQ(host_.timers.at(kTimeoutTimer), static_cast<unsigned>(g_settings.timeout));
  net_.AnswerLookups();
  host_.Pump();
  const Socket s = g_slots[0].socket;
  net_.ConnectDone(s);
  host_.Pump();
  std::vector<std::string> texts = Statuses(0);
  for (int i = 1; i < kRetryTicks; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).size(), texts.size());
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).end()[-3], "Timeout Error...(Retry)");
  // The retry ran the connected step again: the request went out twice.
  EXPECT_NE(net_.sockets[s].sent.find("GET ", 1), std::string::npos);
  texts = Statuses(0);
  for (int i = kRetryTicks; i < kAbortTicks; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).size(), texts.size());
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(g_done[1], kJobFailed | kJobTimedOut);
  // The abort, once, and the next job's look-up.
  const std::vector<std::string> after = Statuses(0);
  EXPECT_EQ(std::vector<std::string>(after.begin() + texts.size(), after.end()),
            (std::vector<std::string>{"Timeout Error...(Abort)", "Contacting engine.test"}));
}

TEST_F(HuntTest, AJobEndsAtItsTimeBoundThoughBytesKeepComing) {
  // A byte a tick is progress, but not beyond the job's time bound. (The
  // byte bound is tested by the hostile Hunt tests.)
  g_settings.packcount = 1;
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  net_.AnswerLookups();
  host_.Pump();
  net_.ConnectDone(g_slots[0].socket);
  host_.Pump();
  for (int i = 0; i <= kJobTickLimit; ++i) {
    net_.Answer(g_slots[0].socket, "x", false);
    host_.Pump();
    host_.FireTimer(kTimeoutTimer);
  }
  EXPECT_EQ(g_done[1], kJobFailed | kJobTimedOut);
  const std::string too_long = "Timeout Error...(Abort): the job ran longer than 120 seconds";
  EXPECT_EQ(Statuses(0).end()[-2], too_long);
  EXPECT_TRUE(PageHas(1, too_long));
  EXPECT_EQ(g_slots[0].job->id, 2);
}

TEST_F(HuntTest, CancelStopsTheRunAndItsEndOnTheWay) {
  g_settings.packcount = 2;
  ASSERT_EQ(StartHunt("x", {1, 2, 3}), 1);
  const platform::AsyncTask stale = net_.lookups.begin()->first;
  host_.PostMessage(kWmCommand, IDC_CANCEL, 0);
  host_.Pump();
  EXPECT_TRUE(net_.lookups.empty());
  EXPECT_EQ(Statuses(1).back(), "Hunt Cancelled");
  EXPECT_TRUE(g_slot_status[2].empty());  // slots beyond packcount are never touched
  HandleMainMessage(platform::kWmTimer, kTimeoutTimer, 0);  // a late tick changes nothing
  EXPECT_EQ(g_slots[0].ticks, 0);
  // The late answer of a look-up taken back never reaches the slot's next job.
  ASSERT_EQ(StartHunt("x", {1}), 1);
  host_.PostMessage(platform::LookupMessage(0), stale, 0);
  host_.Pump();
  EXPECT_EQ(g_slots[0].state, SlotState::kLookingUp);
  Cancel();
  // No socket to be had: the job is skipped and the next step takes the
  // next. Then a cancel comes while the end of the run is on its way: that
  // end is stale and shows no message.
  g_settings.packcount = 1;
  net_.refuse_sockets = true;
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  EXPECT_EQ(Statuses(0).back(), "Unable to get socket (waiting)");
  host_.FireTimer(kPollTimer);
  EXPECT_EQ(g_slots[0].job->id, 2);
  host_.FireTimer(kPollTimer);
  ASSERT_EQ(host_.queue.back().msg, kMsgRunOver);
  Cancel();
  host_.Pump();
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Statuses(0).back(), "Hunt Cancelled");
}

TEST_F(HuntTest, FailedNetworkStartUpIsReportedOnce) {
  net_.startup_error = platform::kWsaSysNotReady;
  EXPECT_EQ(StartHunt("x", {1}), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error|ERROR 101: Failed to initialize Winsock"});
  EXPECT_EQ(g_slot_status[0], " ERROR: Failed to initialize Winsock");
  EXPECT_FALSE(g_hunt.running);
  EXPECT_EQ(StartHunt("x", {1}), 1);  // the second Find starts without trying again
}

TEST_F(HuntTest, ShutDownStopsTheHuntAndFreesEverySlot) {
  g_settings.packcount = 2;
  ASSERT_EQ(StartHunt("x", {1, 2, 3}), 1);
  g_slots[1].buffer.assign(kGrowStep, 'x');
  g_slots[1].received = kMinFree;
  ShutDown();
  EXPECT_FALSE(g_hunt.running);
  EXPECT_TRUE(host_.timers.empty());
  EXPECT_TRUE(net_.lookups.empty());
  for (const auto& [socket, sock] : net_.sockets) EXPECT_FALSE(sock.open) << socket;
  for (const ConnSlot& s : g_slots) {
    EXPECT_EQ(s.state, SlotState::kIdle);
    EXPECT_TRUE(s.buffer.empty());
    EXPECT_EQ(s.received, 0u);
  }
}

TEST_F(HuntTest, WhatAnAnswerCountsAs) {
  // Only the status line gives the status, and a redirect goes to its
  // Location when that is an absolute http address, else to the answer's
  // first "http:" up to the line end, without trailing blanks.
  const std::string link = "<a href=\"ftp://h/readme.txt\">readme.txt</a>1<br>";
  const struct {
    std::string answer;
    int result;
    const char* request;  // after the answer; hits 1 for a page, request error for none
  } cases[] = {
      {std::string(100, '-') + "HTTP/1.0 200 OK\r\n\r\n" + link, kFinishConsumed, nullptr},
      {"HTTP/1.1 404 Not Found\r\nX-Was: 200 OK\r\n\r\n" + link, kFinishConsumed, nullptr},
      {"HTTP/1.0 302 Moved\r\n\r\n" + link, kFinishDelivered, nullptr},
      {"HTTP/1.0 200 OK\r\nX-Id: 302\r\n\r\n" + link + "http://decoy.test/", kFinishDelivered,
       nullptr},
      {"http/1.0 200\r\n\r\n" + link, kFinishDelivered, nullptr},
      {"HTTP/1.0 302 Found\r\nLocation: http://other.test:81/next?q=1 \r\n\r\n"
       "see http://elsewhere.test/\r\n",
       kFinishRedirect, "http://other.test:81/next?q=1"},
      {"HTTP/1.0 302 Found\r\nX-Note: http://decoy.test/\r\nlocation:\tHTTP://other.test/x\r\n\r\n",
       kFinishRedirect, "HTTP://other.test/x"},
      {"HTTP/1.0 302 Found\r\nLocation: /relative\r\n\r\nsee http://elsewhere.test/ \r\n",
       kFinishRedirect, "http://elsewhere.test/"},
  };
  for (const auto& c : cases) {
    Hold(c.answer);
    EXPECT_EQ(FinishResponse(0, 0), c.result) << c.answer;
    const EngineEntry& job = *g_slots[0].job;
    if (c.result == kFinishRedirect) {
      EXPECT_EQ(*job.request, c.request) << c.answer;
    } else {
      EXPECT_EQ(job.hits, c.result == kFinishDelivered ? 1 : 0) << c.answer;
      EXPECT_EQ(job.request_flags, c.result == kFinishDelivered ? 0u : kRequestError) << c.answer;
    }
  }
  // Cut off by the timeout, a redirect is not followed; the next tick ends
  // the job as timed out.
  g_settings.packcount = 1;
  StartRunTimers();
  Hold("HTTP/1.0 302 Found\r\nLocation: http://other.test/x\r\n");
  g_slots[0].ticks = kAbortTicks;
  TimeoutTick();
  EXPECT_EQ(g_slots[0].state, SlotState::kRedirecting);
  EXPECT_TRUE(net_.lookups.empty());
  TimeoutTick();
  EXPECT_EQ(g_done[4], kJobFailed | kJobTimedOut);
  EXPECT_EQ(g_slots[0].state, SlotState::kIdle);
}

TEST_F(HuntTest, VendorRepliesGoToTheVersionCheckOrIntoAFile) {
  int boxes = 0;
  bool untouched = false;
  ui_.during_box = [&] {
    if (++boxes > 1) return;
    // The message box runs the loop: ticks, polls and data events must
    // leave the answer being handled alone.
    for (int i = 0; i <= kAbortTicks; ++i) TimeoutTick();
    PollSlots();
    OnDataEvent(g_slots[0].socket, 0);
    untouched = g_slots[0].state == SlotState::kHandlingAnswer && g_slots[0].ticks == 0;
  };
  g_settings.packcount = 1;
  StartRunTimers();
  const int replies = g_hunt.vendor_replies;
  Hold("HTTP/1.0 200 OK\r\n\r\n#MESSAGE=hello;\n", kVendorNewsAddress, kRequestVendorJob);
  EXPECT_EQ(FinishResponse(0, 0), kFinishConsumed);
  EXPECT_EQ(g_hunt.vendor_replies, replies + 1);
  EXPECT_EQ(boxes, 1);
  EXPECT_TRUE(untouched);
  ui_.during_box = nullptr;
  EXPECT_FALSE(FileExists("reports/4.htm"));
  // An engine's job naming the vendor's news (its own address or a
  // redirect) is read as a page.
  Hold("HTTP/1.0 200 OK\r\n\r\n#MESSAGE=hello;\n", kVendorNewsAddress);
  EXPECT_EQ(FinishResponse(0, 0), kFinishDelivered);
  EXPECT_EQ(g_hunt.vendor_replies, replies + 1);
  EXPECT_EQ(boxes, 1);
  // The ordered insert file: only a plain .idx name, only a whole answer
  // with status 200; then it replaces search.idx and is read at once.
  const std::uint32_t save = kRequestVendorJob | kRequestSaveToFile;
  const std::string insert = "%%*00\nnew insert\n|\n";
  const std::string whole = "HTTP/1.0 200 OK\r\nContent-Length: 19\r\n\r\n" + insert;
  WriteFile("search.idx", "old");
  g_settings.upgradenew = 7;
  const struct {
    std::string answer;
    const char* address;
    int more;
    bool box;
  } refused[] = {
      {whole, "http://www.torvane.example/..\\evil.idx", kAnswerWhole, true},
      {whole, "http://www.torvane.example/a\x01.idx", kAnswerWhole, true},
      {whole.substr(0, whole.size() - 1), kInsertFileAddress, kAnswerWhole, false},
      {"HTTP/1.0 200 OK\r\n", kInsertFileAddress, kAnswerWhole, false},
      {whole, kInsertFileAddress, kAnswerBroken, false},
      {whole, kInsertFileAddress, kAnswerFollows, false},
      {"HTTP/1.0 302 Moved\r\n\r\n" + insert, kInsertFileAddress, kAnswerWhole, false},
  };
  for (const auto& c : refused) {
    const std::size_t shown = Boxes().size();
    Hold(c.answer, c.address, save);
    FinishResponse(0, c.more);
    EXPECT_EQ(Boxes().size(), shown + (c.box ? 1 : 0)) << c.address;
    EXPECT_EQ(ReadFile("search.idx"), "old") << c.answer;
  }
  EXPECT_EQ(Boxes().back(), "Error|Unable to write upgrade file");
  EXPECT_EQ(g_settings.upgrade, 0);
  Hold(whole, kInsertFileAddress, save);
  EXPECT_EQ(FinishResponse(0, kAnswerWhole), kFinishDelivered);
  EXPECT_EQ(ReadFile("search.idx"), insert);
  EXPECT_EQ(*ReportInsertText(0), "new insert\n");
  EXPECT_EQ(g_settings.upgrade, 7);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);  // and reports/
}

TEST_F(HuntTest, VersionCheckRunsOnSlotZeroAndAsksAgainOnlyAfterAFailure) {
  const int dlg = IDD_VERSION_CHECK;
  ui_.open_dialogs.insert(dlg);
  g_hunt.vendor_replies = 0;
  // Opens the dialog and lets its run go to the end, the server refusing
  // or answering.
  const auto check = [&](unsigned refused, const std::string& answer) {
    VersionCheckOpened();
    EXPECT_EQ((ui_.texts[{dlg, platform::kWindowTitle}]),
              "Connecting to Host. Please Wait.........");
    EXPECT_EQ(g_hunt.run_kind, kRunVersionCheck);
    EXPECT_EQ(g_slots[0].job->request.value_or(""), kVendorNewsAddress);
    // While it waits, its three latest fields show the activity indicator.
    ASSERT_TRUE(host_.FireTimer(kPollTimer));
    for (int id : {IDC_LATEST_VERSION, IDC_LATEST_BUILD, IDC_LATEST_DATABASE}) {
      EXPECT_NE((ui_.texts[{dlg, id}]).find('\x7f'), std::string::npos) << id;
    }
    net_.AnswerLookups();
    host_.Pump();
    const Socket s = g_slots[0].socket;
    net_.ConnectDone(s, refused);
    if (!refused) net_.Answer(s, answer);
    const int ended = frontend_.runs_ended;
    host_.Pump();
    // An idle slot finds the end of the run at the next poll.
    if (host_.FireTimer(kPollTimer)) host_.Pump();
    EXPECT_FALSE(g_hunt.running);
    EXPECT_EQ(frontend_.runs_ended, ended + 1);
    VersionCheckRunEnded();
  };
  check(platform::kWsaEConnRefused, "");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].rfind("Connect Error|Torvane was unable to connect", 0), 0u);
  EXPECT_EQ((ui_.texts[{dlg, IDC_LATEST_VERSION}]), "");
  // The main window's query field stays held until the dialog closes.
  const auto query_held = [&] {
    const std::string query = Format("enable %i:%i|", platform::kMainWindow.dialog, IDC_QUERY);
    for (auto it = ui_.log.rbegin(); it != ui_.log.rend(); ++it) {
      if (it->rfind(query, 0) == 0) return it->back() == '0';
    }
    return false;
  };
  EXPECT_TRUE(query_held());
  VersionCheckClosing();
  EXPECT_FALSE(query_held());
  check(0, "HTTP/1.0 200 OK\r\n\r\n#VER1=302\n");
  EXPECT_EQ((ui_.texts[{dlg, IDC_LATEST_VERSION}]), "Torvane version 3.02");
  EXPECT_EQ((ui_.texts[{dlg, platform::kWindowTitle}]), "Torvane - Online Version Check");
  VersionCheckClosing();
  // Once a reply has come, the dialog shows it without a job.
  ui_.texts[{dlg, IDC_LATEST_VERSION}].clear();
  const std::size_t sockets = net_.sockets.size();
  VersionCheckOpened();
  EXPECT_FALSE(g_hunt.running);
  EXPECT_EQ(net_.sockets.size(), sockets);
  EXPECT_EQ((ui_.texts[{dlg, IDC_LATEST_VERSION}]), "Torvane version 3.02");
  EXPECT_EQ(Boxes().size(), 1u);
}

}  // namespace
