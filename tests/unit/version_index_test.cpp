#include "update/version_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "platform/headless_ui.h"
#include "settings/settings.h"

namespace {

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
  }
  // The message boxes shown, as "caption|text".
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& line : ui_.log) {
      if (line.rfind("box ", 0) != 0) continue;
      std::string rest = line.substr(4);
      out.push_back(rest.substr(0, rest.rfind('|')));
    }
    return out;
  }
  platform::HeadlessUi ui_;
};

using BoxList = std::vector<std::string>;

TEST_F(VersionIndexTest, NewsOnlyWhenNewer) {
  g_settings.news = 4;
  const char* index = "HTTP/1.0 200 OK\r\n\r\n#NEWS=5,New engines added;\r\n";
  EXPECT_EQ(ParseVersionIndex(index), 1);
  EXPECT_EQ(Boxes(), (BoxList{"Newsflash from Kite HQ|New engines added"}));
  EXPECT_EQ(g_settings.news, 5);
  ui_.log.clear();
  EXPECT_EQ(ParseVersionIndex(index), 1);
  EXPECT_EQ(ParseVersionIndex("#NEWS=3,old;\n#NEWS=9 no comma\n"), 1);
  EXPECT_TRUE(Boxes().empty());
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
  EXPECT_EQ(Boxes(), (BoxList{"Message from Kite HQ|A new version is out"}));
  EXPECT_EQ(g_settings.lastwarn, 302);
  EXPECT_EQ(g_version_index.latest_version, 302);
  EXPECT_EQ(g_version_index.latest_build, 4);
  EXPECT_EQ(g_version_index.build_url, "http://dl.example/t.exe");
  EXPECT_EQ(g_version_index.soft_version, "2.9");
  EXPECT_EQ(g_version_index.soft_url, "http://dl.example/soft.dat");

  // No newer version, no message; parts without their separator are skipped.
  ui_.log.clear();
  g_version_index = VersionIndex{};
  EXPECT_EQ(ParseVersionIndex("#VER1=301;same;\n#BUILD=5\n#SOFT=3.0\n"), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(g_settings.lastwarn, 301);
  EXPECT_EQ(g_version_index.latest_build, 5);
  EXPECT_FALSE(g_version_index.build_url.has_value());
  EXPECT_EQ(g_version_index.soft_version, "3.0");
  EXPECT_FALSE(g_version_index.soft_url.has_value());
}

TEST_F(VersionIndexTest, UpgradeOrdersTheInsertFile) {
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
  EXPECT_EQ(Boxes(), (BoxList{"Message from Kite HQ|first"}));
  EXPECT_EQ(g_hunt.vendor_replies, 0);
  EXPECT_EQ(ParseVersionIndex(nullptr), 0);
}

TEST_F(VersionIndexTest, ResultShownInTheDialog) {
  VersionResult r = ComputeVersionResult();
  EXPECT_EQ(r.latest_version, "");
  EXPECT_EQ(r.latest_build, "");
  EXPECT_FALSE(r.upgrade_program);
  EXPECT_FALSE(r.upgrade_database);
  EXPECT_TRUE(r.ok);

  ParseVersionIndex("#VER1=301\n#BUILD=4;http://dl/t.exe;\n#SOFT=2.9;http://dl/s.dat;\n");
  g_catalogue.version = "2.10";
  r = ComputeVersionResult();
  EXPECT_EQ(r.latest_version, "Torvane version 3.01");
  EXPECT_EQ(r.latest_build, "Build: 004");
  EXPECT_EQ(r.latest_database, "2.9");
  EXPECT_TRUE(r.upgrade_program);    // 301 with a build above 3
  EXPECT_FALSE(r.upgrade_database);  // 29 is not above 210

  g_version_index.latest_build = 3;
  g_catalogue.version = "1.9";
  r = ComputeVersionResult();
  EXPECT_FALSE(r.upgrade_program);
  EXPECT_TRUE(r.upgrade_database);  // 29 above 19

  g_version_index.latest_version = 302;
  g_version_index.build_url = "";
  EXPECT_FALSE(ComputeVersionResult().upgrade_program);  // nothing to fetch
  g_version_index.build_url = "http://dl/t.exe";
  EXPECT_TRUE(ComputeVersionResult().upgrade_program);
  g_version_index.latest_version = 100;
  EXPECT_EQ(ComputeVersionResult().latest_version, "");
}

TEST_F(VersionIndexTest, ShowVersionResultFillsTheDialog) {
  ParseVersionIndex("#VER1=1234\n#BUILD=12;http://dl/t.exe;\n#SOFT=1.5;http://dl/s.dat;\n");
  ShowVersionResult();
  const int dlg = static_cast<int>(platform::Window::kVersionDialog);
  EXPECT_EQ(ui_.texts[std::make_pair(dlg, 1090)], "Torvane version 1.234");
  EXPECT_EQ(ui_.texts[std::make_pair(dlg, 1521)], "Build: 012");
  EXPECT_EQ(ui_.texts[std::make_pair(dlg, 1093)], "1.5");
  EXPECT_EQ(ui_.texts[std::make_pair(dlg, platform::kWindowTitle)],
            "Torvane - Online Version Check");
  const auto has = [&](const std::string& line) {
    for (const auto& l : ui_.log) {
      if (l == line) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("enable 2:1154|1"));
  EXPECT_TRUE(has("enable 2:1316|1"));  // 15 above a missing "0"
  EXPECT_TRUE(has("enable 2:1158|1"));
}

}  // namespace
