// What the core shows, drawn on the real windows: the Ui seam and the front
// end. The core names windows by their dialog template; the open ones are
// remembered here.
#include <map>
#include <set>

#include "platform/frontend.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "util/text.h"
#include "win32/app/gui.h"
#include "win32/app/row_item.h"

namespace gui {

namespace {

std::map<int, HWND> g_windows;

// Lists whose drawing waits until the rows being added are in: a list view
// that redraws and rescrolls for every new row takes many milliseconds per
// row (seconds for a page of hits), while a held one takes next to nothing.
std::set<HWND> g_held_lists;

// What the core last asked the status bar's parts 0 and 1 to show.
constexpr int kStatusParts = 2;
std::string g_status_text[kStatusParts];
bool g_status_dirty[kStatusParts] = {};
bool g_status_flush_posted = false;

void HoldRedraw(HWND list) {
  if (!g_held_lists.insert(list).second) return;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  // Drawn again from the dialog's loop, once this run of inserts is over.
  if (g_held_lists.size() == 1 && g_gui.main) PostMessageA(g_gui.main, kMsgResumeRedraw, 0, 0);
}

class Win32Ui : public platform::Ui {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    // Over whatever modal window sits on top of the main window, so that
    // the box really is modal; no owner while the window is going away.
    HWND owner = g_gui.main && !g_gui.destroying ? GetLastActivePopup(g_gui.main) : nullptr;
    return MessageBoxA(owner, text.c_str(), caption.c_str(), style);
  }

  void SetText(platform::Window w, int control, const std::string& text) override {
    HWND win = WindowOf(w.dialog);
    if (!win) return;
    if (control == platform::kWindowTitle) {
      SetWindowTextA(win, text.c_str());
    } else {
      SetDlgItemTextA(win, control, text.c_str());
    }
  }

  void Enable(platform::Window w, int control, bool on) override {
    HWND win = WindowOf(w.dialog);
    if (HWND item = win ? GetDlgItem(win, control) : nullptr) EnableWindow(item, on);
  }

  void EnableMenuItem(int command, bool on) override {
    if (!g_gui.menu) return;
    ::EnableMenuItem(g_gui.menu, static_cast<UINT>(command),
                     MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
  }

  bool IsOpen(platform::Window w) const override { return WindowOf(w.dialog) != nullptr; }

  // The status dialog's lines are set through SetText; nothing more to draw.
  void SlotStatus(int, const std::string&) override {}

  // The bar redraws itself at once for every text, which costs about a
  // millisecond under Wine, and a download changes the text with every
  // piece read: the latest text is shown once per round of the loop.
  void StatusBar(int part, const std::string& text) override {
    if (part < 0 || part >= kStatusParts) return;
    if (g_status_text[part] == text && !g_status_dirty[part]) return;
    g_status_text[part] = text;
    g_status_dirty[part] = true;
    if (!g_status_flush_posted && g_gui.main) {
      g_status_flush_posted = PostMessageA(g_gui.main, kMsgFlushStatusBar, 0, 0) != 0;
    }
  }

  bool InsertRow(int list, int row, platform::RowItem item) override {
    HWND lv = Item(list);
    if (!lv) return false;
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    it.iItem = row;
    it.pszText = LPSTR_TEXTCALLBACKA;
    it.cchTextMax = 20;
    it.lParam = static_cast<LPARAM>(PackRow(item));
    HoldRedraw(lv);
    const int at =
        static_cast<int>(SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    if (at < 0) return false;
    if (platform::KindOf(item) == platform::RowKind::kEngine) {
      ShowEngineState(lv, at, *std::get<const EngineEntry*>(item));
      return true;
    }
    // The other cells come by callback as well.
    const int cells = platform::KindOf(item) == platform::RowKind::kHit ? 3 : 4;
    for (int sub = 1; sub <= cells; ++sub) {
      LVITEMA t{};
      t.iSubItem = sub;
      t.pszText = LPSTR_TEXTCALLBACKA;
      SendMessageA(lv, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&t));
    }
    return true;
  }

  void DeleteRow(int list, int row) override {
    if (HWND lv = Item(list)) SendMessageA(lv, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }

  void DeleteAllRows(int list) override {
    if (HWND lv = Item(list)) SendMessageA(lv, LVM_DELETEALLITEMS, 0, 0);
  }

  void SetTitle(const std::string& title) override {
    if (g_gui.main) SetWindowTextA(g_gui.main, title.c_str());
  }

  void WaitCursor(bool on) override {
    if (on) {
      WaitCursorOn();
    } else {
      WaitCursorOff();
    }
  }

  void EndMainWindow() override {
    if (g_gui.main) EndDialog(g_gui.main, 1);
  }
};

class Win32FrontEnd : public platform::FrontEnd {
 public:
  void DetectBrowser() override { gui::DetectBrowser(); }
  void OpenStatusDialog() override { RunStatusDialog(); }
  void ShowResultsPage() override {
    gui::ShowResultsPage();
    // Find empties the hit list next: a file details pane looks for its
    // hit once that is done, and closes when it has gone.
    AfterHitsDeleted();
  }
  void OpenReport(const std::string& path) override { OpenUrl(g_gui.main, path.c_str()); }
  // Posted: the dialog learns of the end from its own loop, after the
  // handler that stopped the run.
  void RunEnded() override {
    if (HWND dlg = WindowOf(IDD_VERSION_CHECK)) PostMessageA(dlg, WM_COMMAND, IDM_RUN_ENDED, 0);
  }

  void WindowToProject() override {
    if (!g_gui.main) return;
    char query[kLineLimit + 1] = "";
    char max_files[kLineLimit + 1] = "";
    GetDlgItemTextA(g_gui.main, IDC_QUERY, query, sizeof query);
    GetDlgItemTextA(g_gui.main, IDC_MAX_FILES, max_files, sizeof max_files);
    const bool exact = IsDlgButtonChecked(g_gui.main, IDC_EXACT_MATCH) == BST_CHECKED;
    const HistoryChange change = WindowToProjectValues(exact, max_files, query);
    if (!change.entered) return;
    HWND combo = Item(IDC_QUERY);
    // The list was sorted when it was filled, so the dropped query is looked
    // for by its text, not by its place.
    if (change.dropped) {
      const LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(change.dropped->c_str()));
      if (at != CB_ERR) SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(at), 0);
    }
    SendMessageA(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(g_project.query->c_str()));
  }

  void ProjectToWindow() override {
    if (!g_gui.main) return;
    // The list shows this project's history alone: without emptying it,
    // Delete would add every entry a second time and Open would keep the
    // queries of the project left. (This empties the field too, so it
    // comes before the query is set.)
    HWND combo = Item(IDC_QUERY);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    SendMessageA(Item(IDC_MAX_FILES), EM_LIMITTEXT, 10, 0);
    ::ProjectToWindow();
    CheckDlgButton(g_gui.main, IDC_EXACT_MATCH, g_project.exact ? BST_CHECKED : BST_UNCHECKED);
    // The control sorts what is added.
    const auto add = [combo](const char* text) {
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    };
    if (!g_project.history[0]) {
      add(LoadText(1510));
      return;
    }
    for (const auto& entry : g_project.history) {
      if (entry) add(entry->c_str());
    }
  }
};

Win32Ui g_ui;
Win32FrontEnd g_frontend;

}  // namespace

void FlushStatusBar() {
  g_status_flush_posted = false;
  for (int part = 0; part < kStatusParts; ++part) {
    if (!g_status_dirty[part] || !g_gui.status_bar) continue;
    g_status_dirty[part] = false;
    SendMessageA(g_gui.status_bar, SB_SETTEXTA, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(g_status_text[part].c_str()));
  }
}

void ResumeRedraw() {
  for (HWND list : g_held_lists) {
    if (!IsWindow(list)) continue;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
  g_held_lists.clear();
}

void RememberWindow(int dialog, HWND hwnd) {
  g_windows[dialog] = hwnd;
}

void ForgetWindow(int dialog) {
  g_windows.erase(dialog);
}

HWND WindowOf(int dialog) {
  auto it = g_windows.find(dialog);
  return it == g_windows.end() ? nullptr : it->second;
}

void InstallSeams() {
  platform::SetUi(&g_ui);
  platform::SetFrontEnd(&g_frontend);
}

void RemoveSeams() {
  platform::SetFrontEnd(nullptr);
  platform::SetUi(nullptr);
}

}  // namespace gui
