#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "results/store.h"
#include "unit/test_dir.h"

namespace {

class CatalogueTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    platform::SetUi(&ui_);
    FreeCatalogue();
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    FreeCatalogue();
    TempDirTest::TearDown();
  }
  static std::vector<std::string> NamesOf(int category) {
    std::vector<std::string> out;
    for (const SoftEntry& e : g_catalogue.lists[category]) out.push_back(e.name.value_or("?"));
    return out;
  }
  static std::string Entry(const std::string& name, int number) {
    return name + "<1>http://x/" + name + ".zip<2>1 MB<3>http://home/<4>1.0<5>http://rev/<6>" +
           std::to_string(number) + "\n";
  }
  platform::HeadlessUi ui_;
};

TEST_F(CatalogueTest, ModesSplitTheCategories) {
  WriteFile("soft.dat", "VERSION=2.10\n" + Entry("four", 4) + Entry("five", 5) +
                            "<1>http://x/noname.zip<2><3><4><5><6>6  \r\n" +  // empty name
                            Entry("one", 1) + Entry("three", 3) + "not an entry\n" +
                            "b<2>c<1>d<3>e<4>f<5>g<6>1\n" +  // markers out of order
                            Entry("two", 2) + Entry("zero", 0) + Entry("late", 4) +
                            "VERSION=2.11\n");
  LoadCatalogue(0);
  EXPECT_EQ(g_catalogue.mode, 0);
  EXPECT_EQ(NamesOf(0), (std::vector<std::string>{"four", "five", ""}));
  EXPECT_TRUE(g_catalogue.lists[1].empty());
  EXPECT_EQ(g_catalogue.version, "2.10");  // reading stopped at "one"
  const SoftEntry& four = g_catalogue.lists[0][0];
  EXPECT_EQ(four.download, "http://x/four.zip");
  EXPECT_EQ(four.size, "1 MB");
  EXPECT_EQ(four.home, "http://home/");
  EXPECT_EQ(four.version, "1.0");
  EXPECT_EQ(four.review, "http://rev/");
  EXPECT_EQ(g_catalogue.lists[0][2].size, "");

  LoadCatalogue(1);
  LoadCatalogue(1);  // loading again does not double the lists
  EXPECT_EQ(g_catalogue.mode, 1);
  EXPECT_EQ(NamesOf(0), (std::vector<std::string>{"four", "five", ""}));
  EXPECT_EQ(NamesOf(1), (std::vector<std::string>{"one", "three"}));
  EXPECT_EQ(NamesOf(2), (std::vector<std::string>{"two"}));
  EXPECT_EQ(NamesOf(3), (std::vector<std::string>{"zero"}));
  EXPECT_EQ(g_catalogue.version, "2.11");

  // Rows of a catalogue page: every entry with a name, the empty one too.
  g_result_rows = 0;
  EXPECT_EQ(FillCatalogueRows(1), 1);
  EXPECT_EQ(ui_.rows[platform::kResultsList].size(), 3u);
  EXPECT_EQ(g_result_rows, 3);
}

TEST_F(CatalogueTest, CategoryZeroMustComeFirst) {
  WriteFile("soft.dat", Entry("one", 1) + Entry("four", 4) + Entry("two", 2));
  LoadCatalogue(0);
  for (int c = 0; c < kCategoryCount; ++c) EXPECT_TRUE(g_catalogue.lists[c].empty());
  EXPECT_EQ(FillCatalogueRows(1), 0);
  LoadCatalogue(1);
  EXPECT_TRUE(g_catalogue.lists[0].empty());
  EXPECT_EQ(NamesOf(1), (std::vector<std::string>{"one"}));
  EXPECT_EQ(NamesOf(2), (std::vector<std::string>{"two"}));
}

TEST_F(CatalogueTest, LongLinesLoadWhole) {
  const std::string name(3000, 'n');
  WriteFile("soft.dat", Entry(name, 4) + Entry("next", 4));
  LoadCatalogue(0);
  ASSERT_EQ(g_catalogue.lists[0].size(), 2u);
  EXPECT_EQ(g_catalogue.lists[0][0].name, name);
  EXPECT_EQ(g_catalogue.lists[0][1].name, "next");
}

TEST_F(CatalogueTest, MissingFileLeavesTheCatalogueEmptyAndQuiet) {
  LoadCatalogue(0);
  LoadCatalogue(1);
  for (int c = 0; c < kCategoryCount; ++c) EXPECT_TRUE(g_catalogue.lists[c].empty());
  EXPECT_FALSE(g_catalogue.version.has_value());
  EXPECT_TRUE(ui_.log.empty());
}

TEST_F(CatalogueTest, ShippedCatalogueIsComplete) {
  WriteFile("soft.dat", ReadFile(std::string(TORVANE_SOURCE_DIR) + "/data/soft.dat"));
  LoadCatalogue(0);
  LoadCatalogue(1);
  ASSERT_TRUE(g_catalogue.version.has_value());
  std::size_t total = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    EXPECT_FALSE(g_catalogue.lists[c].empty()) << "category " << c;
    for (const SoftEntry& e : g_catalogue.lists[c]) {
      ++total;
      EXPECT_FALSE(e.name->empty());
      const std::string& download = *e.download;
      EXPECT_EQ(download.rfind("http", 0), 0u) << download;
      EXPECT_LT(download.rfind('/') + 1, download.size()) << download;  // has a file name
      EXPECT_EQ(e.home->rfind("http", 0), 0u) << *e.name;
      EXPECT_EQ(e.review->rfind("http", 0), 0u) << *e.name;
      EXPECT_FALSE(e.size->empty());
      EXPECT_FALSE(e.version->empty());
    }
  }
  EXPECT_GE(total, 40u);
}

}  // namespace
