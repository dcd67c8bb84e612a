// torvane-cli: the program's jobs without a window, for people who write
// engine definitions and for the end-to-end tests.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace {

const char kUsage[] =
    "usage: torvane-cli COMMAND [ARGS]\n"
    "\n"
    "Runs in the current directory, reading torva.ini, engines.dat and search.idx\n"
    "as the program does at start-up.\n"
    "\n"
    "commands:\n"
    "  request ID TERM      print the exact HTTP request that engine ID would be sent\n"
    "                       for TERM (stderr: the host and port it would connect to)\n"
    "  parse [--type N] [--exact 0|1] --term TERM FILE...\n"
    "                       read saved result pages as one Hunt and print the hits\n"
    "  report PROJECT       write the report set of a saved project into reports/\n"
    "  hunt [options] QUERY run a Hunt and print the hits (see 'hunt --help')\n"
    "  check [options] [--project FILE | -]\n"
    "                       check that the hits' files are still there (see 'check --help')\n"
    "  probe ENGINE_ID TERM run one engine's job and explain its page, anchor by\n"
    "                       anchor (see 'probe --help')\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const char* cmd = argv[1];
  if (!std::strcmp(cmd, "request")) return CmdRequest(argc - 2, argv + 2);
  if (!std::strcmp(cmd, "parse")) return CmdParse(argc - 2, argv + 2);
  if (!std::strcmp(cmd, "report")) return CmdReport(argc - 2, argv + 2);
  if (!std::strcmp(cmd, "hunt")) return CmdHunt(argc - 2, argv + 2);
  if (!std::strcmp(cmd, "check")) return CmdCheck(argc - 2, argv + 2);
  if (!std::strcmp(cmd, "probe")) return CmdProbe(argc - 2, argv + 2);
  std::fprintf(stderr, "torvane-cli: unknown command '%s'\n\n%s", cmd, kUsage);
  return 2;
}
