// The Ui of torvane-cli: no window, so message boxes are printed to stderr as
// "Caption: text" (and answered with OK, or Yes for a question), and, when
// verbose, connection progress too. Every command installs it with
// CliUiScope for the time it runs.
#pragma once

#include <string>

#include "platform/headless_ui.h"

namespace cli {

// Keeps what the headless Ui keeps (texts, rows, the call log) and prints
// what a user of the command line needs to see.
class CliUi : public platform::HeadlessUi {
 public:
  explicit CliUi(bool verbose = false) : verbose_(verbose) {}

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void SlotStatus(int slot, const std::string& text) override;

  // Number of message boxes shown so far.
  int boxes() const { return boxes_; }

 private:
  bool verbose_;
  int boxes_ = 0;
};

// Installs a CliUi for the lifetime of the scope and puts the previous Ui
// back at its end.
class CliUiScope {
 public:
  explicit CliUiScope(bool verbose = false);
  ~CliUiScope();
  CliUiScope(const CliUiScope&) = delete;
  CliUiScope& operator=(const CliUiScope&) = delete;
  CliUi& ui() { return ui_; }

 private:
  CliUi ui_;
  platform::Ui* previous_;
};

// The common start of a command: "--help" or "-h" alone prints the usage on
// stdout and gives 0; any other argument count than wanted prints it on
// stderr and gives 2; -1 means the command goes on.
int CheckUsage(int argc, char** argv, int wanted, const char* usage);
// "torvane-cli COMMAND: text" on stderr; returns exit status 2.
int Fail(const char* command, const std::string& text);

// A whole decimal number within lo..hi, nothing before or after it.
bool ParseNumber(const char* text, long lo, long hi, long* out);
constexpr long kIntMin = -2147483647L - 1;
constexpr long kIntMax = 2147483647L;

// Switches stdout to binary mode, so that request and page bytes come out
// exactly as built (no "\n" to "\r\n" on Windows).
void SetStdoutBinary();

}  // namespace cli
