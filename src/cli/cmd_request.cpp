// torvane-cli request ID TERM: the exact request bytes an engine would be
// sent for a search term, for checking engine definitions by hand.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "engines/engines.h"
#include "engines/request.h"
#include "settings/settings.h"
#include "util/file.h"

namespace {

const char kRequestUsage[] =
    "usage: torvane-cli request ID TERM\n"
    "\n"
    "Prints to stdout the exact HTTP request that the engine whose ID= is ID\n"
    "would be sent for the search term TERM, and to stderr one line\n"
    "'connect HOST PORT' naming where it would connect (the proxy when\n"
    "torva.ini sets one). Reads torva.ini and engines.dat from the current\n"
    "directory; nothing is written.\n";

int Fail(const std::string& text) {
  return cli::Fail("request", text);
}

}  // namespace

int CmdRequest(int argc, char** argv) {
  const int usage = cli::CheckUsage(argc, argv, 2, kRequestUsage);
  if (usage >= 0) return usage;
  int id = 0;
  long parsed = 0;
  if (!cli::ParseNumber(argv[0], cli::kIntMin, cli::kIntMax, &parsed)) {
    return Fail(std::string("ID must be a number, not '") + argv[0] + "'");
  }
  id = static_cast<int>(parsed);
  cli::CliUiScope scope;
  LoadSettings();
  if (!LoadEngines()) {
    return Fail(FileExists("engines.dat") ? "engines.dat defines no engine (no NAME= line)"
                                          : "cannot read engines.dat in the current directory");
  }
  const EngineEntry* engine = FindEngineById(id);
  if (!engine) return Fail("no engine with ID=" + std::to_string(id) + " in engines.dat");
  if (!engine->request || engine->request->empty()) {
    return Fail("engine " + std::to_string(id) + " has no request template (REQ=)");
  }
  if (!EngineAvailable(*engine)) {
    return Fail("engine " + std::to_string(id) +
                " is marked unavailable (its REQ= begins with \"*\")");
  }

  // The job record as a Hunt makes it: the engine's values and the term.
  EngineEntry job = *engine;
  job.status_flags = 0;
  job.hits = 0;
  job.query = std::string(argv[1]);
  const std::optional<ConnectPoint> target = ConnectTarget(job);
  std::string reason;
  const std::optional<std::string> request = BuildRequest(job, &reason);
  if (!target || !request) return Fail(reason.empty() ? "no request built" : reason);

  cli::SetStdoutBinary();
  std::fwrite(request->data(), 1, request->size(), stdout);
  if (std::fflush(stdout) != 0) return Fail("could not write the request to stdout");
  std::fprintf(stderr, "connect %s %d\n", target->host.c_str(), static_cast<int>(target->port));
  return 0;
}
