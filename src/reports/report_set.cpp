#include "reports/report_set.h"

#include <optional>
#include <string>

#include "engines/engines.h"
#include "platform/ui.h"
#include "reports/html_escape.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"
#include "util/vendor.h"

namespace {

// Report inserts: section 0 closes the intro and menu pages, section 1
// opens the summary.
constexpr int kInsertPageEnd = 0;
constexpr int kInsertSummaryTop = 1;

// Every summary cell has the same background.
const char kCell[] = "bgcolor=\"#DAE0DF\"";

// Outside texts (from engines and hits) may be absent; absent is empty.
std::string Esc(const std::optional<std::string>& text) {
  return text ? HtmlEscape(*text) : std::string();
}

std::string ReportPath(const char* name) {
  return JoinPath("reports", name);
}

void WriteHitRow(FileHandle f, const FileHit& hit) {
  const std::string location = hit.location ? *hit.location : std::string();
  FilePrintf(f, "<tr><td NOWRAP %s>", kCell);
  FilePrintf(f, "<a href=\"%s\">%s</a><br>\n", HtmlEscape(location).c_str(), Esc(hit.name).c_str());
  FilePrintf(f, "</td><td NOWRAP %s>", kCell);
  FileWrite(f, Esc(hit.size));
  FilePrintf(f, "</td><td NOWRAP %s>", kCell);
  FileWrite(f, Esc(hit.date));
  FilePrintf(f, "</td><td NOWRAP %s>", kCell);
  // Cut first, escape after, so an entity is never split in the middle.
  FileWrite(f, HtmlEscape(location.substr(0, 50)));
  FilePrintf(f, "</td></tr>\n");
}

}  // namespace

void WriteReportHead(FileHandle f, const char* title) {
  FilePrintf(f, "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n");
  FilePrintf(f, "<HTML>\n");
  FilePrintf(f, "<HEAD>\n");
  FilePrintf(f, "<TITLE>Torvane - %s</TITLE>\n", title ? title : "");
  FilePrintf(f, "<META NAME=\"GENERATOR\" CONTENT=\"Torvane %s\">\n", TORVANE_VERSION_TEXT);
  FilePrintf(f, "<META NAME=\"DESCRIPTION\" CONTENT=\"Torvane %s Search Results.\">\n",
             TORVANE_VERSION_TEXT);
  FilePrintf(f, "</HEAD>\n");
}

void WriteResultsTableHeader(FileHandle f) {
  if (!f) return;
  FilePrintf(f, "<font size=-1>\n");
  FilePrintf(f, "<tr>\n");
  for (int id = 1525; id <= 1528; ++id) FileWrite(f, std::string(LoadText(id)));
}

int WriteIntroPage() {
  FileHandle f = FileCreate(ReportPath("intro.htm").c_str());
  if (!f) {
    ErrorBox(LoadText(1520));
    return 0;
  }
  WriteReportHead(f, "");
  FilePrintf(f,
             "<BODY TEXT=\"#000000\" BGCOLOR=\"C0C0C0\" LINK=\"#900000\" VLINK=\"#800080\" "
             "ALINK=\"#FFFF00\">\n");
  if (!g_engines.empty()) {
    const EngineEntry& e = g_engines.front();
    const std::string request = Esc(e.request);
    FilePrintf(f, "<font size=+2><b>%s<br></b><font>", Esc(e.name).c_str());
    FilePrintf(f, "(<a href=\"%s\" target=_parent><font color=\"#0000FF\">%s</font></a>)<br><br>",
               request.c_str(), request.c_str());
    FilePrintf(f, "<font size=+1><b>Hits: %i</b></font>", static_cast<int>(g_total_hits));
  }
  FilePrintf(f, "<br><br><hr><br><br>");
  WriteReportInsert(f, kInsertPageEnd);
  FilePrintf(f, "</BODY>\n");
  FilePrintf(f, "</HTML>\n");
  FileClose(f);
  return 1;
}

int WriteMenuPage() {
  FileHandle f = FileCreate(ReportPath("menu.htm").c_str());
  if (!f) {
    ErrorBox(LoadText(1523));
    return 0;
  }
  WriteReportHead(f, LoadText(1524));
  FilePrintf(f,
             "<BODY TEXT=\"#000000\" BGCOLOR=\"C0C0C0\" LINK=\"#900000\" VLINK=\"#800080\" "
             "ALINK=\"#FFFF00\">\n");
  FilePrintf(f, "<center><table border=1 bgcolor=\"#FFFFFF\"><tr><td>\n");
  FilePrintf(f, "<table cellspacing=6 cellpadding=6 border=2 bgcolor=\"#C0C0C0\">\n");
  FilePrintf(f, "<tr><td><font size=-1><b><table border=0 cellspacing=3 cellpadding=5>\n");
  FilePrintf(f, "<tr><td bgcolor=\"#40797F\">\n");
  FilePrintf(f,
             "<a href=\"results.htm\" target=main><font size=-1 face=\"Arial Narrow\" "
             "color=\"#FFFF00\"><b>Summary</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n");
  for (const EngineEntry& e : g_engines) {
    if (!e.selected) continue;
    // Yellow for an engine that found something, olive for one that didn't.
    FilePrintf(f,
               "<a href=\"%i.htm\" target=main><font size=-1 face=\"Arial Narrow\" "
               "color=\"#%s00\"><b>%s</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n",
               static_cast<int>(e.id), e.hits ? "FFFF" : "BBBB", Esc(e.name).c_str());
  }
  FilePrintf(f, "</td></tr></table>\n");
  FilePrintf(f, "</td></tr></table><br>\n");
  FilePrintf(f,
             "<center><a href=\"%s\" target=_parent><img src=\"b_torva.gif\" ALT=\"Buy It\" "
             "border=0><br><br>\n",
             TORVANE_ORDER_PAGE);
  FilePrintf(f, "</td></tr></table>\n");
  FilePrintf(f,
             "<br><center><a href=\"%s\" target=_parent><img src=\"torvanow.gif\" "
             "border=0><br><font size=-1><b>Created By Torvane</b></font></a></center></BODY>\n",
             TORVANE_VENDOR_HOME);
  WriteReportInsert(f, kInsertPageEnd);
  FilePrintf(f, "</BODY>\n");
  FilePrintf(f, "</HTML>\n");
  FileClose(f);
  return 1;
}

int WriteReportSet() {
  FileHandle f = FileCreate(ReportPath("results.htm").c_str());
  if (!f) {
    ErrorBox(LoadText(1521));
    return 0;
  }
  int ok = WriteIntroPage();
  ok &= WriteMenuPage();
  WriteReportHead(f, LoadText(1522));
  FilePrintf(f,
             "<BODY TEXT=\"#000000\" BGCOLOR=\"FFFFFF\" LINK=\"#900000\" VLINK=\"#800080\" "
             "ALINK=\"#FF0000\">\n");
  WriteReportInsert(f, kInsertSummaryTop);
  FilePrintf(f, "<img src=\"torva.jpg\"><br><br>");
  // Strings 1529 and 1530 are formats with one %s and one %i.
  FileWrite(f, Format(LoadText(1529), g_settings.exact ? "" : "Substring "));
  FileWrite(f, Format(LoadText(1530), static_cast<int>(g_total_hits)));
  FilePrintf(f, "</font></b><br><br>\n");
  ClearWrittenMarks();
  FilePrintf(f, "<table>\n");
  WriteResultsTableHeader(f);
  while (FileHit* hit = NextUnwrittenHit()) {
    hit->mark_flags |= kWrittenMark;
    WriteHitRow(f, *hit);
  }
  FilePrintf(f, "</table>\n");
  FileClose(f);
  return ok;
}
