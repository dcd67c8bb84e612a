#include "results/parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "results/store.h"
#include "settings/settings.h"

namespace {

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

  // The hits in list order as "name|size|date|location".
  static std::vector<std::string> Hits() {
    std::vector<std::string> out;
    for (const FileHit* h : HitsInListOrder()) {
      out.push_back(h->name.value_or("<null>") + "|" + h->size.value_or("<null>") + "|" +
                    h->date.value_or("<null>") + "|" + h->location.value_or("<null>"));
    }
    return out;
  }

  // Parses page in a fresh store; compares the accepted count and every hit.
  void Expect(int type, const char* term, int exact, const std::string& page, int accepted,
              const std::vector<std::string>& hits) {
    SCOPED_TRACE("type " + std::to_string(type) + ": " + page);
    Reset();
    EXPECT_EQ(Parse(type, term, page, exact), accepted);
    EXPECT_EQ(Hits(), hits);
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
      const std::vector<std::string> hits = Hits();
      const std::size_t want = exact ? 1 : 2;
      ASSERT_EQ(hits.size(), want);
      EXPECT_EQ(accepted, static_cast<int>(want) * l.counted);
      EXPECT_EQ(g_total_hits, static_cast<int>(want));
      // "ReadMe.TXT" sorts behind "old-...".
      EXPECT_EQ(hits[exact ? 0 : 1], std::string("ReadMe.TXT|") + l.size + "|" + l.date + "|" +
                                         Fill(l.location, "ReadMe.TXT", "ftp://h/pub/ReadMe.TXT"));
    }
  }
}

TEST_F(ParserTest, ExactMatchAndWhichLinksQualify) {
  const std::string readme = "<a href=\"ftp://h/Readme.TXT\">Readme.TXT</a><br>";
  // The whole name without case, or the part behind its last "/".
  Expect(2, "readme", 0, readme, 1, {"Readme.TXT|||ftp://h/Readme.TXT"});
  Expect(2, "readme", 1, readme, 0, {});
  Expect(2, "README.txt", 1, readme, 1, {"Readme.TXT|||ftp://h/Readme.TXT"});
  Expect(2, "readme.txt", 1, "<a href=\"ftp://h/r\">/readme.txt</a><br>", 1,
         {"readme.txt|||ftp://h/r"});
  // Type 5 takes any name holding the term, even with Exact Match.
  Expect(5, "readme", 1, readme + "<href>", 2, {"Readme.TXT|||ftp://h/Readme.TXT"});
  // A "#" in the href, a link without "/A", a text without the term.
  Expect(
      2, "readme", 0,
      "<a href=\"ftp://h/readme.txt#x\">readme.txt</a><a href=\"ftp://h/other.txt\">other.txt</a>"
      "<a href=\"ftp://h/readme.zip\">readme.zip",
      0, {});
  // Only types 11 to 13 take http links.
  for (int type = 0; type <= 16; ++type) {
    Reset();
    Parse(type, "readme.txt", "<a href=\"http://h/readme.txt\">readme.txt</a><br><href>", 1);
    EXPECT_EQ(Hits().size(), type >= 11 && type <= 13 ? 1u : 0u) << "type " << type;
  }
}

TEST_F(ParserTest, NamesAndSizesAreTidied) {
  // Names are decoded, blank runs halved and cut at 80; a size that begins
  // with a letter is none, one holding "<" is cut there.
  const std::string long_name = std::string(95, 'x') + "term.txt";
  Expect(2, "term", 0,
         "<td><a href=\"ftp://h/1\">" + long_name + "</a></td><td>12 KB</td><td>d</td>" +
             "<td><a href=\"ftp://h/2\">a&amp;b term&eacute;</a></td><td>about 1k</td><td>d</td>" +
             "<td><a href=\"ftp://h/3\">x    term\t\t\tz</a></td><td>1<b</td><td>d</td>",
         3,
         {"a&b term\xE9||d|ftp://h/2", "x  term  z|1|d|ftp://h/3",
          long_name.substr(0, 80) + "|12 KB|d|ftp://h/1"});
}

TEST_F(ParserTest, WhereTheScanGoesOn) {
  // An "&" in the text jumps to the next ";"; without one the scan goes on.
  Expect(
      2, "zip", 0,
      "Tom & Jerry <a href=\"ftp://h/a.zip\">a.zip</a> x; <a href=\"ftp://h/b.zip\">b.zip</a><br>",
      1, {"b.zip|||ftp://h/b.zip"});
  Expect(2, "zip", 0, "AT&T <a href=\"ftp://h/a.zip\">a.zip</a>", 1, {"a.zip|||ftp://h/a.zip"});
  // Type 4 looks behind a name with digits.
  Expect(4, "zip", 0, "<a href=\"ftp://h/f2.zip\">f2.zip</a> 1234 (1999-01-02)", 1,
         {"f2.zip|1234|1999-01-02|ftp://h/f2.zip"});
  // A rule that runs out ends the scan. Type 5 without "<href" stops before
  // size and date; type 14 needs five ">" behind the anchor, and the second
  // link, inside them, is never looked at; a tag without its ">".
  const std::string two =
      "<a href=\"ftp://h/a.zip\">a.zip</a> x <a href=\"ftp://h/b.zip\">b.zip</a>";
  Expect(5, "zip", 0, two, 1, {"a.zip|||ftp://h/a.zip"});
  Expect(14, "zip", 0, two, 1, {"a.zip|||ftp://h/a.zip"});
  Expect(2, "zip", 0, "<a name=\"top <a href=\"ftp://h/a.zip\">a.zip</a>", 0, {});
}

TEST_F(ParserTest, TypeFiveCutsThePage) {
  const std::string page =
      "<a href=\"ftp://h/a.zip\">a.zip</a> Size: <b>1234</b> Date: 12-Jan-1999<HREF x>"
      "<a href=\"ftp://h/b.zip\">b.zip</a>";
  // The first link is met twice.
  Expect(5, "zip", 0, page, 2, {"a.zip|1234|12-Jan-1999|ftp://h/a.zip"});
  EXPECT_EQ(std::strlen(last_page_.data()), page.find("<HREF"));
}

TEST_F(ParserTest, MetAgainAfterTidyingStillTerminates) {
  // The href holds a tab or a line break: the stored location differs from
  // it, so its look-up misses when the scan meets the link again.
  Expect(1, "readme", 0, "<a href=\"ftp://h/read\tme.txt\">readme.txt</a>", 2,
         {"readme.txt|||ftp://h/read me.txt"});
  Expect(6, "readme", 0, "<br>12 d <a href=\"ftp://h/read  me\r\n.txt\">readme</a>", 2,
         {"readme|12|d|ftp://h/read me .txt"});
  // Unlisted types leave the scan on the anchor as well.
  Expect(99, "readme", 0, "<a href=\"ftp://h/a\tb\">readme</a><a href=ftp://h/c>readme</a>", 4,
         {"readme|||ftp://h/a b", "readme|||ftp://h/c"});
}

TEST_F(ParserTest, StatusTextsAndFilesFound) {
  ui_.open_dialogs.insert(IDD_STATUS);
  g_total_hits = 7;
  EXPECT_EQ(Parse(2, "zip", "<a href=\"ftp://h/a.zip\">a.zip</a>", 0, 4), 1);
  EXPECT_EQ(ui_.slot_status[4], " 1 files found");
  EXPECT_EQ(g_total_hits, 8);
  EXPECT_EQ((ui_.texts[{IDD_STATUS, 1157}]), "8");
  EXPECT_TRUE(std::any_of(ui_.log.begin(), ui_.log.end(), [](const std::string& line) {
    return line.find("Kite 5 Hunting for Filez") != std::string::npos;
  }));

  ui_.texts.clear();
  EXPECT_EQ(Parse(2, "zip", "no links", 0, 4), 0);
  EXPECT_EQ(ui_.slot_status[4], " 0 files found");
  EXPECT_TRUE(ui_.texts.find({IDD_STATUS, 1157}) ==
              ui_.texts.end());
}

TEST_F(ParserTest, NullPage) {
  EngineEntry job;
  job.query = "x";
  EXPECT_EQ(ParseResultPage(0, job, nullptr, 0), 0);
  EXPECT_TRUE(ui_.log.empty());
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
