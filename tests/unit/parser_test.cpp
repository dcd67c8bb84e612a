#include "results/parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "results/store.h"
#include "settings/settings.h"

namespace {

struct Hit {
  std::string name, size, date, location;
};

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    previous_ui_ = platform::SetUi(&ui_);
    saved_exact_ = g_settings.exact;
  }
  void TearDown() override {
    platform::SetUi(previous_ui_);
    g_settings.exact = saved_exact_;
    g_vendor_reply_handler = nullptr;
    Reset();
  }
  static void Reset() {
    FreeHitList();
    SeenTreeFree(g_seen_urls);
    g_total_hits = 0;
  }

  // Parses page for a job of the given type and term; the page buffer is
  // kept in last_page_ so tests can look at what the parser wrote into it.
  int Parse(int type, const std::string& term, const std::string& page, int exact, int slot = 0) {
    g_settings.exact = exact;
    EngineEntry job;
    job.engine_type = type;
    job.query = term;
    job.request = "GET /search?q=" + term + " HTTP/1.0\r\n\r\n";
    last_page_.assign(page.begin(), page.end());
    last_page_.push_back('\0');
    return ParseResultPage(slot, job, last_page_.data(), page.size());
  }

  static std::vector<Hit> Hits() {
    std::vector<Hit> out;
    for (const FileHit* h : HitsInListOrder()) {
      out.push_back({h->name.value_or("<null>"), h->size.value_or("<null>"),
                     h->date.value_or("<null>"), h->location.value_or("<null>")});
    }
    return out;
  }

  platform::HeadlessUi ui_;
  platform::Ui* previous_ui_ = nullptr;
  int saved_exact_ = 1;
  std::vector<char> last_page_;
};

// One result row of each engine type's layout; NAME and LOC are filled in.
struct Layout {
  int type;
  const char* row;
  const char* size;
  const char* date;
  const char* location;  // LOC unless the type builds its own
  int counted;           // accepted count per new hit (2: met again)
};

const Layout kLayouts[] = {
    {0, "<a href=\"LOC\">NAME</a>1234<br>\n", "1234", "1234", "LOC", 1},
    {1, "<a href=\"LOC\">NAME</a><br>\n", "", "", "LOC", 2},
    {2, "<tr><td><a href=\"LOC\">NAME</a></td><td>1234</td><td>12-Jan-1999</td></tr>\n", "1234",
     "12-Jan-1999", "LOC", 1},
    {3, "<a href=\"LOC\">NAME</a><br>\n", "", "", "LOC", 2},
    {4, "<a href=\"LOC\">NAME</a> 1234 bytes (12-Jan-1999)<br>\n", "1234", "12-Jan-1999", "LOC", 1},
    {6, "<br>1234 12-Jan-1999 <a href=\"LOC\">NAME</a>\n", "1234", "12-Jan-1999", "LOC", 2},
    {7, "<a href=\"LOC\">NAME</a> FILE 1234\tJan 12 1999<br>\n<br>\n", "1234", "Jan 12 1999", "LOC",
     1},
    {8, "<a href=\"LOC\">NAME</a><br>\n", "", "", "LOC", 2},
    {9, "<br>ftp 1234 12-Jan-1999 <a href=\"LOC\">NAME</a>\n", "1234", "12-Jan-1999", "LOC", 1},
    {10, "<tr><td><a href=\"LOC\">NAME</a></td><td>1234</td><td>- 12-Jan-1999</td></tr>\n", "1234",
     "12-Jan-1999", "LOC", 1},
    {11, "<i>ftp://h/pub/</i> 1234 12-Jan-1999 <a href=\"x\">NAME</a><br>\n", "1234", "12-Jan-1999",
     "ftp://h/pub/NAME", 1},
    {12, "<a href=\"/file/NAME\">NAME</a><td>1234</td>\n", "1234", "",
     "http://www.ftpsearch-b.example/file/NAME", 1},
    {13, "<a href=\"get.cgi?f=NAME\">NAME</a><br>\n", "", "",
     "http://www.ftpsearch-a.example/cgi-bin/get.cgi?f=NAME", 1},
    {14, "<tr><td><a href=\"LOC\">NAME</a></td><td><b>1234<br>12-Jan-1999</b></td></tr>\n", "1234",
     "12-Jan-1999", "LOC", 1},
    {15, "<tr><td><a href=\"LOC\">NAME</a></td><td>1234<br>12-Jan-1999</td></tr>\n", "1234",
     "12-Jan-1999", "LOC", 1},
    {16, "<a href=\"LOC\">NAME</a> <i>1234 12-Jan-1999</i><br>\n", "1234", "12-Jan-1999", "LOC", 1},
    {17, "<a href=\"LOC\">NAME</a><br>\n", "", "", "LOC", 2},
    {-3, "<a href=\"LOC\">NAME</a><br>\n", "", "", "LOC", 2},
};

std::string Fill(std::string text, const std::string& name, const std::string& loc) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"LOC", loc},
                                   std::pair<std::string, std::string>{"NAME", name}}) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
      text.replace(at, key.size(), value);
    }
  }
  return text;
}

TEST_F(ParserTest, EveryLayoutGivesNameSizeDateAndLocation) {
  for (const Layout& l : kLayouts) {
    for (int exact : {1, 0}) {
      SCOPED_TRACE("type " + std::to_string(l.type) + " exact " + std::to_string(exact));
      Reset();
      const std::string page =
          "<html><body>\n" + Fill(l.row, "ReadMe.TXT", "ftp://h/pub/ReadMe.TXT") +
          Fill(l.row, "old-readme.txt.bak", "ftp://h/pub/old-readme.txt.bak") + "</body></html>\n";
      const int accepted = Parse(l.type, "readme.txt", page, exact);
      const std::vector<Hit> hits = Hits();
      const std::size_t want = exact ? 1 : 2;
      ASSERT_EQ(hits.size(), want);
      EXPECT_EQ(accepted, static_cast<int>(want) * l.counted);
      EXPECT_EQ(g_total_hits, static_cast<int>(want));
      const Hit& h = hits[exact ? 0 : 1];  // "ReadMe.TXT" sorts behind "old-..."
      EXPECT_EQ(h.name, "ReadMe.TXT");
      EXPECT_EQ(h.size, l.size);
      EXPECT_EQ(h.date, l.date);
      EXPECT_EQ(h.location, Fill(l.location, "ReadMe.TXT", "ftp://h/pub/ReadMe.TXT"));
    }
  }
}

TEST_F(ParserTest, ExactMatchRules) {
  const std::string page = "<a href=\"ftp://h/Readme.TXT\">Readme.TXT</a><br>";
  EXPECT_EQ(Parse(2, "readme", page, 0), 1);
  Reset();
  EXPECT_EQ(Parse(2, "readme", page, 1), 0);
  EXPECT_EQ(Parse(2, "README.txt", page, 1), 1);
  Reset();
  // The part of the text behind its last "/" is the name.
  EXPECT_EQ(Parse(2, "readme.txt", "<a href=\"ftp://h/r\">/readme.txt</a><br>", 1), 1);
  Reset();
  // Type 5 takes any name holding the term even with Exact Match.
  EXPECT_EQ(Parse(5, "readme", page + "<href>", 1), 2);
  EXPECT_EQ(Hits().size(), 1u);
}

TEST_F(ParserTest, WhichLinksQualify) {
  const std::string http = "<a href=\"http://h/readme.txt\">readme.txt</a><br>";
  for (int type = 0; type <= 16; ++type) {
    Reset();
    const bool wanted = type >= 11 && type <= 13;
    EXPECT_EQ(Hits().size(), 0u);
    Parse(type, "readme.txt", http + "<href>", 1);
    EXPECT_EQ(Hits().size(), wanted ? 1u : 0u) << "type " << type;
  }
  Reset();
  // A "#" in the href, a link without "/A", a link text without the term.
  EXPECT_EQ(Parse(2, "readme",
                  "<a href=\"ftp://h/readme.txt#x\">readme.txt</a>"
                  "<a href=\"ftp://h/other.txt\">other.txt</a>"
                  "<a href=\"ftp://h/readme.zip\">readme.zip",
                  0),
            0);
  EXPECT_TRUE(Hits().empty());
}

TEST_F(ParserTest, SameLocationOnLaterPageCountsButKeepsFirst) {
  const std::string first =
      "<td><a href=\"ftp://h/f.zip\">f.zip</a></td><td>1234</td><td>1999</td>";
  const std::string second = "<td><a href=\"ftp://h/f.zip\">F.ZIP</a></td><td>99</td><td>2001</td>";
  EXPECT_EQ(Parse(2, "f.zip", first, 1), 1);
  EXPECT_EQ(Parse(2, "f.zip", second, 1, 3), 1);
  const std::vector<Hit> hits = Hits();
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].name, "f.zip");
  EXPECT_EQ(hits[0].size, "1234");
  EXPECT_EQ(g_total_hits, 1);
  EXPECT_EQ(ui_.slot_status[3], " 0 files found");
}

TEST_F(ParserTest, NamesAndSizesAreTidied) {
  const std::string long_name = std::string(95, 'x') + "term.txt";
  const std::string page =
      "<td><a href=\"ftp://h/1\">" + long_name + "</a></td><td>12 KB</td><td>d</td>" +
      "<td><a href=\"ftp://h/2\">a&amp;b term&eacute;</a></td><td>about 1k</td><td>d</td>" +
      "<td><a href=\"ftp://h/3\">x    term\t\t\tz</a></td><td>1<b</td><td>d</td>";
  EXPECT_EQ(Parse(2, "term", page, 0), 3);
  const std::vector<Hit> hits = Hits();
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].name, "a&b term\xE9");
  EXPECT_EQ(hits[0].size, "");            // begins with a letter
  EXPECT_EQ(hits[1].name, "x  term  z");  // runs of blanks are halved
  EXPECT_EQ(hits[1].size, "1");           // cut at "<"
  EXPECT_EQ(hits[2].name, long_name.substr(0, 80));
  EXPECT_EQ(hits[2].size, "12 KB");
}

TEST_F(ParserTest, AmpersandInTextJumpsToTheNextSemicolon) {
  const std::string page =
      "Tom & Jerry <a href=\"ftp://h/a.zip\">a.zip</a> x; "
      "<a href=\"ftp://h/b.zip\">b.zip</a><br>";
  EXPECT_EQ(Parse(2, "zip", page, 0), 1);
  ASSERT_EQ(Hits().size(), 1u);
  EXPECT_EQ(Hits()[0].name, "b.zip");
  Reset();
  // Without a ";" the scan just goes on.
  EXPECT_EQ(Parse(2, "zip", "AT&T <a href=\"ftp://h/a.zip\">a.zip</a>", 0), 1);
}

TEST_F(ParserTest, TypeFiveCutsThePage) {
  const std::string page =
      "<a href=\"ftp://h/a.zip\">a.zip</a> Size: <b>1234</b> Date: 12-Jan-1999<HREF x>"
      "<a href=\"ftp://h/b.zip\">b.zip</a>";
  EXPECT_EQ(Parse(5, "zip", page, 0), 2);  // the first link is met twice
  const std::vector<Hit> hits = Hits();
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].size, "1234");
  EXPECT_EQ(hits[0].date, "12-Jan-1999");
  EXPECT_EQ(std::strlen(last_page_.data()), page.find("<HREF"));
  Reset();
  // No "<href": the rule stops before reading size and date, and the scan ends.
  EXPECT_EQ(Parse(5, "zip",
                  "<a href=\"ftp://h/a.zip\">a.zip</a> Size: 12"
                  "<a href=\"ftp://h/b.zip\">b.zip</a>",
                  0),
            1);
  ASSERT_EQ(Hits().size(), 1u);
  EXPECT_EQ(Hits()[0].size, "");
}

TEST_F(ParserTest, TypeFourLooksBehindANameWithDigits) {
  EXPECT_EQ(Parse(4, "zip", "<a href=\"ftp://h/f2.zip\">f2.zip</a> 1234 (1999-01-02)", 0), 1);
  ASSERT_EQ(Hits().size(), 1u);
  EXPECT_EQ(Hits()[0].size, "1234");
  EXPECT_EQ(Hits()[0].date, "1999-01-02");
}

TEST_F(ParserTest, RuleThatRunsOutEndsTheScan) {
  // Type 14 needs five ">" behind the anchor; there are four, and the second
  // link, which they include, is never looked at.
  const std::string page =
      "<a href=\"ftp://h/a.zip\">a.zip</a> text <a href=\"ftp://h/b.zip\">b.zip</a>";
  EXPECT_EQ(Parse(14, "zip", page, 0), 1);
  EXPECT_EQ(Hits().size(), 1u);
  Reset();
  // A tag whose ">" is missing (outside quotes) ends the scan there.
  EXPECT_EQ(Parse(2, "zip", "<a name=\"top <a href=\"ftp://h/a.zip\">a.zip</a>", 0), 0);
  EXPECT_TRUE(Hits().empty());
}

TEST_F(ParserTest, MetAgainAfterTidyingStillTerminates) {
  // The href holds a tab: the stored location has a blank, so looking up the
  // href as found would miss when the scan meets the link again.
  EXPECT_EQ(Parse(1, "readme", "<a href=\"ftp://h/read\tme.txt\">readme.txt</a>", 0), 2);
  ASSERT_EQ(Hits().size(), 1u);
  EXPECT_EQ(Hits()[0].location, "ftp://h/read me.txt");
  Reset();
  EXPECT_EQ(Parse(6, "readme", "<br>12 d <a href=\"ftp://h/read  me\r\n.txt\">readme</a>", 0), 2);
  ASSERT_EQ(Hits().size(), 1u);
  EXPECT_EQ(Hits()[0].location, "ftp://h/read me .txt");
  Reset();
  // Unlisted types leave the scan on the anchor as well.
  EXPECT_EQ(
      Parse(99, "readme", "<a href=\"ftp://h/a\tb\">readme</a><a href=ftp://h/c>readme</a>", 0), 4);
  EXPECT_EQ(Hits().size(), 2u);
}

TEST_F(ParserTest, StatusTextsAndFilesFound) {
  ui_.status_dialog_open = true;
  g_total_hits = 7;
  EXPECT_EQ(Parse(2, "zip", "<a href=\"ftp://h/a.zip\">a.zip</a>", 0, 4), 1);
  EXPECT_EQ(ui_.slot_status[4], " 1 files found");
  EXPECT_EQ(g_total_hits, 8);
  EXPECT_EQ((ui_.texts[{static_cast<int>(platform::Window::kStatusDialog), 1157}]), "8");
  bool hunting = false;
  for (const std::string& line : ui_.log) {
    hunting = hunting || line.find("Kite 5 Hunting for Filez") != std::string::npos;
  }
  EXPECT_TRUE(hunting);

  ui_.texts.clear();
  EXPECT_EQ(Parse(2, "zip", "no links", 0, 4), 0);
  EXPECT_EQ(ui_.slot_status[4], " 0 files found");
  EXPECT_TRUE(ui_.texts.find({static_cast<int>(platform::Window::kStatusDialog), 1157}) ==
              ui_.texts.end());
}

std::string g_vendor_page;
void CatchVendorPage(const char* page) {
  g_vendor_page = page;
}

TEST_F(ParserTest, NullPagesAndVendorReplies) {
  EngineEntry job;
  job.query = "x";
  EXPECT_EQ(ParseResultPage(0, job, nullptr, 0), 0);
  EXPECT_TRUE(ui_.log.empty());

  g_vendor_reply_handler = CatchVendorPage;
  job.request = "GET http://www.torvane.example/cgi-bin/ver.cgi HTTP/1.0\r\n\r\n";
  char page[] = "<a href=\"ftp://h/x\">x</a>";
  EXPECT_EQ(ParseResultPage(0, job, page, sizeof page - 1), 0);
  EXPECT_EQ(g_vendor_page, page);
  EXPECT_TRUE(Hits().empty());
  EXPECT_TRUE(ui_.log.empty());
  // Without "cgi" it is an ordinary page.
  job.request = "GET http://www.torvane.example/x HTTP/1.0\r\n\r\n";
  EXPECT_EQ(ParseResultPage(0, job, page, sizeof page - 1), 1);
}

TEST(ParserHelpers, CopySkipAndTidy) {
  char dst[8];
  EXPECT_STREQ(CopyUntilN(dst, "abc<d", '<', 7), "abc");
  EXPECT_STREQ(CopyUntilN(dst, "abcdefghij", '<', 7), "abcdefg");
  EXPECT_EQ(CopyUntilN(dst, nullptr, '<', 7), dst);

  const char* t = " \r\n<b><i x>\tx";
  EXPECT_EQ(SkipBlanksAndTags(t), t + 11);  // stops at the tab
  const char* open = " <b";
  EXPECT_EQ(SkipBlanksAndTags(open), open + 1);
  EXPECT_EQ(SkipBlanksAndTags(static_cast<const char*>(nullptr)), nullptr);

  char text[32] = "a  b   c    d\t\te\r\nf";
  EXPECT_STREQ(TidyWhitespace(text), "a b  c  d e f");
}

}  // namespace
