#include "update/version_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "platform/headless_ui.h"
#include "settings/settings.h"

namespace {

using BoxList = std::vector<std::string>;

class VersionIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetUi(&ui_);
    g_settings = AppSettings{};
    g_version_index = VersionIndex{};
    g_catalogue.version.reset();
    g_hunt.run_kind = kRunHunt;
    g_hunt.vendor_replies = 0;
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    g_hunt.run_kind = kRunHunt;
    g_catalogue.version.reset();
  }
  // The message boxes shown, as "caption|text".
  BoxList Boxes() const {
    BoxList out;
    for (const auto& line : ui_.log) {
      if (line.rfind("box ", 0) != 0) continue;
      std::string rest = line.substr(4);
      out.push_back(rest.substr(0, rest.rfind('|')));
    }
    return out;
  }
  // g_version_index as "version|build|build url|database|database url".
  static std::string Announced() {
    const VersionIndex& v = g_version_index;
    return std::to_string(v.latest_version) + "|" + std::to_string(v.latest_build) + "|" +
           v.build_url.value_or("-") + "|" + v.soft_version.value_or("-") + "|" +
           v.soft_url.value_or("-");
  }
  platform::HeadlessUi ui_;
};

TEST_F(VersionIndexTest, NewsOnlyWhenNewer) {
  g_settings.news = 4;
  const char* index = "HTTP/1.0 200 OK\r\n\r\n#NEWS=5,New engines added;\r\n";
  EXPECT_EQ(ParseVersionIndex(index), 1);
  EXPECT_EQ(ParseVersionIndex(index), 1);
  EXPECT_EQ(ParseVersionIndex("#NEWS=3,old;\n#NEWS=9 no comma\n"), 1);
  EXPECT_EQ(Boxes(), BoxList{"Newsflash from Kite HQ|New engines added"});
  EXPECT_EQ(g_settings.news, 5);
  EXPECT_EQ(g_hunt.vendor_replies, 3);
}

TEST_F(VersionIndexTest, MessagesCompareWithThisVersion) {
  EXPECT_EQ(ParseVersionIndex("#MESSAGE=plain;rest\n"
                              "#MESSAGEVEQ=301,hello;\n"
                              "#MESSAGEVEQ=300,not shown;\n"
                              "#MESSAGEV=300,hi;\n"
                              "#MESSAGEV=301,not shown;\n"
                              "#message=lower case is no directive;\n"
                              "MESSAGE=no hash;\n"
                              "#MESSAGE=last line without line feed;"),
            1);
  EXPECT_EQ(Boxes(), (BoxList{"Message from Kite HQ|plain", "Message from Kite HQ|hello",
                              "Message from Kite HQ|hi"}));
}

TEST_F(VersionIndexTest, AnnouncementsAreStored) {
  EXPECT_EQ(ParseVersionIndex("#VER1=302;A new version is out;\n"
                              "  \t#BUILD=4;http://dl.example/t.exe;\n"
                              "#SOFT= 2.9 ;http://dl.example/soft.dat;\n"),
            1);
  EXPECT_EQ(Boxes(), BoxList{"Message from Kite HQ|A new version is out"});
  EXPECT_EQ(g_settings.lastwarn, 302);
  EXPECT_EQ(Announced(), "302|4|http://dl.example/t.exe|2.9|http://dl.example/soft.dat");
  // No newer version, no message; parts without their separator are skipped.
  ui_.log.clear();
  g_version_index = VersionIndex{};
  EXPECT_EQ(ParseVersionIndex("#VER1=301;same;\n#BUILD=5\n#SOFT=3.0\n"), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(g_settings.lastwarn, 301);
  EXPECT_EQ(Announced(), "301|5|-|3.0|-");
}

TEST_F(VersionIndexTest, UpgradeOrdersTheInsertFileOnlyWhenNewer) {
  g_settings.upgrade = 7;
  ParseVersionIndex("#UPGRADE=7\n");
  EXPECT_EQ(g_hunt.run_kind, kRunHunt);
  EXPECT_EQ(g_settings.upgradenew, 0);
  g_settings.upgrade = 6;
  ParseVersionIndex("#UPGRADE=7\n");
  EXPECT_EQ(g_hunt.run_kind, kRunInsertDownload);
  EXPECT_EQ(g_settings.upgradenew, 7);
}

TEST_F(VersionIndexTest, ByeEndsTheProgram) {
  EXPECT_EQ(ParseVersionIndex("#MESSAGE=first;\n#BYE\n#MESSAGE=never;\n"), 0);
  EXPECT_TRUE(ui_.main_window_ended);
  EXPECT_EQ(Boxes(), BoxList{"Message from Kite HQ|first"});
  EXPECT_EQ(g_hunt.vendor_replies, 0);
  EXPECT_EQ(ParseVersionIndex(nullptr), 0);
}

TEST_F(VersionIndexTest, ResultShownInTheDialog) {
  const struct {
    const char* index;
    const char* installed;  // catalogue version
    const char* shown;      // fields 1090|1521|1093| the enabled buttons
  } cases[] = {
      {"", nullptr, "||| 1158"},
      // 301 offers the program only with a build above 3; "2.9" is 29, not above 210.
      {"#VER1=301\n#BUILD=4;http://dl/t.exe;\n#SOFT=2.9;http://dl/s.dat;\n", "2.10",
       "Torvane version 3.01|Build: 004|2.9| 1154 1158"},
      {"#VER1=301\n#BUILD=3;http://dl/t.exe;\n#SOFT=2.9;http://dl/s.dat;\n", "1.9",
       "Torvane version 3.01|Build: 003|2.9| 1316 1158"},
      // An address is given as soon as a ";" follows, even when it is empty.
      {"#VER1=302\n#BUILD=1;;\n", nullptr, "Torvane version 3.02|Build: 001|| 1154 1158"},
      {"#VER1=302\n#BUILD=1\n", nullptr, "Torvane version 3.02|Build: 001|| 1158"},
      {"#VER1=302\n#BUILD=12;http://dl/t.exe;\n", nullptr,
       "Torvane version 3.02|Build: 012|| 1154 1158"},
      // A missing catalogue version counts as "0".
      {"#VER1=1234\n#SOFT=1.5;http://dl/s.dat;\n", nullptr,
       "Torvane version 1.234||1.5| 1316 1158"},
      {"#VER1=100\n", nullptr, "||| 1158"},  // below 101: not shown
  };
  const int dlg = IDD_VERSION_CHECK;
  for (const auto& c : cases) {
    g_version_index = VersionIndex{};
    g_catalogue.version =
        c.installed ? std::optional<std::string>(c.installed) : std::optional<std::string>();
    ParseVersionIndex(c.index);
    ui_.log.clear();
    ShowVersionResult();
    std::string shown =
        ui_.texts[{dlg, 1090}] + "|" + ui_.texts[{dlg, 1521}] + "|" + ui_.texts[{dlg, 1093}] + "|";
    for (const char* button : {"1154", "1316", "1158"}) {
      if (std::count(ui_.log.begin(), ui_.log.end(), "enable 164:" + std::string(button) + "|1")) {
        shown += std::string(" ") + button;
      }
    }
    EXPECT_EQ(shown, c.shown) << c.index;
    EXPECT_EQ(ui_.texts[std::make_pair(dlg, platform::kWindowTitle)],
              "Torvane - Online Version Check");
  }
}

}  // namespace
