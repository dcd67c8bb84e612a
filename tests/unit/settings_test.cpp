// torva.ini: how lines are read and values held in range. That any file
// survives load, save, load as SettingsText() is settings_fuzz's property.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "unit/test_dir.h"
#include "util/text.h"

namespace {

using Lines = std::vector<std::string>;

class SettingsTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    g_settings = AppSettings{};
    platform::SetUi(&ui_);
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    g_settings = AppSettings{};
    TempDirTest::TearDown();
  }
  // Loads ini as torva.ini and gives what a save would write.
  static std::string Loaded(const std::string& ini) {
    g_settings = AppSettings{};
    WriteFile("torva.ini", ini);
    EXPECT_EQ(LoadSettings(), 1);
    return SettingsText();
  }
  platform::HeadlessUi ui_;
};

TEST_F(SettingsTest, MissingFileGivesFirstRunDefaults) {
  g_settings.exact = 0;
  g_settings.files = 7;
  g_settings.lastwarn = 300;
  EXPECT_EQ(LoadSettings(), 1);
  EXPECT_EQ(SettingsText(),
            "packcount=20\nformat=2\nport=8080\nsort=1\nlastwarn=0\nexact=1\nfiles=50\nnews=0\n"
            "next=1\nupgrade=0\nupgradenew=0\ntimeout=2000\nnewwin=0\n");
}

TEST_F(SettingsTest, KeysAreFoundAnywhereAndTheFirstKeyInTestOrderDecides) {
  EXPECT_EQ(Loaded("  port=3128\r\n"
                   "exact=0\n"
                   "proxy=a=b   \n"  // the value is behind the first "="
                   "; comment line\n"
                   "xxnews=12\n"
                   "upgradenew=7\n"
                   "upgrade=3\n"
                   "timeout=3000\n"
                   "next=abc\n"  // malformed number: 0
                   "filename=C:\\p\\default.tvs\n"
                   "browser=C:\\Program Files\\b.exe\n"
                   "browser=C:\\other.exe\n"  // later line wins
                   "packcount= 5\n"
                   "format=4\n"
                   // "format=" is tested before "browser=": this sets format to 0.
                   "browser=C:\\format=x\\b.exe\n"),
            "packcount=5\nformat=0\nfilename=C:\\p\\default.tvs\nbrowser=C:\\other.exe\n"
            "proxy=a=b\nport=3128\nsort=0\nlastwarn=0\nexact=0\nfiles=50\nnews=12\nnext=0\n"
            "upgrade=3\nupgradenew=7\ntimeout=3000\nnewwin=0\n");
  EXPECT_TRUE(ProxySet());
  Loaded("proxy=\n");
  EXPECT_FALSE(ProxySet());  // an empty proxy: direct connections
}

TEST_F(SettingsTest, ALineOverTheBoundEndsTheReadingWithABox) {
  // A browser path of 2048 characters, as the Preferences dialog takes it,
  // fits; the second browser line is too long, and its tail, which would
  // read as a port, is never looked at.
  Loaded("files=3\nbrowser=" + std::string(kLineLimit, 'x') +
         "\nbrowser=" + std::string(2940, 'y') + " port=99\nexact=0\n");
  EXPECT_EQ(g_settings.browser, std::string(kLineLimit, 'x'));
  EXPECT_EQ(g_settings.port, kDefaultProxyPort);
  EXPECT_EQ(g_settings.files, 3);
  EXPECT_EQ(g_settings.exact, 1);
  EXPECT_EQ(ui_.log, Lines{"box Error|Line 3 of 'torva.ini' is longer than 2064 bytes. The file "
                           "was read up to the line before it.|0"});
}

TEST_F(SettingsTest, ValuesAreHeldToTheRangesTheProgramCanUse) {
  const struct {
    const char* line;
    const char* saved;
  } cases[] = {
      // A port outside 1-65535 falls back to the default, not cut to 16 bits.
      {"port=85036", "port=8080"},
      {"port=0", "port=8080"},
      {"port=65535", "port=65535"},
      // The Preferences dialog's ranges, and no tick shorter than 100 ms.
      {"timeout=4294967296", "timeout=64000"},
      {"timeout=99", "timeout=100"},
      {"timeout=100", "timeout=100"},
      {"packcount=21", "packcount=20"},
      {"packcount=-3", "packcount=1"},
      {"packcount=1", "packcount=1"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(("\n" + Loaded(std::string(c.line) + "\n")).find("\n" + std::string(c.saved) + "\n"),
              std::string::npos)
        << c.line;
  }
  EXPECT_EQ(TextToInt("  -45xyz"), -45);
  EXPECT_EQ(TextToInt("x1"), 0);
  EXPECT_EQ(TextToInt("99999999999999999999"), std::numeric_limits<int>::max());
  EXPECT_EQ(TextToInt("-99999999999999999999"), std::numeric_limits<int>::min());
}

TEST_F(SettingsTest, SaveThatCannotCreateOrWriteTheFileReportsIt) {
  std::filesystem::create_directory("torva.ini");
  EXPECT_EQ(SaveSettings(), 0);
  std::size_t boxes = 1;
#ifdef __linux__
  // A full disk shows only when the file is flushed.
  std::filesystem::remove("torva.ini");
  std::filesystem::create_symlink("/dev/full", "torva.ini");
  EXPECT_EQ(SaveSettings(), 0);
  ++boxes;
#endif
  EXPECT_EQ(ui_.log, Lines(boxes, "box Error|Unable to open file 'torva.ini'|0"));
}

}  // namespace
