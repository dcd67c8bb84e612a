// Character references that meet in one text: entities_fuzz holds what a
// single reference decodes to, from the tables alone.
#include "results/entities.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DecodeEntities, ReferencesInOneText) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"&lt;b&gt;", "<b>"},
      {"&nbsp;&nbsp;", "  "},
      {"&amp;amp;", "&amp;"},  // never re-reads what it produced
      {"&#038;lt;", "<"},      // but a decoded "&" is its byte's own position, looked at again
      {"&ETH;&Eth;&AUML;", "\xD0\xF0\xE4"},
      // An unknown name goes up to the first ";" behind its "&".
      {"AT&T; more", "AT more"},
      {"AT&T &amp; more", "AT more"},
      {"R&D report; &amp;", "R &"},
      // "&nbsp;" is replaced with case: the capital one stays and the next
      // lower-case one is taken, skipping what lies between.
      {"&NBSP;a&lt;&nbsp;b&amp;", "&NBSP;a&lt; b&"},
      {"&NBSP;&amp;", "&NBSP;&"},
  };
  for (const auto& c : cases) {
    std::string buf = c.in;
    DecodeEntities(&buf[0]);
    EXPECT_EQ(std::string(buf.c_str()), c.out) << c.in;
  }
  EXPECT_EQ(DecodeEntities(nullptr), nullptr);
}

}  // namespace
