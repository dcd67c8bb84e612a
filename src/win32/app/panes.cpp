// The two modeless detail panes beside the main window: the file details
// of a hit (template 162) and the software information of a catalogue
// entry (template 163). At most one of each exists and never both at once.
// They show copies of their record's texts and read the record again only
// when command 1094 arrives, which is posted so that the main window's
// handler has finished first; a record that has gone by then (a new Hunt,
// deleted rows, a catalogue read again) closes the pane instead.
#include <optional>
#include <string>

#include "catalogue/catalogue.h"
#include "hunt/hunt_state.h"
#include "results/store.h"
#include "util/text.h"
#include "win32/app/gui.h"

namespace gui {

namespace {

const FileHit* g_viewed_hit = nullptr;
// The viewed hit's location: a new Hunt frees the hits, and a hit of the
// next one may come to lie at the same address.
std::optional<std::string> g_viewed_location;
const SoftEntry* g_current_entry = nullptr;

const char* Text(const std::optional<std::string>& v) {
  return v ? v->c_str() : "";
}

bool Filled(const std::optional<std::string>& v) {
  return v && !v->empty();
}

// The size field shows the size up to its first blank ("1.2 MB" as "1.2").
std::string SizeWord(const std::optional<std::string>& size) {
  if (!size) return {};
  return size->substr(0, size->find(' '));
}

void SetField(HWND pane, int id, const std::string& text) {
  SetDlgItemTextA(pane, id, text.c_str());
}

// Lower right over the results list, wholly on the screen: the rows and
// the query field stay in sight.
void PlacePane(HWND pane) {
  RECT list{}, own{};
  GetWindowRect(Item(IDC_RESULTS_LIST), &list);
  GetWindowRect(pane, &own);
  const int w = own.right - own.left;
  const int h = own.bottom - own.top;
  int x = list.right - w - 12;
  int y = list.bottom - h - 12;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (x + w > work.right) x = work.right - w;
  if (y + h > work.bottom) y = work.bottom - h;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(pane, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ClosePane(HWND pane, int dialog) {
  if (dialog == IDD_FILE_DETAILS) {
    g_viewed_hit = nullptr;
  } else {
    g_current_entry = nullptr;
  }
  ForgetWindow(dialog);
  DestroyWindow(pane);
}

// ---- file details ------------------------------------------------------------

bool FillFileDetails(HWND pane) {
  const FileHit* hit = g_viewed_hit;
  if (!HoldsHit(hit) || hit->location != g_viewed_location) return false;
  SetWindowTextA(pane, Text(hit->name));
  SetField(pane, IDC_DETAIL_NAME, IndentText(Text(hit->name)));
  SetField(pane, IDC_DETAIL_DATE, IndentText(Text(hit->date)));
  SetField(pane, IDC_DETAIL_SIZE, IndentText(SizeWord(hit->size).c_str()));
  SetField(pane, IDC_DETAIL_URL, Text(hit->location));
  EnableWindow(GetDlgItem(pane, IDC_DETAIL_DELETE), !g_hunt.running);
  return true;
}

// ">>": the address as the field shows it, blanks in front skipped.
void OpenShownAddress(HWND pane) {
  char shown[kLineLimit + 1] = "";
  GetDlgItemTextA(pane, IDC_DETAIL_URL, shown, sizeof shown);
  const char* p = shown;
  while (*p == ' ') ++p;
  OpenAddress(pane, std::string(p));
}

INT_PTR CALLBACK FileDetailsProc(HWND pane, UINT msg, WPARAM w, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      RememberWindow(IDD_FILE_DETAILS, pane);
      FillFileDetails(pane);
      PlacePane(pane);
      return FALSE;  // the focus stays where the main window had it
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDM_RUN_ENDED:
          if (!FillFileDetails(pane)) ClosePane(pane, IDD_FILE_DETAILS);
          return TRUE;
        case IDC_DETAIL_OPEN:
          OpenShownAddress(pane);
          return TRUE;
        case IDC_DETAIL_DELETE:
          // The button may have been clicked just before a Hunt began.
          if (g_hunt.running) return TRUE;
          HitAction(kHitDelete);
          ClosePane(pane, IDD_FILE_DETAILS);
          return TRUE;
        case IDC_DIALOG_OK:
        case IDM_PANE_CLOSE:
        case IDCANCEL:
          ClosePane(pane, IDD_FILE_DETAILS);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
    case WM_RBUTTONUP:
      ClosePane(pane, IDD_FILE_DETAILS);
      return TRUE;
    case WM_DESTROY:
      // With the main window, owned panes go too.
      if (WindowOf(IDD_FILE_DETAILS) == pane) {
        ForgetWindow(IDD_FILE_DETAILS);
        g_viewed_hit = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// ---- software information ----------------------------------------------------

bool FillSoftwareInfo(HWND pane) {
  const SoftEntry* e = g_current_entry;
  if (!HoldsSoftEntry(e)) return false;
  SetWindowTextA(pane, Text(e->name));
  std::string title = Text(e->name);
  if (Filled(e->version)) title += " v" + *e->version;
  SetField(pane, IDC_INFO_TITLE, title);
  SetField(pane, IDC_INFO_DOWNLOAD, Text(e->download));
  SetField(pane, IDC_INFO_SIZE, SizeWord(e->size));
  SetField(pane, IDC_INFO_HOME, Text(e->home));
  SetField(pane, IDC_INFO_REVIEW, Text(e->review));
  EnableWindow(GetDlgItem(pane, IDC_INFO_OPEN_DOWNLOAD), Filled(e->download));
  EnableWindow(GetDlgItem(pane, IDC_INFO_HOME), Filled(e->home));
  EnableWindow(GetDlgItem(pane, IDC_INFO_OPEN_HOME), Filled(e->home));
  EnableWindow(GetDlgItem(pane, IDC_INFO_REVIEW), Filled(e->review));
  EnableWindow(GetDlgItem(pane, IDC_INFO_OPEN_REVIEW), Filled(e->review));
  return true;
}

// The entry's address for a ">>" button, or none when the entry has gone.
std::optional<std::string> EntryAddress(int button) {
  const SoftEntry* e = g_current_entry;
  if (!HoldsSoftEntry(e)) return std::nullopt;
  if (button == IDC_INFO_OPEN_DOWNLOAD) return e->download;
  if (button == IDC_INFO_OPEN_HOME) return e->home;
  return e->review;
}

INT_PTR CALLBACK SoftwareInfoProc(HWND pane, UINT msg, WPARAM w, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      RememberWindow(IDD_SOFTWARE_INFO, pane);
      FillSoftwareInfo(pane);
      PlacePane(pane);
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDM_RUN_ENDED:
          if (!FillSoftwareInfo(pane)) ClosePane(pane, IDD_SOFTWARE_INFO);
          return TRUE;
        case IDC_INFO_OPEN_DOWNLOAD:
        case IDC_INFO_OPEN_HOME:
        case IDC_INFO_OPEN_REVIEW:
          OpenAddress(pane, EntryAddress(LOWORD(w)));
          return TRUE;
        case IDC_DIALOG_OK:
        case IDM_PANE_CLOSE:
        case IDCANCEL:
          ClosePane(pane, IDD_SOFTWARE_INFO);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
    case WM_RBUTTONUP:
      ClosePane(pane, IDD_SOFTWARE_INFO);
      return TRUE;
    case WM_DESTROY:
      if (WindowOf(IDD_SOFTWARE_INFO) == pane) {
        ForgetWindow(IDD_SOFTWARE_INFO);
        g_current_entry = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void ClosePaneOf(int dialog) {
  if (HWND pane = WindowOf(dialog)) SendMessageA(pane, WM_COMMAND, IDM_PANE_CLOSE, 0);
}

// Creates the pane, or has the open one read its record again.
void OpenPane(int dialog, DLGPROC proc) {
  if (HWND pane = WindowOf(dialog)) {
    PostMessageA(pane, WM_COMMAND, IDM_RUN_ENDED, 0);
    return;
  }
  // The keyboard stays with the list the user works in: the pane is shown
  // without taking it. (Under Wine a pane that appears while a button of
  // the main window has the focus ends up beneath the main window.)
  SetFocus(Item(IDC_RESULTS_LIST));
  HWND pane = CreateDialogParamA(g_gui.instance, MAKEINTRESOURCEA(dialog), g_gui.main, proc, 0);
  if (pane && WindowOf(dialog) == pane) ShowWindow(pane, SW_SHOWNOACTIVATE);
}

}  // namespace

void ShowFileDetails(const FileHit* hit) {
  if (!HoldsHit(hit)) return;
  ClosePaneOf(IDD_SOFTWARE_INFO);
  g_viewed_hit = hit;
  g_viewed_location = hit->location;
  OpenPane(IDD_FILE_DETAILS, FileDetailsProc);
}

void ShowSoftwareInfo(const SoftEntry* entry) {
  if (!HoldsSoftEntry(entry)) return;
  ClosePaneOf(IDD_FILE_DETAILS);
  g_current_entry = entry;
  OpenPane(IDD_SOFTWARE_INFO, SoftwareInfoProc);
}

void SetCurrentSoftEntry(const SoftEntry* entry) {
  g_current_entry = entry;
  if (HWND pane = WindowOf(IDD_SOFTWARE_INFO)) PostMessageA(pane, WM_COMMAND, IDM_RUN_ENDED, 0);
}

bool CloseFileDetails() {
  if (!WindowOf(IDD_FILE_DETAILS)) return false;
  ClosePaneOf(IDD_FILE_DETAILS);
  return true;
}

void AfterHitsDeleted() {
  // A pane whose hit went with the rows has nothing left to show.
  if (HWND pane = WindowOf(IDD_FILE_DETAILS)) PostMessageA(pane, WM_COMMAND, IDM_RUN_ENDED, 0);
}

}  // namespace gui
