#include "reports/report_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "platform/headless_ui.h"
#include "reports/html_escape.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"
#include "util/vendor.h"

namespace {

const std::string kCell = "<td NOWRAP bgcolor=\"#DAE0DF\">";

std::string Head(const std::string& title) {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n<HTML>\n<HEAD>\n"
         "<TITLE>Torvane - " +
         title +
         "</TITLE>\n"
         "<META NAME=\"GENERATOR\" CONTENT=\"Torvane 3.01\">\n"
         "<META NAME=\"DESCRIPTION\" CONTENT=\"Torvane 3.01 Search Results.\">\n"
         "</HEAD>\n";
}

// The summary up to the first row, for a heading word and a count.
std::string SummaryTop(const std::string& insert, const std::string& kind, int count) {
  return Head("Search Results") +
         "<BODY TEXT=\"#000000\" BGCOLOR=\"FFFFFF\" LINK=\"#900000\" VLINK=\"#800080\" "
         "ALINK=\"#FF0000\">\n" +
         insert + "<img src=\"torva.jpg\"><br><br><b><font color=\"900010\">" + kind +
         " Search Results: &nbsp;&nbsp;&nbsp;" + std::to_string(count) +
         " <i>unique files found</i></font></b><br><br>\n<table>\n<font size=-1>\n<tr>\n"
         "<td bgcolor=\"#50898F\" valign=top><font color=\"#FFFFFF\">Filename:</font></td>"
         "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Size:</font></td>"
         "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Date:</font></td>"
         "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Location:</font></td></tr>";
}

std::string Row(const std::string& href, const std::string& name, const std::string& size,
                const std::string& date, const std::string& cut) {
  return "<tr>" + kCell + "<a href=\"" + href + "\">" + name + "</a><br>\n</td>" + kCell + size +
         "</td>" + kCell + date + "</td>" + kCell + cut + "</td></tr>\n";
}

// A row whose location is no ftp or web address: the name as plain text.
std::string TextRow(const std::string& name, const std::string& cut) {
  return "<tr>" + kCell + name + "<br>\n</td>" + kCell + "</td>" + kCell + "</td>" + kCell + cut +
         "</td></tr>\n";
}

const std::string kIntroEnd = "<br><br><hr><br><br></BODY>\n</HTML>\n";
const std::string kGreyBody =
    "<BODY TEXT=\"#000000\" BGCOLOR=\"C0C0C0\" LINK=\"#900000\" VLINK=\"#800080\" "
    "ALINK=\"#FFFF00\">\n";

std::string Menu(const std::string& engine_lines, const std::string& insert) {
  return Head("Search Results Menu") + kGreyBody +
         "<center><table border=1 bgcolor=\"#FFFFFF\"><tr><td>\n"
         "<table cellspacing=6 cellpadding=6 border=2 bgcolor=\"#C0C0C0\">\n"
         "<tr><td><font size=-1><b><table border=0 cellspacing=3 cellpadding=5>\n"
         "<tr><td bgcolor=\"#40797F\">\n"
         "<a href=\"results.htm\" target=main><font size=-1 face=\"Arial Narrow\" "
         "color=\"#FFFF00\"><b>Summary</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n" +
         engine_lines +
         "</td></tr></table>\n"
         "</td></tr></table><br>\n"
         "<center><a href=\"" TORVANE_ORDER_PAGE
         "\" target=_parent><img src=\"b_torva.gif\" ALT=\"Buy It\" border=0><br><br>\n"
         "</td></tr></table>\n"
         "<br><center><a href=\"" TORVANE_VENDOR_HOME
         "\" target=_parent><img src=\"torvanow.gif\" border=0><br><font size=-1><b>Created By "
         "Torvane</b></font></a></center></BODY>\n" +
         insert + "</BODY>\n</HTML>\n";
}

std::string MenuLine(int id, const char* colour, const std::string& name) {
  return "<a href=\"" + std::to_string(id) +
         ".htm\" target=main><font size=-1 face=\"Arial Narrow\" color=\"#" + colour + "00\"><b>" +
         name + "</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n";
}

class ReportSetTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory("reports");
    platform::SetUi(&ui_);
    Reset();
  }
  void TearDown() override {
    Reset();
    platform::SetUi(nullptr);
    TempDirTest::TearDown();
  }
  static void Reset() {
    g_engines.clear();
    FreeHitList();
    g_total_hits = 0;
    g_right_tab = 0;
    g_result_rows = 0;
    g_settings = AppSettings();
    g_report_inserts = ReportInserts();
  }
  static EngineEntry& AddEngine(int id, const char* name, int selected, int hits) {
    EngineEntry e;
    e.id = id;
    e.name = name;
    e.request = "GET http://e" + std::to_string(id) + ".example/?q=$QUERY";
    e.selected = selected;
    e.hits = hits;
    g_engines.push_back(e);
    return g_engines.back();
  }
  static void LoadInserts(const std::string& idx) {
    WriteFile("search.idx", idx);
    ASSERT_EQ(LoadReportInserts(), 1);
  }
  static std::string Report(const char* name) {
    return ReadFile(std::string("reports") + kPathSep + name);
  }

  // The message boxes shown, leaving out the rows and texts around them.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    for (const std::string& line : ui_.log) {
      if (line.rfind("box ", 0) == 0) boxes.push_back(line);
    }
    return boxes;
  }

  platform::HeadlessUi ui_;
};

TEST(HtmlEscapeTest, EscapesTheFourMarkupCharactersOnly) {
  EXPECT_EQ(HtmlEscape("a&b<c>d\"e'f &amp;"), "a&amp;b&lt;c&gt;d&quot;e'f &amp;amp;");
  EXPECT_EQ(HtmlEscape(std::string("x\0y", 3)), std::string("x\0y", 3));
  EXPECT_EQ(HtmlEscape(static_cast<const char*>(nullptr)), "");
}

// The command-line report test checks a whole sample report byte for byte
// (name order, escaped names and locations, the cut at 50, inserts across
// the three pages); these are the corners it doesn't reach.
TEST_F(ReportSetTest, SummaryCutsTheOriginalLocationThenEscapes) {
  g_settings.exact = 0;
  // The 50th character of this location is "<": the cut must not split its entity.
  const std::string x41(41, 'x');
  AddFileHit("ftp://h/" + x41 + "<tail&x=\"1\"", "R&D <notes>.txt", "1 KB", "Jan 1", 0);
  AddFileHit("ftp://h/a.ZIP", "a.ZIP", "<b>5</b>", nullptr, 0);  // size held "<": none
  g_total_hits = 2;
  // A mark left from an earlier run must not hide a hit.
  HitsInListOrder().front()->mark_flags |= kWrittenMark;
  EXPECT_EQ(WriteReportSet(), 1);
  const std::string expected =
      SummaryTop("", "Substring ", 2) + Row("ftp://h/a.ZIP", "a.ZIP", "", "", "ftp://h/a.ZIP") +
      Row("ftp://h/" + x41 + "&lt;tail&amp;x=&quot;1&quot;", "R&amp;D &lt;notes&gt;.txt", "1 KB",
          "Jan 1", "ftp://h/" + x41 + "&lt;") +
      "</table>\n";
  EXPECT_EQ(Report("results.htm"), expected);
  for (const FileHit* hit : HitsInListOrder()) EXPECT_EQ(hit->mark_flags, kWrittenMark);
  EXPECT_TRUE(Boxes().empty());
  // Running it again gives the same page: the marks are cleared first.
  EXPECT_EQ(WriteReportSet(), 1);
  EXPECT_EQ(Report("results.htm"), expected);
}

TEST_F(ReportSetTest, OnlyFtpAndWebAddressesBecomeLinks) {
  AddFileHit("javascript:alert(1)//ftp://x/readme", "a", nullptr, nullptr, 0);
  AddFileHit("HTTPS://h/b", "b", nullptr, nullptr, 0);
  AddFileHit("ftp:/h/c", "c<", nullptr, nullptr, 0);
  AddFileHit("Ftp://h/d", "d", nullptr, nullptr, 0);
  g_total_hits = 4;
  EXPECT_EQ(WriteReportSet(), 1);
  EXPECT_EQ(Report("results.htm"),
            SummaryTop("", "", 4) + TextRow("a", "javascript:alert(1)//ftp://x/readme") +
                Row("HTTPS://h/b", "b", "", "", "HTTPS://h/b") + TextRow("c&lt;", "ftp:/h/c") +
                Row("Ftp://h/d", "d", "", "", "Ftp://h/d") + "</table>\n");
}

TEST_F(ReportSetTest, ANamelessHitSplitsTheSummaryOrder) {
  // As a project loads them: names "a..." in front of one hit without a
  // name, "b..." behind it. Picks take the run behind the nameless hit
  // first, then the nameless hit, then the rest (bench/readers_bench.cpp
  // times the same shape at 60 000 hits).
  constexpr int kHalf = 150;
  for (int i = 0; i < 2 * kHalf + 1; ++i) {
    FileHit hit;
    if (i != kHalf) hit.name = Format("%c%05d", i < kHalf ? 'a' : 'b', (i * 79) % kHalf);
    hit.location = Format("ftp://h/%d", i);
    AppendLoadedHit(std::move(hit));
  }
  EXPECT_EQ(WriteReportSet(), 1);
  const std::string page = Report("results.htm");
  const std::size_t b0 = page.find(">b00000<"), b_last = page.find(">b00149<");
  const std::size_t nameless = page.find("></a>"), a0 = page.find(">a00000<");
  EXPECT_TRUE(b0 < b_last && b_last < nameless && nameless < a0 && a0 != std::string::npos);
}

TEST_F(ReportSetTest, IntroShowsTheFirstEngineEscapedAndTheHitCount) {
  EngineEntry& first = AddEngine(3, "Files & More <FTP>", 0, 0);
  first.request = "GET http://s.example/q?a=1&b=\"$QUERY\"";
  AddEngine(4, "Second", 1, 2);
  g_total_hits = 42;
  ASSERT_EQ(WriteIntroPage(), 1);
  const std::string req = "GET http://s.example/q?a=1&amp;b=&quot;$QUERY&quot;";
  EXPECT_EQ(Report("intro.htm"),
            Head("") + kGreyBody + "<font size=+2><b>Files &amp; More &lt;FTP&gt;<br></b><font>" +
                "(<a href=\"" + req + "\" target=_parent><font color=\"#0000FF\">" + req +
                "</font></a>)<br><br><font size=+1><b>Hits: 42</b></font>" + kIntroEnd);
}

TEST_F(ReportSetTest, MenuLinksSelectedEnginesYellowWithHitsOliveWithout) {
  AddEngine(5, "Alpha", 1, 12);
  AddEngine(9, "Unticked", 0, 3);
  AddEngine(2, "B\"eta\" & Co", 1, 0);
  // An old page of an unticked engine gets no menu line.
  WriteFile(std::string("reports") + kPathSep + "9.htm", "old");
  ASSERT_EQ(WriteMenuPage(), 1);
  EXPECT_EQ(
      Report("menu.htm"),
      Menu(MenuLine(5, "FFFF", "Alpha") + MenuLine(2, "BBBB", "B&quot;eta&quot; &amp; Co"), ""));
}

TEST_F(ReportSetTest, EmptyPagesWithoutInsertsLeaveTheCountAlone) {
  // Exact Match, no hits, no engines, no inserts: header row only, no
  // engine lines, and the running number stays.
  g_settings.exact = 1;
  g_settings.next = 5;
  EXPECT_EQ(WriteReportSet(), 1);
  EXPECT_EQ(Report("results.htm"), SummaryTop("", "", 0) + "</table>\n");
  EXPECT_EQ(Report("intro.htm"), Head("") + kGreyBody + kIntroEnd);
  EXPECT_EQ(Report("menu.htm"), Menu("", ""));
  EXPECT_EQ(g_settings.next, 5);
}

TEST_F(ReportSetTest, MissingReportsDirectoryStopsAtTheSummaryWithOneErrorBox) {
  LoadInserts("%%*00\nad\n|\n");
  std::filesystem::remove("reports");
  g_settings.next = 7;
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"box Error|Unable to open file 'results.htm'|0"});
  EXPECT_FALSE(std::filesystem::exists("reports"));
  EXPECT_EQ(g_settings.next, 7);  // neither intro nor menu was tried
}

TEST_F(ReportSetTest, AFailedPageShowsItsBoxAndDoesNotStopTheOthers) {
  AddFileHit("ftp://h/x.zip", "x.zip", "1", "2", 0);
  g_total_hits = 1;
  const std::string reports = std::string("reports") + kPathSep;
  // A directory in the way makes intro.htm impossible to create; menu.htm
  // is created but can't be written whole on a full disk.
  std::filesystem::create_directory(reports + "intro.htm");
#ifdef __linux__
  std::filesystem::create_symlink("/dev/full", reports + "menu.htm");
#else
  std::filesystem::create_directory(reports + "menu.htm");
#endif
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"box Error|Unable to open file 'intro.htm'|0",
                                               "box Error|Unable to open file 'menu.htm'|0"}));
  EXPECT_EQ(Report("results.htm"), SummaryTop("", "", 1) +
                                       Row("ftp://h/x.zip", "x.zip", "1", "2", "ftp://h/x.zip") +
                                       "</table>\n");
#ifdef __linux__
  // The summary that fails to be written is reported too, after the others.
  std::filesystem::remove(reports + "intro.htm");
  std::filesystem::remove(reports + "menu.htm");
  std::filesystem::remove(reports + "results.htm");
  std::filesystem::create_symlink("/dev/full", reports + "results.htm");
  ui_.log.clear();
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"box Error|Unable to open file 'results.htm'|0"});
  EXPECT_EQ(Report("intro.htm"), Head("") + kGreyBody + kIntroEnd);
  EXPECT_EQ(Report("menu.htm"), Menu("", ""));
#endif
}

}  // namespace
