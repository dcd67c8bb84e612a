#include "results/entities.h"

#include <gtest/gtest.h>

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

TEST(EntityTable, EveryNameOfTheThreeGroupsDecodesToItsByte) {
  EXPECT_EQ(kEntityGroup1Size + kEntityGroup2Size + kEntityGroup3Size, 99u);
  EXPECT_EQ(kEntityGroup1Size, 5u);
  EXPECT_EQ(kEntityGroup2Size, 30u);
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
}

TEST(DecodeEntities, NamedNumericAndUnknownReferences) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"&amp;", "&"},
      {"&AMP;", "&"},
      {"&lt;b&gt;", "<b>"},
      {"&nbsp;&nbsp;", "  "},
      // Group 2 is matched with case, group 3 without: the group order decides.
      {"&Eth;", Byte(0xF0)},
      {"&ETH;", Byte(0xD0)},
      {"&AUML;", Byte(0xE4)},
      {"&Auml;", Byte(0xC4)},
      {"&amp;amp;", "&amp;"},  // never re-reads what it produced
      {"plain text", "plain text"},
      // Numeric references only in three-digit form.
      {"&#233;", Byte(0xE9)},
      {"&#065;BC", "ABC"},
      {"&#65;", "&#65;"},
      {"&#0065;", "&#0065;"},
      {"&#321;", "&#321;"},  // low byte 65, but not written so
      {"a&#x41;b", "ab"},    // value 0: an unknown name, deleted
      {"a&#256;b", "ab"},
      {"&#99999999999999999999;x", "&#99999999999999999999;x"},
      {"&#038;lt;", "<"},  // a decoded "&" is looked at again, as the byte's own position
      // Unknown names go, up to the first ";" behind the "&"; no ";", no change.
      {"&sect;", ""},
      {"AT&T; more", "AT more"},
      {"AT&T and more", "AT&T and more"},
      {"AT&T &amp; more", "AT more"},
      {"R&D report; &amp;", "R &"},
      {"x&amp", "x&amp"},
      // "&nbsp;" is replaced with case: the capital one stays and the next
      // lower-case one is taken, skipping what lies between.
      {"&NBSP;a&lt;&nbsp;b&amp;", "&NBSP;a&lt; b&"},
      {"&NBSP;&amp;", "&NBSP;&"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.in;
  EXPECT_EQ(DecodeEntities(nullptr), nullptr);
}

TEST(ReplaceFirstNoCase, FindsAnyCaseAndReportsWhereItEnded) {
  char text[32] = "abXYcd";
  EXPECT_EQ(ReplaceFirstNoCase(text, "xy", "123"), text + 5);
  EXPECT_STREQ(text, "ab123cd");
  EXPECT_EQ(ReplaceFirstNoCase(text, "zz", "1"), nullptr);
  EXPECT_STREQ(text, "ab123cd");
  char empty[4] = "";
  EXPECT_EQ(ReplaceFirstNoCase(empty, "a", "b"), nullptr);
  EXPECT_EQ(ReplaceFirstNoCase(text, "", "b"), nullptr);
  EXPECT_EQ(ReplaceFirstNoCase(nullptr, "a", "b"), nullptr);
}

}  // namespace
