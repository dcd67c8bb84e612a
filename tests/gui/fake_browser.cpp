// A stand-in for the user's web browser: it records the address it was
// asked to show, one line per start, in browser.log in its working
// directory (the program's own), and shows nothing.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  // The address is everything behind the program's own name.
  const char* line = GetCommandLineA();
  if (*line == '"') {
    line = std::strchr(line + 1, '"');
    line = line ? line + 1 : "";
  } else {
    while (*line && *line != ' ') ++line;
  }
  while (*line == ' ') ++line;
  FILE* log = std::fopen("browser.log", "ab");
  if (!log) return 1;
  std::fprintf(log, "%s\n", line);
  return std::fclose(log) == 0 ? 0 : 1;
}
