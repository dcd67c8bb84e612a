// soft.dat: the categories its numbers name, the line bound and the file
// that ships. catalogue_fuzz holds the format itself (markers, modes,
// loading again) on any file.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "results/store.h"
#include "unit/test_dir.h"
#include "util/text.h"

namespace {

using Names = std::vector<std::string>;

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
  static Names NamesOf(int category) {
    Names out;
    for (const SoftEntry& e : g_catalogue.lists[category]) out.push_back(e.name.value_or("?"));
    return out;
  }
  static std::string Entry(const std::string& name, int number) {
    return name + "<1>http://x/" + name + ".zip<2>1 MB<3>http://home/<4>1.0<5>http://rev/<6>" +
           std::to_string(number) + "\n";
  }
  platform::HeadlessUi ui_;
};

TEST_F(CatalogueTest, NumbersNameTheCategoriesAndCategoryZeroComesFirst) {
  LoadCatalogue(0);  // no file: nothing, quietly
  EXPECT_TRUE(ui_.log.empty());
  // The name stands twice in its line, which is then exactly 2048 bytes,
  // the bound, and loads whole.
  const std::string long_name((kLineLimit - (Entry("", 4).size() - 1)) / 2, 'n');
  WriteFile("soft.dat", "VERSION=2.10\n" + Entry(long_name, 4) + Entry("five", 5) +
                            "<1>http://x/noname.zip<2><3><4><5><6>6  \r\n" + Entry("one", 1) +
                            Entry("three", 3) + Entry("two", 2) + Entry("zero", 0) +
                            Entry("late", 4) + "VERSION=2.11\n");
  LoadCatalogue(0);
  EXPECT_EQ(NamesOf(0), (Names{long_name, "five", ""}));
  EXPECT_EQ(g_catalogue.version, "2.10");  // reading stopped at "one"
  LoadCatalogue(1);
  EXPECT_EQ(NamesOf(1), (Names{"one", "three"}));
  EXPECT_EQ(NamesOf(2), (Names{"two"}));
  EXPECT_EQ(NamesOf(3), (Names{"zero"}));
  // Rows of a catalogue page: every entry with a name, the empty one too.
  g_result_rows = 0;
  EXPECT_EQ(FillCatalogueRows(1), 1);
  EXPECT_EQ(g_result_rows, 3);
  EXPECT_EQ(ui_.rows[IDC_RESULTS_LIST].size(), 3u);
}

TEST_F(CatalogueTest, ALineOverTheBoundEndsTheReadingWithABox) {
  WriteFile("soft.dat", Entry("a", 4) + Entry(std::string(3000, 'n'), 4) + Entry("b", 4));
  LoadCatalogue(0);
  EXPECT_EQ(NamesOf(0), Names{"a"});
  EXPECT_EQ(ui_.log.back(),
            "box Error|Line 2 of 'soft.dat' is longer than 2048 bytes. The file was read up to "
            "the line before it.|0");
}

TEST(SelectedFileNames, WholeNamesWithinTheFieldAndTheCount) {
  SoftEntry plain, bare, none, path;
  plain.download = "http://h/d/tool.zip";
  bare.download = "setup.exe";      // no "/": the whole address
  path.download = "http://h/dir/";  // ends in "/": an empty name
  const std::vector<const SoftEntry*> three{&plain, &bare, &none};
  // Entries without a file name add no empty term.
  EXPECT_EQ(JoinFileNames(three, kLineLimit - 1), "tool.zip,setup.exe");
  EXPECT_EQ(JoinFileNames({&path, &none, &plain}, kLineLimit - 1), "tool.zip");
  // The limit keeps whole names only: 8 + 1 + 9 = 18 fits, a third does not.
  EXPECT_EQ(JoinFileNames({&plain, &bare, &plain}, 18), "tool.zip,setup.exe");
  EXPECT_EQ(JoinFileNames({&plain}, 7), "");
  // Never more than 102 names, however many are selected.
  const std::vector<const SoftEntry*> many(150, &bare);
  const std::string joined = JoinFileNames(many, kLineLimit - 1);
  EXPECT_EQ(std::count(joined.begin(), joined.end(), ','), 101);
  // 200 long names stop where the field ends.
  SoftEntry long_name;
  long_name.download = "http://h/" + std::string(60, 'x');
  const std::string cut = JoinFileNames(std::vector<const SoftEntry*>(200, &long_name), 2047);
  EXPECT_EQ(cut.size(), 33u * 61 - 1);
}

TEST_F(CatalogueTest, ShippedCatalogueIsComplete) {
  constexpr std::size_t kShippedEntries = 40;  // at least
  WriteFile("soft.dat", ReadFile(std::string(TORVANE_SOURCE_DIR) + "/data/soft.dat"));
  LoadCatalogue(0);
  LoadCatalogue(1);
  ASSERT_TRUE(g_catalogue.version.has_value());
  std::size_t total = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    EXPECT_FALSE(g_catalogue.lists[c].empty()) << "category " << c;
    for (const SoftEntry& e : g_catalogue.lists[c]) {
      ++total;
      EXPECT_FALSE(e.name->empty() || e.size->empty() || e.version->empty());
      // Real addresses, and a download that names its file.
      for (const std::string* url : {&*e.download, &*e.home, &*e.review}) {
        EXPECT_EQ(url->rfind("http", 0), 0u) << *e.name << ": " << *url;
      }
      EXPECT_LT(e.download->rfind('/') + 1, e.download->size()) << *e.download;
    }
  }
  EXPECT_GE(total, kShippedEntries);
}

}  // namespace
