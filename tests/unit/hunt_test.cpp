// The Hunt's logic on a fake network, for what whole Hunts on loopback (the
// integration tests) can't pin down: exact tick counts, stale look-up
// answers, failures loopback can't provoke, vendor replies, answers cut or
// shaped in ways the demo server never sends, and the guard that keeps the
// loop off an answer while it is handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
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
#include "platform/frontend.h"
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
    std::string sent;
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
  int Connect(Socket s, Ipv4, std::uint16_t port) override {
    sockets[s].port = port;
    error = connect_error;
    return platform::kSocketError;
  }
  int Send(Socket s, const char* data, int len) override {
    sockets[s].sent.append(data, static_cast<std::size_t>(len));
    return len;
  }
  int Recv(Socket, char*, int, int) override {
    error = platform::kWsaEWouldBlock;
    return platform::kSocketError;
  }
  int Close(Socket s) override {
    sockets[s].open = false;
    return 0;
  }
  int AsyncSelect(Socket, unsigned, long) override { return 0; }
  platform::AsyncTask AsyncGetHostByName(unsigned message, const std::string& name) override {
    lookups[next_task] = {message, name};
    return next_task++;
  }
  int CancelAsyncRequest(platform::AsyncTask task) override {
    cancelled.push_back(task);
    return lookups.erase(task) ? 0 : platform::kSocketError;
  }
  std::optional<Ipv4> LookupResult(platform::AsyncTask task) override {
    if (!results.count(task)) return std::nullopt;
    return results[task];
  }
  Ipv4 InetAddr(const std::string& text) override {
    unsigned a, b, c, d;
    char extra;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) != 4 ||
        (a | b | c | d) > 255) {
      return platform::kInaddrNone;
    }
    return static_cast<Ipv4>(a | b << 8 | c << 16 | d << 24);
  }
  int LastError() override { return error; }

  // Answers every pending look-up with the same address.
  void AnswerLookups() {
    for (auto& [task, pending] : lookups) {
      results[task] = 0x0500000A;
      platform::host().PostMessage(pending.first, task, 0);
    }
    lookups.clear();
  }
  void ConnectDone(Socket s, unsigned err = 0) {
    platform::host().PostMessage(platform::kMsgConnectionEvent, s,
                                 platform::MakeSelectReply(platform::kFdConnect, err));
  }

  std::map<Socket, Sock> sockets;
  Socket next_socket = 100;
  std::map<platform::AsyncTask, std::pair<unsigned, std::string>> lookups;
  std::map<platform::AsyncTask, Ipv4> results;
  std::vector<platform::AsyncTask> cancelled;
  platform::AsyncTask next_task = 1;
  int startup_error = 0;
  int connect_error = platform::kWsaEWouldBlock;
  bool refuse_sockets = false;
  int error = 0;
};

// Status flags of every finished job, by engine ID.
std::map<int, std::uint32_t> g_done;

// Records each finished job's flags by engine id.
struct DoneFrontEnd : platform::FrontEnd {
  void JobDone(int, const EngineEntry& j) override { g_done[j.id] = j.status_flags; }
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
    previous_ui_ = platform::SetUi(&ui_);
    previous_net_ = platform::SetNet(&net_);
    previous_host_ = platform::SetHost(&host_);
    host_.SetHandler(
        [](unsigned m, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(m, w, l); });
    ResetAll();
    g_settings.exact = 0;
    g_hunt.vendor_replies = 1;  // most tests leave the vendor job out
    previous_frontend_ = platform::SetFrontEnd(&frontend_);
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
    platform::SetFrontEnd(previous_frontend_);
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
    g_done.clear();
  }

  // Starts a Hunt for query over exactly the engines with these IDs.
  int StartHunt(const char* query, std::initializer_list<int> ids) {
    for (EngineEntry& e : g_engines) e.selected = 0;
    for (int id : ids) FindEngineById(id)->selected = 1;
    g_project.query = std::string(query);
    return Find();
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
  bool Logged(const std::string& entry) const {
    return std::find(ui_.log.begin(), ui_.log.end(), entry) != ui_.log.end();
  }
  static bool PageHas(int id, const std::string& text) {
    return ReadFile("reports/" + std::to_string(id) + ".htm").find(text) != std::string::npos;
  }

  NestingUi ui_;
  DoneFrontEnd frontend_;
  platform::FrontEnd* previous_frontend_ = nullptr;
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

TEST_F(HuntTest, VendorJobsOfEachKindOfRun) {
  // Every job NextJob hands the slot, as "id:term (or request):request flags".
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
  const std::string news = "0:" + std::string(kVendorNewsAddress) + ":1024";
  FindEngineById(3)->selected = 1;
  g_hunt = HuntState{};
  g_hunt.running = 1;
  SplitQuery("a");
  ResetHuntResults();
  EXPECT_EQ(jobs(0), (V{news, "3:a:0"}));
  // The vendor job comes once per program run: the next Hunt starts with the engines.
  SplitQuery("c");
  ResetHuntResults();
  EXPECT_EQ(jobs(1), V{"3:c:0"});
  // The version check and the insert download run only the vendor's job.
  g_hunt = HuntState{};
  g_hunt.running = 1;
  g_hunt.run_kind = kRunVersionCheck;
  ResetHuntResults();
  EXPECT_EQ(jobs(0), V{news});
  g_hunt.run_kind = kRunInsertDownload;
  EXPECT_EQ(jobs(2), V{"0:" + std::string(kInsertFileAddress) + ":1152"});
}

TEST_F(HuntTest, FailuresLoopbackCannotProvoke) {
  // A dotted address is connected without a look-up; one that is no address
  // fails at once; an unusual connect error is shown with its number.
  FindEngineById(2)->request = "http://10.1.2.3:81/x";
  FindEngineById(3)->request = "http://1.2.3.4.5/x";
  ASSERT_EQ(StartHunt("x", {2, 3}), 1);
  EXPECT_TRUE(net_.lookups.empty());
  EXPECT_EQ(net_.sockets[g_slots[0].socket].port, 81);
  EXPECT_EQ(Statuses(1).back(), "Address translation error");
  net_.ConnectDone(g_slots[0].socket, 10050);
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Winsock Error 10050 (1091)");
  EXPECT_TRUE(PageHas(2, "<BODY>Winsock Error 10050 (1091)</BODY>"));
  host_.FireTimer(kPollTimer);
  EXPECT_EQ(g_done[2], 0x208u | kJobFinished);
  EXPECT_EQ(Statuses(0).back(), "Hunt is Complete");
  // A connect that fails at once.
  g_settings.packcount = 1;
  net_.connect_error = platform::kWsaEConnRefused;
  ASSERT_EQ(StartHunt("x", {1}), 1);
  net_.AnswerLookups();
  host_.Pump();
  EXPECT_EQ(Statuses(0).back(), "Connect Failed (10061)");
  host_.FireTimer(kPollTimer);
  EXPECT_TRUE(PageHas(1, "Connect Fail - The server may be down."));
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

TEST_F(HuntTest, TimeoutRetriesAtTheTenthTickAndAbortsAtTheTwentyFirst) {
  g_settings.packcount = 1;
  FindEngineById(2)->request = "http://other.test/x";
  ASSERT_EQ(StartHunt("x", {1, 2}), 1);
  EXPECT_EQ(host_.timers.at(kTimeoutTimer), 2000u);
  EXPECT_EQ(host_.timers.at(kPollTimer), 50u);
  // Aborted while looking up: the look-up is taken back, and its late answer
  // never reaches the slot's next job.
  const platform::AsyncTask first = net_.lookups.begin()->first;
  for (int i = 0; i < 21; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(net_.cancelled, std::vector<platform::AsyncTask>{first});
  EXPECT_EQ(g_done[1], 0x408u);
  ASSERT_EQ(g_slots[0].job->id, 2);
  host_.PostMessage(platform::LookupMessage(0), first, 0);
  net_.results[first] = 0x0500000A;
  host_.Pump();
  EXPECT_EQ(g_slots[0].state, kSlotWaiting);
  // Engine 2 connects and sends its request, then hears nothing.
  net_.AnswerLookups();
  host_.Pump();
  const Socket s = g_slots[0].socket;
  net_.ConnectDone(s);
  host_.Pump();
  std::vector<std::string> texts = Statuses(0);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(texts.end() - 3, texts.end()),
            (std::vector<std::string>{"Contacting other.test", "Requesting Object Header",
                                      "Connected to HOST"}));
  for (int i = 0; i < 9; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).size(), texts.size());
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).end()[-3], "Timeout Error...(Retry)");
  // The retry ran the connected step again: the request went out twice.
  EXPECT_NE(net_.sockets[s].sent.find("GET ", 1), std::string::npos);
  texts = Statuses(0);
  for (int i = 0; i < 10; ++i) host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(Statuses(0).size(), texts.size());
  host_.FireTimer(kTimeoutTimer);
  EXPECT_EQ(g_done[2], 0x408u);
  EXPECT_FALSE(net_.sockets[s].open);
  EXPECT_TRUE(PageHas(2, "<BODY>Timeout Connecting to Engine</BODY>"));
  EXPECT_EQ(Statuses(0).size(), texts.size() + 2);  // the abort, once, and the end
  EXPECT_EQ(Statuses(0).back(), "Hunt is Complete");
}

TEST_F(HuntTest, CancelGivesBackTimersSocketsAndLookups) {
  g_settings.packcount = 2;
  ASSERT_EQ(StartHunt("x", {1, 2, 3}), 1);
  const Socket s0 = g_slots[0].socket;
  host_.PostMessage(kWmCommand, IDC_CANCEL, 0);
  host_.Pump();
  EXPECT_TRUE(host_.timers.empty());
  EXPECT_FALSE(net_.sockets[s0].open);
  EXPECT_TRUE(net_.lookups.empty());
  EXPECT_EQ(Statuses(1).back(), "Hunt Cancelled");
  EXPECT_TRUE(g_slot_status[2].empty());  // slots beyond packcount are never touched
  HandleMainMessage(platform::kWmTimer, kTimeoutTimer, 0);  // a late tick changes nothing
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

TEST_F(FinishTest, WhatAnAnswerCountsAs) {
  const std::string link = "<a href=\"ftp://h/readme.txt\">readme.txt</a>1<br>";
  const struct {
    std::string answer;
    int result;
    std::uint32_t request_flags;
    int hits;
  } cases[] = {
      // "200 " counts only within the first 100 characters.
      {std::string(100, '-') + "HTTP/1.0 200 OK\r\n\r\n" + link, kFinishConsumed, kRequestError, 0},
      // A "302" without any "http:" is read as a page.
      {"HTTP/1.0 302 Moved\r\n\r\n" + link, kFinishDelivered, 0, 1},
      // A bad status: the answer is the engine's page as it came, "%" and all.
      {"HTTP/1.1 404 Not Found\r\n\r\n<html>gone 100%</html>", kFinishConsumed, kRequestError, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Hold(c.answer);
    EXPECT_EQ(FinishResponse(0, 0), c.result);
    EXPECT_EQ(g_slots[0].job->request_flags, c.request_flags);
    EXPECT_EQ(g_slots[0].job->hits, c.hits);
  }
  EXPECT_EQ(ReadFile("reports/4.htm"), "<html>gone 100%</html>");
  // A redirect goes to the first "http:" address, up to the line end
  // without trailing blanks.
  Hold(
      "HTTP/1.0 302 Found\r\nLocation: http://other.test:81/next?q=1 \r\n\r\n"
      "see http://elsewhere.test/\r\n");
  EXPECT_EQ(FinishResponse(0, 0), kFinishRedirect);
  EXPECT_EQ(*g_slots[0].job->request, "http://other.test:81/next?q=1");
}

TEST_F(FinishTest, BytesBehindANulAreSavedButNotRead) {
  const char tail[] = "\0<a href=\"ftp://h/pub/readme.doc\">readme.doc</a>";
  const std::string answer =
      "HTTP/1.0 200 OK\r\n\r\n<html><a href=\"ftp://h/pub/readme.txt\">readme.txt</a>1<br>\n"
      "<a href=\"ftp://h/pub/readme.zip\">readme.zip</a>9<br></html>" +
      std::string(tail, sizeof tail - 1);
  Hold(answer);
  g_slots[0].buffer.resize(answer.size() + 1);  // the terminator just fits
  EXPECT_EQ(FinishResponse(0, 1), kFinishDelivered);
  EXPECT_EQ(g_slots[0].job->hits, 2);
  EXPECT_EQ(FindEngineById(4)->hits, 2);
  EXPECT_EQ(ReadFile("reports/4.htm"), answer.substr(answer.find("<html>")));
  EXPECT_EQ(host_.queue.back().msg, platform::kMsgStartNext);
  // more 1: the slot keeps its buffer and goes on receiving.
  EXPECT_EQ(g_slots[0].state, kSlotReceiving);
  EXPECT_EQ(g_slots[0].received, 0u);
  EXPECT_FALSE(g_slots[0].buffer.empty());
}

TEST_F(FinishTest, VendorRepliesGoToTheVersionCheckOrIntoAFile) {
  int boxes = 0;
  bool untouched = false;
  ui_.during_box = [&] {
    if (++boxes > 1) return;
    // The message box runs the loop: ticks, polls and data events must
    // leave the answer being handled alone.
    for (int i = 0; i < 25; ++i) TimeoutTick();
    PollSlots();
    OnDataEvent(g_slots[0].socket, 0);
    untouched = g_slots[0].state == kSlotWaiting && g_slots[0].ticks == 0;
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
