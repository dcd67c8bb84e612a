#include "engines/engines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "unit/test_dir.h"
#include "util/text.h"

namespace {

class EnginesTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    g_engines.clear();
  }
  void TearDown() override {
    g_engines.clear();
    TempDirTest::TearDown();
  }
  // Every loaded record as "name|request|home|type|id|available".
  static std::vector<std::string> Loaded() {
    std::vector<std::string> out;
    for (const EngineEntry& e : g_engines) {
      out.push_back(e.name.value_or("-") + "|" + e.request.value_or("-") + "|" +
                    e.home.value_or("-") + "|" + std::to_string(e.engine_type) + "|" +
                    std::to_string(e.id) + "|" + (EngineAvailable(e) ? "on" : "off"));
    }
    return out;
  }
};

TEST_F(EnginesTest, RecordsInFileOrderWithTheirKeys) {
  WriteFile("engines.dat",
            "; engines for the demo server\r\n"
            "REQ=http://before/first?q=$QUERY\r\n"  // before any NAME=: dropped
            "NAME=Alpha  \r\n"
            "REQ=http://a.example/s?q=$QUERY&max=$HITS&x=1  \r\n"
            "HOME=http://a.example/\r\n"
            "ENGINE=3\r\n"
            "ID=12\r\n"
            "\r\n"
            "NAME=Beta\n"  // two NAME= lines in a row: no request
            "NAME=Gamma\n"
            "REQ=http://g.example/old\n"
            "REQ=*http://g.example/?q=$QUERY\n"  // loads, but unavailable
            "ID=x7\n"
            "ENGINE=-2\n"
            "name=Lower\n"  // keys are case-sensitive, at the line start
            " REQ=http://indented/\n"
            "HOME=first\n"
            "HOME=second\n"  // repeats replace
            "NAME=Long\n"
            // A line of exactly 2048 bytes is read whole.
            "REQ=http://long/?q=" +
                std::string(kLineLimit - 19, 'q') + "\nNAME=Next\nID=2\n");
  EXPECT_EQ(LoadEngines(), 1);
  EXPECT_EQ(Loaded(),
            (std::vector<std::string>{
                "Alpha|http://a.example/s?q=$QUERY&max=$HITS&x=1|http://a.example/|3|12|on",
                "Beta|-|-|0|0|off", "Gamma|*http://g.example/?q=$QUERY|second|-2|0|off",
                "Long|http://long/?q=" + std::string(kLineLimit - 19, 'q') + "|-|0|0|on",
                "Next|-|-|0|2|off"}));
  EXPECT_EQ(FindEngineById(12), &g_engines[0]);
  EXPECT_EQ(FindEngineById(99), nullptr);
}

TEST_F(EnginesTest, ALineOverTheBoundEndsTheReadingWithABox) {
  platform::HeadlessUi rec;
  platform::SetUi(&rec);
  // The tail of the long NAME= line, past the first 2048 bytes, reads like
  // a request line: it must not become one.
  WriteFile("engines.dat", "NAME=A\nREQ=http://a/\nNAME=" + std::string(2043, 'n') +
                               "REQ=http://evil/\nID=5\nNAME=C\n");
  EXPECT_EQ(LoadEngines(), 1);
  platform::SetUi(nullptr);
  EXPECT_EQ(Loaded(), std::vector<std::string>{"A|http://a/|-|0|0|on"});
  EXPECT_EQ(rec.log, std::vector<std::string>{"box Error|Line 3 of 'engines.dat' is longer than "
                                              "2048 bytes. The file was read up to the line "
                                              "before it.|0"});
}

TEST_F(EnginesTest, SecondLoadLeavesTheListAlone) {
  WriteFile("engines.dat", "NAME=One\nID=1\n");
  ASSERT_EQ(LoadEngines(), 1);
  const EngineEntry* first = &g_engines[0];
  WriteFile("engines.dat", "NAME=Other\nNAME=More\n");
  EXPECT_EQ(LoadEngines(), 0);
  EXPECT_EQ(Loaded(), std::vector<std::string>{"One|-|-|0|1|off"});
  EXPECT_EQ(&g_engines[0], first);
}

TEST_F(EnginesTest, MissingFileShowsErrorAndEmptyFileLoadsNothing) {
  platform::HeadlessUi rec;
  platform::SetUi(&rec);
  EXPECT_EQ(LoadEngines(), 0);
  WriteFile("engines.dat", "REQ=http://no/name\n");
  EXPECT_EQ(LoadEngines(), 0);
  platform::SetUi(nullptr);
  EXPECT_TRUE(g_engines.empty());
  EXPECT_EQ(rec.log,
            std::vector<std::string>{"box Error|Unable to Load Engines File 'engines.dat'|0"});
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
