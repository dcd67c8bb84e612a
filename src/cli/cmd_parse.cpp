#include <cstdio>

#include "cli/commands.h"

// Placeholder until the parse command lands.
int CmdParse(int, char**) {
  std::fputs("torvane-cli: 'parse' is not available in this build\n", stderr);
  return 2;
}
