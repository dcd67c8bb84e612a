#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"
#include "util/url.h"

namespace {

class ReadLineTest : public TempDirTest {};

TEST_F(ReadLineTest, LinesComeBackWholeAndPositionedAtTheNext) {
  std::string line300(300, 'x');
  WriteFile("a.txt", line300 + "\n" + "second\r\nlast");
  FileHandle f = FileOpenRead("a.txt");
  ASSERT_NE(f, nullptr);
  static char buf[kLineLimit + 1];
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 301);
  EXPECT_EQ(std::string(buf), line300 + "\n");
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 8);
  EXPECT_STREQ(buf, "second\r\n");
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 4);  // no line feed at the end
  EXPECT_STREQ(buf, "last");
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 0);
  FileClose(f);
}

TEST_F(ReadLineTest, LongLineComesInPiecesOfWholeChunks) {
  WriteFile("b.txt", std::string(3000, 'y') + "\nz\n");
  FileHandle f = FileOpenRead("b.txt");
  static char buf[kLineLimit + 1];
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 2048);
  EXPECT_EQ(std::strlen(buf), 2048u);
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 953);
  EXPECT_EQ(std::string(buf), std::string(952, 'y') + "\n");
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 2);
  FileClose(f);
}

TEST_F(ReadLineTest, LeadingNulIsDroppedAndNullArgumentsGiveZero) {
  WriteFile("c.txt", std::string("\0ab\n", 4));
  FileHandle f = FileOpenRead("c.txt");
  static char buf[kLineLimit + 1];
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 3);
  EXPECT_STREQ(buf, "ab\n");
  EXPECT_EQ(ReadLine(nullptr, kLineLimit, f), 0);
  FileClose(f);
  // Two leading NULs on a line longer than one chunk: the line feed at the
  // start of the second chunk must still end the line.
  WriteFile("d.txt", std::string("\0\0", 2) + std::string(254, 'a') + "\nnext\n");
  f = FileOpenRead("d.txt");
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 255);
  EXPECT_EQ(ReadLine(buf, kLineLimit, f), 5);
  EXPECT_STREQ(buf, "next\n");
  EXPECT_EQ(ReadLine(buf, kLineLimit, nullptr), 0);
}

TEST_F(ReadLineTest, LineReaderGivesWholeLinesUpToItsBoundAndNoPieceOfALongerOne) {
  const struct {
    std::string bytes;
    std::size_t limit;
    std::vector<std::string> lines;
    int too_long_at;  // 0: read to the end
  } cases[] = {
      {"a\nb", 4, {"a\n", "b"}, 0},
      {"abcd\r\nx\n", 4, {"abcd\r\n", "x\n"}, 0},  // the line end is not counted
      {"ab\nabcde\nx\n", 4, {"ab\n"}, 2},
      {"ab\n" + std::string(3000, 'y') + "\nx\n", 2048, {"ab\n"}, 2},
      {std::string(5000, 'y') + "\nx", 8000, {std::string(5000, 'y') + "\n", "x"}, 0},
      {std::string("\0ab\na\0b\n", 8), 4, {"ab\n", "a"}, 0},  // C strings, as ReadLine
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
    if (c.too_long_at) {
      EXPECT_EQ(reader.LineNumber(), c.too_long_at);
    }
  }
}

TEST_F(ReadLineTest, OnlyRegularFilesAreOpenedForReading) {
  std::filesystem::create_directory("dir");
  WriteFile("plain", "x");
  EXPECT_EQ(FileOpenRead("dir"), nullptr);
  EXPECT_EQ(FileExists("dir"), 0);
  EXPECT_EQ(FileExists("plain"), 1);
#ifdef __linux__
  // Endless devices would otherwise be read as one line without end.
  EXPECT_EQ(FileOpenRead("/dev/zero"), nullptr);
#endif
}

class FileWriterTest : public TempDirTest {};

TEST_F(FileWriterTest, WritesTheBytesAsTheyAreAndReportsAnyFailure) {
  {
    FileWriter w("w.txt");
    ASSERT_TRUE(w.IsOpen());
    w.Printf("a=%i %s\n", 5, "x");
    w.Write(std::string("b\0\r\n", 4));
    EXPECT_TRUE(w.Close());
    EXPECT_TRUE(w.Close());  // asked again, the same answer
    FileWriter left_open("v.txt");
    left_open.Write("kept", 4);
  }
  EXPECT_EQ(ReadFile("w.txt"), std::string("a=5 x\nb\0\r\n", 10));
  EXPECT_EQ(ReadFile("v.txt"), "kept");  // closed by the destructor

  // A path below a regular file can't be created.
  FileWriter bad(std::string("w.txt") + kPathSep + "x");
  EXPECT_FALSE(bad.IsOpen());
  bad.Printf("x");
  EXPECT_FALSE(bad.Ok());
  EXPECT_FALSE(bad.Close());
#ifdef __linux__
  // A full disk: a small write sits in the buffer and fails at the flush,
  // a big one fails at once.
  FileWriter small("/dev/full");
  small.Printf("%s", "small");
  EXPECT_TRUE(small.Ok());
  EXPECT_FALSE(small.Close());
  FileWriter big("/dev/full");
  big.Write(std::string(1 << 16, 'x'));
  EXPECT_FALSE(big.Ok());
  EXPECT_FALSE(big.Close());
#endif
}

TEST(TextTest, TrimOnlyBlanksCarriageReturnsAndLineFeeds) {
  char a[] = "abc \r\n";
  EXPECT_STREQ(TrimRight(a), "abc");
  char b[] = "    ";
  EXPECT_STREQ(TrimRight(b), "");
  char c[] = "abc\t";
  EXPECT_STREQ(TrimRight(c), "abc\t");
  char d[] = "  a b  ";
  EXPECT_STREQ(Trim(d), "a b");
  EXPECT_EQ(TrimRight(nullptr), nullptr);
}

TEST(TextTest, IntToTextBuffersAreSeparate) {
  const char* one = IntToText(0);
  EXPECT_STREQ(one, "0");
  const char* two = IntToText2(-45);
  EXPECT_STREQ(IntToText(-2147483647L - 1), "-2147483648");
  EXPECT_STREQ(one, "-2147483648");  // the same buffer, overwritten
  EXPECT_STREQ(two, "-45");          // the second buffer stays
}

TEST(TextTest, ReplaceFirstReturnsPositionBehindReplacement) {
  char t[16] = "a$Xb";
  char* p = ReplaceFirst(t, "$X", "");
  EXPECT_STREQ(t, "ab");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, 'b');
  EXPECT_EQ(ReplaceFirst(t, "$Y", "q"), nullptr);
  EXPECT_STREQ(t, "ab");
  char g[16] = "x$Ay";
  p = ReplaceFirst(g, "$A", "LONGER");
  EXPECT_STREQ(g, "xLONGERy");
  EXPECT_EQ(*p, 'y');
  char small[6] = "a$Ab";
  EXPECT_EQ(ReplaceFirstBounded(small, sizeof small, "$A", "long"), nullptr);
  EXPECT_STREQ(small, "a$Ab");
}

TEST(TextTest, DoublePercentAndFindNoCase) {
  char a[16] = "100%";
  EXPECT_STREQ(DoublePercent(a), "100%%");
  char b[16] = "%%";
  EXPECT_STREQ(DoublePercent(b), "%%%%");
  EXPECT_EQ(DoublePercent(std::string("a%b%")), "a%%b%%");
  const char* text = "Index.HTML";
  EXPECT_EQ(FindNoCase(text, "html"), text + 6);
  EXPECT_EQ(FindNoCase(text, ""), nullptr);
  EXPECT_EQ(FindNoCase(text, "htmlx"), nullptr);
}

TEST(TextTest, LoadTextRingReusesTheFirstSlotOnTheSixthCall) {
  const char* first = LoadText(1444);
  EXPECT_STREQ(first, "Not Searched");
  for (int i = 0; i < 4; ++i) LoadText(1451);
  EXPECT_STREQ(first, "Not Searched");  // five texts may be held at once
  LoadText(1474);
  EXPECT_STREQ(first, "Hunt is Complete");
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

TEST(TextTest, StrICmpFoldsAsciiToLowerCase) {
  EXPECT_EQ(StrICmp("A.zip", "a.ZIP"), 0);
  EXPECT_LT(StrICmp("a.zip", "b.zip"), 0);
  // Folding to lower case puts "_" (0x5F) before letters.
  EXPECT_LT(StrICmp("_x", "A"), 0);
  EXPECT_LT(StrICmp("ab", "abc"), 0);
  EXPECT_GT(StrICmp("\xe9", "z"), 0);  // bytes above 127 compare unsigned
}

}  // namespace
