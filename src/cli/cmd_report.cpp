#include <cstdio>

#include "cli/commands.h"

// Placeholder until the report command lands.
int CmdReport(int, char**) {
  std::fputs("torvane-cli: 'report' is not available in this build\n", stderr);
  return 2;
}
