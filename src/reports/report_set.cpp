#include "reports/report_set.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "engines/engines.h"
#include "platform/ui.h"
#include "reports/html_escape.h"
#include "reports/page_capture.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"
#include "util/url.h"
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

// Written as a format would write it with %s: up to the first NUL.
void WriteEscapedText(FileWriter& f, const std::string& text) {
  f.WriteEscaped(text.c_str(), std::strlen(text.c_str()));
}

// The hit's row, its texts escaped on their way into the file.
void WriteHitRow(FileWriter& f, const FileHit& hit) {
  static const std::string kNone;
  static const std::string kRowStart = std::string("<tr><td NOWRAP ") + kCell + ">";
  static const std::string kNextCell = std::string("</td><td NOWRAP ") + kCell + ">";
  const std::string& location = hit.location ? *hit.location : kNone;
  const std::string& name = hit.name ? *hit.name : kNone;
  f.Write(kRowStart);
  // Only an ftp or web address becomes a link: a page can offer any text
  // as a location, "javascript:..." included.
  if (IsOpenableLocation(location)) {
    f.Write("<a href=\"");
    WriteEscapedText(f, location);
    f.Write("\">");
    WriteEscapedText(f, name);
    f.Write("</a><br>\n");
  } else {
    WriteEscapedText(f, name);
    f.Write("<br>\n");
  }
  f.Write(kNextCell);
  if (hit.size) f.WriteEscaped(*hit.size);
  f.Write(kNextCell);
  if (hit.date) f.WriteEscaped(*hit.date);
  f.Write(kNextCell);
  // Cut first, escape after, so an entity is never split in the middle.
  f.WriteEscaped(location.data(), std::min<std::size_t>(location.size(), 50));
  f.Write("</td></tr>\n");
}

// Closes a page. A page that was not written whole gets the same error box
// as one that could not be created: either way the file is not the page.
int PageDone(FileWriter& f, int error_id) {
  if (f.Close()) return 1;
  ErrorBox(LoadText(error_id));
  return 0;
}

}  // namespace

void WriteReportHead(FileWriter& f, const char* title) {
  f.Printf("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n");
  f.Printf("<HTML>\n");
  f.Printf("<HEAD>\n");
  f.Printf("<TITLE>Torvane - %s</TITLE>\n", title ? title : "");
  f.Printf("<META NAME=\"GENERATOR\" CONTENT=\"Torvane %s\">\n", TORVANE_VERSION_TEXT);
  f.Printf("<META NAME=\"DESCRIPTION\" CONTENT=\"Torvane %s Search Results.\">\n",
           TORVANE_VERSION_TEXT);
  f.Printf("</HEAD>\n");
}

void WriteResultsTableHeader(FileWriter& f) {
  f.Printf("<font size=-1>\n");
  f.Printf("<tr>\n");
  for (int id = 1525; id <= 1528; ++id) f.Write(std::string(LoadText(id)));
}

int WriteIntroPage() {
  FileWriter f(ReportPath("intro.htm"));
  if (!f.IsOpen()) return PageDone(f, 1520);
  WriteReportHead(f, "");
  f.Printf(
      "<BODY TEXT=\"#000000\" BGCOLOR=\"C0C0C0\" LINK=\"#900000\" VLINK=\"#800080\" "
      "ALINK=\"#FFFF00\">\n");
  if (!g_engines.empty()) {
    const EngineEntry& e = g_engines.front();
    const std::string request = Esc(e.request);
    f.Printf("<font size=+2><b>%s<br></b><font>", Esc(e.name).c_str());
    f.Printf("(<a href=\"%s\" target=_parent><font color=\"#0000FF\">%s</font></a>)<br><br>",
             request.c_str(), request.c_str());
    f.Printf("<font size=+1><b>Hits: %i</b></font>", static_cast<int>(g_total_hits));
  }
  f.Printf("<br><br><hr><br><br>");
  WriteReportInsert(f, kInsertPageEnd);
  f.Printf("</BODY>\n");
  f.Printf("</HTML>\n");
  return PageDone(f, 1520);
}

int WriteMenuPage() {
  FileWriter f(ReportPath("menu.htm"));
  if (!f.IsOpen()) return PageDone(f, 1523);
  WriteReportHead(f, LoadText(1524));
  f.Printf(
      "<BODY TEXT=\"#000000\" BGCOLOR=\"C0C0C0\" LINK=\"#900000\" VLINK=\"#800080\" "
      "ALINK=\"#FFFF00\">\n");
  f.Printf("<center><table border=1 bgcolor=\"#FFFFFF\"><tr><td>\n");
  f.Printf("<table cellspacing=6 cellpadding=6 border=2 bgcolor=\"#C0C0C0\">\n");
  f.Printf("<tr><td><font size=-1><b><table border=0 cellspacing=3 cellpadding=5>\n");
  f.Printf("<tr><td bgcolor=\"#40797F\">\n");
  f.Printf(
      "<a href=\"results.htm\" target=main><font size=-1 face=\"Arial Narrow\" "
      "color=\"#FFFF00\"><b>Summary</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n");
  for (const EngineEntry& e : g_engines) {
    if (!e.selected) continue;
    // Yellow for an engine that found something, olive for one that didn't.
    f.Printf(
        "<a href=\"%i.htm\" target=main><font size=-1 face=\"Arial Narrow\" "
        "color=\"#%s00\"><b>%s</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n",
        static_cast<int>(e.id), e.hits ? "FFFF" : "BBBB", Esc(e.name).c_str());
  }
  f.Printf("</td></tr></table>\n");
  f.Printf("</td></tr></table><br>\n");
  f.Printf(
      "<center><a href=\"%s\" target=_parent><img src=\"b_torva.gif\" ALT=\"Buy It\" "
      "border=0><br><br>\n",
      TORVANE_ORDER_PAGE);
  f.Printf("</td></tr></table>\n");
  f.Printf(
      "<br><center><a href=\"%s\" target=_parent><img src=\"torvanow.gif\" "
      "border=0><br><font size=-1><b>Created By Torvane</b></font></a></center></BODY>\n",
      TORVANE_VENDOR_HOME);
  WriteReportInsert(f, kInsertPageEnd);
  f.Printf("</BODY>\n");
  f.Printf("</HTML>\n");
  return PageDone(f, 1523);
}

int WriteReportSet() {
  // The menu links to the engines' pages: those a running Hunt holds are
  // written first.
  WriteHeldEnginePages();
  FileWriter f(ReportPath("results.htm"));
  if (!f.IsOpen()) return PageDone(f, 1521);
  int ok = WriteIntroPage();
  ok &= WriteMenuPage();
  WriteReportHead(f, LoadText(1522));
  f.Printf(
      "<BODY TEXT=\"#000000\" BGCOLOR=\"FFFFFF\" LINK=\"#900000\" VLINK=\"#800080\" "
      "ALINK=\"#FF0000\">\n");
  WriteReportInsert(f, kInsertSummaryTop);
  f.Printf("<img src=\"torva.jpg\"><br><br>");
  // Strings 1529 and 1530 are formats with one %s and one %i.
  f.Write(Format(LoadText(1529), g_settings.exact ? "" : "Substring "));
  f.Write(Format(LoadText(1530), static_cast<int>(g_total_hits)));
  f.Printf("</font></b><br><br>\n");
  ClearWrittenMarks();
  f.Printf("<table>\n");
  WriteResultsTableHeader(f);
  while (FileHit* hit = NextUnwrittenHit()) {
    hit->mark_flags |= kWrittenMark;
    WriteHitRow(f, *hit);
  }
  f.Printf("</table>\n");
  ok &= PageDone(f, 1521);
  return ok;
}
