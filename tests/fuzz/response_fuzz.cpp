// Whole answers of an engine's server, through the slot code on a network
// that exists only here: a Hunt for one engine runs from Find to its end
// through the main window's message routing, and every connection the slot
// opens (the first and each redirect) gets the same answer, handed over in
// pieces and cut where the input says. Whatever the server sends:
//   - the Hunt ends, and the front end hears of the job exactly once, as
//     finished or failed;
//   - every request sent is well formed (a redirect target comes from the
//     answer, so it is as hostile as the answer);
//   - an engine's answer never reaches the vendor's channel: no version
//     index message, the main window stays, no download is ordered, and
//     the program's own files are untouched;
//   - the hits found are in the store once each, in name order, and the
//     total count agrees with it.
// Input: byte 0 the engine type, byte 1 the piece size (0: all at once),
// byte 2 bit 0 whether the server closes after the answer (else the timeout
// has to end it), then the answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/find.h"
#include "app/main_messages.h"
#include "app/startup.h"
#include "engines/engines.h"
#include "fuzz_support.h"
#include "hunt/controller.h"
#include "hunt/slots.h"
#include "platform/frontend.h"
#include "platform/headless_ui.h"
#include "platform/host.h"
#include "platform/net.h"
#include "projects/project.h"
#include "request_check.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/text.h"

namespace {

using platform::Socket;

// Every host is found, every connect succeeds when the test says so, and
// the server answers once the request has arrived.
class FakeNet : public platform::Net {
 public:
  struct Conn {
    bool open = true;
    bool connect_told = false;
    bool answered = false;
    std::string sent;
    std::string incoming;
    bool server_closed = false;
  };

  int Startup() override { return 0; }
  void Cleanup() override {}
  Socket OpenSocket() override {
    conns[next] = Conn{};
    return next++;
  }
  int Connect(Socket, platform::Ipv4, std::uint16_t) override {
    error = platform::kWsaEWouldBlock;
    return platform::kSocketError;
  }
  int Send(Socket s, const char* data, int len) override {
    // Takes all of it: each call is one whole request (a retry sends the
    // request again on the same connection).
    conns[s].sent.append(data, static_cast<std::size_t>(len));
    requests.emplace_back(data, static_cast<std::size_t>(len));
    return len;
  }
  int Recv(Socket s, char* buf, int len, int flags) override {
    Conn& c = conns[s];
    std::size_t n = std::min(c.incoming.size(), static_cast<std::size_t>(len));
    if (piece && n > piece) n = piece;
    error = platform::kWsaEWouldBlock;
    if (n == 0 && !c.server_closed) return platform::kSocketError;
    std::memcpy(buf, c.incoming.data(), n);
    if (!(flags & platform::kMsgPeek)) c.incoming.erase(0, n);
    return static_cast<int>(n);
  }
  int Close(Socket s) override {
    conns[s].open = false;
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
  std::optional<platform::Ipv4> LookupResult(platform::AsyncTask) override {
    return platform::Ipv4{0x0100007F};
  }
  platform::Ipv4 InetAddr(const std::string& text) override {
    return std::count(text.begin(), text.end(), '.') == 3 ? platform::Ipv4{0x0100007F}
                                                          : platform::kInaddrNone;
  }
  int LastError() override { return error; }

  // One round of what the network does by itself: look-ups answered,
  // pending connects completed, requests answered. False when nothing
  // happened.
  bool Step(const std::string& answer, bool close) {
    bool any = false;
    for (auto& [task, message] : lookups) {
      platform::host().PostMessage(message, task, 0);
      any = true;
    }
    lookups.clear();
    for (auto& [s, c] : conns) {
      if (!c.open) continue;
      if (!c.connect_told) {
        c.connect_told = true;
        platform::host().PostMessage(platform::kMsgConnectionEvent, s,
                                     platform::MakeSelectReply(platform::kFdConnect, 0));
        any = true;
      } else if (!c.answered && !c.sent.empty()) {
        c.answered = true;
        c.incoming = answer;
        c.server_closed = close;
        any = true;
      }
      if (c.answered && (!c.incoming.empty() || c.server_closed)) {
        platform::host().PostMessage(platform::kMsgDataEvent, s,
                                     platform::MakeSelectReply(platform::kFdRead, 0));
        any = true;
      }
    }
    return any;
  }

  std::map<Socket, Conn> conns;
  Socket next = 100;
  std::map<platform::AsyncTask, unsigned> lookups;
  platform::AsyncTask next_task = 1;
  std::vector<std::string> requests;
  std::size_t piece = 0;
  int error = 0;
};

struct CountingFrontEnd : platform::FrontEnd {
  void JobDone(int, const EngineEntry& job) override { done.push_back(job.status_flags); }
  std::vector<std::uint32_t> done;
};

// Files of the program that no engine's answer may touch.
const char* const kOwnFiles[] = {"torva.ini", "engines.dat", "search.idx", "soft.dat"};

void ResetAll() {
  g_engines.clear();
  g_hunt = HuntState{};
  g_app = AppState{};
  g_settings = AppSettings{};
  g_project.query.reset();
  ClearSlotTables();
  FreeHitList();
  SeenTreeFree(g_seen_urls);
  g_total_hits = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const fuzz::ScratchDirectory scratch;
  std::filesystem::create_directory("reports");
  for (const char* f : kOwnFiles) fuzz::WriteFile(f, std::string("own ") + f + "\n");

  platform::HeadlessUi ui;
  FakeNet net;
  platform::ManualHost host;
  CountingFrontEnd frontend;
  platform::SetUi(&ui);
  platform::SetNet(&net);
  platform::SetHost(&host);
  platform::SetFrontEnd(&frontend);
  host.SetHandler(
      [](unsigned m, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(m, w, l); });
  ResetAll();

  const int engine_type = data[0] % 19 - 1;
  net.piece = data[1];
  const bool close = (data[2] & 1) != 0;
  const std::string answer(reinterpret_cast<const char*>(data + 3), size - 3);

  g_settings.packcount = 1;
  g_settings.exact = 0;
  g_hunt.vendor_replies = 1;  // the vendor's job was done earlier in the program run
  EngineEntry& engine = g_engines.emplace_back();
  engine.id = 1;
  engine.name = "engine";
  engine.engine_type = engine_type;
  engine.request = "http://engine.test/s?q=$QUERY&n=$HITS";
  engine.selected = 1;
  g_project.query = std::string("a,zip");
  FUZZ_CHECK(Find() == 1);

  // The network, the loop and the timeout timer take turns until the Hunt
  // is over. Each connection needs a round per piece of the answer and at
  // most the abort's ticks; a job opens at most its redirects' connections
  // (and a retry). Past that bound the Hunt would never end: a finding.
  const std::size_t pieces = answer.size() / (net.piece ? net.piece : 1) + 2;
  const std::size_t bound = 2 * (kMaxRedirects + 3) * (pieces + 2 * kAbortTicks + 10);
  for (std::size_t round = 0; g_hunt.running && round < bound; ++round) {
    const bool moved = net.Step(answer, close);
    const int delivered = host.Pump();
    if (moved || delivered) continue;
    host.FireTimer(platform::kTimerPoll);
    host.FireTimer(platform::kTimerTimeout);
    host.Pump();
  }
  FUZZ_CHECK(!g_hunt.running);

  // One job per search term, each ended once, as finished or as failed.
  FUZZ_CHECK(frontend.done.size() == 2);
  for (std::uint32_t flags : frontend.done) {
    FUZZ_CHECK((flags & (kJobFinished | kJobFailed)) != 0);
  }
  FUZZ_CHECK(!net.requests.empty());
  for (const std::string& request : net.requests) fuzz::CheckRequest(request);

  // The vendor's channel is the vendor's alone.
  FUZZ_CHECK(!ui.main_window_ended);
  FUZZ_CHECK(g_hunt.vendor_replies == 1);
  FUZZ_CHECK(g_hunt.run_kind == kRunHunt);
  for (const std::string& line : ui.log) {
    if (line.rfind("box ", 0) == 0) {
      FUZZ_CHECK(line.find(LoadText(1448)) == std::string::npos);
      FUZZ_CHECK(line.find(LoadText(1449)) == std::string::npos);
    }
  }
  for (const char* f : kOwnFiles) FUZZ_CHECK(fuzz::ReadFile(f) == std::string("own ") + f + "\n");

  // The store: each location once, in name order.
  const std::vector<FileHit*> hits = HitsInListOrder();
  FUZZ_CHECK(static_cast<std::size_t>(g_total_hits) == hits.size());
  std::set<std::string> locations;
  for (std::size_t i = 0; i < hits.size(); ++i) {
    FUZZ_CHECK(hits[i]->location && locations.insert(*hits[i]->location).second);
    if (i > 0 && hits[i - 1]->name && hits[i]->name) {
      FUZZ_CHECK(StrICmp(hits[i - 1]->name->c_str(), hits[i]->name->c_str()) <= 0);
    }
  }

  ResetAll();
  platform::SetFrontEnd(nullptr);
  platform::SetHost(nullptr);
  platform::SetNet(nullptr);
  platform::SetUi(nullptr);
  return 0;
}
