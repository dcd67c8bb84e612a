#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless_ui.h"
#include "unit/test_dir.h"

namespace {

class SettingsTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    g_settings = AppSettings{};
  }
  void TearDown() override {
    g_settings = AppSettings{};
    TempDirTest::TearDown();
  }
};

TEST_F(SettingsTest, MissingFileGivesFirstRunDefaults) {
  g_settings.exact = 0;
  g_settings.files = 7;
  g_settings.lastwarn = 300;
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(g_settings.format, 2);
  EXPECT_EQ(g_settings.sort, 1);
  EXPECT_EQ(g_settings.lastwarn, 0);
  EXPECT_EQ(g_settings.exact, 1);
  EXPECT_EQ(g_settings.files, 50);
  EXPECT_EQ(g_settings.packcount, 20);
  EXPECT_EQ(g_settings.port, 8080);
  EXPECT_EQ(g_settings.timeout, 2000);
  EXPECT_EQ(g_settings.next, 1);
  EXPECT_FALSE(g_settings.proxy);
  EXPECT_FALSE(g_settings.browser);
}

TEST_F(SettingsTest, KeysAreFoundAnywhereAndValueIsBehindFirstEquals) {
  WriteFile("torva.ini",
            "  port=3128\r\n"
            "exact=0\n"
            "proxy=a=b   \n"
            "; comment line\n"
            "xxnews=12\n"
            "upgradenew=7\n"
            "upgrade=3\n"
            "timeout=100000\n"
            "next=abc\n"
            "browser=C:\\Program Files\\b.exe\n"
            "browser=C:\\other.exe\n"
            "packcount= 5\n");
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(g_settings.port, 3128);
  EXPECT_EQ(g_settings.exact, 0);
  EXPECT_EQ(g_settings.files, 50);  // no files= line: stays
  EXPECT_EQ(g_settings.proxy, "a=b");
  EXPECT_EQ(g_settings.news, 12);
  EXPECT_EQ(g_settings.upgradenew, 7);
  EXPECT_EQ(g_settings.upgrade, 3);
  EXPECT_EQ(g_settings.timeout, 100000);
  EXPECT_EQ(g_settings.next, 0);                   // malformed number
  EXPECT_EQ(g_settings.browser, "C:\\other.exe");  // later line wins
  EXPECT_EQ(g_settings.packcount, 5);
  EXPECT_TRUE(ProxySet());
}

TEST_F(SettingsTest, FirstKeyInTestOrderDecidesTheLine) {
  // "format=" is tested before "browser=", so this line sets format (to
  // atoi of "C:\..." = 0) and leaves browser alone.
  WriteFile("torva.ini", "format=4\nbrowser=C:\\format=x\\b.exe\n");
  LoadSettings();
  EXPECT_EQ(g_settings.format, 0);
  EXPECT_FALSE(g_settings.browser);
}

TEST_F(SettingsTest, LongLineIsReadInPieces) {
  // A 3000-byte browser line: the first 2048 bytes are one line, the rest
  // another, in which a key is looked for again.
  const std::string tail(900, 'y');
  WriteFile("torva.ini", "browser=" + std::string(2040, 'x') + tail + " port=99\nfiles=3\n");
  LoadSettings();
  ASSERT_TRUE(g_settings.browser);
  EXPECT_EQ(*g_settings.browser, std::string(2040, 'x'));
  EXPECT_EQ(g_settings.port, 99);
  EXPECT_EQ(g_settings.files, 3);
}

TEST_F(SettingsTest, RoundTripIsByteExactInSaveOrder) {
  WriteFile("torva.ini",
            "newwin=1\n"
            "unknown=5\n"
            "proxy=\n"
            "browser=b.exe\n"
            "timeout=64000\n"
            "filename=C:\\p\\default.tvs\n"
            "packcount=7\n"
            "lastwarn=302\n");
  LoadSettings();
  EXPECT_FALSE(ProxySet());  // empty proxy: direct connections
  ASSERT_EQ(SaveSettings(), 1);
  EXPECT_EQ(ReadFile("torva.ini"),
            "packcount=7\n"
            "format=0\n"
            "filename=C:\\p\\default.tvs\n"
            "browser=b.exe\n"
            "proxy=\n"
            "port=8080\n"
            "sort=0\n"
            "lastwarn=302\n"
            "exact=1\n"
            "files=50\n"
            "news=0\n"
            "next=1\n"
            "upgrade=0\n"
            "upgradenew=0\n"
            "timeout=64000\n"
            "newwin=1\n");
  // Reading what was written gives the same file again.
  const std::string first = ReadFile("torva.ini");
  g_settings = AppSettings{};
  LoadSettings();
  SaveSettings();
  EXPECT_EQ(ReadFile("torva.ini"), first);
}

TEST_F(SettingsTest, SaveThatCannotCreateTheFileReportsIt) {
  std::filesystem::create_directory("torva.ini");
  platform::HeadlessUi rec;
  platform::SetUi(&rec);
  EXPECT_EQ(SaveSettings(), 0);
  platform::SetUi(nullptr);
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0], "box Error|Unable to open file 'torva.ini'|0");
}

TEST(SettingsNumbers, ReadLikeAtoiButClampOutOfRange) {
  EXPECT_EQ(TextToInt("  -45xyz"), -45);
  EXPECT_EQ(TextToInt("x1"), 0);
  EXPECT_EQ(TextToInt(nullptr), 0);
  EXPECT_EQ(TextToInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(TextToInt("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
