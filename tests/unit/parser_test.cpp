// The page parser on its own: which links qualify, what is made of names
// and sizes, where the scan goes on, and the seen set. Each engine type's
// layout is read back from the demo server's pages by its self-check.
// Hits are compared in page order as "name|size|date|location".
#include "results/parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "results/store.h"
#include "util/text.h"

namespace {

constexpr bool kExact = true;
constexpr bool kSubstring = false;

class ParserTest : public ::testing::Test {
 protected:
  // Parses page, in a fresh seen set unless told to keep it; the page
  // buffer stays in page_ so that a test can look at what the parser wrote
  // into it.
  int Parse(int type, const char* term, const std::string& page, bool exact,
            bool keep_seen = false) {
    if (!keep_seen) SeenTreeFree(seen_);
    hits_.clear();
    page_.assign(page.begin(), page.end());
    page_.push_back('\0');
    return ParseResultPage(
        page_.data(), page.size(), type, term, exact, seen_,
        [this](std::string name, std::string location, const char* size, const char* date) {
          hits_.push_back(name + "|" + size + "|" + date + "|" + location);
        });
  }
  void Expect(int type, const char* term, bool exact, const std::string& page, int accepted,
              const std::vector<std::string>& hits) {
    SCOPED_TRACE("type " + std::to_string(type) + ": " + page);
    EXPECT_EQ(Parse(type, term, page, exact), accepted);
    EXPECT_EQ(hits_, hits);
  }

  std::unique_ptr<SeenNode> seen_;
  std::vector<std::string> hits_;
  std::vector<char> page_;
};

TEST_F(ParserTest, ExactMatchAndWhichLinksQualify) {
  const std::string readme = "<a href=\"ftp://h/Readme.TXT\">Readme.TXT</a><br>";
  // The whole name without case, or the part behind a leading "/".
  Expect(2, "readme", kSubstring, readme, 1, {"Readme.TXT|||ftp://h/Readme.TXT"});
  Expect(2, "readme", kExact, readme, 0, {});
  Expect(2, "README.txt", kExact, readme, 1, {"Readme.TXT|||ftp://h/Readme.TXT"});
  Expect(2, "readme.txt", kExact, "<a href=\"ftp://h/r\">/readme.txt</a><br>", 1,
         {"readme.txt|||ftp://h/r"});
  // Type 5 takes any name holding the term, even with Exact Match.
  Expect(5, "readme", kExact, readme + "<href>", 2, {"Readme.TXT|||ftp://h/Readme.TXT"});
  // A "#" in the href, a link without "/A", a text without the term.
  Expect(
      2, "readme", kSubstring,
      "<a href=\"ftp://h/readme.txt#x\">readme.txt</a><a href=\"ftp://h/other.txt\">other.txt</a>"
      "<a href=\"ftp://h/readme.zip\">readme.zip",
      0, {});
  // Only types 11 to 13 take http links.
  for (int type = 0; type <= 16; ++type) {
    Parse(type, "readme.txt", "<a href=\"http://h/readme.txt\">readme.txt</a><br><href>", kExact);
    EXPECT_EQ(hits_.size(), type >= 11 && type <= 13 ? 1u : 0u) << "type " << type;
  }
  EXPECT_EQ(ParseResultPage(nullptr, 0, 2, "x", kExact, seen_, nullptr), 0);
}

TEST_F(ParserTest, ALocationAlreadySeenIsCountedButNoNewHit) {
  SeenTreeFree(seen_);
  SeenTreeInsert(seen_, "ftp://h/a.zip", 1);
  EXPECT_EQ(
      Parse(2, "zip", "<a href=\"ftp://h/a.zip\">a.zip</a><a href=\"ftp://h/b.zip\">b.zip</a>",
            kSubstring, true),
      2);
  EXPECT_EQ(hits_, std::vector<std::string>{"b.zip|||ftp://h/b.zip"});
  EXPECT_NE(SeenTreeLookup(seen_.get(), "ftp://h/b.zip"), 0);
  // The location a rule makes of an href counts too: the same page again
  // gives no second hit, and the scan goes on where the rule left it, as
  // after a new hit (type 12 reads past the second anchor).
  const std::string prefixed =
      "<a href=\"/f/a.zip\">a.zip</a><a href=\"/g/b.zip\">b.zip</a><td>1234</td>";
  EXPECT_EQ(Parse(12, "zip", prefixed, kSubstring), 1);
  EXPECT_EQ(Parse(12, "zip", prefixed, kSubstring, true), 1);
  EXPECT_TRUE(hits_.empty());
}

TEST_F(ParserTest, NamesAndSizesAreTidied) {
  // Blank runs halved and names cut at 80; a size that begins with a letter
  // is none, one holding "<" is cut there.
  const std::string long_name = std::string(95, 'x') + "term.txt";
  Expect(2, "term", kSubstring,
         "<td><a href=\"ftp://h/1\">" + long_name + "</a></td><td>12 KB</td><td>d</td>" +
             "<td><a href=\"ftp://h/2\">term</a></td><td>about 1k</td><td>d</td>" +
             "<td><a href=\"ftp://h/3\">x    term\t\t\tz</a></td><td>1<b</td><td>d</td>",
         3,
         {long_name.substr(0, kHitNameMax) + "|12 KB|d|ftp://h/1", "term||d|ftp://h/2",
          "x  term  z|1|d|ftp://h/3"});
}

TEST_F(ParserTest, WhereTheScanGoesOn) {
  // An "&" in the text jumps to the next ";"; without one the scan goes on.
  Expect(
      2, "zip", kSubstring,
      "Tom & Jerry <a href=\"ftp://h/a.zip\">a.zip</a> x; <a href=\"ftp://h/b.zip\">b.zip</a><br>",
      1, {"b.zip|||ftp://h/b.zip"});
  Expect(2, "zip", kSubstring, "AT&T <a href=\"ftp://h/a.zip\">a.zip</a>", 1,
         {"a.zip|||ftp://h/a.zip"});
  // Type 4 looks behind a name with digits.
  Expect(4, "zip", kSubstring, "<a href=\"ftp://h/f2.zip\">f2.zip</a> 1234 (1999-01-02)", 1,
         {"f2.zip|1234|1999-01-02|ftp://h/f2.zip"});
  // A rule that runs out ends the scan. Type 5 without "<href" stops before
  // size and date; type 14 needs five ">" behind the anchor, and the second
  // link, inside them, is never looked at; a tag without its ">".
  const std::string two =
      "<a href=\"ftp://h/a.zip\">a.zip</a> x <a href=\"ftp://h/b.zip\">b.zip</a>";
  Expect(5, "zip", kSubstring, two, 1, {"a.zip|||ftp://h/a.zip"});
  Expect(14, "zip", kSubstring, two, 1, {"a.zip|||ftp://h/a.zip"});
  Expect(2, "zip", kSubstring, "<a name=\"top <a href=\"ftp://h/a.zip\">a.zip</a>", 0, {});
  // Type 5 cuts the page at the first "<href" behind a new hit; the rule
  // leaves the scan on the anchor, so the link is met twice.
  const std::string cut =
      "<a href=\"ftp://h/a.zip\">a.zip</a> Size: <b>1234</b> Date: 12-Jan-1999<HREF x>"
      "<a href=\"ftp://h/b.zip\">b.zip</a>";
  Expect(5, "zip", kSubstring, cut, 2, {"a.zip|1234|12-Jan-1999|ftp://h/a.zip"});
  EXPECT_EQ(std::strlen(page_.data()), cut.find("<HREF"));
}

TEST_F(ParserTest, MetAgainAfterTidyingStillTerminates) {
  // The href holds a tab or a line break: the stored location differs from
  // it, so its look-up misses when the scan meets the link again.
  Expect(1, "readme", kSubstring, "<a href=\"ftp://h/read\tme.txt\">readme.txt</a>", 2,
         {"readme.txt|||ftp://h/read me.txt"});
  Expect(6, "readme", kSubstring, "<br>12 d <a href=\"ftp://h/read  me\r\n.txt\">readme</a>", 2,
         {"readme|12|d|ftp://h/read me .txt"});
  // Unlisted types leave the scan on the anchor as well.
  Expect(99, "readme", kSubstring,
         "<a href=\"ftp://h/a\tb\">readme</a><a href=ftp://h/c>readme</a>", 4,
         {"readme|||ftp://h/a b", "readme|||ftp://h/c"});
}

TEST(ParserHelpers, TidyWhitespaceAsReplacingOneByOne) {
  // What it has always done, one ReplaceFirst at a time, searching on
  // behind each replacement.
  const auto one_by_one = [](std::string text) {
    for (const char* kind : {"\n", "\t", "\r", "  "}) {
      for (char* from = &text[0]; (from = ReplaceFirst(from, kind, " "));) {
      }
    }
    return std::string(text.c_str());
  };
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (std::size_t i = 0, n = random() % 12; i < n; ++i) text += " \t\r\nx"[random() % 5];
    std::string tidied = text;
    TidyWhitespace(&tidied[0]);
    EXPECT_EQ(std::string(tidied.c_str()), one_by_one(text)) << text;
  }
}

TEST(ParserHelpers, SkipBlanksAndTagsPassesNeitherTabsNorAnOpenTag) {
  const char* t = " \r\n<b><i x>\tx";
  EXPECT_EQ(SkipBlanksAndTags(t), t + std::strlen(" \r\n<b><i x>"));
  const char* open = " <b";
  EXPECT_EQ(SkipBlanksAndTags(open), open + 1);
}

}  // namespace
