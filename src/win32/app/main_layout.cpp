// The status bar and the main window's layout on every resize: the places
// the template gave the controls are read once, the rules of layout_rules.h
// turn them and the client area into moves, made in one batch.
#include <optional>

#include "results/store.h"
#include "win32/app/gui.h"
#include "win32/app/layout_rules.h"

namespace gui {

namespace {

std::optional<LayoutBase> g_base;

Box ClientBox(HWND main, int id) {
  RECT r{};
  HWND item = GetDlgItem(main, id);
  if (!item) return Box{};
  GetWindowRect(item, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  return Box{r.left, r.top, r.right, r.bottom};
}

LayoutBase ReadBase(HWND main) {
  LayoutBase b;
  b.results = ClientBox(main, IDC_RESULTS_LIST);
  b.view = ClientBox(main, IDC_VIEW);
  b.engines = ClientBox(main, IDC_ENGINE_LIST);
  b.find = ClientBox(main, IDC_FIND);
  b.query = ClientBox(main, IDC_QUERY);
  b.select_all = ClientBox(main, IDC_SELECT_ALL);
  b.left_tab = ClientBox(main, IDC_LEFT_TAB);
  b.right_tab = ClientBox(main, IDC_RIGHT_TAB);
  b.get_it = ClientBox(main, IDC_GET_IT);
  // Sizing a combo box sets the height of its dropped list: keep that one.
  RECT dropped{};
  SendMessageA(GetDlgItem(main, IDC_QUERY), CB_GETDROPPEDCONTROLRECT, 0,
               reinterpret_cast<LPARAM>(&dropped));
  b.query_drop_height = dropped.bottom - dropped.top;
  if (b.query_drop_height < b.query.height()) b.query_drop_height = b.query.height();
  return b;
}

}  // namespace

void CreateStatusBar(HWND main) {
  g_gui.status_bar =
      CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                      main, nullptr, g_gui.instance, nullptr);
  if (!g_gui.status_bar) return;
  RECT c{};
  GetClientRect(main, &c);
  int parts[] = {c.right - 60, -1};
  SendMessageA(g_gui.status_bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

bool LayoutMainWindow(HWND main) {
  if (!g_base) g_base = ReadBase(main);
  RECT c{};
  GetClientRect(main, &c);
  const Layout layout = ComputeLayout(*g_base, c.right, c.bottom, g_right_tab);

  if (g_gui.status_bar) {
    SendMessageA(g_gui.status_bar, SB_SETPARTS, layout.status_parts.size(),
                 reinterpret_cast<LPARAM>(layout.status_parts.data()));
    SendMessageA(g_gui.status_bar, WM_SIZE, 0, 0);  // it docks itself at the bottom
  }

  HDWP batch = BeginDeferWindowPos(49);
  for (const Placement& p : layout.moves) {
    HWND item = GetDlgItem(main, p.id);
    if (!item || !batch) continue;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!p.move) flags |= SWP_NOMOVE;
    if (!p.resize) flags |= SWP_NOSIZE;
    flags |= p.visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    batch = DeferWindowPos(batch, item, nullptr, p.x, p.y, p.width, p.height, flags);
  }
  return batch && EndDeferWindowPos(batch);
}

}  // namespace gui
