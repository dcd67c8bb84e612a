#include "reports/page_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engines/engines.h"
#include "platform/headless_ui.h"
#include "unit/test_dir.h"
#include "util/file.h"

namespace {

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
  static std::string Page(int id) {
    return ReadFile(std::string("reports") + kPathSep + std::to_string(id) + ".htm");
  }

  platform::HeadlessUi ui_;
  EngineEntry engine_;
};

TEST_F(PageCaptureTest, MessagePageWrapsTheMessageUnderTheEngineName) {
  ASSERT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 1);
  EXPECT_EQ(Page(7),
            "<HTML><HEAD><TITLE>Alpha Search - Search Results</TITLE></HEAD>"
            "<BODY>Not Searched</BODY></HTML>\n");
  // A whole HTTP answer as the message keeps only what follows its header.
  ASSERT_EQ(SaveEngineMessagePage(&engine_, "HTTP/1.0 500 Oops\r\nServer: x\r\n\r\n<p>down</p>"),
            1);
  EXPECT_EQ(Page(7), "<p>down</p></BODY></HTML>\n");
  EXPECT_TRUE(ui_.log.empty());
}

TEST_F(PageCaptureTest, LongMessagePageIsCutAt2048Characters) {
  ASSERT_EQ(SaveEngineMessagePage(&engine_, std::string(3000, 'm')), 1);
  const std::string page = Page(7);
  ASSERT_EQ(page.size(), 2048u);
  const std::string head = "<HTML><HEAD><TITLE>Alpha Search - Search Results</TITLE></HEAD><BODY>";
  EXPECT_EQ(page.substr(0, head.size()), head);
  EXPECT_EQ(page.back(), 'm');
}

TEST_F(PageCaptureTest, AnswerKeepsOnlyItsBody) {
  ASSERT_EQ(SaveEnginePage(std::string("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                       "<html>x</html>"),
                           &engine_),
            1);
  EXPECT_EQ(Page(7), "<html>x</html>");

  // Nothing behind the empty line: the answer is saved whole.
  const std::string bare = "HTTP/1.0 204 No Content\r\nServer: y\r\n\r\n";
  ASSERT_EQ(SaveEnginePage(bare, &engine_), 1);
  EXPECT_EQ(Page(7), bare);

  // No header end at all: unchanged, line ends included.
  ASSERT_EQ(SaveEnginePage(std::string("<p>a</p>\r\n<p>b</p>\n"), &engine_), 1);
  EXPECT_EQ(Page(7), "<p>a</p>\r\n<p>b</p>\n");
}

TEST_F(PageCaptureTest, WritesExactlyTheGivenBytesNulIncluded) {
  const char raw[] = "HTTP/1.0 200 OK\r\n\r\nab\0cd\0\r\n\r\nef";
  const std::size_t len = sizeof raw - 1;
  ASSERT_EQ(SaveEnginePage(raw, len, &engine_), 1);
  EXPECT_EQ(Page(7), std::string("ab\0cd\0\r\n\r\nef", 12));

  // Only the first len bytes count, even when more follow in memory.
  ASSERT_EQ(SaveEnginePage("abcdef", 3, &engine_), 1);
  EXPECT_EQ(Page(7), "abc");
  // A header end that starts inside the length but runs past it is no header end.
  ASSERT_EQ(SaveEnginePage("ab\r\n\r\ncd", 5, &engine_), 1);
  EXPECT_EQ(Page(7), "ab\r\n\r");
}

TEST_F(PageCaptureTest, NullArgumentsWriteNothing) {
  EXPECT_EQ(SaveEnginePage(nullptr, 0, &engine_), 0);
  EXPECT_EQ(SaveEnginePage("x", 1, nullptr), 0);
  EXPECT_EQ(SaveEngineMessagePage(nullptr, "Not Searched"), 0);
  EXPECT_EQ(SaveEngineMessagePage(&engine_, nullptr), 0);
  EXPECT_FALSE(std::filesystem::exists(std::string("reports") + kPathSep + "7.htm"));
  EXPECT_TRUE(ui_.log.empty());
}

TEST_F(PageCaptureTest, EnginesSharingAnIdShareOnePageAndTheLastWriteWins) {
  EngineEntry other;
  other.id = 7;
  other.name = "Beta";
  ASSERT_EQ(SaveEngineMessagePage(&engine_, "Connect Timeout"), 1);
  ASSERT_EQ(SaveEngineMessagePage(&other, "Host Not Found"), 1);
  EXPECT_EQ(Page(7),
            "<HTML><HEAD><TITLE>Beta - Search Results</TITLE></HEAD>"
            "<BODY>Host Not Found</BODY></HTML>\n");
}

TEST_F(PageCaptureTest, MissingReportsDirectoryShowsAnErrorForEveryWrite) {
  std::filesystem::remove("reports");
  EXPECT_EQ(SaveEngineMessagePage(&engine_, "Not Searched"), 0);
  EXPECT_EQ(SaveEnginePage(std::string("<html></html>"), &engine_), 0);
  ASSERT_EQ(ui_.log.size(), 2u);
  EXPECT_EQ(ui_.log[0], "box Error|Unable to write report file|0");
  EXPECT_EQ(ui_.log[1], ui_.log[0]);
  EXPECT_FALSE(std::filesystem::exists("reports"));
}

}  // namespace
