// The line reader every data file goes through, the file writer, and the
// text helpers whose corners no reader test reaches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"
#include "util/url.h"

namespace {

class FileTest : public TempDirTest {};

TEST_F(FileTest, LineReaderGivesWholeLinesUpToItsBoundAndNoPieceOfALongerOne) {
  const std::string nul2("\0\0", 2);
  const struct {
    std::string bytes;
    std::size_t limit;
    std::vector<std::string> lines;
    int too_long_at;  // 0: read to the end
  } cases[] = {
      {"a\nb", 4, {"a\n", "b"}, 0},
      {"abcd\r\nx\n", 4, {"abcd\r\n", "x\n"}, 0},  // the line end is not counted
      {"ab\nabcde\nx\n", 4, {"ab\n"}, 2},
      {"ab\n" + std::string(3000, 'y') + "\nx\n", kLineLimit, {"ab\n"}, 2},
      {std::string(5000, 'y') + "\nx", 8000, {std::string(5000, 'y') + "\n", "x"}, 0},
      // A line's first NUL is dropped; a NUL ends the text.
      {std::string("\0ab\na\0b\n", 8), 4, {"ab\n", "a"}, 0},
      // Behind two NULs a line feed that begins the second piece read still
      // ends the line.
      {nul2 + std::string(254, 'a') + "\nnext\n",
       kLineLimit,
       {std::string(254, 'a') + "\n", "next\n"},
       0},
  };
  for (const auto& c : cases) {
    WriteFile("r.txt", c.bytes);
    FileHandle f = FileOpenRead("r.txt");
    LineReader reader(f, "r.txt", c.limit);
    std::vector<std::string> got;
    for (std::string line; reader.Next(line);) got.push_back(line);
    FileClose(f);
    EXPECT_EQ(got, c.lines) << c.bytes.substr(0, 20);
    EXPECT_EQ(reader.TooLong(), c.too_long_at != 0);
    EXPECT_EQ(reader.LineNumber(),
              c.too_long_at ? c.too_long_at : static_cast<int>(c.lines.size()));
  }
}

TEST_F(FileTest, WriterKeepsTheBytesAndReportsAnyFailure) {
  {
    FileWriter w("w.txt");
    w.Printf("a=%i %s\n", 5, "x");
    w.Write(std::string("b\0\r\n", 4));
    EXPECT_TRUE(w.Close());
    EXPECT_TRUE(w.Close());  // asked again, the same answer
    FileWriter left_open("v.txt");
    left_open.Write("kept", 4);
  }
  EXPECT_EQ(ReadFile("w.txt"), std::string("a=5 x\nb\0\r\n", 10));
  EXPECT_EQ(ReadFile("v.txt"), "kept");  // closed by the destructor
  FileWriter bad(std::string("w.txt") + kPathSep + "x");
  bad.Printf("x");
  EXPECT_FALSE(bad.Ok());
  EXPECT_FALSE(bad.Close());
#ifdef __linux__
  // A full disk: a small write fails at the flush, a big one at once.
  FileWriter small("/dev/full");
  small.Printf("%s", "small");
  EXPECT_TRUE(small.Ok());
  EXPECT_FALSE(small.Close());
  FileWriter big("/dev/full");
  big.Write(std::string(1 << 16, 'x'));
  EXPECT_FALSE(big.Ok());
#endif
}

TEST(TextTest, TrimsAndReplacements) {
  // Blanks, CRs and line feeds only.
  char right[] = "abc\t \r\n";
  EXPECT_STREQ(TrimRight(right), "abc\t");
  char both[] = " \n a b \r";
  EXPECT_STREQ(Trim(both), "a b");
  char t[16] = "x$Ay$Ay";
  char* behind = ReplaceFirst(t, "$A", "LONGER");
  EXPECT_STREQ(t, "xLONGERy$Ay");
  EXPECT_STREQ(behind, "y$Ay");
  EXPECT_EQ(ReplaceFirst(t, "$Q", "q"), nullptr);
  EXPECT_EQ(DoublePercent(std::string("a%b%%")), "a%%b%%%%");
  const char* text = "Index.HTML";
  EXPECT_EQ(FindNoCase(text, "html"), text + 6);
  EXPECT_EQ(FindNoCase(text, ""), nullptr);
}

TEST(TextTest, SharedBuffersHoldTheirTextsAsLongAsPromised) {
  const char* one = IntToText(0);
  const char* two = IntToText2(-45);
  EXPECT_STREQ(IntToText(-2147483647L - 1), "-2147483648");
  EXPECT_STREQ(one, "-2147483648");  // the same buffer, overwritten
  EXPECT_STREQ(two, "-45");          // the second buffer stays
  // Five texts may be held at once; the sixth load reuses the first slot.
  const char* first = LoadText(1444);
  EXPECT_STREQ(first, "Not Searched");
  for (int i = 0; i < 4; ++i) LoadText(1451);
  EXPECT_STREQ(first, "Not Searched");
  LoadText(1474);
  EXPECT_STREQ(first, "Hunt is Complete");
}

TEST(TextTest, StrICmpFoldsAsciiToLowerCaseAndComparesBytesUnsigned) {
  EXPECT_EQ(StrICmp("A.zip", "a.ZIP"), 0);
  EXPECT_LT(StrICmp("ab", "abc"), 0);
  EXPECT_LT(StrICmp("_x", "A"), 0);  // "_" (0x5F) lies below the lower-case letters
  EXPECT_GT(StrICmp("\xe9", "z"), 0);
}

TEST(UrlTest, OnlyFtpAndWebAddressesAreOpenable) {
  for (const char* yes : {"ftp://h/a", "HTTP://h", "hTtPs://h/x?y"}) {
    EXPECT_TRUE(IsOpenableLocation(std::string(yes))) << yes;
  }
  for (const char* no :
       {"", "ftp:/h", " ftp://h", "https:", "file://c/x", "javascript:1//ftp://h", "ftps://h"}) {
    EXPECT_FALSE(IsOpenableLocation(std::string(no))) << no;
  }
  EXPECT_FALSE(IsOpenableLocation(static_cast<const char*>(nullptr)));
}

}  // namespace
