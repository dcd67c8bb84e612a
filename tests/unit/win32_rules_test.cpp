// The Win32 front end's pure rules: the main window's layout, the texts the
// browser code builds, the Preferences limits and the rows' item data.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "win32/app/browser_rules.h"
#include "win32/app/layout_rules.h"
#include "win32/app/preference_rules.h"
#include "win32/app/row_item.h"

namespace {

// The template's places at 96 dpi, roughly: what matters is the relations.
gui::LayoutBase Base() {
  gui::LayoutBase b;
  b.find = {232, 97, 298, 123};
  b.select_all = {232, 211, 298, 235};
  b.view = {232, 178, 298, 204};
  b.engines = {12, 156, 225, 403};
  b.query = {66, 97, 216, 118};
  b.query_drop_height = 221;
  b.left_tab = {0, 71, 232, 97};
  b.right_tab = {307, 73, 622, 406};
  b.results = {315, 157, 615, 398};
  b.get_it = {475, 105, 517, 125};
  return b;
}

const gui::Placement* Find(const gui::Layout& l, int id) {
  auto it = std::find_if(l.moves.begin(), l.moves.end(),
                         [id](const gui::Placement& p) { return p.id == id; });
  return it == l.moves.end() ? nullptr : &*it;
}

TEST(Win32Layout, WideWindowCapsTheLeftColumnAndFillsTheRight) {
  const gui::Layout l = gui::ComputeLayout(Base(), 1000, 600, 0);
  ASSERT_TRUE(l.right_side);
  // L = 180 (capped), X = 0 + 180 + 75 + 66 = 321.
  EXPECT_EQ(l.status_parts, (std::vector<int>{30, 318, 321, -1}));
  const auto* list = Find(l, IDC_RESULTS_LIST);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->x, 331);
  EXPECT_EQ(list->width, 1000 - 321 - 11);
  EXPECT_TRUE(list->visible);
  EXPECT_EQ(Find(l, IDC_FIND)->x, 245);
  EXPECT_EQ(Find(l, IDC_CANCEL)->y, 127);
  EXPECT_EQ(Find(l, IDC_DEFAULT)->y, 2 * 235 - 211);
  // The combo keeps its dropped height while its width follows L.
  EXPECT_EQ(Find(l, IDC_QUERY)->width, 150);
  EXPECT_EQ(Find(l, IDC_QUERY)->height, 221);
  // Search Results shows no catalogue controls.
  EXPECT_FALSE(Find(l, IDC_GET_IT)->visible);
}

TEST(Win32Layout, CataloguePageShowsItsControlsBelowTheTab) {
  const gui::Layout l = gui::ComputeLayout(Base(), 1000, 600, 2);
  const auto* get_it = Find(l, IDC_GET_IT);
  ASSERT_TRUE(get_it);
  EXPECT_TRUE(get_it->visible);
  EXPECT_EQ(get_it->x, 1000 - 42 - 10);
  EXPECT_EQ(get_it->y, 97 + 10);
  EXPECT_EQ(Find(l, IDC_SOFT_VERSION)->width, 1000 - 321 - 3 * 42 - 25);
  EXPECT_EQ(Find(l, IDC_RESULTS_LIST)->y, 157 + 4);
}

TEST(Win32Layout, NarrowWindowHidesTheRightSideAndDropsTheLastPart) {
  // X = 0 + L + 75 + 66 with L = 360 - 66 - 75 = 219 capped to 180: 321,
  // and 321 + 50 is not below 360.
  const gui::Layout l = gui::ComputeLayout(Base(), 360, 500, 0);
  EXPECT_FALSE(l.right_side);
  EXPECT_EQ(l.status_parts.size(), 3u);
  for (int id : {IDC_RESULTS_LIST, IDC_RIGHT_TAB, IDC_GET_IT, IDC_SOFT_DELETE}) {
    const auto* p = Find(l, id);
    ASSERT_TRUE(p) << id;
    EXPECT_FALSE(p->visible) << id;
    EXPECT_EQ(p->width, 0) << id;
  }
  // A tiny window gives no negative sizes.
  for (const auto& p : gui::ComputeLayout(Base(), 40, 30, 1).moves) {
    EXPECT_GE(p.width, 0);
    EXPECT_GE(p.height, 0);
  }
}

TEST(Win32Browser, ServiceNameTargetAndItems) {
  EXPECT_EQ(gui::DdeServiceName("C:\\Program Files\\Internet Explorer\\iexplore.exe"), "iexplore");
  EXPECT_EQ(gui::DdeServiceName(""), "netscape");
  EXPECT_EQ(gui::DdeServiceName("firefox.exe"), "netscape");
  EXPECT_EQ(gui::OpenTarget("reports\\report.htm", "C:\\t"), "C:\\t\\reports\\report.htm");
  EXPECT_EQ(gui::OpenTarget("chelp.htm", "C:\\"), "C:\\chelp.htm");
  EXPECT_EQ(gui::OpenTarget("mailto:a@b.example", "C:\\t"), "mailto:a@b.example");
  const std::string long_url = "http://h.example/" + std::string(400, 'a');
  EXPECT_EQ(gui::OpenTarget(long_url, "C:\\t"), long_url);
  EXPECT_EQ(gui::DdeOpenItem("C:\\r.htm", false), "\"C:\\r.htm\",,0xFFFFFFFF");
  EXPECT_EQ(gui::DdeOpenItem("C:\\r.htm", true), "\"C:\\r.htm\",,0x0");
  EXPECT_EQ(gui::CommandLineArgument("C:\\My Files\\r.htm"), "\"C:\\My Files\\r.htm\"");
  EXPECT_EQ(gui::CommandLineArgument("http://h.example/"), "http://h.example/");
}

TEST(Win32Browser, RegistryIconValuesAndWineBuiltins) {
  EXPECT_EQ(gui::IconProgramPath("C:\\PROGRA~1\\INTERN~1\\iexplore.exe,1"),
            "C:\\PROGRA~1\\INTERN~1\\iexplore.exe");
  EXPECT_EQ(gui::IconProgramPath("\"C:\\Program Files\\B, Inc\\b.exe\",0"),
            "C:\\Program Files\\B, Inc\\b.exe");
  EXPECT_EQ(gui::IconProgramPath("C:\\n.exe"), "C:\\n.exe");
  std::string head(0x60, '\0');
  head.replace(0x40, 16, "Wine builtin DLL");
  EXPECT_TRUE(gui::IsWineBuiltinImage(head.data(), head.size()));
  EXPECT_FALSE(gui::IsWineBuiltinImage(head.data(), 0x48));  // cut short
  head.replace(0x40, 16, "This program can");
  EXPECT_FALSE(gui::IsWineBuiltinImage(head.data(), head.size()));
}

TEST(Win32Preferences, ConnectionsAndTimeoutAreClamped) {
  EXPECT_EQ(gui::ClampConnections(25), 20);
  EXPECT_EQ(gui::ClampConnections(-3), 1);
  EXPECT_EQ(gui::ClampConnections(0), 1);
  EXPECT_EQ(gui::ClampConnections(7), 7);
  EXPECT_EQ(gui::ClampTimeout(100000), 64000);
  EXPECT_EQ(gui::ClampTimeout(2000), 2000);
}

TEST(Win32Rows, ItemDataCarriesKindAndRecord) {
  FileHit hit;
  hit.name = "a.zip";
  hit.location = "ftp://h/a.zip";
  SoftEntry soft;
  soft.download = "http://h.example/dl/tool-1.2.zip";
  EngineEntry engine;
  engine.name = "Demo";
  for (const platform::RowItem& item :
       {platform::RowItem(&hit), platform::RowItem(&soft), platform::RowItem(&engine)}) {
    platform::RowItem back;
    ASSERT_TRUE(gui::UnpackRow(gui::PackRow(item), &back));
    EXPECT_EQ(back, item);
  }
  platform::RowItem none;
  EXPECT_FALSE(gui::UnpackRow(0, &none));
  std::string scratch;
  EXPECT_EQ(*gui::CellText(platform::RowItem(&hit), 2, scratch), "ftp://h/a.zip");
  EXPECT_EQ(gui::CellText(platform::RowItem(&hit), 1, scratch), nullptr);  // no size
  EXPECT_EQ(*gui::CellText(platform::RowItem(&soft), 1, scratch), "tool-1.2.zip");
  EXPECT_EQ(*gui::CellText(platform::RowItem(&engine), 0, scratch), "Demo");
}

}  // namespace
