// The Online Version Check dialog (template 164). Modal over the main
// window; the vendor's job runs meanwhile through the slots, and the end of
// the run arrives as command 1094. The two "Upgrade >" buttons end the
// dialog and then start their upgrade from the main window.
#include "hunt/controller.h"
#include "update/catalogue_upgrade.h"
#include "update/version_check.h"
#include "update/version_index.h"
#include "util/text.h"
#include "util/url.h"
#include "util/vendor.h"
#include "win32/app/gui.h"

namespace gui {

namespace {

enum Ending : INT_PTR { kClosed = 1, kUpgradeProgram, kUpgradeDatabase };

void Close(HWND dlg, Ending ending) {
  VersionCheckClosing();
  ForgetWindow(IDD_VERSION_CHECK);  // no indicator or 1094 reaches it from here on
  EndDialog(dlg, ending);
}

// Once the result is shown, Enter closes the dialog: the focus leaves
// "History >", where it lands while OK is greyed.
bool FocusOk(HWND dlg) {
  HWND ok = GetDlgItem(dlg, IDC_VERSION_OK);
  if (!ok || !IsWindowEnabled(ok)) return false;
  SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
  return true;
}

INT_PTR CALLBACK VersionProc(HWND dlg, UINT msg, WPARAM w, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      RememberWindow(IDD_VERSION_CHECK, dlg);
      ShowDialogNow(dlg);
      VersionCheckOpened();
      // TRUE lets the dialog manager choose the focus.
      return FocusOk(dlg) ? FALSE : TRUE;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDM_RUN_ENDED:
          if (WindowOf(IDD_VERSION_CHECK) == dlg) {
            VersionCheckRunEnded();
            FocusOk(dlg);
          }
          return TRUE;
        case IDC_HISTORY:
          OpenUrl(g_gui.main, TORVANE_HISTORY_PAGE);
          return TRUE;
        case IDC_UPGRADE_PROGRAM:
          Close(dlg, kUpgradeProgram);
          return TRUE;
        case IDC_UPGRADE_DATABASE:
          Close(dlg, kUpgradeDatabase);
          return TRUE;
        case IDC_VERSION_OK:
        case IDC_VERSION_CANCEL:
        case IDCANCEL:
          Close(dlg, kClosed);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      Close(dlg, kClosed);
      return TRUE;
    default:
      return FALSE;
  }
}

// The announced program goes to the browser, when it is an address the
// program hands on at all.
void UpgradeProgram() {
  const auto& url = g_version_index.build_url;
  if (!url) return;
  if (IsOpenableLocation(*url)) {
    OpenUrl(g_gui.main, url->c_str());
  } else {
    MessageBoxA(g_gui.main, Format(LoadText(1554), url->c_str()).c_str(), LoadText(1451),
                MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace

void RunVersionCheck() {
  // Greyed during a run; a posted command must not take the slots either.
  if (WindowOf(IDD_VERSION_CHECK) || g_hunt.running) return;
  const INT_PTR ending = DialogBoxParamA(g_gui.instance, MAKEINTRESOURCEA(IDD_VERSION_CHECK),
                                         g_gui.main, VersionProc, 0);
  ForgetWindow(IDD_VERSION_CHECK);
  if (ending == kUpgradeProgram) UpgradeProgram();
  if (ending == kUpgradeDatabase) StartCatalogueUpgrade();
}

}  // namespace gui
