// engines.dat: availability, the line bound, and a recycled job record.
// engines_fuzz holds the record format on any file; the command-line
// request test a missing file and look-ups by ID.
#include "engines/engines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "unit/test_dir.h"
#include "util/text.h"

namespace {

using Lines = std::vector<std::string>;

class EnginesTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    platform::SetUi(&ui_);
    g_engines.clear();
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    g_engines.clear();
    TempDirTest::TearDown();
  }
  // Every loaded record as "name|request|available".
  static Lines Loaded() {
    Lines out;
    for (const EngineEntry& e : g_engines) {
      out.push_back(e.name.value_or("-") + "|" + e.request.value_or("-") + "|" +
                    (EngineAvailable(e) ? "on" : "off"));
    }
    return out;
  }
  platform::HeadlessUi ui_;
};

TEST_F(EnginesTest, OnlyAUsableTemplateMakesAnEngineAvailable) {
  // A line of exactly 2048 bytes is read whole.
  const std::string long_request = "http://long/?q=" + std::string(kLineLimit - 19, 'q');
  WriteFile("engines.dat",
            "NAME=Alpha  \r\nREQ=http://a/?q=$QUERY  \r\nNAME=None\nNAME=Empty\nREQ=\n"
            "NAME=Retired\nREQ=*http://r/?q=$QUERY\nNAME=Long\nREQ=" +
                long_request + "\n");
  EXPECT_EQ(LoadEngines(), 1);
  EXPECT_EQ(Loaded(), (Lines{"Alpha|http://a/?q=$QUERY|on", "None|-|off", "Empty||off",
                             "Retired|*http://r/?q=$QUERY|off", "Long|" + long_request + "|on"}));
  EXPECT_TRUE(ui_.log.empty());
}

TEST_F(EnginesTest, ALineOverTheBoundEndsTheReadingWithABox) {
  // The tail of the long NAME= line, past the first 2048 bytes, reads like
  // a request line: it must not become one.
  WriteFile("engines.dat", "NAME=A\nREQ=http://a/\nNAME=" + std::string(2043, 'n') +
                               "REQ=http://evil/\nID=5\nNAME=C\n");
  EXPECT_EQ(LoadEngines(), 1);
  EXPECT_EQ(Loaded(), Lines{"A|http://a/|on"});
  EXPECT_EQ(ui_.log, Lines{"box Error|Line 3 of 'engines.dat' is longer than 2048 bytes. The file "
                           "was read up to the line before it.|0"});
}

TEST(EngineEntryTest, NewEntryIsZeroAndRecycledEntryIsCleared) {
  EngineEntry* fresh = NewEngineEntry(nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(fresh->name || fresh->home || fresh->request || fresh->query || fresh->id);
  EngineEntry job;
  job.name = "n";
  job.query = "q";
  job.request_flags = 0x400;
  job.hits = 9;
  job.selected = 1;
  EXPECT_EQ(NewEngineEntry(&job), &job);
  EXPECT_FALSE(job.name || job.query || job.request_flags || job.hits || job.selected);
}

}  // namespace
