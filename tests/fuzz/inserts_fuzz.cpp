// search.idx, the report insert file, as the vendor's server or anyone may
// have written it; the program only reads it. A section is made of whole
// lines, none holding "|", and sections the file does not name keep their
// text; a file of short lines without NUL bytes loads exactly as the format
// says. Writing a section puts the running number in place of every
// "$COUNT" and moves the number on.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "util/file.h"

namespace {

constexpr std::size_t kShortLine = 1024;

using Sections = std::optional<std::string>[kReportInsertSections];

std::string Kept(int n) {
  return "kept section " + std::to_string(n) + "\n";
}

// The lines with their line feeds.
std::vector<std::string> RawLines(const std::string& input) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < input.size()) {
    const std::size_t lf = input.find('\n', at);
    const std::size_t end = lf == std::string::npos ? input.size() : lf + 1;
    out.push_back(input.substr(at, end - at));
    at = end;
  }
  return out;
}

// The format: a line holding "%%*N" or "%%$N" (N the number in the two
// characters behind the marker) opens section N, the lines up to the next
// line holding "|" are its text, and a section that never closes is empty.
void Model(const std::string& input, Sections& sections) {
  const std::vector<std::string> lines = RawLines(input);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string t = fuzz::TrimmedRight(lines[i]);
    const std::size_t mark = t.find("%%");
    if (mark == std::string::npos || mark + 2 >= t.size()) continue;
    if (t[mark + 2] != '*' && t[mark + 2] != '$') continue;
    const int n = TextToInt(t.substr(mark + 3, 2).c_str());
    if (n < 0 || n >= kReportInsertSections) continue;
    sections[n].reset();
    std::string text;
    for (++i; i < lines.size(); ++i) {
      if (lines[i].find('|') != std::string::npos) {
        sections[n] = text;
        break;
      }
      text += lines[i];
    }
  }
}

std::string WithCount(const std::string& text, int number) {
  const std::string count = std::to_string(number);
  std::string out;
  std::size_t at = 0;
  for (std::size_t hit = text.find("$COUNT"); hit != std::string::npos;
       hit = text.find("$COUNT", at)) {
    out += text.substr(at, hit - at) + count;
    at = hit + 6;
  }
  return out + text.substr(at) + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FileInput file("search.idx", data, size);
  const std::string& input = file.text;

  for (int n = 0; n < kReportInsertSections; ++n) g_report_inserts.sections[n] = Kept(n);
  FUZZ_CHECK(LoadReportInserts() == 1);
  FUZZ_CHECK(g_report_inserts.loaded);

  const bool no_nul = input.find('\0') == std::string::npos;
  bool plain = no_nul;
  for (const std::string& l : fuzz::Lines(input)) plain = plain && l.size() < kShortLine;

  for (int n = 0; n < kReportInsertSections; ++n) {
    const std::optional<std::string>& s = g_report_inserts.sections[n];
    if (!s || *s == Kept(n)) continue;
    // Read from the file: never a "|" line, and whole lines only (a piece of
    // a long line is no line; a NUL byte ends what a line gives).
    FUZZ_CHECK(s->find('|') == std::string::npos);
    if (no_nul)
      FUZZ_CHECK(s->empty() || (s->back() == '\n' && input.find(*s) != std::string::npos));
  }
  if (plain) {
    Sections expected;
    for (int n = 0; n < kReportInsertSections; ++n) expected[n] = Kept(n);
    Model(input, expected);
    for (int n = 0; n < kReportInsertSections; ++n) {
      FUZZ_CHECK(g_report_inserts.sections[n] == expected[n]);
    }
  }

  // Writing: every "$COUNT" becomes the running number, which then moves on
  // (99 is followed by 1); an empty section writes nothing.
  g_settings.next = size % 2 ? 98 : 7;
  for (int n = 0; n < kReportInsertSections; ++n) {
    const std::string* text = ReportInsertText(n);
    const int before = g_settings.next;
    std::string written;
    {
      FileWriter out("insert.out");
      FUZZ_CHECK(WriteReportInsert(out, n) == (text ? 1 : 0));
      FUZZ_CHECK(out.Close());
    }
    written = fuzz::ReadFile("insert.out");
    if (!text) {
      FUZZ_CHECK(written.empty() && g_settings.next == before);
      continue;
    }
    FUZZ_CHECK(written == WithCount(*text, before));
    FUZZ_CHECK(g_settings.next == (before > 98 ? 1 : before + 1));
  }
  return 0;
}
