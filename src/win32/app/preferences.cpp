// The Preferences dialog: browser, connections, proxy and port, timeout and
// the browser window choice, changed in memory on OK (torva.ini keeps them
// when the program ends).
#include <string>

#include "hunt/slots.h"
#include "settings/settings.h"
#include "util/text.h"
#include "win32/app/gui.h"
#include "win32/app/preference_rules.h"

namespace gui {

namespace {

constexpr char kHelpPage[] = "chelp.htm";

std::string ItemText(HWND dlg, int id) {
  char buf[kLineLimit + 1] = "";
  GetDlgItemTextA(dlg, id, buf, sizeof buf);
  return buf;
}

void FollowProxy(HWND dlg) {
  EnableWindow(GetDlgItem(dlg, IDC_PREF_PORT), !ItemText(dlg, IDC_PREF_PROXY).empty());
}

void Fill(HWND dlg) {
  HWND combo = GetDlgItem(dlg, IDC_PREF_BROWSER);
  const auto offer = [combo](const std::string& path) {
    if (!path.empty()) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
  };
  const std::string current = g_settings.browser ? *g_settings.browser : std::string();
  offer(current);
  offer(g_browser_candidates.netscape);
  offer(g_browser_candidates.internet_explorer);
  SetWindowTextA(combo, current.c_str());

  SetDlgItemTextA(dlg, IDC_PREF_PROXY, g_settings.proxy ? g_settings.proxy->c_str() : "");
  FollowProxy(dlg);
  SetDlgItemTextA(dlg, IDC_PREF_PORT, IntToText(g_settings.port));
  SetDlgItemTextA(dlg, IDC_PREF_CONNECTIONS, IntToText(g_settings.packcount));
  SetDlgItemTextA(dlg, IDC_PREF_TIMEOUT, IntToText2(g_settings.timeout));
  CheckRadioButton(dlg, IDC_PREF_EXISTING_WINDOW, IDC_PREF_NEW_WINDOW,
                   g_settings.newwin ? IDC_PREF_NEW_WINDOW : IDC_PREF_EXISTING_WINDOW);
}

int SignedNumber(HWND dlg, int id) {
  BOOL ok = FALSE;
  const int n = static_cast<int>(GetDlgItemInt(dlg, id, &ok, TRUE));
  return ok ? n : 0;
}

// Slots beyond the new count take no part any more: their texts and
// sockets go.
void ReleaseSlotsFrom(int first) {
  for (int i = first; i < kMaxSlots; ++i) {
    g_slot_status[i].clear();
    ResetSlot(i);
  }
}

void Apply(HWND dlg) {
  g_settings.browser = ItemText(dlg, IDC_PREF_BROWSER);
  g_settings.proxy = ItemText(dlg, IDC_PREF_PROXY);
  g_settings.timeout = ClampTimeout(TextToLong(ItemText(dlg, IDC_PREF_TIMEOUT).c_str()));
  g_settings.port = SignedNumber(dlg, IDC_PREF_PORT);
  g_settings.packcount = ClampConnections(SignedNumber(dlg, IDC_PREF_CONNECTIONS));
  ReleaseSlotsFrom(g_settings.packcount);
  g_settings.newwin = IsDlgButtonChecked(dlg, IDC_PREF_EXISTING_WINDOW) == BST_CHECKED ? 0 : 1;
}

INT_PTR CALLBACK PreferencesProc(HWND dlg, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_INITDIALOG:
      Fill(dlg);
      ShowDialogNow(dlg);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // Light grey behind the dialog, its labels and its buttons.
      SetBkColor(reinterpret_cast<HDC>(w), RGB(192, 192, 192));
      return reinterpret_cast<INT_PTR>(GetStockObject(LTGRAY_BRUSH));
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDC_PREF_PROXY:
          FollowProxy(dlg);
          return TRUE;
        case IDC_PREF_HELP:
          OpenUrl(g_gui.main, kHelpPage);
          return TRUE;
        case IDC_DIALOG_OK:
          Apply(dlg);
          EndDialog(dlg, 1);
          return TRUE;
        case IDC_PREF_CANCEL:
        case IDCANCEL:
          EndDialog(dlg, 1);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dlg, 1);
      return TRUE;
    default:
      (void)l;
      return FALSE;
  }
}

}  // namespace

void RunPreferences() {
  DialogBoxParamA(g_gui.instance, MAKEINTRESOURCEA(IDD_PREFERENCES), g_gui.main, PreferencesProc,
                  0);
}

}  // namespace gui
