#include "settings/report_inserts.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless_ui.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"

namespace {

class ReportInsertsTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    g_report_inserts = ReportInserts{};
    g_settings = AppSettings{};
  }
  void TearDown() override {
    g_report_inserts = ReportInserts{};
    g_settings = AppSettings{};
    TempDirTest::TearDown();
  }
  static void Load(const std::string& idx) {
    WriteFile("search.idx", idx);
    EXPECT_EQ(LoadReportInserts(), 1);
  }
  static std::string Section(int n) {
    const std::string* t = ReportInsertText(n);
    return t ? *t : std::string("<none>");
  }
  // What WriteReportInsert puts in a file, and its result.
  static std::string Written(int section, int* result = nullptr) {
    FileWriter f("out.htm");
    const int r = WriteReportInsert(f, section);
    EXPECT_TRUE(f.Close());
    if (result) *result = r;
    return ReadFile("out.htm");
  }
};

TEST_F(ReportInsertsTest, SectionsKeepEveryByteOfTheirLines) {
  std::string body;  // grows the text well past one line buffer
  for (int i = 0; i < 30; ++i) body += std::string(150, static_cast<char>('a' + i % 26)) + "\n";
  const std::string longline = std::string(kLineLimit, 'L') + "\r\n";  // the longest line read
  Load(
      "outside text\n"
      "<!-- %%*00 -->   \r\n<p>one</p>\r\n  <p>two</p>  \n|\n"
      "%%-01\nskipped: only * and $ mark a section\n|\n"
      "%%$02\nread\n|\n"
      "%%*07\nout of range\n|\n"
      "%%#01\nunknown marker\n|\n"
      "%%*03\n" +
      body + longline + "| end\n");
  EXPECT_EQ(Section(0), "<p>one</p>\r\n  <p>two</p>  \n");
  EXPECT_EQ(Section(1), "<none>");
  EXPECT_EQ(Section(2), "read\n");
  EXPECT_EQ(Section(3), body + longline);
}

TEST_F(ReportInsertsTest, UnclosedSectionIsDroppedAndMissingFileKeepsAll) {
  Load("%%*00\nold zero\n|\n%%*01\nold one\n|\n");
  // A new file that names section 0 without closing it, and only section 0.
  Load("%%*00\nnew zero\nnever closed\n");
  EXPECT_EQ(Section(0), "<none>");
  EXPECT_EQ(Section(1), "old one\n");  // not in the new file: kept
  std::filesystem::remove("search.idx");
  EXPECT_EQ(LoadReportInserts(), 0);
  EXPECT_EQ(Section(1), "old one\n");
}

TEST_F(ReportInsertsTest, ALineOverTheBoundEndsTheReadingWithABox) {
  platform::HeadlessUi rec;
  platform::SetUi(&rec);
  // The tail of the long line would close the section and open another.
  Load("%%*00\nzero\n|\n%%*01\n" + std::string(2048, 'L') + "|\n%%*02\ntwo\n|\n");
  platform::SetUi(nullptr);
  EXPECT_EQ(Section(0) + Section(1) + Section(2), "zero\n<none><none>");
  EXPECT_EQ(rec.log, std::vector<std::string>{"box Error|Line 5 of 'search.idx' is longer than "
                                              "2048 bytes. The file was read up to the line "
                                              "before it.|0"});
}

TEST_F(ReportInsertsTest, CountIsReplacedEverywhereAndAdvancesOnlyWhenWritten) {
  int result = -1;
  g_settings.next = 4;
  EXPECT_EQ(Written(0, &result), "");  // table never loaded
  EXPECT_EQ(result, 0);
  Load("%%*00\n<b>$COUNT</b> and $COUNT$COUNT\n|\n%%*01\n|\n");
  for (int section : {1, -1, 4}) EXPECT_EQ(Written(section), "") << section;  // empty, no such
  FileWriter failed(std::string("no-such-dir") + kPathSep + "out.htm");
  EXPECT_EQ(WriteReportInsert(failed, 0), 0);
  EXPECT_EQ(g_settings.next, 4);

  EXPECT_EQ(Written(0, &result), "<b>4</b> and 44\n\n");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(g_settings.next, 5);
  EXPECT_EQ(Section(0), "<b>$COUNT</b> and $COUNT$COUNT\n");  // the table keeps the original
  g_settings.next = 99;
  EXPECT_EQ(Written(0), "<b>99</b> and 9999\n\n");
  EXPECT_EQ(g_settings.next, 1);
  g_settings.next = 150;  // out of range in torva.ini: starts again too
  Written(0);
  EXPECT_EQ(g_settings.next, 1);
}

}  // namespace
