#include <cstdio>

#include "cli/commands.h"

// Placeholder until the request command lands.
int CmdRequest(int, char**) {
  std::fputs("torvane-cli: 'request' is not available in this build\n", stderr);
  return 2;
}
