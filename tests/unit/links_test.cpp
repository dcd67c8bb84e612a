#include "results/links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// What ExtractLink gives, as "ok|href|name" ("-" for no name).
std::string Extract(const std::string& page) {
  std::string href;
  std::optional<std::string> name;
  const int ok = ExtractLink(page.c_str(), href, name);
  return std::to_string(ok) + "|" + href + "|" + name.value_or("-");
}

std::string Clean(const std::string& text, const char* href = nullptr) {
  std::string buf = text;
  buf.resize(kLinkBufferSize + text.size());
  CleanLinkText(&buf[0], href);
  return std::string(buf.c_str());
}

TEST(ExtractLink, HrefsAndLinkTexts) {
  EXPECT_EQ(Extract("<a href=\"ftp://h/p/f.zip\">f.zip</a>"), "1|ftp://h/p/f.zip|f.zip");
  EXPECT_EQ(Extract("<A HREF=ftp://h/f.zip TARGET=_top>f.zip</A>"),
            "1|ftp://h/f.zip TARGET=_top|f.zip");
  // A single quote belongs to the value.
  EXPECT_EQ(Extract("< a\n HrEf =  'ftp://h/x'>x</a>"), "1|'ftp://h/x'|x");
  EXPECT_EQ(Extract("<a href=\"ftp://h/d/\">&nbsp;<b>pub/d/file.zip</b></a>"),
            "1|ftp://h/d/|file.zip");
  // Only an image inside: the text behind the closing tag, up to the next "/A".
  EXPECT_EQ(Extract("<a href=\"ftp://h/i\"><img src=\"x.gif\"></a> next.zip <b>x</b></a>"),
            "1|ftp://h/i|next.zip  x");
  EXPECT_EQ(Extract("<a href=\"ftp://h/d/\">pub/d/</a>"), "1|ftp://h/d/|~Unknown~");
  EXPECT_EQ(Extract("<a href=\"ftp://h/f\">a &lt;b&gt; c</a>"), "1|ftp://h/f|a  b  c");
  EXPECT_EQ(Extract("<a href=\"ftp://h/f\">Caf&eacute;.txt</a>"), "1|ftp://h/f|Caf\xE9.txt");
  // No "/A" anywhere behind the text, no text at all, no end of the tag.
  for (const char* page : {"<a href=\"ftp://h/f\">f.zip<br>more", "<a href=\"ftp://h/f\">  ",
                           "<a href=\"ftp://h/f\" <b>", "<a href=\"ftp://h/f\">&amp never",
                           "<a href=\"ftp://h/f\"><b title='x"}) {
    EXPECT_EQ(Extract(page), "1|ftp://h/f|-") << page;
  }
}

TEST(ExtractLink, TagsThatAreNoLinks) {
  for (const char* page :
       {"<a name=\"x\">x</a>", "<area href=x>x</a>", "<ahref=x>x</a>", "a href=x>x</a>",
        "<a href x>x</a>", "<a href=", "<a href=\"ftp://h/f.zip>f</a>", "<a href=ftp://h/f",
        "<a href=\"ftp://h/f.zip#top\">f.zip</a>", "<a href=ftp://h/#>f</a>"}) {
    EXPECT_EQ(Extract(page), "0||-") << page;
  }
}

TEST(ExtractLink, LongTextsAreCut) {
  const std::string long_href(5000, 'h');
  const std::string cut = ("ftp://" + long_href).substr(0, kLinkTextMax);
  EXPECT_EQ(Extract("<a href=\"ftp://" + long_href + "\">" + std::string(3000, 'n') + "</a>"),
            "1|" + cut + "|" + std::string(kLinkTextMax, 'n'));
  // A "#" beyond the cut is not seen.
  EXPECT_EQ(Extract("<a href=\"ftp://" + long_href + "#\">x</a>"), "1|" + cut + "|x");
}

// The scanner against ExtractLink on pages made of the pieces that steer
// its searches, a few of them repeated as hostile pages repeat them: at
// every "<" in page order, in a shuffled order, and again after the page
// has been cut short.
TEST(LinkScanner, FindsWhatExtractLinkFinds) {
  const char* const kPieces[] = {"<a href=", "<A  HREF=\"ftp://h/",
                                 "\"",       "'",
                                 ">",        "<",
                                 "</a>",     "/A",
                                 "&amp;",    "&",
                                 ";",        " ",
                                 "\n",       "x",
                                 "<b>",      "#",
                                 "/"};
  std::mt19937 random(7);
  const auto any_piece = [&] { return kPieces[random() % (sizeof kPieces / sizeof *kPieces)]; };
  for (int round = 0; round < 400; ++round) {
    std::vector<const char*> unit(1 + random() % 6);
    for (const char*& piece : unit) piece = any_piece();
    std::string page;
    for (std::size_t i = 0, n = random() % 300; i < n; ++i) {
      page += random() % 4 ? unit[i % unit.size()] : any_piece();
    }
    std::vector<std::size_t> opens;
    for (std::size_t i = 0; i < page.size(); ++i) {
      if (page[i] == '<') opens.push_back(i);
    }
    LinkScanner scanner(page.c_str());
    const auto same = [&](std::size_t at) {
      std::string href;
      std::optional<std::string> name;
      const int ok = scanner.Extract(page.c_str() + at, href, name);
      EXPECT_EQ(std::to_string(ok) + "|" + href + "|" + name.value_or("-"),
                Extract(page.c_str() + at))
          << "at " << at << " of " << page;
      EXPECT_EQ(scanner.TagEnd(page.c_str() + at), FindOutsideQuotes(page.c_str() + at, '>'));
    };
    for (std::size_t at : opens) same(at);
    std::shuffle(opens.begin(), opens.end(), random);
    for (std::size_t at : opens) same(at);
    if (opens.empty()) continue;
    const std::size_t cut = opens[random() % opens.size()];
    page[cut] = '\0';
    scanner.Forget();
    for (std::size_t at : opens) {
      if (at < cut) same(at);
    }
  }
}

TEST(CleanLinkText, TurnsContentIntoAFileName) {
  EXPECT_EQ(Clean("  <b>dir/sub/Name.ZIP</b> "), "Name.ZIP");
  EXPECT_EQ(Clean("", "ftp://h/pub/f.zip"), "f.zip");
  EXPECT_EQ(Clean("", "ftp://h/pub/"), "~Unknown~");
  EXPECT_EQ(Clean("", "nodir"), "~Unknown~");
  EXPECT_EQ(Clean(""), "~Unknown~");
  EXPECT_EQ(Clean("a&gt;b&lt;c"), "a b c");
  EXPECT_EQ(Clean("1 &lt; 2/"), "~Unknown~");
}

TEST(StripTagsAndDecode, EachTagBecomesOneBlank) {
  char text[64] = "a<b>b</b>c<i title=\"x>y\">d&amp;<e";
  StripTagsAndDecode(text);
  EXPECT_STREQ(text, "a b c d&<e");
  EXPECT_EQ(StripTagsAndDecode(nullptr), nullptr);
}

TEST(FindOutsideQuotes, SkipsQuotedRuns) {
  const char* tag = "<a title=\"x>y\" href=z>";
  EXPECT_EQ(FindOutsideQuotes(tag, '>'), tag + std::strlen(tag) - 1);
  const char* single = "<a t='>' u>";
  EXPECT_EQ(FindOutsideQuotes(single, '>'), single + 10);
  const char* line = "<a t=\"x\n>";  // a quoted run also ends at a line end
  EXPECT_EQ(FindOutsideQuotes(line, '>'), line + 8);
  EXPECT_EQ(FindOutsideQuotes("<a t=\"x>", '>'), nullptr);
  EXPECT_EQ(FindOutsideQuotes("", '>'), nullptr);
  EXPECT_EQ(FindOutsideQuotes(static_cast<const char*>(nullptr), '>'), nullptr);
}

}  // namespace
