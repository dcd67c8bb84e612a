// Engine pages (reports/ID.htm): what of an answer or message is kept, and
// failures. The Hunt tests see a captured page whole, NUL bytes and all.
#include "reports/page_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "platform/headless_ui.h"
#include "unit/test_dir.h"
#include "util/file.h"

namespace {

const std::string kTitled = "<HTML><HEAD><TITLE>Alpha Search - Search Results</TITLE></HEAD><BODY>";

class PageCaptureTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory("reports");
    platform::SetUi(&ui_);
    engine_.id = 7;
    engine_.name = "Alpha Search";
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    TempDirTest::TearDown();
  }
  static std::string Page() { return ReadFile(std::string("reports") + kPathSep + "7.htm"); }

  platform::HeadlessUi ui_;
  EngineEntry engine_;
};

TEST_F(PageCaptureTest, PagesAreWrittenByteForByte) {
  const struct {
    bool message;  // through SaveEngineMessagePage
    std::string text;
    std::size_t len;  // bytes of text that count
    std::string page;
  } cases[] = {
      {true, "Not Searched", 12, kTitled + "Not Searched</BODY></HTML>\n"},
      // A whole HTTP answer as the message keeps only what follows its header.
      {true, "HTTP/1.0 500 Oops\r\nServer: x\r\n\r\n<p>down</p>", 0, "<p>down</p></BODY></HTML>\n"},
      // Nothing behind the empty line: saved whole; no header end: unchanged.
      {false, "HTTP/1.0 204 No Content\r\n\r\n", 0, "HTTP/1.0 204 No Content\r\n\r\n"},
      {false, "<p>a</p>\r\n<p>b</p>\n", 0, "<p>a</p>\r\n<p>b</p>\n"},
      // Only the first len bytes count, even when more follow in memory; a
      // header end that runs past them is no header end.
      {false, "abcdef", 3, "abc"},
      {false, "ab\r\n\r\ncd", 5, "ab\r\n\r"},
  };
  for (const auto& c : cases) {
    const int saved = c.message ? SaveEngineMessagePage(&engine_, c.text)
                      : c.len   ? SaveEnginePage(c.text.data(), c.len, &engine_)
                                : SaveEnginePage(c.text, &engine_);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(Page(), c.page) << c.text;
  }
  // A long message page is cut at the limit.
  ASSERT_EQ(SaveEngineMessagePage(&engine_, std::string(kMessagePageLimit + 1, 'm')), 1);
  EXPECT_EQ(Page(), kTitled + std::string(kMessagePageLimit - kTitled.size(), 'm'));
  EXPECT_TRUE(ui_.log.empty());
}

TEST_F(PageCaptureTest, HeldPagesWaitInMemoryAndTheLastOneIsWritten) {
  ASSERT_EQ(SaveEnginePage(std::string("before"), &engine_), 1);
  HoldEnginePages();
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 1);
  EXPECT_EQ(SaveEnginePage(std::string("HTTP/1.0 200 OK\r\n\r\nfirst"), &engine_), 1);
  EXPECT_EQ(SaveEnginePage(std::string("HTTP/1.0 200 OK\r\n\r\nlast"), &engine_), 1);
  EXPECT_EQ(Page(), "before");
  EXPECT_EQ(WriteHeldEnginePages(), 1);
  EXPECT_EQ(Page(), "last");
  // Still holding; a page that can't be written shows its box at the write.
  std::filesystem::remove_all("reports");
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 1);
  EXPECT_TRUE(ui_.log.empty());
  EXPECT_EQ(ReleaseEnginePages(), 0);
  EXPECT_EQ(ui_.log, std::vector<std::string>{"box Error|Unable to write report file|0"});
  // Released: written at once again.
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 0);
  EXPECT_EQ(ui_.log.size(), 2u);
}

TEST_F(PageCaptureTest, FailuresAreShown) {
  // A missing reports directory shows an error for every write.
  std::filesystem::remove("reports");
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 0);
  EXPECT_EQ(SaveEnginePage(std::string("<html></html>"), &engine_), 0);
  EXPECT_FALSE(std::filesystem::exists("reports"));
  std::size_t boxes = 2;
#ifdef __linux__
  // A page that can't be written whole (a full disk) is not saved either.
  std::filesystem::create_directory("reports");
  std::filesystem::create_symlink("/dev/full", std::string("reports") + kPathSep + "7.htm");
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 0);
  ++boxes;
#endif
  EXPECT_EQ(ui_.log, std::vector<std::string>(boxes, "box Error|Unable to write report file|0"));
}

}  // namespace
