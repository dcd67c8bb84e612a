// The About box: product, version and build, and the vendor's home page.
#include "win32/app/gui.h"

namespace gui {

namespace {

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM w, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      ShowDialogNow(dlg);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) == IDC_ABOUT_OK || LOWORD(w) == IDCANCEL) {
        EndDialog(dlg, 1);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dlg, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutBox() {
  DialogBoxParamA(g_gui.instance, MAKEINTRESOURCEA(IDD_ABOUT), g_gui.main, AboutProc, 0);
}

}  // namespace gui
