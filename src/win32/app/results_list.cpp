// The right side: the tab with "Search Results" and the four catalogue
// pages, the list that shows the page's rows, and the cell texts of both
// list views, which come by callback from each row's record.
#include <iterator>

#include "catalogue/catalogue.h"
#include "engines/engines.h"
#include "results/store.h"
#include "win32/app/gui.h"
#include "win32/app/row_item.h"

namespace gui {

namespace {

struct Column {
  const char* title;
  int width;
};
constexpr Column kResultColumns[] = {{"Filename", 120}, {"Size", 60}, {"URL", 400}};
constexpr Column kCatalogueColumns[] = {
    {"Program", 140}, {"Filename", 100}, {"Size", 50}, {"Download URL", 450}};
constexpr const char* kPages[] = {"Search Results", "Brightel", "Appz", "Net", "Gamez"};

HWND List() {
  return Item(IDC_RESULTS_LIST);
}

template <std::size_t N>
bool InsertColumns(const Column (&cols)[N]) {
  HWND list = List();
  for (std::size_t i = 0; i < N; ++i) {
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    c.fmt = LVCFMT_LEFT;
    c.cx = cols[i].width;
    c.pszText = const_cast<char*>(cols[i].title);
    c.iSubItem = static_cast<int>(i);
    if (SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&c)) < 0) return false;
  }
  return true;
}

void DeleteColumns(int count) {
  for (int i = count - 1; i >= 0; --i)
    SendMessageA(List(), LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0);
}

void ShowPopupAtCursor(PopupKind kind) {
  POINT at;
  GetCursorPos(&at);
  ShowPopup(g_gui.main, at, kind);
}

bool RowUnderCursor() {
  LVHITTESTINFO hit{};
  const DWORD pos = GetMessagePos();
  hit.pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  ScreenToClient(List(), &hit.pt);
  SendMessageA(List(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  return (hit.flags & LVHT_ONITEM) != 0;
}

}  // namespace

bool InsertRightTabPages() {
  HWND tab = Item(IDC_RIGHT_TAB);
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    TCITEMA t{};
    t.mask = TCIF_TEXT;
    t.pszText = const_cast<char*>(kPages[i]);
    if (SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&t)) < 0) return false;
  }
  SendMessageA(List(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  return true;
}

bool InsertResultColumns() {
  return InsertColumns(kResultColumns);
}

bool InsertCatalogueColumns() {
  return InsertColumns(kCatalogueColumns);
}

void OnRightTabChanged() {
  const int old_page = g_right_tab;
  const int page = static_cast<int>(SendMessageA(Item(IDC_RIGHT_TAB), TCM_GETCURSEL, 0, 0));
  if (page < 0) return;
  g_right_tab = page;
  if (page != 0 && old_page == 0) {
    DeleteColumns(static_cast<int>(std::size(kResultColumns)));
    InsertCatalogueColumns();
    LayoutMainWindow(g_gui.main);
  } else if (page == 0 && old_page != 0) {
    DeleteColumns(static_cast<int>(std::size(kCatalogueColumns)));
    InsertResultColumns();
    LayoutMainWindow(g_gui.main);
  }
  if (page != 0 && g_catalogue.mode == 0) LoadCatalogue(1);
  FillResultsList();
  // No row of the new page is chosen yet.
  ClearCatalogueFields();
}

void ShowResultsPage() {
  HWND tab = Item(IDC_RIGHT_TAB);
  if (!tab || SendMessageA(tab, TCM_GETCURSEL, 0, 0) == 0) return;
  SendMessageA(tab, TCM_SETCURSEL, 0, 0);
  OnRightTabChanged();
}

void OnResultsListNotify(const NMHDR* hdr) {
  if (g_right_tab == 0) {
    if (hdr->code == NM_RCLICK) {
      // A right click first puts an open file details pane away.
      if (!CloseFileDetails() && RowUnderCursor()) ShowPopupAtCursor(PopupKind::kHit);
    } else if (hdr->code == NM_DBLCLK && RowUnderCursor()) {
      HitAction(kHitView);
    }
    return;
  }
  switch (hdr->code) {
    case NM_RCLICK:
      if (RowUnderCursor()) ShowPopupAtCursor(PopupKind::kCatalogue);
      break;
    case NM_DBLCLK:
      if (RowUnderCursor()) SoftAction(kSoftDownload);
      break;
    case LVN_ITEMCHANGED:
      if (reinterpret_cast<const NMLISTVIEW*>(hdr)->uChanged & LVIF_STATE) {
        SoftAction(kSoftSelected);
      }
      break;
    default:
      break;
  }
}

void AnswerTextRequest(NMHDR* hdr) {
  auto* info = reinterpret_cast<NMLVDISPINFOA*>(hdr);
  LVITEMA& it = info->item;
  if (!(it.mask & LVIF_TEXT) || !it.pszText || it.cchTextMax <= 0) return;
  it.pszText[0] = '\0';
  platform::RowItem item;
  if (!UnpackRow(it.lParam, &item)) {
    // Some list views leave lParam out of the request: ask the row itself.
    LVITEMA row{};
    row.mask = LVIF_PARAM;
    row.iItem = it.iItem;
    SendMessageA(hdr->hwndFrom, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row));
    if (!UnpackRow(row.lParam, &item)) return;
  }
  if (platform::KindOf(item) == platform::RowKind::kEngine) {
    // Drawn unavailable means never selected, whatever set the flag.
    const EngineEntry* shown = std::get<const EngineEntry*>(item);
    for (EngineEntry& e : g_engines) {
      if (&e == shown && !EngineAvailable(e)) e.selected = 0;
    }
  }
  std::string scratch;
  const std::string* text = CellText(item, it.iSubItem, scratch);
  if (text) lstrcpynA(it.pszText, text->c_str(), it.cchTextMax);
}

}  // namespace gui
