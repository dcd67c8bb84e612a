#include "results/links.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

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
