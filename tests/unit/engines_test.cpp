#include "engines/engines.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless_ui.h"
#include "unit/test_dir.h"

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
};

TEST_F(EnginesTest, RecordsInFileOrderWithTheirKeys) {
  WriteFile("engines.dat",
            "; engines for the demo server\r\n"
            "REQ=http://before/first?q=$QUERY\r\n"
            "NAME=Alpha  \r\n"
            "REQ=http://a.example/s?q=$QUERY&max=$HITS&x=1  \r\n"
            "HOME=http://a.example/\r\n"
            "ENGINE=3\r\n"
            "ID=12\r\n"
            "\r\n"
            "NAME=Beta\n"
            "NAME=Gamma\n"
            "REQ=*http://g.example/?q=$QUERY\n"
            "ID=x7\n"
            "ENGINE=-2\n");
  EXPECT_EQ(LoadEngines(), 1);
  ASSERT_EQ(g_engines.size(), 3u);
  const EngineEntry& a = g_engines[0];
  EXPECT_EQ(a.name, "Alpha");
  EXPECT_EQ(a.request, "http://a.example/s?q=$QUERY&max=$HITS&x=1");
  EXPECT_EQ(a.home, "http://a.example/");
  EXPECT_EQ(a.engine_type, 3);
  EXPECT_EQ(a.id, 12);
  EXPECT_TRUE(EngineAvailable(a));
  // Two NAME= lines in a row: the first record has no request.
  EXPECT_EQ(g_engines[1].name, "Beta");
  EXPECT_FALSE(g_engines[1].request);
  EXPECT_FALSE(EngineAvailable(g_engines[1]));
  // A "*" template loads but marks the engine unavailable.
  EXPECT_EQ(g_engines[2].request, "*http://g.example/?q=$QUERY");
  EXPECT_FALSE(EngineAvailable(g_engines[2]));
  EXPECT_EQ(g_engines[2].id, 0);
  EXPECT_EQ(g_engines[2].engine_type, -2);
  EXPECT_EQ(FindEngineById(12), &g_engines[0]);
  EXPECT_EQ(FindEngineById(99), nullptr);
}

TEST_F(EnginesTest, KeysAreCaseSensitiveAtLineStartAndRepeatsReplace) {
  WriteFile("engines.dat",
            "NAME=One\n"
            "REQ=http://one/old\n"
            "name=Two\n"  // lower case: no new record
            " REQ=http://indented/\n"
            "REQ=http://one/new\n"
            "HOME=first\n"
            "HOME=second\n");
  EXPECT_EQ(LoadEngines(), 1);
  ASSERT_EQ(g_engines.size(), 1u);
  EXPECT_EQ(g_engines[0].request, "http://one/new");
  EXPECT_EQ(g_engines[0].home, "second");
}

TEST_F(EnginesTest, SecondLoadLeavesTheListAlone) {
  WriteFile("engines.dat", "NAME=One\nID=1\n");
  ASSERT_EQ(LoadEngines(), 1);
  const EngineEntry* first = &g_engines[0];
  WriteFile("engines.dat", "NAME=Other\nNAME=More\n");
  EXPECT_EQ(LoadEngines(), 0);
  ASSERT_EQ(g_engines.size(), 1u);
  EXPECT_EQ(&g_engines[0], first);
  EXPECT_EQ(g_engines[0].name, "One");
}

TEST_F(EnginesTest, MissingFileShowsErrorAndEmptyFileLoadsNothing) {
  platform::HeadlessUi rec;
  platform::SetUi(&rec);
  EXPECT_EQ(LoadEngines(), 0);
  WriteFile("engines.dat", "REQ=http://no/name\n");
  EXPECT_EQ(LoadEngines(), 0);
  platform::SetUi(nullptr);
  EXPECT_TRUE(g_engines.empty());
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0], "box Error|Unable to Load Engines File 'engines.dat'|0");
}

TEST_F(EnginesTest, OverlongLineKeepsItsFirstPieceAndTheNextRecordLoads) {
  // Lines are limited to 2048 bytes: the rest of a longer one is read as a
  // line of its own, which starts with no key and is skipped.
  const std::string req = "http://long/?q=" + std::string(3000, 'q');
  WriteFile("engines.dat", "NAME=Long\nREQ=" + req + "\nNAME=Next\nID=2\n");
  ASSERT_EQ(LoadEngines(), 1);
  ASSERT_EQ(g_engines.size(), 2u);
  EXPECT_EQ(g_engines[0].request, req.substr(0, 2044));
  EXPECT_EQ(g_engines[1].name, "Next");
  EXPECT_EQ(g_engines[1].id, 2);
}

TEST(EngineEntryTest, NewEntryIsZeroAndRecycledEntryIsCleared) {
  EngineEntry* fresh = NewEngineEntry(nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(fresh->name || fresh->home || fresh->request || fresh->query);
  EXPECT_EQ(fresh->id, 0);
  EngineEntry job;
  job.name = "n";
  job.query = "q";
  job.request_flags = 0x400;
  job.hits = 9;
  job.selected = 1;
  EXPECT_EQ(NewEngineEntry(&job), &job);
  EXPECT_FALSE(job.name || job.query);
  EXPECT_EQ(job.request_flags, 0u);
  EXPECT_EQ(job.hits, 0);
  EXPECT_EQ(job.selected, 0);
}

}  // namespace
