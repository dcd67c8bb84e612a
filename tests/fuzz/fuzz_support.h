// Helpers shared by the fuzz targets: a property check that stops the
// fuzzer with a readable reason, a private working directory for the
// readers of data files, and small text helpers.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/headless_ui.h"

// A violated property is a finding: say which one, then abort so libFuzzer
// saves the input as a crash.
#define FUZZ_CHECK(cond)                                                                  \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "property violated: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

namespace fuzz {

// The data-file readers work on fixed names in the current directory: for
// the length of one input a target works in a fresh directory of its own,
// so parallel runs and the tree never see its files. The previous directory
// comes back afterwards, since libFuzzer reads and writes the corpus by the
// paths it was given, which may be relative.
class ScratchDirectory {
 public:
  ScratchDirectory() : home_(std::filesystem::current_path()) {
    if (Dir().empty()) Create();
    std::filesystem::current_path(Dir());
  }
  ~ScratchDirectory() { std::filesystem::current_path(home_); }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

 private:
  static std::filesystem::path& Dir() {
    static std::filesystem::path dir;
    return dir;
  }
  static void Create() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvane-fuzz-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) {
      std::perror("torvane fuzz: scratch directory");
      std::abort();
    }
    Dir() = pattern;
    // Gone at a normal exit; after a finding it stays for a look.
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Dir(), ignored);
    });
  }
  std::filesystem::path home_;
};

inline void WriteFile(const char* name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::abort();  // the scratch directory is ours: a failure is the machine's
}

// The headless Ui installed for the length of one input, so message boxes
// are answered and nothing outlives the input.
class HeadlessScope {
 public:
  HeadlessScope() { platform::SetUi(&ui_); }
  ~HeadlessScope() { platform::SetUi(nullptr); }
  HeadlessScope(const HeadlessScope&) = delete;
  HeadlessScope& operator=(const HeadlessScope&) = delete;
  platform::HeadlessUi& ui() { return ui_; }

 private:
  platform::HeadlessUi ui_;
};

// One input of a data-file reader: a scratch directory holding the input
// as the file `name`, with the headless Ui installed.
struct FileInput {
  FileInput(const char* name, const std::uint8_t* data, std::size_t size)
      : text(reinterpret_cast<const char*>(data), size) {
    WriteFile(name, text);
  }
  ScratchDirectory scratch;
  HeadlessScope headless;
  const std::string text;
};

inline std::string ReadFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The input split at '\n' (line feeds not kept); a text ending in '\n' has
// no empty last line.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t lf = text.find('\n', at);
    if (lf == std::string::npos) {
      out.push_back(text.substr(at));
      break;
    }
    out.push_back(text.substr(at, lf - at));
    at = lf + 1;
  }
  return out;
}

// What the readers' TrimRight removes: blanks, CRs and LFs at the end.
inline std::string TrimmedRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

inline bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace fuzz
