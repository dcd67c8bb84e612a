// torvane-cli check [options] [--project FILE | -]: is each hit still
// there? The locations of a project's hits (or of standard input's lines)
// are asked for over the Hunt's sockets and loop, and one line per location
// is printed in input order as soon as it and those before it are known.
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/console.h"
#include "check/checker.h"
#include "check/prune.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "hunt/slot_status.h"
#include "platform/adapter.h"
#include "platform/host.h"
#include "projects/project.h"
#include "results/hit_list.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kCheckUsage[] =
    "usage: torvane-cli check [options] [--project FILE | -]\n"
    "\n"
    "Checks whether the files that hits point to are still there: each location of\n"
    "the project's hits (default: the current project, as the program opens it),\n"
    "or of each line of standard input with '-' (a line with tabs, as 'hunt'\n"
    "prints it, gives its last field). ftp:// locations are asked over an\n"
    "anonymous FTP control connection (SIZE and MDTM; no file is transferred),\n"
    "http:// locations by a HEAD request. Prints one line per location, in input\n"
    "order: status<TAB>size<TAB>modified<TAB>location, where status is ok,\n"
    "missing, moved (followed by a blank and where to), refused, unreachable,\n"
    "timeout or error (followed by a blank and the server's reply or what went\n"
    "wrong); size and modified (YYYY-MM-DD HH:MM:SS) are empty when unknown.\n"
    "A count of each status goes to stderr at the end.\n"
    "\n"
    "options:\n"
    "  --project FILE      check the hits of this project file\n"
    "  --prune             write the project back without the hits found missing;\n"
    "                      every other byte of the file stays as it was\n"
    "  --connections N     locations asked at once, 1..20 (torva.ini packcount)\n"
    "  --timeout MS        time limit of one location (20 x torva.ini timeout)\n"
    "  --deadline S        time limit of the whole check in seconds (600); what is\n"
    "                      not known by then is reported as timeout\n"
    "  --proxy HOST:PORT   HEAD requests go through this HTTP proxy ('' for none;\n"
    "                      default torva.ini's)\n"
    "  --ftp-server HOST:PORT\n"
    "                      every FTP control connection goes to this server instead\n"
    "                      of the location's host (a mirror, or the demo server)\n"
    "\n"
    "Exit status: 0 when every location is ok, 1 when one is not, 2 on a usage or\n"
    "start-up error, 130 when Ctrl-C stopped the check (the project is not pruned).\n";

struct CheckArgs {
  std::optional<std::string> project;
  bool from_stdin = false;
  bool prune = false;
  std::optional<int> connections;
  std::optional<long> timeout;
  std::optional<long> deadline;
  std::optional<std::string> proxy_host;
  int proxy_port = 0;
  std::string ftp_host;
  int ftp_port = 0;
};

int UsageError(const std::string& text) {
  std::fprintf(stderr, "torvane-cli check: %s\n(see 'torvane-cli check --help')\n", text.c_str());
  return 2;
}

bool HostAndPort(const std::string& text, std::string* host, int* port) {
  long v = 0;
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 ||
      !cli::ParseNumber(text.c_str() + colon + 1, 1, 65535, &v)) {
    return false;
  }
  *host = text.substr(0, colon);
  *port = static_cast<int>(v);
  return true;
}

std::string ParseArgs(int argc, char** argv, CheckArgs& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    long v = 0;
    if (arg == "-") {
      o.from_stdin = true;
    } else if (arg == "--prune") {
      o.prune = true;
    } else if (arg == "--project" || arg == "--connections" || arg == "--timeout" ||
               arg == "--deadline" || arg == "--proxy" || arg == "--ftp-server") {
      if (i + 1 >= argc) return arg + " needs a value";
      const std::string value = argv[++i];
      if (arg == "--project") {
        if (value.empty()) return "--project needs a file name";
        o.project = value;
      } else if (arg == "--connections") {
        if (!cli::ParseNumber(value.c_str(), 1, kMaxSlots, &v))
          return "--connections takes a number from 1 to 20";
        o.connections = static_cast<int>(v);
      } else if (arg == "--timeout") {
        if (!cli::ParseNumber(value.c_str(), 1, 24L * 3600 * 1000, &v))
          return "--timeout takes milliseconds";
        o.timeout = v;
      } else if (arg == "--deadline") {
        if (!cli::ParseNumber(value.c_str(), 1, 7L * 24 * 3600, &v))
          return "--deadline takes seconds";
        o.deadline = v;
      } else if (arg == "--proxy") {
        if (value.empty()) {
          o.proxy_host = "";
        } else {
          std::string host;
          if (!HostAndPort(value, &host, &o.proxy_port)) return "--proxy takes HOST:PORT";
          o.proxy_host = host;
        }
      } else if (!HostAndPort(value, &o.ftp_host, &o.ftp_port)) {
        return "--ftp-server takes HOST:PORT";
      }
    } else {
      return "unknown argument '" + arg + "'";
    }
  }
  if (o.from_stdin && o.project) return "either --project FILE or -, not both";
  if (o.from_stdin && o.prune) return "--prune needs a project, not standard input";
  return "";
}

// The locations on standard input: one a line, the last tab-separated
// field of a line that has tabs; empty lines are skipped.
bool ReadStdinLocations(std::vector<std::string>* out, std::string* error) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::string line;
  int number = 0;
  for (;;) {
    const int c = std::getc(stdin);
    if (c != EOF && c != '\n') {
      line += static_cast<char>(c);
      if (line.size() > kWholeLineLimit) {
        *error = Format("line %d of standard input is longer than %lu bytes", number + 1,
                        static_cast<unsigned long>(kWholeLineLimit));
        return false;
      }
      continue;
    }
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tab = line.rfind('\t');
    if (tab != std::string::npos) line.erase(0, tab + 1);
    if (!line.empty()) out->push_back(line);
    line.clear();
    if (c == EOF) return true;
  }
}

// A text that goes into a tab-separated line: tabs and line ends escaped.
std::string Field(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

void PrintResult(const std::string& location, const CheckResult& r) {
  std::string status = CheckStatusName(r.status);
  if ((r.status == CheckStatus::kError || r.status == CheckStatus::kMoved) && !r.detail.empty()) {
    status += " " + r.detail;
  }
  std::printf("%s\t%s\t%s\t%s\n", Field(status).c_str(), r.size.c_str(), r.modified.c_str(),
              Field(location).c_str());
}

}  // namespace

int CmdCheck(int argc, char** argv) {
  if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kCheckUsage, stdout);
    return 0;
  }
  CheckArgs o;
  const std::string bad = ParseArgs(argc, argv, o);
  if (!bad.empty()) return UsageError(bad);

  cli::SetStdoutBinary();
  cli::CliUiScope scope;
  LoadSettings();

  std::vector<std::string> locations;
  if (o.from_stdin) {
    std::string error;
    if (!ReadStdinLocations(&locations, &error)) return UsageError(error);
  } else {
    // Without --project, the current project: torva.ini's, else default.tvs.
    if (o.project) {
      g_settings.filename = *o.project;
    } else if (!g_settings.filename || g_settings.filename->empty()) {
      g_settings.filename = kDefaultProject;
    }
    const std::string path = *g_settings.filename;
    if (!FileExists(path.c_str()) || !LoadProject()) {
      return UsageError("cannot read project file '" + path + "'");
    }
    o.project = path;
    for (const FileHit* hit : HitsInListOrder()) {
      if (hit->location && !hit->location->empty()) locations.push_back(*hit->location);
    }
  }

  CheckOptions options;
  options.connections = o.connections.value_or(g_settings.packcount);
  options.timeout = std::chrono::milliseconds(o.timeout.value_or(20L * g_settings.timeout));
  options.deadline = std::chrono::milliseconds(o.deadline.value_or(600) * 1000L);
  if (o.proxy_host) {
    options.proxy_host = *o.proxy_host;
    options.proxy_port = static_cast<std::uint16_t>(o.proxy_port);
  } else if (ProxySet()) {
    options.proxy_host = *g_settings.proxy;
    options.proxy_port = static_cast<std::uint16_t>(g_settings.port);
  }
  options.ftp_host = o.ftp_host;
  options.ftp_port = static_cast<std::uint16_t>(o.ftp_port);

  if (!platform::InstallOsAdapter()) return UsageError("the network adapter could not be set up");
  const int started = platform::net().Startup();
  if (started != 0) {
    platform::RemoveOsAdapter();
    return UsageError(Format("the network could not be started (error %d)", started));
  }

  Checker checker(locations, options);
  std::size_t printed = 0;
  checker.on_done = [&](std::size_t) {
    while (printed < checker.results().size() &&
           checker.results()[printed].status != CheckStatus::kPending) {
      PrintResult(checker.locations()[printed], checker.results()[printed]);
      ++printed;
    }
    std::fflush(stdout);
  };
  platform::host().SetHandler(
      [&checker](unsigned msg, std::uintptr_t w, std::intptr_t l) { checker.Handle(msg, w, l); });
  platform::InstallCancelSignal();
  bool cancelled = false;
  checker.Start();
  while (!checker.Done()) {
    platform::host().Run(50);
    if (platform::CancelSignalled() && !checker.Done()) {
      std::fputs("torvane-cli check: cancelled\n", stderr);
      checker.Stop("cancelled");
      cancelled = true;
    }
  }
  platform::RemoveCancelSignal();
  platform::host().SetHandler(nullptr);
  platform::net().Cleanup();
  platform::RemoveOsAdapter();

  int counts[8] = {};
  std::set<std::string> missing;
  for (std::size_t i = 0; i < locations.size(); ++i) {
    ++counts[static_cast<int>(checker.results()[i].status)];
    if (checker.results()[i].status == CheckStatus::kMissing) missing.insert(locations[i]);
  }
  std::string summary =
      Format("torvane-cli check: %lu locations", static_cast<unsigned long>(locations.size()));
  const char* sep = ": ";
  for (int s = static_cast<int>(CheckStatus::kOk); s <= static_cast<int>(CheckStatus::kError);
       ++s) {
    if (counts[s] == 0) continue;
    summary += Format("%s%d %s", sep, counts[s], CheckStatusName(static_cast<CheckStatus>(s)));
    sep = ", ";
  }
  std::fprintf(stderr, "%s\n", summary.c_str());

  if (cancelled) return 130;
  if (o.prune) {
    std::size_t dropped = 0;
    std::string error;
    if (!PruneProjectFile(*o.project, missing, &dropped, &error)) {
      std::fprintf(stderr, "torvane-cli check: %s; the project is unchanged\n", error.c_str());
      return 2;
    }
    std::fprintf(stderr, "torvane-cli check: %lu missing hits removed from %s\n",
                 static_cast<unsigned long>(dropped), o.project->c_str());
  }
  return counts[static_cast<int>(CheckStatus::kOk)] == static_cast<int>(locations.size()) ? 0 : 1;
}
