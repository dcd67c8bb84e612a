// The resources of torvane.exe, linked into this test and read back the way
// the program reads them: menus, dialog templates, the string table, the
// icons, the banner and the manifest.
#include <windows.h>
// (the common controls header needs windows.h before it)
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ids.h"
#include "util/string_table.h"

namespace {

HINSTANCE Self() {
  return GetModuleHandleA(nullptr);
}

const BYTE* Resource(int id, LPCSTR type, DWORD* size = nullptr) {
  HRSRC res = FindResourceA(Self(), MAKEINTRESOURCEA(id), type);
  if (size) *size = res ? SizeofResource(Self(), res) : 0;
  return res ? static_cast<const BYTE*>(LockResource(LoadResource(Self(), res))) : nullptr;
}

// ---- menus ----------------------------------------------------------------
// A menu as "id text|..." ("-" for a separator; a submenu by its text alone,
// "(right)" behind it when right-justified); the submenu at index sub if >= 0.
std::string Menu(int id, int sub) {
  HMENU top = LoadMenuA(Self(), MAKEINTRESOURCEA(id));
  HMENU menu = sub < 0 ? top : GetSubMenu(top, sub);
  std::string out;
  for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
    char text[128] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, i, TRUE, &info);
    out += i ? "|" : "";
    out += (info.fType & MFT_SEPARATOR) ? "-"
           : info.hSubMenu ? text + std::string(info.fType & MFT_RIGHTJUSTIFY ? " (right)" : "")
                           : std::to_string(info.wID) + " " + text;
  }
  if (top) DestroyMenu(top);
  return out;
}

TEST(Resources, MenusHoldTheirItemsAndSeparators) {
  const struct {
    int id, sub;
    const char* items;
  } want[] = {{IDM_MAIN, -1, "&File|&View|&Options|&Help (right)"},
              {IDM_MAIN, 0,
               "173 &Open|174 &Save|175 Save &As|-|176 &Delete|-|180 Online &Version Check|-|"
               "1003 &Quit\tALT+F4"},
              {IDM_MAIN, 1, "120 &Status|1071 &Report"},
              {IDM_MAIN, 2, "108 &Preferences"},
              {IDM_MAIN, 3, "1002 &About...|165 &FAQ|166 &Home Page"},
              {IDM_HIT_POPUP, -1, "Hit"},
              {IDM_HIT_POPUP, 0, "182 &Download|-|186 &View|184 &Copy Link Location|-|183 Delete"},
              {IDM_CATALOGUE_POPUP, -1, "Program"},
              {IDM_CATALOGUE_POPUP, 0,
               "190 &Download|-|189 &View|191 &Copy Link Location|-|187 &Home Page"},
              {IDM_ENGINE_POPUP, -1, "Engine"},
              {IDM_ENGINE_POPUP, 0,
               "192 &Open|193 &Copy Link Location|-|196 &Select|197 Clear|-|194 Select &All|"
               "195 Clear All"}};
  for (const auto& w : want) EXPECT_EQ(Menu(w.id, w.sub), w.items) << w.id << "/" << w.sub;
}

// ---- dialog templates (DLGTEMPLATEEX) -------------------------------------
struct Control {
  std::string cls, text;  // ordinals as "#n"; class names in lower case
  int id;
  DWORD style;
  int x, y, cx, cy;
};
struct Dialog {
  DWORD style;
  int cx, cy, points;
  std::string menu, caption, font;
  std::vector<Control> controls;
  const Control* Find(int id, const std::string& text = "") const {
    for (const Control& c : controls)
      if (c.id == id && (text.empty() || c.text == text)) return &c;
    return nullptr;
  }
};

// Reads a string or an ordinal and moves past it.
std::string SzOrOrd(const WORD*& p, bool lower = false) {
  static const char* const kAtoms[] = {"button",  "edit",      "static",
                                       "listbox", "scrollbar", "combobox"};
  if (*p == 0xFFFF) {
    const WORD ord = p[1];
    p += 2;
    return lower && ord >= 0x80 && ord <= 0x85 ? kAtoms[ord - 0x80] : "#" + std::to_string(ord);
  }
  std::string s;
  for (; *p; ++p) s += static_cast<char>(lower ? std::tolower(*p) : *p);
  ++p;
  return s;
}

Dialog ReadDialog(int id) {
  Dialog d{};
  const WORD* p = reinterpret_cast<const WORD*>(Resource(id, MAKEINTRESOURCEA(5) /* RT_DIALOG */));
  if (!p || p[0] != 1 || p[1] != 0xFFFF) return d;  // not a DIALOGEX
  auto dword = [&p](int at) { return DWORD(p[at]) | DWORD(p[at + 1]) << 16; };
  d.style = dword(6);
  const int count = p[8];
  d.cx = short(p[11]);
  d.cy = short(p[12]);
  p += 13;
  d.menu = SzOrOrd(p);
  SzOrOrd(p);  // window class
  d.caption = SzOrOrd(p);
  if (d.style & DS_SETFONT) {
    d.points = p[0];
    p += 3;  // size, weight, italic and charset
    d.font = SzOrOrd(p);
  }
  for (int i = 0; i < count; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
    Control c{};
    c.style = dword(4);
    c.x = short(p[6]), c.y = short(p[7]), c.cx = short(p[8]), c.cy = short(p[9]);
    c.id = int(dword(10));
    p += 12;
    c.cls = SzOrOrd(p, true);
    c.text = SzOrOrd(p);
    p += 1 + (*p + 1) / 2;  // creation data
    d.controls.push_back(c);
  }
  return d;
}

// One expected control: "type" is compared under the class's type mask,
// every bit of "flags" must be set.
struct Want {
  int id;
  const char* cls;
  const char* text;
  int x, y, cx, cy;
  DWORD type, flags;
};

void ExpectControl(const Dialog& d, const Want& w) {
  const Control* c = d.Find(w.id, w.text);
  ASSERT_NE(c, nullptr) << w.id << " " << w.text;
  const std::string cls = w.cls;
  const DWORD mask = cls == "static"          ? SS_TYPEMASK
                     : cls == "button"        ? BS_TYPEMASK
                     : cls == "combobox"      ? 3u
                     : cls == "syslistview32" ? DWORD(LVS_TYPEMASK)
                                              : 0u;
  EXPECT_EQ(c->cls, cls) << w.id;
  EXPECT_EQ((std::vector<int>{c->x, c->y, c->cx, c->cy}), (std::vector<int>{w.x, w.y, w.cx, w.cy}))
      << w.id << " " << w.text;
  EXPECT_EQ(c->style & mask, w.type) << w.id;
  EXPECT_EQ(c->style & w.flags, w.flags) << w.id;
}

TEST(Resources, DialogsHaveTheirSizeCaptionAndShellFont) {
  const struct {
    int id, cx, cy;
    const char* caption;
  } dialogs[] = {{IDD_MAIN, 416, 250, "Torvane"},
                 {IDD_ABOUT, 200, 88, "About Torvane"},
                 {IDD_PREFERENCES, 332, 118, "Torvane Preferences"},
                 {IDD_STATUS, 335, 210, "Status"},
                 {IDD_FILE_DETAILS, 292, 69, "File"},
                 {IDD_SOFTWARE_INFO, 264, 82, "Program"},
                 {IDD_VERSION_CHECK, 332, 117, "Torvane - Online Version Check"}};
  for (const auto& w : dialogs) {
    const Dialog d = ReadDialog(w.id);
    EXPECT_EQ((std::vector<int>{d.cx, d.cy}), (std::vector<int>{w.cx, w.cy})) << w.id;
    EXPECT_EQ(d.caption, w.caption) << w.id;
    EXPECT_EQ(d.style & DS_SHELLFONT, DWORD(DS_SHELLFONT)) << w.id;
    EXPECT_EQ(d.font + " " + std::to_string(d.points), "MS Shell Dlg 2 8") << w.id;
  }
}

TEST(Resources, MainWindowTemplateHoldsEveryControlInPlace) {
  const Dialog d = ReadDialog(IDD_MAIN);
  const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                      WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  EXPECT_EQ(d.style & style, style);
  EXPECT_EQ(d.menu, "#100");
  const DWORD tab = WS_TABSTOP;
  const Want want[] = {
      {-1, "static", "#131", 0, 0, 853, 40, SS_BITMAP, 0},
      {1206, "static", "Filename:", 8, 61, 31, 8, SS_LEFTNOWORDWRAP, 0},
      {1014, "combobox", "", 44, 60, 100, 136, CBS_DROPDOWN, CBS_SORT | WS_VSCROLL},
      {-1, "static", "Max Files:", 8, 76, 31, 8, SS_LEFTNOWORDWRAP, 0},
      {1058, "edit", "", 44, 76, 24, 12, 0, WS_BORDER},
      {1057, "button", "Exact Match", 76, 76, 64, 10, BS_AUTOCHECKBOX, 0},
      {1269, "systabcontrol32", "", 0, 44, 155, 16, 0, 0},
      {1273, "syslistview32", "", 8, 96, 142, 152, LVS_REPORT, LVS_SHAREIMAGELISTS},
      {1008, "button", "Find", 155, 60, 44, 16, BS_PUSHBUTTON, tab},
      {130, "button", "Cancel", 155, 80, 44, 16, BS_PUSHBUTTON, tab},
      {1071, "button", "View", 155, 110, 44, 16, BS_PUSHBUTTON, tab},
      {1087, "button", "Select All", 155, 130, 44, 15, BS_PUSHBUTTON, tab},
      {1164, "button", "Clear", 155, 145, 44, 15, BS_PUSHBUTTON, tab},
      {1165, "button", "Default", 155, 160, 44, 15, BS_PUSHBUTTON, tab},
      {1321, "static", "0", 157, 228, 44, 12, SS_CENTER, SS_SUNKEN},
      {1280, "systabcontrol32", "", 205, 45, 210, 205, 0, 0},
      {1272, "syslistview32", "", 210, 97, 200, 148, LVS_REPORT, LVS_NOSORTHEADER},
      {1312, "static", "Version:", 209, 65, 28, 12, SS_RIGHT, 0},
      {1313, "static", "Size:", 209, 77, 28, 12, SS_RIGHT, 0},
      {1089, "static", "", 241, 65, 40, 12, SS_LEFT, SS_SUNKEN},
      {1314, "static", "", 241, 77, 40, 12, SS_LEFT, SS_SUNKEN},
      {1174, "button", "Get It", 317, 65, 28, 12, BS_PUSHBUTTON, 0},
      {1171, "button", "Home", 289, 65, 28, 12, BS_PUSHBUTTON, 0},
      {1172, "button", "Info", 317, 77, 28, 12, BS_PUSHBUTTON, 0},
      {1009, "button", "Delete", 289, 77, 28, 12, BS_PUSHBUTTON, 0}};
  EXPECT_EQ(d.controls.size(), std::size(want));
  for (const Want& w : want) ExpectControl(d, w);
}

TEST(Resources, StatusTemplateHasTwentyNumberedLines) {
  const Dialog d = ReadDialog(IDD_STATUS);
  const int rows[] = {50, 65, 79, 95, 110, 124, 140, 154, 170, 185};
  for (int i = 0; i < 20; ++i) {
    const int x = i < 10 ? 15 : 177, y = rows[i % 10];
    ExpectControl(d, {1065 + i, "edit", "", x, y, i < 10 ? 140 : 145, 12, 0, ES_READONLY});
    const Control* number = d.Find(-1, std::to_string(i + 1));
    ASSERT_NE(number, nullptr) << i;
    EXPECT_TRUE(number->x + number->cx <= x && number->y >= y && number->y < y + 12) << i;
  }
  ExpectControl(d, {-1, "button", "Results", 14, 5, 141, 35, BS_GROUPBOX, 0});
  ExpectControl(d, {-1, "static", "Files Found:", 20, 20, 55, 8, SS_LEFT, 0});
  ExpectControl(d, {1157, "button", "0", 75, 20, 40, 10, BS_PUSHBUTTON, 0});
  ExpectControl(d, {1158, "button", "OK", 274, 10, 48, 15, BS_DEFPUSHBUTTON, 0});
}

// The other templates hold the controls the program addresses.
TEST(Resources, OtherTemplatesHoldTheControlsTheProgramAddresses) {
  const struct {
    int dialog;
    std::vector<int> ids;
  } want[] = {
      {IDD_PREFERENCES, {1005, 1037, 1058, 1090, 1155, 1364, 1365, 1158, 1016, 1030}},
      {IDD_FILE_DETAILS, {1056, 1057, 1058, 1014, 1315, 1009, 1158}},
      {IDD_SOFTWARE_INFO, {1056, 1305, 1058, 1306, 1016, 1174, 1171, 1172, 1158}},
      {IDD_VERSION_CHECK, {1089, 1519, 1090, 1521, 1092, 1093, 1317, 1154, 1316, 1158, 1159}}};
  for (const auto& w : want) {
    const Dialog d = ReadDialog(w.dialog);
    for (int id : w.ids) EXPECT_NE(d.Find(id), nullptr) << w.dialog << "/" << id;
  }
}

// ---- strings, pictures, manifest ------------------------------------------
TEST(Resources, StringTableIsExactlyTheOneInCode) {
  for (int i = 0; i < kStringTableSize; ++i) {
    char text[4096];
    const int n = LoadStringA(Self(), kStringTable[i].id, text, sizeof text);
    EXPECT_STREQ(n > 0 ? text : "(none)", kStringTable[i].text) << kStringTable[i].id;
  }
  for (int id = 1; id < 0x10000; ++id) {  // and no text beside them
    char text[16];
    if (!FindTableText(id)) {
      EXPECT_EQ(LoadStringA(Self(), id, text, sizeof text), 0) << id;
    }
  }
}

TEST(Resources, IconsHaveTheirSizesAndLoad) {
  for (int id :
       {IDI_PROGRAM, IDI_ENGINE, IDI_ENGINE_1, IDI_ENGINE_2, IDI_ENGINE_3, IDI_ENGINE_4,
        IDI_ENGINE_UNAVAILABLE, IDI_STATE_CLEAR, IDI_STATE_SELECTED, IDI_STATE_UNAVAILABLE}) {
    // GRPICONDIR: three WORDs, then 14-byte entries starting with width, height.
    const BYTE* dir = Resource(id, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_NE(dir, nullptr) << id;
    std::vector<int> sizes;
    for (const BYTE* e = dir + 6; e < dir + 6 + 14 * dir[4]; e += 14) {
      sizes.push_back(e[0] == e[1] ? e[0] : -1);  // all square
    }
    EXPECT_EQ(sizes, (id == IDI_PROGRAM ? std::vector<int>{16, 32, 48} : std::vector<int>{16}))
        << id;
    for (int size : {16, 32, 48}) {
      if (size > 16 && id != IDI_PROGRAM) break;
      HICON h =
          static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
      EXPECT_NE(h, nullptr) << id << " " << size;
      DestroyIcon(h);
    }
  }
  HBITMAP banner = static_cast<HBITMAP>(
      LoadImageA(Self(), MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(banner, nullptr);
  BITMAP bm{};
  GetObjectA(banner, sizeof bm, &bm);
  EXPECT_EQ((std::vector<int>{bm.bmWidth, bm.bmHeight, bm.bmBitsPixel}),
            (std::vector<int>{1280, 64, 24}));
  DeleteObject(banner);
}

TEST(Resources, ManifestBringsCommonControlsSix) {
  // This test program carries the manifest too, so its process runs with it:
  // comctl32 then comes from the side-by-side store, version 6.
  HMODULE comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  char path[MAX_PATH] = "";
  GetModuleFileNameA(comctl, path, sizeof path);
  EXPECT_NE(std::string(CharLowerA(path)).find("common-controls_6595b64144ccf1df_6."),
            std::string::npos)
      << path;
  DWORD size = 0;
  const BYTE* manifest = Resource(1, MAKEINTRESOURCEA(24) /* RT_MANIFEST */, &size);
  ASSERT_NE(manifest, nullptr);
  EXPECT_NE(std::string(manifest, manifest + size).find("PerMonitorV2"), std::string::npos);
}

}  // namespace
