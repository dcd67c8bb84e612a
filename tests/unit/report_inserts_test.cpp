// search.idx: the line bound and what happens around the reading and
// writing. inserts_fuzz holds the section format and the running number on
// any file; the command-line report test the inserts in the pages.
#include "settings/report_inserts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
    platform::SetUi(&ui_);
    g_report_inserts = ReportInserts{};
    g_settings = AppSettings{};
  }
  void TearDown() override {
    platform::SetUi(nullptr);
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
  platform::HeadlessUi ui_;
};

TEST_F(ReportInsertsTest, TheLongestLineIsKeptAndALongerOneEndsTheReadingWithABox) {
  const std::string longest = std::string(kLineLimit, 'L') + "\r\n";
  // The tail of the longer line would close its section.
  Load("%%*00\nzero\n|\n%%*01\n" + longest + "|\n%%*02\n" + std::string(kLineLimit + 1, 'L') +
       "|\n%%*03\nthree\n|\n");
  EXPECT_EQ(Section(0) + Section(1) + Section(2) + Section(3), "zero\n" + longest + "<none><none>");
  EXPECT_EQ(ui_.log, std::vector<std::string>{"box Error|Line 8 of 'search.idx' is longer than "
                                              "2048 bytes. The file was read up to the line "
                                              "before it.|0"});
}

TEST_F(ReportInsertsTest, NothingIsWrittenUnloadedOrIntoAFailedFileAndAMissingFileKeepsAll) {
  constexpr int kNext = 4;
  g_settings.next = kNext;
  {
    FileWriter f("out.htm");
    EXPECT_EQ(WriteReportInsert(f, 0), 0);  // the table was never loaded
  }
  EXPECT_EQ(ReadFile("out.htm"), "");
  Load("%%*00\n$COUNT\n|\n");
  FileWriter failed(std::string("no-such-dir") + kPathSep + "out.htm");
  EXPECT_EQ(WriteReportInsert(failed, 0), 0);
  EXPECT_EQ(g_settings.next, kNext);
  std::filesystem::remove("search.idx");
  EXPECT_EQ(LoadReportInserts(), 0);
  EXPECT_EQ(Section(0), "$COUNT\n");
}

}  // namespace
