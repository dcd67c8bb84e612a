// The engine list view: one row per engine with a check-mark state image,
// selection by click, popup and buttons, and the count below it.
#include <iterator>

#include "engines/engines.h"
#include "hunt/controller.h"
#include "platform/frontend.h"
#include "platform/ui.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/text.h"
#include "win32/app/gui.h"
#include "win32/app/handles.h"
#include "win32/app/row_item.h"

namespace gui {

namespace {

// Small images: available, four Hunt states, unavailable.
constexpr int kSmallIcons[] = {IDI_ENGINE,   IDI_ENGINE_1, IDI_ENGINE_2,
                               IDI_ENGINE_3, IDI_ENGINE_4, IDI_ENGINE_UNAVAILABLE};
constexpr int kImageAvailable = 0;
constexpr int kImageUnavailable = 5;
// State images (1-based in the list view): not selected, selected, unavailable.
constexpr int kStateIcons[] = {IDI_STATE_CLEAR, IDI_STATE_SELECTED, IDI_STATE_UNAVAILABLE};
constexpr int kStateClear = 1;
constexpr int kStateSelected = 2;
constexpr int kStateUnavailable = 3;

constexpr int kEngineColumnWidth = 180;

// The list view shares them (LVS_SHAREIMAGELISTS): they outlive it.
UniqueImageList g_small_images;
UniqueImageList g_state_images;

HWND List() {
  return Item(IDC_ENGINE_LIST);
}

UniqueImageList MakeImageList(const int* ids, int count) {
  UniqueImageList list(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, count, 0));
  if (!list) return list;
  for (int i = 0; i < count; ++i) {
    UniqueIcon icon(static_cast<HICON>(
        LoadImageA(g_gui.instance, MAKEINTRESOURCEA(ids[i]), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    // A missing icon still takes its place, so the indexes stay right.
    if (!icon || ImageList_AddIcon(list.get(), icon.get()) < 0) {
      ImageList_AddIcon(list.get(), LoadIcon(nullptr, IDI_APPLICATION));
    }
  }
  return list;
}

// The engine behind a row, as the program's own record (rows hold it read-only).
EngineEntry* RowEngine(HWND list, int row) {
  LVITEMA it{};
  it.mask = LVIF_PARAM;
  it.iItem = row;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  platform::RowItem item;
  if (!UnpackRow(it.lParam, &item) || platform::KindOf(item) != platform::RowKind::kEngine) {
    return nullptr;
  }
  const EngineEntry* shown = std::get<const EngineEntry*>(item);
  for (EngineEntry& e : g_engines) {
    if (&e == shown) return &e;
  }
  return nullptr;
}

void SetRowImage(HWND list, int row, int image) {
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = row;
  it.iImage = image;
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
  LVITEMA it{};
  it.stateMask = mask;
  it.state = state;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

// With no engine: the row's own engine toggles. Then its state image
// follows. False when the row does not exist.
bool UpdateEngineRow(EngineEntry* engine, int row) {
  HWND list = List();
  EngineEntry* e = engine ? engine : RowEngine(list, row);
  if (!e) return false;
  if (!engine) e->selected = EngineAvailable(*e) && !e->selected ? 1 : 0;
  ShowEngineState(list, row, *e);
  return true;
}

int RowAt(HWND list, POINT screen) {
  LVHITTESTINFO hit{};
  hit.pt = screen;
  ScreenToClient(list, &hit.pt);
  const int row =
      static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return (hit.flags & LVHT_ONITEM) ? row : -1;
}

POINT MessagePoint() {
  const DWORD pos = GetMessagePos();
  return POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
}

void OnClick() {
  if (g_hunt.running) return;  // the selection is the running Hunt's
  HWND list = List();
  const int row = RowAt(list, MessagePoint());
  if (row < 0) return;
  UpdateEngineRow(nullptr, row);
  SetRowState(list, row + 1, 0, LVIS_SELECTED);
  platform::frontend().UpdateEngineCount();
}

void OnRightClick() {
  POINT at;
  GetCursorPos(&at);
  if (RowAt(List(), MessagePoint()) < 0) {
    ShowPopup(g_gui.main, at, PopupKind::kEngineOffRows);
    return;
  }
  if (g_settings.filename && !g_settings.filename->empty()) {
    ShowPopup(g_gui.main, at, PopupKind::kEngine);
    return;
  }
  platform::ui().MessageBox(LoadText(1485), LoadText(1486), platform::kMbIconStop);
}

}  // namespace

void ShowEngineState(HWND list, int row, const EngineEntry& shown) {
  // An unavailable engine can never be selected, whatever set the flag.
  const bool available = EngineAvailable(shown);
  if (!available && shown.selected) {
    for (EngineEntry& e : g_engines) {
      if (&e == &shown) e.selected = 0;
    }
  }
  const int state = !available ? kStateUnavailable : shown.selected ? kStateSelected : kStateClear;
  SetRowState(list, row, INDEXTOSTATEIMAGEMASK(state), LVIS_STATEIMAGEMASK);
  if (!available) SetRowImage(list, row, kImageUnavailable);
}

bool CreateEngineList() {
  HWND list = List();
  g_small_images = MakeImageList(kSmallIcons, static_cast<int>(std::size(kSmallIcons)));
  g_state_images = MakeImageList(kStateIcons, static_cast<int>(std::size(kStateIcons)));
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_small_images.get()));
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(g_state_images.get()));
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  col.fmt = LVCFMT_LEFT;
  col.cx = kEngineColumnWidth;
  col.pszText = const_cast<char*>("Engine");
  return SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col)) >= 0;
}

void FillEngineList() {
  g_list_filling = true;
  platform::ui().DeleteAllRows(IDC_ENGINE_LIST);
  int row = 0;
  for (EngineEntry& e : g_engines) {
    if (!platform::ui().InsertRow(IDC_ENGINE_LIST, row, platform::RowItem(&e))) continue;
    e.list_position = row + 1;
    ++row;
  }
  g_list_filling = false;
}

void DestroyEngineImages() {
  g_small_images.reset();
  g_state_images.reset();
}

void SelectAllEngines() {
  int row = 0;
  for (EngineEntry& e : g_engines) {
    e.selected = e.request ? 1 : 0;  // an unavailable one falls back in the update
    UpdateEngineRow(&e, row++);
  }
  platform::frontend().UpdateEngineCount();
}

void ClearAllEngines() {
  int row = 0;
  for (EngineEntry& e : g_engines) {
    e.selected = 0;
    UpdateEngineRow(&e, row++);
  }
  platform::frontend().UpdateEngineCount();
}

void ShowEngineSelection() {
  int row = 0;
  for (EngineEntry& e : g_engines) UpdateEngineRow(&e, row++);
}

void DefaultEngines() {
  ClearAllEngines();
  for (int row = 0; row < 2 && row < static_cast<int>(g_engines.size()); ++row) {
    EngineEntry& e = g_engines[static_cast<std::size_t>(row)];
    e.selected = 1;
    UpdateEngineRow(&e, row);
  }
  platform::frontend().UpdateEngineCount();
}

void EnginePopupAction(int code) {
  HWND list = List();
  if (code == kEngineOpen || code == kEngineCopy) {
    const int row = static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    const EngineEntry* e = row >= 0 ? RowEngine(list, row) : nullptr;
    if (!e || !e->home) return;
    if (code == kEngineOpen) {
      OpenUrl(g_gui.main, e->home->c_str());
    } else {
      CopyToClipboard(g_gui.main, *e->home);
    }
    return;
  }
  const int flag = code == kEngineSelect ? 1 : 0;
  for (int row = -1;;) {
    row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                        MAKELPARAM(LVNI_SELECTED, 0)));
    if (row < 0) break;
    EngineEntry* e = RowEngine(list, row);
    if (!e || !EngineAvailable(*e)) continue;
    e->selected = flag;
    ShowEngineState(list, row, *e);
    SetRowImage(list, row, kImageAvailable);
  }
}

void OnEngineListNotify(const NMHDR* hdr) {
  switch (hdr->code) {
    case NM_CLICK:
      OnClick();
      break;
    case NM_RCLICK:
      OnRightClick();
      break;
    default:
      break;
  }
}

}  // namespace gui
