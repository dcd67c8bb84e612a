// The version index: what each directive does, and the Version Check
// dialog. version_index_fuzz holds the reader's properties on any answer
// (line ends, "#BYE", growing news, messages from one line).
#include "update/version_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "hunt/response.h"
#include "platform/headless_ui.h"
#include "settings/settings.h"
#include "unit/test_dir.h"
#include "update/catalogue_upgrade.h"
#include "util/text.h"

namespace {

class VersionIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetUi(&ui_);
    g_catalogue.version.reset();
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    g_hunt.run_kind = kRunHunt;
    g_catalogue.version.reset();
  }
  // What one index does, from news 4 and upgrade 6: the result, each box
  // as "caption|text", then news, lastwarn, upgradenew, the insert download
  // ordered or not, the replies counted and the announcement as
  // "version|build|build url|database|database url".
  std::string Run(const char* index) {
    ui_ = platform::HeadlessUi{};
    g_settings = AppSettings{};
    g_settings.news = 4;
    g_settings.upgrade = 6;
    g_version_index = VersionIndex{};
    g_hunt.run_kind = kRunVersionCheck;
    g_hunt.vendor_replies = 0;
    std::string out = std::to_string(ParseVersionIndex(index)) + "\n";
    for (const auto& line : ui_.log) {
      if (line.rfind("box ", 0) == 0) out += line.substr(4, line.rfind('|') - 4) + "\n";
    }
    const VersionIndex& v = g_version_index;
    return out +
           Format("news=%i lastwarn=%i upgradenew=%i%s%s replies=%i ", g_settings.news,
                  g_settings.lastwarn, g_settings.upgradenew,
                  g_hunt.run_kind == kRunInsertDownload ? " download" : "",
                  ui_.main_window_ended ? " ended" : "", g_hunt.vendor_replies) +
           Format("%i|%i|", v.latest_version, v.latest_build) + v.build_url.value_or("-") + "|" +
           v.soft_version.value_or("-") + "|" + v.soft_url.value_or("-");
  }
  platform::HeadlessUi ui_;
};

TEST_F(VersionIndexTest, WhatEachDirectiveDoes) {
  const struct {
    const char* index;
    const char* outcome;  // as Run() gives it
  } cases[] = {
      // News only when newer, and only with its comma.
      {"HTTP/1.0 200 OK\r\n\r\n#NEWS=5,New engines added;\r\n#NEWS=5,again;\n#NEWS=3,old;\n"
       "#NEWS=9 no comma\n",
       "1\nNewsflash from Kite HQ|New engines added\n"
       "news=5 lastwarn=0 upgradenew=0 replies=1 0|0|-|-|-"},
      // Messages compared with this version (3.01); directives in capitals
      // after a "#" at the line start; a last line without line feed unread.
      {"#MESSAGE=plain;rest\n#MESSAGEVEQ=301,hello;\n#MESSAGEVEQ=300,not shown;\n"
       "#MESSAGEV=300,hi;\n#MESSAGEV=301,not shown;\n#message=lower case;\nMESSAGE=no hash;\n"
       "#MESSAGE=last line without line feed;",
       "1\nMessage from Kite HQ|plain\nMessage from Kite HQ|hello\nMessage from Kite HQ|hi\n"
       "news=4 lastwarn=0 upgradenew=0 replies=1 0|0|-|-|-"},
      // A newer version shows its text; announcements are stored, blanks
      // around the database version trimmed.
      {"#VER1=302;A new version is out;\n  \t#BUILD=4;http://dl.example/t.exe;\n"
       "#SOFT= 2.9 ;http://dl.example/soft.dat;\n",
       "1\nMessage from Kite HQ|A new version is out\nnews=4 lastwarn=302 upgradenew=0 replies=1 "
       "302|4|http://dl.example/t.exe|2.9|http://dl.example/soft.dat"},
      // No newer version, no message; parts without their separator are skipped.
      {"#VER1=301;same;\n#BUILD=5\n#SOFT=3.0\n",
       "1\nnews=4 lastwarn=301 upgradenew=0 replies=1 301|5|-|3.0|-"},
      // The insert file is ordered only when newer.
      {"#UPGRADE=6\n", "1\nnews=4 lastwarn=0 upgradenew=0 replies=1 0|0|-|-|-"},
      {"#UPGRADE=7\n", "1\nnews=4 lastwarn=0 upgradenew=7 download replies=1 0|0|-|-|-"},
      // Bye ends the program, and the reading.
      {"#MESSAGE=first;\n#BYE\n#MESSAGE=never;\n",
       "0\nMessage from Kite HQ|first\nnews=4 lastwarn=0 upgradenew=0 ended replies=0 0|0|-|-|-"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.index), c.outcome) << c.index;
  // Read by a Hunt, the order is one job more of it: the Hunt stays one.
  g_hunt.run_kind = kRunHunt;
  g_hunt.insert_download_ordered = 0;
  ParseVersionIndex("#UPGRADE=8\n");
  EXPECT_EQ(g_hunt.run_kind, kRunHunt);
  EXPECT_EQ(g_hunt.insert_download_ordered, 1);
  g_hunt.insert_download_ordered = 0;
}

TEST_F(VersionIndexTest, ResultShownInTheDialog) {
  const struct {
    const char* index;
    const char* installed;  // catalogue version
    const char* shown;      // latest version|build|database| the enabled buttons
  } cases[] = {
      {"", nullptr, "||| ok"},
      // 301 offers the program only with a build above 3; "2.9" is 29, not above 210.
      {"#VER1=301\n#BUILD=4;http://dl/t.exe;\n#SOFT=2.9;http://dl/s.dat;\n", "2.10",
       "Torvane version 3.01|Build: 004|2.9| program ok"},
      {"#VER1=301\n#BUILD=3;http://dl/t.exe;\n#SOFT=2.9;http://dl/s.dat;\n", "1.9",
       "Torvane version 3.01|Build: 003|2.9| database ok"},
      // An address is given as soon as a ";" follows, even when it is empty.
      {"#VER1=302\n#BUILD=1;;\n", nullptr, "Torvane version 3.02|Build: 001|| program ok"},
      {"#VER1=302\n#BUILD=1\n", nullptr, "Torvane version 3.02|Build: 001|| ok"},
      // A missing catalogue version counts as "0".
      {"#VER1=1234\n#SOFT=1.5;http://dl/s.dat;\n", nullptr,
       "Torvane version 1.234||1.5| database ok"},
      {"#VER1=100\n", nullptr, "||| ok"},  // below 101: not shown
  };
  const int dlg = IDD_VERSION_CHECK;
  for (const auto& c : cases) {
    Run(c.index);
    g_catalogue.version =
        c.installed ? std::optional<std::string>(c.installed) : std::optional<std::string>();
    ui_.log.clear();
    ShowVersionResult();
    std::string shown = ui_.texts[{dlg, IDC_LATEST_VERSION}] + "|" +
                        ui_.texts[{dlg, IDC_LATEST_BUILD}] + "|" +
                        ui_.texts[{dlg, IDC_LATEST_DATABASE}] + "|";
    for (const auto& [id, name] : {std::pair<int, const char*>{IDC_UPGRADE_PROGRAM, " program"},
                                   {IDC_UPGRADE_DATABASE, " database"},
                                   {IDC_VERSION_OK, " ok"}}) {
      if (std::count(ui_.log.begin(), ui_.log.end(), Format("enable %i:%i|1", dlg, id))) {
        shown += name;
      }
    }
    EXPECT_EQ(shown, c.shown) << c.index;
    EXPECT_EQ(ui_.texts[std::make_pair(dlg, platform::kWindowTitle)],
              "Torvane - Online Version Check");
  }
}

// The database "Upgrade >": only a whole answer with status 200 that loads
// as a catalogue replaces soft.dat; anything else leaves the old file as it
// was, byte for byte, and says why.
class CatalogueUpgradeTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    platform::SetUi(&ui_);
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    FreeCatalogue();
    TempDirTest::TearDown();
  }
  platform::HeadlessUi ui_;
};

TEST_F(CatalogueUpgradeTest, OnlyAWholeCatalogueReplacesSoftDat) {
  const std::string old_file = "VERSION=1.01\nOld<1>http://x/old.zip<2>1 KB<3><4><5><6>1\n";
  const std::string fresh =
      "VERSION=1.02\nNew<1>http://x/new.zip<2>2 KB<3><4><5><6>1\n"
      "Game<1>http://x/game.zip<2>3 KB<3><4><5><6>0\n";
  auto answer = [](const std::string& status, const std::string& body, std::size_t length) {
    return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" +
           body;
  };
  const std::string with_nul("VERSION=1.02\nA\0<1><2><3><4><5><6>1\n", 35);
  const struct {
    std::string answer;
    int more;
    const char* why;  // in the box; null: installed
  } cases[] = {
      {answer("404 Not Found", fresh, fresh.size()), kAnswerWhole,
       "the server answered \"HTTP/1.0 404 Not Found\"."},
      {answer("200 OK", fresh.substr(0, 30), fresh.size()), kAnswerWhole, "cut off"},
      {answer("200 OK", fresh, fresh.size()), kAnswerFollows, "cut off"},
      {answer("200 OK", fresh, fresh.size()), kAnswerBroken, "cut off"},
      {answer("200 OK", "VERSION=1.02\n", 13), kAnswerWhole, "no Program Database"},
      {answer("200 OK", fresh.substr(13), fresh.size() - 13), kAnswerWhole, "no Program Database"},
      {answer("200 OK", with_nul, with_nul.size()), kAnswerWhole, "no Program Database"},
      {"", kAnswerWhole, "no answer came"},
      {answer("200 OK", fresh, fresh.size()), kAnswerWhole, nullptr},
  };
  for (const auto& c : cases) {
    WriteFile("soft.dat", old_file);
    FreeCatalogue();
    LoadCatalogue(0);
    ui_ = platform::HeadlessUi{};
    if (!c.answer.empty()) {
      TakeCatalogueDownload(c.answer.c_str(), c.answer.size(), std::atoi(c.answer.c_str() + 9),
                            c.more);
    }
    EndCatalogueUpgrade(false);
    std::vector<std::string> boxes;
    for (const auto& line : ui_.log) {
      if (line.rfind("box ", 0) == 0) boxes.push_back(line);
    }
    ASSERT_EQ(boxes.size(), 1u) << c.answer;
    const std::string& box = boxes[0];
    EXPECT_EQ(box.rfind("box Program Database Upgrade|", 0), 0u) << box;
    EXPECT_FALSE(std::filesystem::exists("soft.dat.part"));
    if (c.why) {
      EXPECT_NE(box.find(c.why), std::string::npos) << box;
      EXPECT_NE(box.find("(soft.dat) is unchanged"), std::string::npos) << box;
      EXPECT_EQ(ReadFile("soft.dat"), old_file) << c.answer;
      EXPECT_EQ(g_catalogue.version.value_or(""), "1.01");
    } else {
      EXPECT_NE(box.find("|The Program Database is now version 1.02.|"), std::string::npos) << box;
      EXPECT_EQ(ReadFile("soft.dat"), fresh);
      // Both loads again: the shown version and every category are the new ones.
      EXPECT_EQ(g_catalogue.version.value_or(""), "1.02");
      ASSERT_EQ(g_catalogue.lists[1].size(), 1u);
      EXPECT_EQ(g_catalogue.lists[1][0].name.value_or(""), "New");
      EXPECT_EQ(g_catalogue.lists[3].size(), 1u);
    }
  }
  // The user's own Cancel needs no box.
  ui_ = platform::HeadlessUi{};
  EndCatalogueUpgrade(true);
  for (const auto& line : ui_.log) EXPECT_NE(line.rfind("box ", 0), 0u) << line;
}

}  // namespace
