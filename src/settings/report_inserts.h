// Report inserts: up to four blocks of HTML from search.idx that the report
// pages carry, with "$COUNT" standing for a running number.
#pragma once

#include <optional>
#include <string>

#include "util/file.h"

// The report insert file in the working directory.
constexpr char kReportInsertFile[] = "search.idx";
constexpr int kReportInsertSections = 4;

struct ReportInserts {
  bool loaded = false;  // the table exists once a load has been tried
  std::optional<std::string> sections[kReportInsertSections];
};

extern ReportInserts g_report_inserts;

// Reads search.idx into the section table. Sections the file does not name
// keep their text. 1, or 0 when the file can't be opened (not an error).
int LoadReportInserts();
// Writes section n with every "$COUNT" replaced by g_settings.next, then a
// line feed, and advances next (above 98 it starts again at 1). Nothing is
// written, and next stays, for an empty or unknown section or a file that
// has already failed. Returns 1 when the section was written.
int WriteReportInsert(FileWriter& f, int section);
// The text of section n, or null when it is empty or out of range.
const std::string* ReportInsertText(int section);
