#include "cli/cli_ui.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
// C runtime calls only (no Windows API): the console stream's mode.
#include <fcntl.h>
#include <io.h>
#endif

namespace cli {

int CliUi::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  HeadlessUi::MessageBox(text, caption, style);
  ++boxes_;
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  // Nobody is there to answer: a question is taken as agreed.
  return (style & 0xF) == platform::kMbYesNo ? platform::kIdYes : platform::kIdOk;
}

void CliUi::SlotStatus(int slot, const std::string& text) {
  HeadlessUi::SlotStatus(slot, text);
  if (!verbose_) return;
  std::fprintf(stderr, "slot %d: %s\n", slot, text.c_str());
}

CliUiScope::CliUiScope(bool verbose) : ui_(verbose), previous_(platform::SetUi(&ui_)) {}

CliUiScope::~CliUiScope() {
  platform::SetUi(previous_);
}

void SetStdoutBinary() {
  std::fflush(stdout);
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

int CheckUsage(int argc, char** argv, int wanted, const char* usage) {
  if (argc == 1 && (std::string(argv[0]) == "--help" || std::string(argv[0]) == "-h")) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc != wanted) {
    std::fputs(usage, stderr);
    return 2;
  }
  return -1;
}

int Fail(const char* command, const std::string& text) {
  std::fprintf(stderr, "torvane-cli %s: %s\n", command, text.c_str());
  return 2;
}

bool ParseNumber(const char* text, long lo, long hi, long* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end || errno == ERANGE || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace cli
