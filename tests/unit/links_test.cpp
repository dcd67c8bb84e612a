#include "results/links.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

struct Link {
  int ok = 0;
  std::string href;
  std::optional<std::string> name;
};

Link Extract(const std::string& page) {
  Link l;
  l.ok = ExtractLink(page.c_str(), l.href, l.name);
  return l;
}

std::string Clean(const std::string& text, const char* href = nullptr) {
  std::string buf = text;
  buf.resize(kLinkBufferSize + text.size());
  CleanLinkText(&buf[0], href);
  return std::string(buf.c_str());
}

TEST(ExtractLink, QuotedAndUnquotedHrefs) {
  Link l = Extract("<a href=\"ftp://h/p/f.zip\">f.zip</a>");
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.href, "ftp://h/p/f.zip");
  EXPECT_EQ(l.name, "f.zip");

  l = Extract("<A HREF=ftp://h/f.zip TARGET=_top>f.zip</A>");
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.href, "ftp://h/f.zip TARGET=_top");
  EXPECT_EQ(l.name, "f.zip");

  l = Extract("< a\n HrEf =  'ftp://h/x'>x</a>");  // a single quote belongs to the value
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.href, "'ftp://h/x'");
}

TEST(ExtractLink, TagsThatAreNoLinks) {
  for (const char* page :
       {"<a name=\"x\">x</a>", "<area href=x>x</a>", "<ahref=x>x</a>", "a href=x>x</a>",
        "<a href x>x</a>", "<a href=", "<a href=\"ftp://h/f.zip>f</a>", "<a href=ftp://h/f",
        "<a href=\"ftp://h/f.zip#top\">f.zip</a>", "<a href=ftp://h/#>f</a>"}) {
    Link l = Extract(page);
    EXPECT_EQ(l.ok, 0) << page;
    EXPECT_TRUE(l.href.empty()) << page;
    EXPECT_FALSE(l.name) << page;
  }
}

TEST(ExtractLink, FindingTheLinkText) {
  Link l = Extract("<a href=\"ftp://h/d/\">&nbsp;<b>pub/d/file.zip</b></a>");
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.name, "file.zip");

  // Only an image inside: the text behind the closing tag is taken, up to the
  // next "/A".
  l = Extract("<a href=\"ftp://h/i\"><img src=\"x.gif\"></a> next.zip <b>x</b></a>");
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.name, "next.zip  x");

  // No "/A" anywhere behind the text, no text at all, no end of the tag.
  for (const char* page : {"<a href=\"ftp://h/f\">f.zip<br>more", "<a href=\"ftp://h/f\">  ",
                           "<a href=\"ftp://h/f\" <b>", "<a href=\"ftp://h/f\">&amp never",
                           "<a href=\"ftp://h/f\"><b title='x"}) {
    l = Extract(page);
    EXPECT_EQ(l.ok, 1) << page;
    EXPECT_EQ(l.href, "ftp://h/f") << page;
    EXPECT_FALSE(l.name) << page;
  }

  l = Extract("<a href=\"ftp://h/d/\">pub/d/</a>");
  EXPECT_EQ(l.name, "~Unknown~");
  l = Extract("<a href=\"ftp://h/f\">a &lt;b&gt; c</a>");
  EXPECT_EQ(l.name, "a  b  c");
  l = Extract("<a href=\"ftp://h/f\">Caf&eacute;.txt</a>");
  EXPECT_EQ(l.name, "Caf\xE9.txt");
}

TEST(ExtractLink, LongTextsAreCut) {
  const std::string long_href(5000, 'h');
  Link l = Extract("<a href=\"ftp://" + long_href + "\">" + std::string(3000, 'n') + "</a>");
  ASSERT_EQ(l.ok, 1);
  EXPECT_EQ(l.href.size(), kLinkTextMax);
  ASSERT_TRUE(l.name);
  EXPECT_EQ(l.name->size(), kLinkTextMax);
  // A "#" beyond the cut is not seen.
  l = Extract("<a href=\"ftp://" + long_href + "#\">x</a>");
  EXPECT_EQ(l.ok, 1);
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
  // A quoted run also ends at a line end.
  const char* line = "<a t=\"x\n>";
  EXPECT_EQ(FindOutsideQuotes(line, '>'), line + 8);
  EXPECT_EQ(FindOutsideQuotes("<a t=\"x>", '>'), nullptr);
  EXPECT_EQ(FindOutsideQuotes("", '>'), nullptr);
  EXPECT_EQ(FindOutsideQuotes(static_cast<const char*>(nullptr), '>'), nullptr);
}

}  // namespace
