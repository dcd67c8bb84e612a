#include "settings/report_inserts.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ui.h"
#include "settings/settings.h"
#include "util/text.h"

ReportInserts g_report_inserts;

namespace {

// Reads the lines of one section up to its "|" line into text. Returns 1 when
// the closing line was found, 0 when the file ended first.
int ReadSection(LineReader& reader, std::string& text) {
  text.clear();
  // Section lines are kept exactly as read, line ends included.
  std::string line;
  while (reader.Next(line)) {
    if (line.find('|') != std::string::npos) return 1;
    text += line;
  }
  return 0;
}

}  // namespace

int LoadReportInserts() {
  g_report_inserts.loaded = true;
  FileHandle f = FileOpenRead(kReportInsertFile);
  if (!f) return 0;
  LineReader reader(f, kReportInsertFile, kLineLimit);
  std::string line;
  std::string text;
  while (reader.Next(line)) {
    TrimRight(line);
    const char* mark = std::strstr(line.c_str(), "%%");
    if (!mark) continue;
    const char marker = mark[2];
    if (marker != '*' && marker != '$') continue;
    char digits[3] = {0, 0, 0};
    CopyN(digits, mark + 3, 2);
    const int n = TextToInt(digits);
    if (n < 0 || n >= kReportInsertSections) continue;
    // The old text goes before the new one is read, so a section that
    // never closes leaves the number empty.
    g_report_inserts.sections[n].reset();
    if (ReadSection(reader, text)) g_report_inserts.sections[n] = text;
  }
  FileClose(f);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
  return 1;
}

const std::string* ReportInsertText(int section) {
  if (!g_report_inserts.loaded || section < 0 || section >= kReportInsertSections) {
    return nullptr;
  }
  const auto& s = g_report_inserts.sections[section];
  return s && !s->empty() ? &*s : nullptr;
}

int WriteReportInsert(FileWriter& f, int section) {
  const std::string* text = ReportInsertText(section);
  if (!f.Ok() || !text) return 0;
  // Built in one pass: replacing in place moves the rest of the text at
  // every "$COUNT", which made an insert full of them cost n^2.
  const std::string count = IntToText(g_settings.next);
  static const char kCount[] = "$COUNT";
  const std::size_t klen = sizeof kCount - 1;
  std::string copy;
  copy.reserve(text->size() + 1);
  std::size_t from = 0;
  for (std::size_t at = text->find(kCount); at != std::string::npos;
       at = text->find(kCount, from)) {
    copy.append(*text, from, at - from);
    copy += count;
    from = at + klen;
  }
  copy.append(*text, from, std::string::npos);
  g_settings.next = g_settings.next > 98 ? 1 : g_settings.next + 1;
  copy += '\n';
  f.Write(copy);
  return f.Ok() ? 1 : 0;
}
