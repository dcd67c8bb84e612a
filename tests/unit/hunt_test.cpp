// The Hunt's logic on a fake network: query splitting, the order of jobs,
// the slot state machine message by message, timeouts, Cancel and the
// handling of finished answers. Whole Hunts on real sockets are the
// integration tests' part; these are the steps they can't pin down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/find.h"
#include "app/main_messages.h"
#include "app/startup.h"
#include "engines/engines.h"
#include "hunt/controller.h"
#include "hunt/response.h"
#include "hunt/slots.h"
#include "platform/headless_ui.h"
#include "platform/host.h"
#include "platform/net.h"
#include "projects/project.h"
#include "results/parser.h"
#include "results/store.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "util/file.h"

namespace {

using platform::Ipv4;
using platform::Socket;

// A network whose events happen only when a test says so, through the
// same messages the real adapters post.
class FakeNet : public platform::Net {
 public:
  struct Sock {
    bool open = true;
    bool peer_closed = false;
    std::string incoming;  // bytes waiting to be read
    std::string sent;
    unsigned message = 0;
    Ipv4 address = 0;
    std::uint16_t port = 0;
  };

  int Startup() override { return startup_error; }
  void Cleanup() override {}
  Socket OpenSocket() override {
    if (refuse_sockets) {
      error = 10055;
      return platform::kInvalidSocket;
    }
    sockets[next_socket] = Sock{};
    return next_socket++;
  }
  int Connect(Socket s, Ipv4 address, std::uint16_t port) override {
    Sock* k = Find(s);
    if (!k) return platform::kSocketError;
    k->address = address;
    k->port = port;
    error = connect_error;
    return platform::kSocketError;
  }
  int Send(Socket s, const char* data, int len) override {
    Sock* k = Find(s);
    if (!k) return platform::kSocketError;
    k->sent.append(data, static_cast<std::size_t>(len));
    return len;
  }
  int Recv(Socket s, char* buf, int len, int flags) override {
    Sock* k = Find(s);
    if (!k) return platform::kSocketError;
    if (k->incoming.empty()) {
      if (k->peer_closed) return 0;
      error = platform::kWsaEWouldBlock;
      return platform::kSocketError;
    }
    const std::size_t n = std::min(k->incoming.size(), static_cast<std::size_t>(len));
    std::memcpy(buf, k->incoming.data(), n);
    if (!(flags & platform::kMsgPeek)) k->incoming.erase(0, n);
    return static_cast<int>(n);
  }
  int Close(Socket s) override {
    Sock* k = Find(s);
    if (!k) return platform::kSocketError;
    k->open = false;
    return 0;
  }
  int AsyncSelect(Socket s, unsigned message, long) override {
    Sock* k = Find(s);
    if (!k) return platform::kSocketError;
    k->message = message;
    return 0;
  }
  platform::AsyncTask AsyncGetHostByName(unsigned message, const std::string& name) override {
    lookups[next_task] = {message, name};
    return next_task++;
  }
  int CancelAsyncRequest(platform::AsyncTask task) override {
    cancelled.push_back(task);
    return lookups.erase(task) ? 0 : platform::kSocketError;
  }
  std::optional<Ipv4> LookupResult(platform::AsyncTask task) override {
    auto it = results.find(task);
    if (it == results.end()) return std::nullopt;
    Ipv4 a = it->second;
    results.erase(it);
    return a;
  }
  Ipv4 InetAddr(const std::string& text) override {
    unsigned a, b, c, d;
    char extra;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
      return platform::kInaddrNone;
    }
    return static_cast<Ipv4>(a | b << 8 | c << 16 | d << 24);
  }
  int LastError() override { return error; }

  // ---- what the other side does --------------------------------------
  // Answers every pending look-up: known names with their address, the
  // rest with "host not found".
  void AnswerLookups() {
    for (auto& [task, pending] : lookups) {
      auto known = hosts.find(pending.second);
      if (known != hosts.end()) results[task] = known->second;
      const unsigned err = known == hosts.end() ? platform::kWsaHostNotFound : 0;
      platform::host().PostMessage(pending.first, task, platform::MakeAsyncReply(0, err));
    }
    lookups.clear();
  }
  void ConnectDone(Socket s, unsigned err = 0) {
    platform::host().PostMessage(platform::kMsgConnectionEvent, s,
                                 platform::MakeSelectReply(platform::kFdConnect, err));
  }
  void Arrive(Socket s, const std::string& bytes, bool close = false) {
    sockets[s].incoming += bytes;
    sockets[s].peer_closed = close;
    platform::host().PostMessage(platform::kMsgDataEvent, s,
                                 platform::MakeSelectReply(platform::kFdRead, 0));
  }

  Sock* Find(Socket s) {
    auto it = sockets.find(s);
    return it == sockets.end() || !it->second.open ? nullptr : &it->second;
  }

  std::map<Socket, Sock> sockets;
  Socket next_socket = 100;
  std::map<platform::AsyncTask, std::pair<unsigned, std::string>> lookups;
  std::map<platform::AsyncTask, Ipv4> results;
  std::vector<platform::AsyncTask> cancelled;
  platform::AsyncTask next_task = 1;
  std::map<std::string, Ipv4> hosts = {{"engine.test", 0x0500000A}};  // 10.0.0.5
  int startup_error = 0;
  int connect_error = platform::kWsaEWouldBlock;
  bool refuse_sockets = false;
  int error = 0;
};

const char kPage[] =
    "HTTP/1.0 200 OK\r\nContent-type: text/html\r\n\r\n"
    "<html><a href=\"ftp://h/pub/readme.txt\">readme.txt</a>1234<br>\n"
    "<a href=\"ftp://h/pub/readme.zip\">readme.zip</a>99<br>\n</html>\n";

// Status flags of every finished job, by engine ID.
std::map<int, std::uint32_t> g_done;

class HuntTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory("reports");
    previous_ui_ = platform::SetUi(&ui_);
    previous_net_ = platform::SetNet(&net_);
    previous_host_ = platform::SetHost(&host_);
    host_.SetHandler(
        [](unsigned m, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(m, w, l); });
    ResetAll();
    g_settings.exact = 0;
    g_hunt.vendor_replies = 1;  // most tests leave the vendor job out
    g_job_done = [](int, const EngineEntry& j) { g_done[j.id] = j.status_flags; };
    for (int id = 1; id <= 5; ++id) {
      EngineEntry& e = g_engines.emplace_back();
      e.id = id;
      e.name = "Engine " + std::to_string(id);
      e.request = "http://engine.test/s" + std::to_string(id) + "?q=$QUERY&n=$HITS";
    }
  }
  void TearDown() override {
    ResetAll();
    platform::SetUi(previous_ui_);
    platform::SetNet(previous_net_);
    platform::SetHost(previous_host_);
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
    g_vendor_reply_handler = nullptr;
    g_open_report = nullptr;
    g_job_done = nullptr;
    g_done.clear();
  }

  // Starts a Hunt for query over the engines with these IDs.
  int StartHunt(const char* query, std::initializer_list<int> ids) {
    for (int id : ids) FindEngineById(id)->selected = 1;
    g_project.query = std::string(query);
    return Find();
  }
  // Slot 0 finds its host and connects; its socket.
  Socket Connect0() {
    net_.AnswerLookups();
    host_.Pump();
    const Socket s = g_slots[0].socket;
    net_.ConnectDone(s);
    host_.Pump();
    return s;
  }
  // The status texts a slot has shown, in order, without the leading blank.
  std::vector<std::string> Statuses(int slot) const {
    std::vector<std::string> out;
    const std::string mine = "status " + std::to_string(slot) + "|";
    const std::string all = "status -1|";
    for (const std::string& line : ui_.log) {
      if (line.rfind(mine, 0) == 0) out.push_back(line.substr(mine.size() + 1));
      if (line.rfind(all, 0) == 0) out.push_back(line.substr(all.size() + 1));
    }
    return out;
  }
  bool Showed(int slot, const std::string& text) const {
    const std::vector<std::string> texts = Statuses(slot);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  bool Logged(const std::string& entry) const {
    return std::find(ui_.log.begin(), ui_.log.end(), entry) != ui_.log.end();
  }
  static bool PageHas(int id, const std::string& text) {
    return ReadFile("reports/" + std::to_string(id) + ".htm").find(text) != std::string::npos;
  }

  platform::HeadlessUi ui_;
  FakeNet net_;
  platform::ManualHost host_;
  platform::Ui* previous_ui_ = nullptr;
  platform::Net* previous_net_ = nullptr;
  platform::Host* previous_host_ = nullptr;
};

TEST(SearchTerms, SplitAtCommas) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitSearchTerms("alpha, beta ,gamma"), (V{"alpha", "beta ", "gamma"}));
  EXPECT_EQ(SplitSearchTerms("  \t lead,,x,"), (V{"lead", "", "x", ""}));
  EXPECT_EQ(SplitSearchTerms("   "), (V{""}));
  EXPECT_TRUE(SplitSearchTerms(nullptr).empty());
  std::string sixty;
  for (int i = 0; i < 60; ++i) sixty += (i ? "," : "") + std::string("w") + std::to_string(i);
  const V terms = SplitSearchTerms(sixty.c_str());
  ASSERT_EQ(terms.size(), 49u);
  EXPECT_EQ(terms.back(), "w48");
}

TEST_F(HuntTest, JobOrderForEachKindOfRun) {
  // Every job NextJob hands slot out, as "id:term:request flags" (or the
  // request for the vendor's jobs).
  const auto jobs = [](int slot) {
    std::vector<std::string> out;
    while (NextJob(slot)) {
      const EngineEntry& j = *g_slots[slot].job;
      out.push_back(std::to_string(j.id) + ":" +
                    (j.id ? j.query.value_or("-") : j.request.value_or("-")) + ":" +
                    std::to_string(j.request_flags));
    }
    return out;
  };
  using V = std::vector<std::string>;
  FindEngineById(1)->selected = FindEngineById(3)->selected = 1;
  g_hunt = HuntState{};
  g_hunt.running = 1;
  SplitQuery("a,b");
  ResetHuntResults();
  EXPECT_EQ(jobs(0), (V{"0:" + std::string(kVendorNewsAddress) + ":1024", "1:a:0", "3:a:0", "1:b:0",
                        "3:b:0"}));
  // The vendor job comes once per program run: the next Hunt starts with the engines.
  SplitQuery("c");
  ResetHuntResults();
  ASSERT_TRUE(NextJob(1));
  EXPECT_EQ(g_slots[1].job->id, 1);
  g_hunt.cancel_requests = 1;  // a cancel hands out nothing
  EXPECT_EQ(NextJob(1), 0);
  // The version check and the insert download run only the vendor's job.
  g_hunt = HuntState{};
  g_hunt.running = 1;
  g_hunt.run_kind = kRunVersionCheck;
  ResetHuntResults();
  EXPECT_EQ(jobs(0), V{"0:" + std::string(kVendorNewsAddress) + ":1024"});
  g_hunt.run_kind = kRunInsertDownload;
  EXPECT_EQ(jobs(2), V{"0:" + std::string(kInsertFileAddress) + ":1152"});
}

TEST_F(HuntTest, OneJobFromLookupToHits) {
  g_settings.packcount = 3;
  ASSERT_EQ(StartHunt("readme", {2}), 1);
  EXPECT_EQ(host_.timers.at(kTimeoutTimer), 2000u);
  EXPECT_EQ(host_.timers.at(kPollTimer), 50u);
  ASSERT_EQ(g_slots[0].state, kSlotWaiting);
  EXPECT_EQ(g_slots[1].state, kSlotIdle);  // only one job
  EXPECT_EQ(net_.lookups.begin()->second,
            std::make_pair(platform::LookupMessage(0), std::string("engine.test")));
  const Socket s = g_slots[0].socket;
  net_.AnswerLookups();
  host_.Pump();
  EXPECT_EQ(g_slots[0].state, kSlotAddressKnown);
  EXPECT_EQ(net_.sockets[s].address, 0x0500000Au);
  EXPECT_EQ(net_.sockets[s].port, 80);
  EXPECT_EQ(net_.sockets[s].message, platform::kMsgConnectionEvent);
  net_.ConnectDone(s);
  host_.Pump();
  EXPECT_EQ(net_.sockets[s].message, platform::kMsgDataEvent);
  EXPECT_EQ(net_.sockets[s].sent.rfind("GET /s2?q=readme&n=50 HTTP/1.0\r\n", 0), 0u);
  const std::string answer = kPage;
  net_.Arrive(s, answer.substr(0, 100));
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Downloading: 100");
  net_.Arrive(s, answer.substr(100), true);
  host_.Pump();
  EXPECT_EQ(g_total_hits, 2);
  EXPECT_EQ(FindEngineById(2)->hits, 2);
  EXPECT_EQ(g_done, (std::map<int, std::uint32_t>{{2, kJobFinished}}));
  EXPECT_FALSE(net_.sockets[s].open);
  EXPECT_EQ(ReadFile("reports/2.htm").substr(0, 6), "<html>");
  EXPECT_TRUE(PageHas(1, "Not Searched"));
  const std::vector<std::string> texts = Statuses(0);
  const std::vector<std::string> expected = {"Contacting engine.test", "Requesting Object Header",
                                             "Connected to HOST", "Downloading: 100"};
  ASSERT_GE(texts.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 5), expected);
  EXPECT_TRUE(Showed(0, "Transferred " + std::to_string(answer.size()) + " Bytes"));
  // The page posted "start next": an idle slot steps, finds no job, and the
  // Hunt ends with the report.
  EXPECT_EQ(Statuses(2).back(), "Hunt is Complete");
  EXPECT_TRUE(host_.timers.empty());
  EXPECT_FALSE(g_hunt.running);
  EXPECT_NE(ReadFile("reports/results.htm").find("2 <i>unique files found</i>"), std::string::npos);
  EXPECT_TRUE(g_slot_status[3].empty());  // slots beyond packcount were never touched
}

TEST_F(HuntTest, ConnectFailuresMarkTheJob) {
  net_.hosts.erase("engine.test");
  FindEngineById(2)->request = "http://known.test/x";
  FindEngineById(3)->request = "http://10.1.2.3:81/x";
  FindEngineById(4)->request = "http://1.2.3.4.5/x";
  net_.hosts["known.test"] = 0x0100007F;
  ASSERT_EQ(StartHunt("x", {1, 2, 3, 4}), 1);
  // Engine 3's dotted address needs no lookup: it is connecting already.
  EXPECT_EQ(g_slots[2].state, kSlotAddressKnown);
  EXPECT_EQ(net_.sockets[g_slots[2].socket].port, 81);
  EXPECT_TRUE(Showed(3, "Address translation error"));
  net_.AnswerLookups();
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Host Not Found");
  EXPECT_EQ(g_slots[0].state, kSlotIdle);
  net_.ConnectDone(g_slots[1].socket, platform::kWsaEConnRefused);
  net_.ConnectDone(g_slots[2].socket, 10050);
  host_.Pump();
  EXPECT_TRUE(Showed(1, "Connection Refused"));
  EXPECT_TRUE(Showed(2, "Winsock Error 10050 (1091)"));
  host_.FireTimer(kPollTimer);  // idle slots step: nothing is left
  EXPECT_EQ(Statuses(1).back(), "Hunt is Complete");
  EXPECT_EQ(g_done[1], 0x108u | kJobFinished);
  EXPECT_EQ(g_done[2], 0x208u | kJobFinished);
  EXPECT_EQ(g_done[3], 0x208u | kJobFinished);
  EXPECT_TRUE(PageHas(1, "<BODY>Host Not Found</BODY>"));
  EXPECT_TRUE(PageHas(2, "<BODY>Connection Refused</BODY>"));
  EXPECT_TRUE(PageHas(3, "<BODY>Winsock Error 10050 (1091)</BODY>"));
  // Every engine failed: no report, the no-hits message.
  EXPECT_EQ(ui_.log.back(), "box Message|FTP file Search Complete. No matching files found.|0");
  EXPECT_FALSE(FileExists("reports/results.htm"));
}

TEST_F(HuntTest, FailuresBeforeAnyConnection) {
  // A connect that fails at once.
  g_settings.packcount = 1;
  net_.connect_error = platform::kWsaEConnRefused;
  ASSERT_EQ(StartHunt("x", {1}), 1);
  net_.AnswerLookups();
  host_.Pump();
  EXPECT_TRUE(Showed(0, "Connect Failed (10061)"));
  host_.FireTimer(kPollTimer);
  EXPECT_TRUE(PageHas(1, "Connect Fail - The server may be down."));
  EXPECT_EQ(Statuses(0).back(), "Hunt is Complete");
  // No socket to be had: the job is skipped and the next step takes the next.
  net_.refuse_sockets = true;
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  EXPECT_EQ(Statuses(0).back(), "Unable to get socket (waiting)");
  EXPECT_EQ(g_slots[0].job->id, 1);
  host_.FireTimer(kPollTimer);
  EXPECT_EQ(g_slots[0].job->id, 2);
  host_.FireTimer(kPollTimer);
  EXPECT_EQ(Statuses(0).back(), "Hunt is Complete");
}

TEST_F(HuntTest, TimeoutRetriesAtTenTicksAndAbortsAfterTwenty) {
  g_settings.packcount = 1;
  ASSERT_EQ(StartHunt("x", {1}), 1);
  const Socket s = Connect0();
  ASSERT_EQ(net_.sockets[s].sent.find("GET "), 0u);
  for (int i = 0; i < 9; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).back(), "Connected to HOST");
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).end()[-3], "Timeout Error...(Retry)");
  // The retry ran the connected step again: the request went out twice.
  EXPECT_NE(net_.sockets[s].sent.find("GET ", 1), std::string::npos);
  for (int i = 0; i < 10; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_FALSE(Showed(0, "Timeout Error...(Abort)"));
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(g_done[1], 0x408u);
  EXPECT_FALSE(net_.sockets[s].open);
  EXPECT_TRUE(PageHas(1, "<BODY>Timeout Connecting to Engine</BODY>"));
  EXPECT_EQ(Statuses(0).back(), "Hunt is Complete");
  const std::vector<std::string> texts = Statuses(0);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Timeout Error...(Abort)"), 1);
}

TEST_F(HuntTest, ALateLookupAnswerNeverReachesTheNextJob) {
  g_settings.packcount = 1;
  FindEngineById(2)->request = "http://other.test/x";
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  const platform::AsyncTask first = net_.lookups.begin()->first;
  for (int i = 0; i < 21; ++i) host_.FireTimer(kTimeoutTimer);
  // Aborted: the lookup was taken back and the slot looks up engine 2.
  EXPECT_EQ(net_.cancelled, std::vector<platform::AsyncTask>{first});
  EXPECT_EQ(g_slots[0].job->id, 2);
  host_.PostMessage(platform::LookupMessage(0), first, 0);
  net_.results[first] = 0x0500000A;
  host_.Pump();
  EXPECT_EQ(g_slots[0].state, kSlotWaiting);
}

TEST_F(HuntTest, LongAnswerComesInPiecesOnlyInAHunt) {
  ASSERT_EQ(StartHunt("readme", {1}), 1);
  const Socket s = Connect0();
  std::string big = kPage;
  big.resize(600000, 'x');
  net_.Arrive(s, big);
  // One step per data event; the poll steps a receiving slot while data waits.
  host_.Pump();
  while (g_slots[0].received > 0 && g_slots[0].received <= kPieceLimit) host_.FireTimer(kPollTimer);
  EXPECT_EQ(g_slots[0].state, kSlotReceiving);
  EXPECT_EQ(g_slots[0].received, 0u);
  EXPECT_EQ(g_total_hits, 2);
  EXPECT_TRUE(net_.sockets[s].open);
  // The second piece has no status line of its own. The server closes with
  // no read event for it: the poll finds the end.
  net_.sockets[s].peer_closed = true;
  while (g_slots[0].state == kSlotReceiving) host_.FireTimer(kPollTimer);
  EXPECT_TRUE(Showed(0, "Request Error (" + std::string(30, 'x') + ")"));
  EXPECT_EQ(g_slots[0].job->request_flags, kRequestError);
}

TEST_F(HuntTest, CancelStopsEverything) {
  g_settings.packcount = 2;
  ASSERT_EQ(StartHunt("x", {1, 2, 3}), 1);
  const Socket s0 = g_slots[0].socket;
  host_.PostMessage(kWmCommand, kCmdCancel, 0);
  host_.Pump();
  EXPECT_TRUE(host_.timers.empty());
  EXPECT_FALSE(g_hunt.running);
  EXPECT_FALSE(net_.sockets[s0].open);
  EXPECT_TRUE(net_.lookups.empty());
  EXPECT_EQ(Statuses(0).back(), "Hunt Cancelled");
  EXPECT_EQ(Statuses(1).back(), "Hunt Cancelled");
  EXPECT_EQ(g_slots[0].state, kSlotIdle);
  EXPECT_FALSE(FileExists("reports/results.htm"));
  for (const std::string& line : ui_.log) EXPECT_NE(line.rfind("box ", 0), 0u) << line;
  HandleMainMessage(platform::kWmTimer, kTimeoutTimer, 0);  // late ticks change nothing
  EXPECT_EQ(g_slots[0].ticks, 0);
}

TEST_F(HuntTest, FailedNetworkStartUpIsReportedOnce) {
  net_.startup_error = platform::kWsaSysNotReady;
  EXPECT_EQ(StartHunt("x", {1}), 0);
  EXPECT_TRUE(Logged("box Error|ERROR 101: Failed to initialize Winsock|0"));
  EXPECT_EQ(g_slot_status[0], " ERROR: Failed to initialize Winsock");
  EXPECT_FALSE(g_hunt.running);
  EXPECT_EQ(StartHunt("x", {1}), 1);  // the second Find starts without trying again
}

// ---- FinishResponse with answers put straight into a slot ---------------

class FinishTest : public HuntTest {
 protected:
  // Slot 0 holds a Hunt job of engine 4 and the answer, as receiving does.
  void Hold(const std::string& answer, const char* request = "http://engine.test/s4?q=readme",
            std::uint32_t flags = 0) {
    g_hunt.running = 1;
    ConnSlot& s = g_slots[0];
    s.job.emplace();
    s.job->id = 4;
    s.job->name = "Engine 4";
    s.job->query = "readme";
    s.job->request = request;
    s.job->request_flags = flags;
    s.socket = net_.OpenSocket();
    s.state = kSlotReceiving;
    s.buffer.assign(answer.size() + kMinFree, 'Z');  // no terminator of its own
    std::memcpy(s.buffer.data(), answer.data(), answer.size());
    s.received = answer.size();
  }
};

TEST_F(FinishTest, RedirectFollowsTheFirstHttpAddressAFewTimes) {
  Hold(
      "HTTP/1.0 302 Found\r\nLocation: http://other.test:81/next?q=1 \r\n\r\n"
      "see http://elsewhere.test/\r\n");
  EXPECT_EQ(FinishResponse(0, 0), kFinishRedirect);
  EXPECT_EQ(*g_slots[0].job->request, "http://other.test:81/next?q=1");
  EXPECT_TRUE(g_slots[0].buffer.empty());
  EXPECT_EQ(g_slots[0].state, kSlotWaiting);
  // Through SlotStep: a new socket and the lookup of the new host.
  Hold("HTTP/1.0 302 Found\r\nLocation: http://other.test:81/next\r\n\r\n");
  net_.Arrive(g_slots[0].socket, "", true);
  host_.Pump();
  EXPECT_EQ(net_.lookups.rbegin()->second.second, "other.test");
  EXPECT_EQ(g_slots[0].job->id, 4);  // the same job goes on
  // A server that redirects forever: the chain is cut, as a request error.
  Hold("HTTP/1.0 302 Found\r\nLocation: http://engine.test/loop\r\n\r\n");
  g_slots[0].redirects = kMaxRedirects - 1;
  ASSERT_EQ(FinishResponse(0, 0), kFinishRedirect);
  EXPECT_EQ(g_slots[0].redirects, kMaxRedirects);
  Hold("HTTP/1.0 302 Found\r\nLocation: http://engine.test/loop\r\n\r\n");
  EXPECT_EQ(FinishResponse(0, 0), kFinishConsumed);
  EXPECT_EQ(g_slots[0].job->request_flags & kRequestError, kRequestError);
  EXPECT_EQ(g_slots[0].state, kSlotIdle);
}

TEST_F(FinishTest, BadStatusIsARequestError) {
  Hold("HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n<html>gone 100%</html>");
  const Socket sock = g_slots[0].socket;
  EXPECT_EQ(FinishResponse(0, 0), kFinishConsumed);
  EXPECT_EQ(Statuses(0).back(), "Request Error (HTTP/1.1 404 Not Found\r\nServer)");
  EXPECT_EQ(g_slots[0].job->request_flags, kRequestError);
  EXPECT_EQ(ReadFile("reports/4.htm"), "<html>gone 100%</html>");
  EXPECT_EQ(g_slots[0].state, kSlotIdle);
  EXPECT_FALSE(net_.sockets[sock].open);
  // "200 " counts only within the first 100 characters.
  Hold(std::string(100, '-') + "HTTP/1.0 200 OK\r\n\r\n<a href=\"ftp://h/readme\">readme</a>");
  EXPECT_EQ(FinishResponse(0, 0), kFinishConsumed);
  EXPECT_EQ(g_slots[0].job->request_flags, kRequestError);
  EXPECT_EQ(g_total_hits, 0);
}

TEST_F(FinishTest, GoodPagesAreSavedAndParsed) {
  // A "302" without any "http:" is read as a page.
  Hold("HTTP/1.0 302 Moved\r\n\r\n<a href=\"ftp://h/readme.txt\">readme.txt</a>1<br>");
  EXPECT_EQ(FinishResponse(0, 0), kFinishDelivered);
  EXPECT_EQ(g_total_hits, 1);
  EXPECT_EQ(host_.queue.back().msg, platform::kMsgStartNext);
  // Bytes behind a NUL are kept in the saved page and read nowhere else.
  std::string answer = std::string(kPage) + std::string("\0tail", 5);
  Hold(answer);
  g_slots[0].buffer.resize(answer.size() + 1);  // the terminator just fits
  EXPECT_EQ(FinishResponse(0, 1), kFinishDelivered);
  EXPECT_EQ(g_slots[0].job->hits, 2);
  EXPECT_EQ(FindEngineById(4)->hits, 2);
  EXPECT_EQ(ReadFile("reports/4.htm").size(), answer.size() - answer.find("<html>"));
  // more 1: the slot keeps its buffer and goes on receiving.
  EXPECT_EQ(g_slots[0].state, kSlotReceiving);
  EXPECT_EQ(g_slots[0].received, 0u);
  EXPECT_FALSE(g_slots[0].buffer.empty());
}

TEST_F(FinishTest, VendorRepliesGoToTheVersionCheckOrIntoAFile) {
  static std::string got;
  g_vendor_reply_handler = [](const char* page) { got = page; };
  Hold("HTTP/1.0 200 OK\r\n\r\n#VER1=301;\n", kVendorNewsAddress, kRequestVendorJob);
  EXPECT_EQ(FinishResponse(0, 0), kFinishConsumed);
  EXPECT_EQ(got, "HTTP/1.0 200 OK\r\n\r\n#VER1=301;\n");
  EXPECT_FALSE(FileExists("reports/4.htm"));
  // The ordered insert file is saved under its address's last segment.
  const std::uint32_t save = kRequestVendorJob | kRequestSaveToFile;
  g_settings.upgradenew = 7;
  Hold("HTTP/1.0 200 OK\r\n\r\n[0]\nnew insert\n", kInsertFileAddress, save);
  EXPECT_EQ(FinishResponse(0, 0), kFinishDelivered);
  EXPECT_EQ(ReadFile("torva.idx"), "[0]\nnew insert\n");
  EXPECT_EQ(g_settings.upgrade, 7);
  // A name that would leave the working directory is refused.
  Hold("HTTP/1.0 200 OK\r\n\r\nx", "http://www.torvane.example/..\\evil.idx", save);
  FinishResponse(0, 0);
  EXPECT_TRUE(Logged("box Error|Unable to write upgrade file|0"));
  EXPECT_FALSE(FileExists("..\\evil.idx"));
}

}  // namespace
