#include "util/string_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

// The printf conversions of a text, in order, "%%" left out: "%i of %.30s"
// gives "%i%.30s".
std::string Conversions(const char* text) {
  std::string out;
  for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p, '%')) {
    if (p[1] == '%') {
      p += 2;
      continue;
    }
    const std::size_t n = 1 + std::strspn(p + 1, "-+ #0123456789.*hljztL");
    out.append(p, n + (p[n] ? 1 : 0));
    p += n;
  }
  return out;
}

// Texts taken from the table as formats at run time, with the conversions
// their callers pass arguments for. The compiler can't check these, so a
// text edited to take other arguments would read the wrong ones.
const std::map<int, std::string> kFormats = {
    {1446, "%i"},    {1447, "%i"},   {1459, "%i"},   {1461, "%li"},    {1462, "%li"},
    {1464, "%i"},    {1465, "%i"},   {1467, "%s"},   {1470, "%i%i"},   {1471, "%i"},
    {1480, "%i%i"},  {1491, "%s%s"}, {1496, "%03i"}, {1517, "%s"},     {1518, "%s"},
    {1519, "%.30s"}, {1529, "%s"},   {1530, "%i"},   {1534, "%i%s%i"}, {1539, "%li"},
    {1540, "%li"},   {1542, "%s"},   {1543, "%s"},   {1544, "%s"},     {1554, "%s"},
};

TEST(StringTableTest, SortedAndEveryFormatTakesWhatItsCallersPass) {
  for (int i = 0; i < kStringTableSize; ++i) {
    const StringTableEntry& e = kStringTable[i];
    EXPECT_GE(e.id, 1441);
    if (i) {
      EXPECT_LT(kStringTable[i - 1].id, e.id);
    }
    // Lookups are a binary search, so they find every text only in a sorted table.
    EXPECT_EQ(FindTableText(e.id), e.text);
    // Any other text is shown as it is: a conversion in it would mean a
    // caller formats it, and it needs its row above.
    const auto format = kFormats.find(e.id);
    EXPECT_EQ(Conversions(e.text), format == kFormats.end() ? "" : format->second) << e.id;
  }
  for (const auto& [id, conversions] : kFormats) EXPECT_NE(FindTableText(id), nullptr) << id;
  EXPECT_EQ(FindTableText(1442), nullptr);
}

}  // namespace
