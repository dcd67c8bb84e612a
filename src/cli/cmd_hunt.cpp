// torvane-cli hunt [options] QUERY: one Hunt on real sockets, as Find runs
// it in the window, with each connection's progress on stderr and the hits
// on stdout.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/console.h"
#include "app/find.h"
#include "app/main_messages.h"
#include "app/startup.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/hit_output.h"
#include "engines/engines.h"
#include "hunt/controller.h"
#include "hunt/hunt_stats.h"
#include "hunt/slots.h"
#include "platform/adapter.h"
#include "platform/frontend.h"
#include "platform/host.h"
#include "projects/project.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/text.h"

namespace {

const char kHuntUsage[] =
    "usage: torvane-cli hunt [options] [QUERY]\n"
    "\n"
    "Runs one Hunt for QUERY (search terms separated by commas) in the current\n"
    "directory, as Find does: torva.ini, engines.dat and search.idx are read from\n"
    "it, the report set is written into reports/. Each connection's status text\n"
    "goes to stderr as '[slot] text' whenever it changes, and each finished job\n"
    "as '[slot] job id=ID status=0xFLAGS request=0xFLAGS hits=N term=TERM'. At\n"
    "the end the hits are printed to stdout in report order (see --format);\n"
    "without hits the no-hits message. As in the window only the first 49\n"
    "search terms are hunted; a longer query is named on stderr. torva.ini is\n"
    "never changed, a project file only with --save.\n"
    "\n"
    "options:\n"
    "  --engines ID,ID...  the engines to ask (default: those of the project,\n"
    "                      else every available engine)\n"
    "  --exact 0|1         Exact Match (default: the project's)\n"
    "  --max-files N       Max Files, sent as $HITS (below 1 means 50)\n"
    "  --connections N     connections at once, 1..20 (torva.ini packcount)\n"
    "  --proxy HOST:PORT   go through this HTTP proxy ('' for none)\n"
    "  --timeout MS        period of the timeout tick (retry at 10, abort after 20)\n"
    "  --open              open reports/report.htm with the default program\n"
    "  --format tsv|csv|json\n"
    "                      tsv (default): name<TAB>size<TAB>date<TAB>location;\n"
    "                      csv: RFC 4180 (CRLF line ends, a header line) with the\n"
    "                      columns name,size,date,location,engine_id,engine_name,term;\n"
    "                      json: one object a line with those keys (absent texts\n"
    "                      are null). Texts are the bytes the engines sent; in json,\n"
    "                      valid UTF-8 is kept and every other byte XX is written\n"
    "                      as the escape \\udcXX (decode, then encode as UTF-8 with\n"
    "                      Python's 'surrogateescape' to get the bytes back).\n"
    "                      engine and term are those of the job that found the\n"
    "                      hit first. Without hits stdout holds just the CSV\n"
    "                      header (or nothing), the no-hits message goes to stderr.\n"
    "  --stats             after the Hunt, one line per engine on stderr:\n"
    "                      'stats id=ID jobs=N hits=N bytes=N first-byte-ms=MED/MAX\n"
    "                      end-ms=MED/MAX redirects=N name=\"NAME\" outcomes=N:\"TEXT\",...'\n"
    "                      (hits: links accepted; times from the start of a job to\n"
    "                      its first and last byte received, median and maximum,\n"
    "                      '-' when no job received any; outcomes: jobs by the\n"
    "                      status text they ended with, without its count)\n"
    "  --project FILE      the project to hunt with instead of torva.ini's: its\n"
    "                      query (unless QUERY is given), Exact Match, Max Files\n"
    "                      and engines; the other options override them\n"
    "  --save              write the Hunt's hits, query and options back into the\n"
    "                      --project file, as Save does (not when cancelled, nor\n"
    "                      when no engine delivered a page)\n"
    "  --new-only          print only hits whose location the project did not hold\n"
    "                      before the Hunt; stdout then holds nothing else\n"
    "\n"
    "Exit status: 0 with hits (with --new-only: with new hits), 1 without, 2 on a\n"
    "usage or start-up error or when --save could not write the project, 130 when\n"
    "Ctrl-C cancelled the Hunt (no report is written then).\n";

struct HuntOptions {
  std::optional<std::string> engines;
  std::optional<int> exact;
  std::optional<int> max_files;
  std::optional<int> connections;
  std::optional<std::string> proxy_host;
  int proxy_port = 0;
  std::optional<long> timeout;
  bool open = false;
  cli::HitFormat format = cli::HitFormat::kTsv;
  bool stats = false;
  std::optional<std::string> project;
  bool save = false;
  bool new_only = false;
  std::optional<std::string> query;
};

// Progress on stderr; the no-hits message is kept for stdout.
class HuntUi : public cli::CliUi {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    if (caption == LoadText(1477) && text.rfind(LoadText(1475), 0) == 0) {
      no_hits_message = text;
      return platform::kIdOk;
    }
    return CliUi::MessageBox(text, caption, style);
  }

  void SlotStatus(int slot, const std::string& text) override {
    if (slot >= 0) {
      Print(slot, text);
      return;
    }
    for (int i = 0; i < SlotsInUse(); ++i) Print(i, text);
  }

  std::optional<std::string> no_hits_message;

 private:
  void Print(int slot, const std::string& text) {
    if (slot >= kMaxSlots || shown_[slot] == text) return;
    shown_[slot] = text;
    if (text.find_first_not_of(' ') == std::string::npos) return;  // cleared at Find
    // Status texts begin with one blank of their own. A text may quote an
    // answer: control characters are escaped to keep one line per text.
    std::string line;
    for (std::size_t i = text[0] == ' ' ? 1 : 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c == '\r') {
        line += "\\r";
      } else if (c == '\n') {
        line += "\\n";
      } else if (c == '\t') {
        line += "\\t";
      } else if (c < 0x20 || c == 0x7f) {
        line += Format("\\x%02x", c);
      } else {
        line += static_cast<char>(c);
      }
    }
    std::fprintf(stderr, "[%d] %s\n", slot, line.c_str());
    std::fflush(stderr);
  }

  std::string shown_[kMaxSlots];
};

int UsageError(const std::string& text) {
  std::fprintf(stderr, "torvane-cli hunt: %s\n(see 'torvane-cli hunt --help')\n", text.c_str());
  return 2;
}

// Returns an empty text on success, else what was wrong.
std::string ParseArgs(int argc, char** argv, HuntOptions& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    long v = 0;
    if (arg == "--open") {
      o.open = true;
    } else if (arg == "--stats") {
      o.stats = true;
    } else if (arg == "--save") {
      o.save = true;
    } else if (arg == "--new-only") {
      o.new_only = true;
    } else if (arg == "--engines" || arg == "--exact" || arg == "--max-files" ||
               arg == "--connections" || arg == "--proxy" || arg == "--timeout" ||
               arg == "--format" || arg == "--project") {
      if (!has_value) return arg + " needs a value";
      const char* value = argv[++i];
      if (arg == "--format") {
        if (!cli::ParseHitFormat(value, &o.format)) return "--format takes tsv, csv or json";
      } else if (arg == "--project") {
        if (!*value) return "--project needs a file name";
        o.project = value;
      } else if (arg == "--engines") {
        o.engines = value;
      } else if (arg == "--exact") {
        if (!cli::ParseNumber(value, 0, 1, &v)) return "--exact takes 0 or 1";
        o.exact = static_cast<int>(v);
      } else if (arg == "--max-files") {
        if (!cli::ParseNumber(value, -2147483647L, 2147483647L, &v))
          return "--max-files takes a number";
        o.max_files = v < 1 ? 50 : static_cast<int>(v);
      } else if (arg == "--connections") {
        if (!cli::ParseNumber(value, 1, kMaxSlots, &v))
          return "--connections takes a number from 1 to 20";
        o.connections = static_cast<int>(v);
      } else if (arg == "--timeout") {
        if (!cli::ParseNumber(value, 1, 24L * 3600 * 1000, &v))
          return "--timeout takes milliseconds";
        o.timeout = v;
      } else {
        const std::string proxy = value;
        if (proxy.empty()) {
          o.proxy_host = "";
          continue;
        }
        const std::size_t colon = proxy.rfind(':');
        if (colon == std::string::npos || colon == 0 ||
            !cli::ParseNumber(proxy.c_str() + colon + 1, 1, 65535, &v)) {
          return "--proxy takes HOST:PORT";
        }
        o.proxy_host = proxy.substr(0, colon);
        o.proxy_port = static_cast<int>(v);
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return "unknown option '" + arg + "'";
    } else if (o.query) {
      return "only one QUERY (separate search terms with commas)";
    } else {
      o.query = arg;
    }
  }
  if (!o.query && !o.project) return "QUERY is missing";
  if (o.save && !o.project) return "--save writes the file of --project, which is missing";
  return "";
}

// --engines: exactly the listed engines. Empty text when all went well.
std::string SelectListedEngines(const std::string& list) {
  for (EngineEntry& e : g_engines) e.selected = 0;
  std::size_t start = 0;
  int count = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string item = list.substr(start, comma - start);
    start = comma + 1;
    if (item.empty()) continue;
    long id = 0;
    if (!cli::ParseNumber(item.c_str(), -2147483647L, 2147483647L, &id)) {
      return "--engines takes engine IDs separated by commas, not '" + item + "'";
    }
    EngineEntry* e = FindEngineById(static_cast<int>(id));
    if (!e) return "no engine has ID " + item + " in engines.dat";
    if (!EngineAvailable(*e)) return "engine " + item + " is not available";
    e->selected = 1;
    ++count;
  }
  if (count == 0) return "--engines names no engine";
  return "";
}

int SelectedCount() {
  int n = 0;
  for (EngineEntry& e : g_engines) {
    if (!EngineAvailable(e)) e.selected = 0;  // as the engine list does
    if (e.selected) ++n;
  }
  return n;
}

// The command line's front end: every finished job is printed (so flags
// can be checked from outside) and the report opens only when asked.
class HuntFrontEnd : public platform::FrontEnd {
 public:
  explicit HuntFrontEnd(bool open) : open_(open) {}

  void JobDone(int slot, const EngineEntry& job) override {
    if (!(job.request_flags & kRequestVendorJob) && !(job.status_flags & kJobFailed) &&
        !(job.request_flags & kRequestError)) {
      ++answered_jobs;
    }
    std::fprintf(stderr, "[%d] job id=%d status=0x%x request=0x%x hits=%d term=%s\n", slot, job.id,
                 static_cast<unsigned>(job.status_flags), static_cast<unsigned>(job.request_flags),
                 static_cast<int>(job.hits), job.query ? job.query->c_str() : "");
    std::fflush(stderr);
  }

  void OpenReport(const std::string& path) override {
    if (open_ && !platform::OpenWithDefaultProgram(path)) {
      std::fprintf(stderr, "torvane-cli hunt: could not open %s\n", path.c_str());
    }
  }

  // Engine jobs that ended without a failure flag.
  int answered_jobs = 0;

 private:
  bool open_;
};

// Prints the hits in report order, those whose location is in `known` left
// out; returns how many were printed.
long PrintHits(cli::HitFormat format, const std::unordered_set<std::string>* known) {
  long printed = 0;
  std::fputs(cli::HitHeader(format).c_str(), stdout);
  ClearWrittenMarks();
  while (FileHit* hit = NextUnwrittenHit()) {
    hit->mark_flags |= kWrittenMark;
    if (known && hit->location && known->count(*hit->location)) continue;
    const std::string line = cli::HitLine(format, *hit);
    std::fwrite(line.data(), 1, line.size(), stdout);
    ++printed;
  }
  std::fflush(stdout);
  return printed;
}

std::string Times(const std::vector<std::uint64_t>& ms) {
  if (ms.empty()) return "-";
  return Format("%llu/%llu", static_cast<unsigned long long>(MedianOf(ms)),
                static_cast<unsigned long long>(MaxOf(ms)));
}

void PrintStats() {
  for (const EngineStats& s : g_hunt_stats) {
    std::string outcomes;
    for (const auto& [text, count] : s.outcomes) {
      outcomes += (outcomes.empty() ? "" : ",") + Format("%i:", count) + cli::Quoted(text);
    }
    std::fprintf(stderr,
                 "stats id=%d jobs=%d hits=%ld bytes=%llu first-byte-ms=%s end-ms=%s "
                 "redirects=%d name=%s outcomes=%s\n",
                 s.engine_id, s.jobs, s.hits, static_cast<unsigned long long>(s.bytes),
                 Times(s.first_byte_ms).c_str(), Times(s.end_ms).c_str(), s.redirects,
                 cli::Quoted(s.name).c_str(), outcomes.c_str());
  }
  std::fflush(stderr);
}

// Runs the loop until the Hunt has ended; Ctrl-C cancels it as Cancel does.
// Returns true when it was cancelled.
bool RunHunt() {
  bool cancelled = false;
  platform::InstallCancelSignal();
  while (g_hunt.running) {
    platform::host().Run(50);
    if (platform::CancelSignalled() && g_hunt.running) {
      std::fputs("torvane-cli hunt: cancelled\n", stderr);
      Cancel();
      cancelled = true;
    }
  }
  platform::RemoveCancelSignal();
  return cancelled;
}

}  // namespace

int CmdHunt(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kHuntUsage, stdout);
    return 0;
  }
  HuntOptions o;
  const std::string error = ParseArgs(argc, argv, o);
  if (!error.empty()) return UsageError(error);

  cli::SetStdoutBinary();
  HuntUi ui;
  platform::Ui* previous_ui = platform::SetUi(&ui);
  HuntFrontEnd frontend(o.open);
  platform::FrontEnd* previous_frontend = platform::SetFrontEnd(&frontend);
  struct Restore {
    platform::Ui* ui;
    platform::FrontEnd* frontend;
    ~Restore() {
      platform::SetFrontEnd(frontend);
      platform::SetUi(ui);
    }
  } restore{previous_ui, previous_frontend};

  StartUp();
  if (g_engines.empty()) return UsageError("no engines (engines.dat missing or empty)");
  if (o.project) {
    g_settings.filename = *o.project;
    // A project that is not there yet is a new one, given a QUERY.
    if (!LoadProject() && !o.query) return UsageError("cannot read the project " + *o.project);
  } else {
    // The current project is torva.ini's, else default.tvs; the command never
    // writes torva.ini, so naming the default here changes nothing stored.
    if (!g_settings.filename || g_settings.filename->empty()) {
      g_settings.filename = kDefaultProject;
    }
    LoadStartupProject();
  }
  std::optional<std::unordered_set<std::string>> known;
  if (o.new_only) {
    known.emplace();
    for (const FileHit* hit : HitsInListOrder()) {
      if (hit->location) known->insert(*hit->location);
    }
  }
  if (o.engines) {
    const std::string bad = SelectListedEngines(*o.engines);
    if (!bad.empty()) return UsageError(bad);
  }
  if (SelectedCount() == 0) {
    for (EngineEntry& e : g_engines) e.selected = EngineAvailable(e) ? 1 : 0;
  }
  if (SelectedCount() == 0) return UsageError("engines.dat has no available engine");
  if (o.exact) g_settings.exact = *o.exact;
  if (o.max_files) g_settings.files = *o.max_files;
  if (o.connections) g_settings.packcount = *o.connections;
  if (o.timeout) g_settings.timeout = *o.timeout;
  if (o.proxy_host) {
    g_settings.proxy = *o.proxy_host;
    if (!o.proxy_host->empty()) g_settings.port = o.proxy_port;
  }
  if (o.query) g_project.query = *o.query;
  const std::string query = g_project.query.value_or("");
  if (query.empty()) return UsageError("QUERY is missing (the project holds none)");
  // What Find in the window reads from its controls: the query joins the
  // project's history, as a saved project then shows it.
  WindowToProjectValues(g_settings.exact != 0, IntToText(g_settings.files), query.c_str());
  // Find hunts the first kMaxSearchTerms terms only; say so rather than
  // leave the others out unseen.
  const long terms = 1 + static_cast<long>(std::count(query.begin(), query.end(), ','));
  if (terms > kMaxSearchTerms) {
    std::fprintf(stderr,
                 "torvane-cli hunt: the query holds %ld search terms; only the first %d are "
                 "hunted\n",
                 terms, kMaxSearchTerms);
  }

  if (!platform::InstallOsAdapter()) return UsageError("the network adapter could not be set up");
  platform::host().SetHandler(
      [](unsigned msg, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(msg, w, l); });

  int status = 2;
  if (Find()) {
    const bool cancelled = RunHunt();
    if (cancelled) {
      status = 130;
    } else if (g_total_hits > 0) {
      const long printed = PrintHits(o.format, known ? &*known : nullptr);
      status = o.new_only && printed == 0 ? 1 : 0;
    } else {
      // With --new-only or a format for programs stdout holds hits (and the
      // CSV header) and nothing else.
      const bool hits_only = o.new_only || o.format != cli::HitFormat::kTsv;
      if (hits_only) std::fputs(cli::HitHeader(o.format).c_str(), stdout);
      std::string text = ui.no_hits_message.value_or(LoadText(1475));
      std::fprintf(hits_only ? stderr : stdout, "%s\n", text.c_str());
      status = 1;
    }
    if (o.stats) PrintStats();
    if (o.save && !cancelled) {
      // A Hunt in which every engine failed (the network down, say) would
      // replace the project's hits with none, and the next run would take
      // every hit for new.
      if (frontend.answered_jobs == 0) {
        std::fprintf(stderr, "torvane-cli hunt: no engine delivered a page; %s is left as it was\n",
                     o.project->c_str());
      } else if (!SaveProject()) {
        status = 2;  // the error box has said why
      }
    }
  }
  for (int i = 0; i < kMaxSlots; ++i) {
    ResetSlot(i);
    FreeReceiveBuffer(i);
  }
  if (g_app.network_started) platform::net().Cleanup();
  g_app.network_started = 0;
  platform::host().SetHandler(nullptr);
  platform::RemoveOsAdapter();
  return status;
}
