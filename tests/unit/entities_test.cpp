#include "results/entities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Decode(const std::string& in) {
  std::string buf = in;
  DecodeEntities(&buf[0]);
  return std::string(buf.c_str());
}

std::string Byte(int b) {
  return std::string(1, static_cast<char>(b));
}

TEST(EntityTable, GroupsHoldTheNinetyNineNamesInOrder) {
  EXPECT_EQ(kEntityGroup1Size, 5u);
  EXPECT_EQ(kEntityGroup2Size, 30u);
  EXPECT_EQ(kEntityGroup3Size, 64u);
  EXPECT_STREQ(kEntityGroup1[0].name, "&quot;");
  EXPECT_STREQ(kEntityGroup1[4].name, "&nbsp;");
  EXPECT_STREQ(kEntityGroup2[0].name, "&ETH;");
  EXPECT_STREQ(kEntityGroup2[29].name, "&Yacute;");
  EXPECT_STREQ(kEntityGroup3[0].name, "&uml;");
  EXPECT_STREQ(kEntityGroup3[63].name, "&oslash;");
  // Every name of every group decodes to its own byte.
  const struct {
    const NamedEntity* table;
    std::size_t n;
  } groups[] = {{kEntityGroup1, kEntityGroup1Size},
                {kEntityGroup2, kEntityGroup2Size},
                {kEntityGroup3, kEntityGroup3Size}};
  for (const auto& g : groups) {
    for (std::size_t i = 0; i < g.n; ++i) {
      EXPECT_EQ(Decode(std::string("x") + g.table[i].name + "y"), "x" + Byte(g.table[i].code) + "y")
          << g.table[i].name;
    }
  }
  // "&sect;" is deliberately not in the table.
  for (const auto& g : groups) {
    for (std::size_t i = 0; i < g.n; ++i) EXPECT_STRNE(g.table[i].name, "&sect;");
  }
}

TEST(DecodeEntities, NamedReferencesAndCase) {
  EXPECT_EQ(Decode("&amp;"), "&");
  EXPECT_EQ(Decode("&AMP;"), "&");
  EXPECT_EQ(Decode("&lt;b&gt;"), "<b>");
  EXPECT_EQ(Decode("&nbsp;&nbsp;"), "  ");
  EXPECT_EQ(Decode("&Eth;"), Byte(0xF0));  // not group 2's spelling: falls to group 3
  EXPECT_EQ(Decode("&ETH;"), Byte(0xD0));
  EXPECT_EQ(Decode("&AUML;"), Byte(0xE4));
  EXPECT_EQ(Decode("&Auml;"), Byte(0xC4));
  // Decoding never re-reads what it produced.
  EXPECT_EQ(Decode("&amp;amp;"), "&amp;");
  EXPECT_EQ(Decode("plain text"), "plain text");
}

TEST(DecodeEntities, NumericReferencesOnlyInThreeDigitForm) {
  EXPECT_EQ(Decode("&#233;"), Byte(0xE9));
  EXPECT_EQ(Decode("&#065;BC"), "ABC");
  EXPECT_EQ(Decode("&#65;"), "&#65;");
  EXPECT_EQ(Decode("&#0065;"), "&#0065;");
  EXPECT_EQ(Decode("&#321;"), "&#321;");  // low byte 65, but not written so
  EXPECT_EQ(Decode("a&#x41;b"), "ab");    // value 0: an unknown name, deleted
  EXPECT_EQ(Decode("a&#256;b"), "ab");
  EXPECT_EQ(Decode("&#99999999999999999999;x"), "&#99999999999999999999;x");
  // A decoded "&" is looked at again, as the byte's own position.
  EXPECT_EQ(Decode("&#038;lt;"), "<");
}

TEST(DecodeEntities, UnknownNamesAndMissingSemicolons) {
  EXPECT_EQ(Decode("&sect;"), "");
  EXPECT_EQ(Decode("AT&T; more"), "AT more");
  EXPECT_EQ(Decode("AT&T and more"), "AT&T and more");
  EXPECT_EQ(Decode("AT&T &amp; more"), "AT more");  // the first ";" behind the "&"
  EXPECT_EQ(Decode("R&D report; &amp;"), "R &");
  EXPECT_EQ(Decode("x&amp"), "x&amp");
  EXPECT_EQ(DecodeEntities(nullptr), nullptr);
}

TEST(DecodeEntities, CapitalNbspIsReplacedOnlyInLowerCase) {
  // "&nbsp;" is replaced case-sensitively: the capital one stays and the
  // next lower-case one is taken, skipping what lies between.
  EXPECT_EQ(Decode("&NBSP;a&lt;&nbsp;b&amp;"), "&NBSP;a&lt; b&");
  EXPECT_EQ(Decode("&NBSP;&amp;"), "&NBSP;&");
}

TEST(ReplaceFirstNoCase, FindsAnyCaseAndReportsWhereItEnded) {
  char text[32] = "abXYcd";
  char* behind = ReplaceFirstNoCase(text, "xy", "123");
  EXPECT_STREQ(text, "ab123cd");
  ASSERT_NE(behind, nullptr);
  EXPECT_EQ(behind, text + 5);
  EXPECT_EQ(ReplaceFirstNoCase(text, "zz", "1"), nullptr);
  EXPECT_STREQ(text, "ab123cd");
  char empty[4] = "";
  EXPECT_EQ(ReplaceFirstNoCase(empty, "a", "b"), nullptr);
  EXPECT_EQ(ReplaceFirstNoCase(text, "", "b"), nullptr);
  EXPECT_EQ(ReplaceFirstNoCase(nullptr, "a", "b"), nullptr);
}

}  // namespace
