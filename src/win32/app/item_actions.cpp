// What the user does with the rows of the right-hand list: hits on the
// "Search Results" page, programs on the catalogue pages. Every action
// takes its record from the row itself (the row's item data), never from
// the row's position: during a Hunt the rows stand in the order found, not
// in the order of the hit list.
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/ui.h"
#include "results/store.h"
#include "util/text.h"
#include "util/url.h"
#include "util/vendor.h"
#include "win32/app/gui.h"
#include "win32/app/row_item.h"

namespace gui {

namespace {

HWND List() {
  return Item(IDC_RESULTS_LIST);
}

platform::RowItem RowRecord(int row, bool* ok) {
  LVITEMA it{};
  it.mask = LVIF_PARAM;
  it.iItem = row;
  platform::RowItem item;
  *ok = SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)) &&
        UnpackRow(it.lParam, &item);
  return item;
}

const FileHit* RowHit(int row) {
  bool ok = false;
  const platform::RowItem item = RowRecord(row, &ok);
  if (!ok || platform::KindOf(item) != platform::RowKind::kHit) return nullptr;
  const FileHit* hit = std::get<const FileHit*>(item);
  return HoldsHit(hit) ? hit : nullptr;
}

const SoftEntry* RowEntry(int row) {
  bool ok = false;
  const platform::RowItem item = RowRecord(row, &ok);
  if (!ok || platform::KindOf(item) != platform::RowKind::kCatalogue) return nullptr;
  const SoftEntry* e = std::get<const SoftEntry*>(item);
  return HoldsSoftEntry(e) ? e : nullptr;
}

int NextRow(int after, UINT which) {
  return static_cast<int>(
      SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(after), MAKELPARAM(which, 0)));
}

int FocusedRow() {
  return NextRow(-1, LVNI_FOCUSED);
}

void CopyAddress(const std::optional<std::string>& address) {
  if (address && !address->empty()) CopyToClipboard(g_gui.main, *address);
}

int DeleteSelectedHits() {
  HWND list = List();
  int deleted = 0;
  WaitCursorOn();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  // Deleting a row moves the ones below it up: the next highlighted row is
  // looked for from the deleted one's place on.
  for (int row = NextRow(-1, LVNI_SELECTED); row >= 0; row = NextRow(row - 1, LVNI_SELECTED)) {
    const LRESULT before = SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (!DeleteHitRow(row, RowHit(row))) {
      // A row whose hit has gone already: only the row is left to take.
      g_list_filling = true;
      SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
      g_list_filling = false;
      if (g_result_rows > 0) --g_result_rows;
    }
    // A row the control would not give up would be found again forever.
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= before) break;
    ++deleted;
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  WaitCursorOff();
  return deleted;
}

// The catalogue fields beside the list, for the entry or for none.
void ShowCatalogueFields(const SoftEntry* e) {
  const auto filled = [](const std::optional<std::string>& v) { return v && !v->empty(); };
  SetDlgItemTextA(g_gui.main, IDC_SOFT_VERSION,
                  e ? IndentText(e->version ? e->version->c_str() : "") : "");
  SetDlgItemTextA(g_gui.main, IDC_SOFT_SIZE, e ? IndentText(e->size ? e->size->c_str() : "") : "");
  EnableWindow(Item(IDC_GET_IT), e && filled(e->download));
  EnableWindow(Item(IDC_HOME), e && filled(e->home));
  EnableWindow(Item(IDC_INFO), e && filled(e->review));
}

void ShowSelectedFileNames() {
  // The query field reads up to kLineLimit bytes with its terminator.
  const std::string names = SelectedFileNames();
  SetDlgItemTextA(g_gui.main, IDC_QUERY, names.c_str());
  OnMainCommand(g_gui.main, IDC_QUERY);  // Find follows the field
}

}  // namespace

bool OpenAddress(HWND owner, const std::optional<std::string>& address) {
  if (!address || address->empty()) return false;
  if (!IsOpenableLocation(*address)) {
    // Engines' pages and the vendor's catalogue are outside input: only
    // plain ftp and web addresses go to the browser.
    const std::string text =
        "Only ftp://, http:// and https:// addresses are opened:\n" + address->substr(0, 200);
    MessageBoxA(owner, text.c_str(), TORVANE_PRODUCT_NAME, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  return OpenUrl(owner, address->c_str());
}

bool HoldsSoftEntry(const SoftEntry* e) {
  if (!e) return false;
  for (const auto& list : g_catalogue.lists) {
    for (const SoftEntry& held : list) {
      if (&held == e) return true;
    }
  }
  return false;
}

int HitAction(int action) {
  if (g_right_tab != 0) return 0;
  if (action == kHitDelete) return DeleteSelectedHits();
  const int row = FocusedRow();
  const FileHit* hit = row >= 0 ? RowHit(row) : nullptr;
  if (!hit) return 0;
  switch (action) {
    case kHitOpen:
      OpenAddress(g_gui.main, hit->location);
      break;
    case kHitCopy:
      CopyAddress(hit->location);
      break;
    case kHitView:
      ShowFileDetails(hit);
      break;
    default:
      return 0;
  }
  return 1;
}

void SoftAction(int action) {
  if (g_right_tab == 0) return;
  const int row = FocusedRow();
  const SoftEntry* e = row >= 0 ? RowEntry(row) : nullptr;
  if (!e) return;
  switch (action) {
    case kSoftDownload:
      OpenAddress(g_gui.main, e->download);
      break;
    case kSoftHome:
      OpenAddress(g_gui.main, e->home);
      break;
    case kSoftCopy:
      CopyAddress(e->home);  // the home page, as the catalogue's link
      break;
    case kSoftReview:
      OpenAddress(g_gui.main, e->review);
      break;
    case kSoftView:
      ShowSoftwareInfo(e);
      SetFocus(List());
      break;
    case kSoftSelected:
      ShowSelectedFileNames();
      ShowCatalogueFields(e);
      SetCurrentSoftEntry(e);
      break;
    default:
      break;
  }
}

std::string SelectedFileNames() {
  std::vector<const SoftEntry*> entries;
  if (g_right_tab == 0) return {};
  for (int row = NextRow(-1, LVNI_SELECTED); row >= 0; row = NextRow(row, LVNI_SELECTED)) {
    if (const SoftEntry* e = RowEntry(row)) entries.push_back(e);
  }
  return JoinFileNames(entries, kLineLimit - 1);
}

void ClearCatalogueFields() {
  ShowCatalogueFields(nullptr);
}

}  // namespace gui
