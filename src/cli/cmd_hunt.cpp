#include <cstdio>

#include "cli/commands.h"

// Placeholder until the hunt command lands.
int CmdHunt(int, char**) {
  std::fputs("torvane-cli: 'hunt' is not available in this build\n", stderr);
  return 2;
}
