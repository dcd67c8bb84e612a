// torvane-cli probe ENGINE_ID TERM: one job of one engine on real sockets,
// explained step by step, for whoever writes an engines.dat entry and
// wonders why the engine finds nothing.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "app/console.h"
#include "app/find.h"
#include "app/main_messages.h"
#include "app/startup.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/hit_output.h"
#include "engines/engines.h"
#include "hunt/controller.h"
#include "hunt/job_observer.h"
#include "hunt/slots.h"
#include "platform/adapter.h"
#include "platform/frontend.h"
#include "platform/host.h"
#include "projects/project.h"
#include "settings/settings.h"
#include "util/text.h"

namespace {

const char kProbeUsage[] =
    "usage: torvane-cli probe [--exact 0|1] [--timeout MS] ENGINE_ID TERM\n"
    "\n"
    "Runs the one job of engine ENGINE_ID for the search term TERM, as a Hunt\n"
    "runs it (torva.ini and engines.dat of the current directory; no vendor\n"
    "job), and prints on stdout what happened:\n"
    "  request: each request sent, one '> ' line per line, bytes escaped\n"
    "           (\\r \\n \\t \\\" \\\\ \\xNN); again after each redirect\n"
    "  answer: its size, status line and code, and whether it was taken as\n"
    "          a redirect (and followed where)\n"
    "  anchor N @OFFSET: VERDICT text=\"...\" href=\"...\"  for every anchor\n"
    "          of the answer (OFFSET: of its \"<\" in the answer), VERDICT one of\n"
    "            hit (then also size, date and location as the engine type's\n"
    "                 rule read them)\n"
    "            accepted (already seen)   the location is a hit already\n"
    "            rejected (no term in the text)\n"
    "            rejected (no \"ftp:\")       the href lacks it; types 11-13 take\n"
    "                                      any link\n"
    "            rejected (Exact Match)    the text is not the term\n"
    "            rejected (no usable href)\n"
    "          and ', scan ends' when the rule found nothing more behind a hit\n"
    "  summary: the counts of each verdict, then the job's final status text,\n"
    "          flags and hits.\n"
    "Nothing in the current directory is written (the engine pages a Hunt\n"
    "keeps go to a temporary folder, removed at the end).\n"
    "\n"
    "options:\n"
    "  --exact 0|1     Exact Match (default: torva.ini's)\n"
    "  --timeout MS    period of the timeout tick (retry at 10, abort after 20)\n"
    "\n"
    "Exit status: 0 when the page gave a hit, 1 when not, 2 on a usage or\n"
    "start-up error, 130 when Ctrl-C cancelled the job.\n";

int Fail(const std::string& text) {
  return cli::Fail("probe", text);
}

const char* VerdictText(AnchorVerdict v) {
  switch (v) {
    case AnchorVerdict::kHit:
      return "hit";
    case AnchorVerdict::kAlreadySeen:
      return "accepted (already seen)";
    case AnchorVerdict::kNoTerm:
      return "rejected (no term in the text)";
    case AnchorVerdict::kNoFtp:
      return "rejected (no \"ftp:\")";
    case AnchorVerdict::kExactMatch:
      return "rejected (Exact Match)";
    case AnchorVerdict::kNoLink:
      return "rejected (no usable href)";
  }
  return "?";
}

constexpr int kVerdicts = 6;

class ProbeObserver : public JobObserver {
 public:
  void RequestSent(int, const std::string& request) override {
    std::printf("request:\n");
    std::size_t start = 0;
    while (start < request.size()) {
      std::size_t end = request.find('\n', start);
      end = end == std::string::npos ? request.size() : end + 1;
      std::printf("> %s\n", cli::Escaped(request.substr(start, end - start)).c_str());
      start = end;
    }
    std::fflush(stdout);
  }

  void AnswerRead(int, const char* answer, std::size_t length, int status,
                  const std::string* followed_to, bool too_many) override {
    std::size_t line = 0;
    while (line < length && line < 200 && answer[line] && answer[line] != '\r' &&
           answer[line] != '\n') {
      ++line;
    }
    std::printf("answer: %llu bytes, status line \"%s\" (code %d)\n",
                static_cast<unsigned long long>(length),
                cli::Escaped(std::string(answer, line)).c_str(), status);
    if (followed_to) {
      std::printf("redirect: yes, followed to %s\n", cli::Quoted(*followed_to).c_str());
    } else if (too_many) {
      std::printf("redirect: yes, but one too many: the job ends here\n");
    } else if (status != 200 && status != 302) {
      std::printf("redirect: no; not a result page (the status is not 200 or 302)\n");
    } else {
      std::printf("redirect: no%s; read as a result page\n",
                  status == 302 ? " (no \"http:\" in the answer)" : "");
    }
    std::fflush(stdout);
  }

  void Anchor(const AnchorNote& n) override {
    ++counts[static_cast<int>(n.verdict)];
    ++anchors;
    std::string verdict = VerdictText(n.verdict);
    if (n.verdict == AnchorVerdict::kHit) hit_offsets.insert(n.offset);
    // A rule may leave the scan in front of its own link; it is met again.
    if (n.verdict == AnchorVerdict::kAlreadySeen && hit_offsets.count(n.offset)) {
      verdict = "accepted (already seen: the same anchor, where the rule left the scan)";
    }
    std::string line = Format("anchor %d @%llu: %s text=", anchors,
                              static_cast<unsigned long long>(n.offset), verdict.c_str());
    line += cli::Quoted(n.text) + " href=" + cli::Quoted(n.href);
    if (n.verdict == AnchorVerdict::kHit) {
      line += " size=" + cli::Quoted(n.size) + " date=" + cli::Quoted(n.date) +
              " location=" + cli::Quoted(n.location);
      if (n.ends_scan) line += ", scan ends";
    }
    std::printf("%s\n", line.c_str());
  }

  int anchors = 0;
  int counts[kVerdicts] = {};
  std::set<std::size_t> hit_offsets;
};

// Status texts are kept, not printed: the summary names the last one.
class ProbeUi : public cli::CliUi {
 public:
  void SlotStatus(int slot, const std::string& text) override {
    CliUi::SlotStatus(slot, text);
    if (slot == 0 && text.find_first_not_of(' ') != std::string::npos) {
      last = text.substr(text[0] == ' ' ? 1 : 0);
    }
  }
  // The no-hits box at the end of a run says nothing the summary doesn't.
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    if (caption == LoadText(1477)) return platform::kIdOk;
    return CliUi::MessageBox(text, caption, style);
  }
  std::string last;
};

class ProbeFrontEnd : public platform::FrontEnd {
 public:
  void JobDone(int, const EngineEntry& job) override {
    if (job.request_flags & kRequestVendorJob) return;
    done = true;
    status_flags = job.status_flags;
    request_flags = job.request_flags;
    hits = job.hits;
  }
  bool done = false;
  unsigned status_flags = 0, request_flags = 0;
  long hits = 0;
};

// A folder of its own for the engine pages a job writes, removed at the end;
// the working directory is the previous one again by then.
class ScratchDirectory {
 public:
  bool Enter() {
    std::error_code ec;
    previous_ = std::filesystem::current_path(ec);
    if (ec) return false;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) return false;
    // Probes started side by side pick different names.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
    for (int i = 0; i < 100; ++i) {
      const std::filesystem::path p =
          base / Format("torvane-probe-%llu-%d", static_cast<unsigned long long>(stamp), i);
      if (std::filesystem::create_directory(p, ec) && !ec) {
        path_ = p;
        std::filesystem::create_directory(p / "reports", ec);
        std::filesystem::current_path(p, ec);
        return !ec;
      }
    }
    return false;
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace

int CmdProbe(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kProbeUsage, stdout);
    return 0;
  }
  std::optional<int> exact;
  std::optional<long> timeout;
  int i = 0;
  long v = 0;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--exact" && cli::ParseNumber(argv[i + 1], 0, 1, &v)) {
      exact = static_cast<int>(v);
    } else if (arg == "--timeout" && cli::ParseNumber(argv[i + 1], 1, 24L * 3600 * 1000, &v)) {
      timeout = v;
    } else {
      std::fputs(kProbeUsage, stderr);
      return 2;
    }
  }
  if (argc - i != 2) {
    std::fputs(kProbeUsage, stderr);
    return 2;
  }
  if (!cli::ParseNumber(argv[i], cli::kIntMin, cli::kIntMax, &v)) {
    return Fail(std::string("ENGINE_ID must be a number, not '") + argv[i] + "'");
  }
  const int id = static_cast<int>(v);
  const std::string term = argv[i + 1];
  if (term.empty()) return Fail("TERM is empty");

  cli::SetStdoutBinary();
  ProbeUi ui;
  platform::Ui* previous_ui = platform::SetUi(&ui);
  ProbeFrontEnd frontend;
  platform::FrontEnd* previous_frontend = platform::SetFrontEnd(&frontend);
  ProbeObserver observer;
  struct Restore {
    platform::Ui* ui;
    platform::FrontEnd* frontend;
    ~Restore() {
      g_job_observer = nullptr;
      platform::SetFrontEnd(frontend);
      platform::SetUi(ui);
    }
  } restore{previous_ui, previous_frontend};

  StartUp();
  EngineEntry* engine = FindEngineById(id);
  if (!engine) return Fail("no engine with ID=" + std::to_string(id) + " in engines.dat");
  if (!EngineAvailable(*engine)) return Fail("engine " + std::to_string(id) + " is not available");
  for (EngineEntry& e : g_engines) e.selected = 0;
  engine->selected = 1;
  if (exact) g_settings.exact = *exact;
  if (timeout) g_settings.timeout = *timeout;
  g_settings.packcount = 1;
  g_project.query = term;
  // The probe asks the engine and nothing else.
  g_hunt.vendor_job_sent = 1;
  std::printf("engine %d %s, type %d, term %s, Exact Match %s\n", id,
              cli::Quoted(engine->name.value_or("")).c_str(), static_cast<int>(engine->engine_type),
              cli::Quoted(term).c_str(), g_settings.exact ? "on" : "off");

  ScratchDirectory scratch;
  if (!scratch.Enter()) return Fail("cannot create a temporary folder for the engine page");
  if (!platform::InstallOsAdapter()) return Fail("the network adapter could not be set up");
  platform::host().SetHandler(
      [](unsigned msg, std::uintptr_t w, std::intptr_t l) { HandleMainMessage(msg, w, l); });
  g_job_observer = &observer;

  int status = 2;
  bool cancelled = false;
  if (Find()) {
    platform::InstallCancelSignal();
    while (g_hunt.running) {
      platform::host().Run(50);
      if (platform::CancelSignalled() && g_hunt.running) {
        Cancel();
        cancelled = true;
      }
    }
    platform::RemoveCancelSignal();
    const int* c = observer.counts;
    std::printf(
        "summary: %d anchors: %d hit, %d already seen, %d no term, %d no \"ftp:\", "
        "%d Exact Match, %d no usable href\n",
        observer.anchors, c[static_cast<int>(AnchorVerdict::kHit)],
        c[static_cast<int>(AnchorVerdict::kAlreadySeen)],
        c[static_cast<int>(AnchorVerdict::kNoTerm)], c[static_cast<int>(AnchorVerdict::kNoFtp)],
        c[static_cast<int>(AnchorVerdict::kExactMatch)],
        c[static_cast<int>(AnchorVerdict::kNoLink)]);
    if (cancelled) {
      std::printf("job: cancelled\n");
      status = 130;
    } else {
      std::printf("job: ended with %s status=0x%x request=0x%x hits=%ld\n",
                  cli::Quoted(ui.last).c_str(), frontend.status_flags, frontend.request_flags,
                  frontend.hits);
      status = c[static_cast<int>(AnchorVerdict::kHit)] > 0 ? 0 : 1;
    }
    std::fflush(stdout);
  }
  g_job_observer = nullptr;
  for (int s = 0; s < kMaxSlots; ++s) {
    ResetSlot(s);
    FreeReceiveBuffer(s);
  }
  if (g_app.network_started) platform::net().Cleanup();
  g_app.network_started = 0;
  platform::host().SetHandler(nullptr);
  platform::RemoveOsAdapter();
  return status;
}
