// engines.dat as anyone may have edited it. The program only reads it.
// Whatever the file holds, every engine field is the value of one line that
// begins with its key (a piece of a longer line must never pass for a line
// of its own), in file order; a file of short lines without NUL bytes loads
// exactly as the format says; a second load changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "fuzz_support.h"
#include "settings/settings.h"

namespace {

// Lines that the exact model below is sure about: well inside the readers'
// line bound.
constexpr std::size_t kShortLine = 1024;

struct Line {
  std::string key;    // "NAME", "REQ", ... : the text before the first "="
  std::string value;  // behind the first "=", as a C string, trimmed
};

// The lines as the format defines them: the one NUL byte a line may begin
// with is dropped, a NUL ends the text, trailing blanks and CRs go.
std::vector<Line> FileLines(const std::string& input) {
  std::vector<Line> out;
  for (std::string line : fuzz::Lines(input)) {
    if (!line.empty() && line[0] == '\0') line.erase(0, 1);
    line = fuzz::TrimmedRight(line.substr(0, line.find('\0')));
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    out.push_back({line.substr(0, eq), line.substr(eq + 1)});
  }
  return out;
}

std::vector<EngineEntry> Model(const std::vector<Line>& lines) {
  std::vector<EngineEntry> out;
  for (const Line& l : lines) {
    if (l.key == "NAME") {
      out.emplace_back();
      out.back().name = l.value;
    } else if (out.empty()) {
      continue;
    } else if (l.key == "REQ") {
      out.back().request = l.value;
    } else if (l.key == "HOME") {
      out.back().home = l.value;
    } else if (l.key == "ENGINE") {
      out.back().engine_type = TextToInt(l.value.c_str());
    } else if (l.key == "ID") {
      out.back().id = TextToInt(l.value.c_str());
    }
  }
  return out;
}

bool SameEngine(const EngineEntry& a, const EngineEntry& b) {
  return a.name == b.name && a.request == b.request && a.home == b.home &&
         a.engine_type == b.engine_type && a.id == b.id;
}

// True when value is (a prefix of, should a line bound cut it) the value of
// a line with this key at or behind line `from`.
bool FromLine(const std::vector<Line>& lines, const char* key,
              const std::optional<std::string>& value, std::size_t from) {
  if (!value) return true;
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].key == key && lines[i].value.compare(0, value->size(), *value) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FileInput file("engines.dat", data, size);
  const std::string& input = file.text;

  g_engines.clear();
  const int loaded = LoadEngines();
  // 1 exactly when an engine was read.
  FUZZ_CHECK(loaded == (g_engines.empty() ? 0 : 1));

  const std::vector<Line> lines = FileLines(input);
  // Each engine starts at its own NAME= line, in file order, and its other
  // texts come from lines with their key at or behind it.
  std::size_t at = 0;
  for (const EngineEntry& e : g_engines) {
    FUZZ_CHECK(e.name);
    while (at < lines.size() &&
           !(lines[at].key == "NAME" && lines[at].value.compare(0, e.name->size(), *e.name) == 0)) {
      ++at;
    }
    FUZZ_CHECK(at < lines.size());
    FUZZ_CHECK(FromLine(lines, "REQ", e.request, at));
    FUZZ_CHECK(FromLine(lines, "HOME", e.home, at));
    ++at;
  }

  bool plain = input.find('\0') == std::string::npos;
  for (const std::string& l : fuzz::Lines(input)) plain = plain && l.size() < kShortLine;
  if (plain) {
    const std::vector<EngineEntry> expected = Model(lines);
    FUZZ_CHECK(g_engines.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      FUZZ_CHECK(SameEngine(g_engines[i], expected[i]));
    }
  }

  // A loaded list is kept as it is.
  const std::size_t count = g_engines.size();
  if (count) {
    FUZZ_CHECK(LoadEngines() == 0);
    FUZZ_CHECK(g_engines.size() == count);
  }
  g_engines.clear();
  return 0;
}
