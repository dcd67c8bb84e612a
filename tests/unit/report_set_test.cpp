// The report pages' corners that the byte-exact command-line report test
// (tests/cli/report_test.py, the three pages of a sample project) does not
// reach; the name order is the store test's.
#include "reports/report_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "platform/headless_ui.h"
#include "results/store.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"

namespace {

using Boxes = std::vector<std::string>;
constexpr auto kNowhere = std::string::npos;

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
    g_settings = AppSettings();
  }
  static void AddEngine(int id, const char* name, int selected, int hits) {
    EngineEntry& e = g_engines.emplace_back();
    e.id = id;
    e.name = name;
    e.selected = selected;
    e.hits = hits;
  }
  static std::string Report(const char* name) {
    return ReadFile(std::string("reports") + kPathSep + name);
  }
  static std::string Box(const char* page) {
    return Format("box Error|Unable to open file '%s'|0", page);
  }
  Boxes BoxesShown() const {
    Boxes boxes;
    for (const std::string& line : ui_.log) {
      if (line.rfind("box ", 0) == 0) boxes.push_back(line);
    }
    return boxes;
  }
  platform::HeadlessUi ui_;
};

TEST_F(ReportSetTest, SummaryCutsTheLocationBeforeEscapingAndLinksOnlyAddresses) {
  const std::string x41(41, 'x');
  // The 50th character of this location is "<": the cut must not split its entity.
  AddFileHit("ftp://h/" + x41 + "<tail&x=\"1\"", "R&D <notes>.txt", "1 KB", "Jan 1", 0);
  // A page may offer any text as a location: only ftp and web addresses link.
  AddFileHit("javascript:alert(1)//ftp://x/", "it's", nullptr, nullptr, 0);
  g_total_hits = 2;
  EXPECT_EQ(WriteReportSet(), 1);
  const std::string cell = "<td NOWRAP bgcolor=\"#DAE0DF\">";
  const std::string rows =
      "<tr>" + cell + "it's<br>\n</td>" + cell + "</td>" + cell + "</td>" + cell +
      "javascript:alert(1)//ftp://x/</td></tr>\n<tr>" + cell + "<a href=\"ftp://h/" + x41 +
      "&lt;tail&amp;x=&quot;1&quot;\">R&amp;D &lt;notes&gt;.txt</a><br>\n</td>" + cell +
      "1 KB</td>" + cell + "Jan 1</td>" + cell + "ftp://h/" + x41 + "&lt;</td></tr>\n</table>\n";
  const std::string page = Report("results.htm");
  ASSERT_GE(page.size(), rows.size());
  EXPECT_EQ(page.substr(page.size() - rows.size()), rows);
  // Exact Match: no "Substring " in the heading. No engine: no engine in the intro.
  EXPECT_NE(page.find("<font color=\"900010\"> Search Results: &nbsp;&nbsp;&nbsp;2 <i>"), kNowhere);
  EXPECT_NE(Report("intro.htm").find("ALINK=\"#FFFF00\">\n<br><br><hr>"), kNowhere);
  EXPECT_TRUE(BoxesShown().empty());
}

TEST_F(ReportSetTest, IntroNamesTheFirstEngineAndTheMenuColoursTheTickedOnes) {
  AddEngine(3, "Files & More <FTP>", 0, 0);  // first, though not ticked
  AddEngine(5, "Alpha", 1, 12);
  AddEngine(2, "Beta", 1, 0);
  ASSERT_EQ(WriteIntroPage(), 1);
  ASSERT_EQ(WriteMenuPage(), 1);
  EXPECT_NE(Report("intro.htm").find("<font size=+2><b>Files &amp; More &lt;FTP&gt;<br></b>"),
            kNowhere);
  // Yellow for an engine that found something, olive for one that didn't.
  const auto line = [](int id, const char* colour, const char* name) {
    return Format(
        "<a href=\"%i.htm\" target=main><font size=-1 face=\"Arial Narrow\" color=\"#%s00\"><b>%s"
        "</a></td></tr><tr><td NOWRAP bgcolor=\"#40797F\">\n",
        id, colour, name);
  };
  EXPECT_NE(Report("menu.htm").find(line(5, "FFFF", "Alpha") + line(2, "BBBB", "Beta")), kNowhere);
}

TEST_F(ReportSetTest, EveryPageThatFailsShowsItsBox) {
  const std::string reports = std::string("reports") + kPathSep;
  AddFileHit("ftp://h/x.zip", "x.zip", "1", "2", 0);
  // A directory in the way of intro.htm; menu.htm is created but can't be
  // written whole on a full disk.
  std::filesystem::create_directory(reports + "intro.htm");
#ifdef __linux__
  std::filesystem::create_symlink("/dev/full", reports + "menu.htm");
#else
  std::filesystem::create_directory(reports + "menu.htm");
#endif
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(BoxesShown(), (Boxes{Box("intro.htm"), Box("menu.htm")}));
  EXPECT_NE(Report("results.htm").find(">x.zip</a>"), kNowhere);  // the others go on
#ifdef __linux__
  // A summary that fails to be written is reported too, after the others.
  std::filesystem::remove_all("reports");
  std::filesystem::create_directory("reports");
  std::filesystem::create_symlink("/dev/full", reports + "results.htm");
  ui_.log.clear();
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(BoxesShown(), Boxes{Box("results.htm")});
  EXPECT_NE(Report("menu.htm").find("</HTML>"), kNowhere);
#endif
  // Without reports/ nothing is tried beyond the summary, and nothing made.
  std::filesystem::remove_all("reports");
  ui_.log.clear();
  EXPECT_EQ(WriteReportSet(), 0);
  EXPECT_EQ(BoxesShown(), Boxes{Box("results.htm")});
  EXPECT_FALSE(std::filesystem::exists("reports"));
}

}  // namespace
