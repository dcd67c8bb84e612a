// The right-click menus: hits, catalogue entries, engines on a row, and
// engines off the rows (where only the "all" items make sense).
#include "win32/app/gui.h"
#include "win32/app/handles.h"

namespace gui {

namespace {

int MenuOf(PopupKind kind) {
  switch (kind) {
    case PopupKind::kHit:
      return IDM_HIT_POPUP;
    case PopupKind::kCatalogue:
      return IDM_CATALOGUE_POPUP;
    case PopupKind::kEngine:
    case PopupKind::kEngineOffRows:
      return IDM_ENGINE_POPUP;
  }
  return 0;
}

// Off the rows there is no engine to open, copy, select or clear.
constexpr UINT kRowOnlyEngineItems[] = {IDM_ENGINE_OPEN, IDM_ENGINE_COPY, IDM_ENGINE_SELECT,
                                        IDM_ENGINE_CLEAR};

}  // namespace

bool ShowPopup(HWND owner, POINT screen, PopupKind kind) {
  UniqueMenu menu(LoadMenuA(g_gui.instance, MAKEINTRESOURCEA(MenuOf(kind))));
  if (!menu) return false;
  HMENU items = GetSubMenu(menu.get(), 0);
  if (!items) return false;
  if (kind == PopupKind::kEngineOffRows) {
    for (UINT id : kRowOnlyEngineItems)
      EnableMenuItem(items, id, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
  }
  // The chosen command arrives as the owner's WM_COMMAND.
  TrackPopupMenu(items, TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
  return true;
}

}  // namespace gui
