// The status dialog: each connection slot's latest text and the number of
// files found. Modal, but the Hunt goes on meanwhile: its texts arrive
// through the Ui while the dialog's own loop runs.
#include <string>

#include "hunt/slot_status.h"
#include "results/store.h"
#include "util/text.h"
#include "win32/app/gui.h"

namespace gui {

namespace {

void Close(HWND dlg) {
  ForgetWindow(IDD_STATUS);  // nothing writes into it from here on
  EndDialog(dlg, 1);
}

INT_PTR CALLBACK StatusProc(HWND dlg, UINT msg, WPARAM w, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      RememberWindow(IDD_STATUS, dlg);
      // A line stays grey, with the last text known, until its slot reports
      // while the dialog is open.
      for (int i = 0; i < kMaxSlots; ++i) {
        HWND line = GetDlgItem(dlg, IDC_STATUS_LINE_FIRST + i);
        EnableWindow(line, FALSE);
        g_slot_line_enabled[i] = false;
        if (!g_slot_status[i].empty()) SetWindowTextA(line, g_slot_status[i].c_str());
      }
      SetDlgItemTextA(dlg, IDC_FILES_FOUND, (std::string("  ") + IntToText(g_total_hits)).c_str());
      ShowDialogNow(dlg);
      return TRUE;
    case WM_COMMAND:
      // OK, and Escape as in any dialog.
      if (LOWORD(w) == IDC_DIALOG_OK || LOWORD(w) == IDCANCEL) {
        Close(dlg);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      Close(dlg);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunStatusDialog() {
  if (WindowOf(IDD_STATUS)) return;  // one is open already
  DialogBoxParamA(g_gui.instance, MAKEINTRESOURCEA(IDD_STATUS), g_gui.main, StatusProc, 0);
  ForgetWindow(IDD_STATUS);
}

}  // namespace gui
