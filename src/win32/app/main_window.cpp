// The main window: a modal dialog whose procedure is the program's one main
// loop. Creation builds the window in a fixed order, destruction shuts the
// program down in a fixed order, and everything in between is routed to
// the file that does it.
#include "app/startup.h"
#include "catalogue/catalogue.h"
#include "engines/engines.h"
#include "platform/frontend.h"
#include "projects/project.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/text.h"
#include "win32/app/gui.h"

namespace gui {

GuiState g_gui;

namespace {

// Chosen with a catalogue entry later; Delete never does anything here.
constexpr int kCatalogueButtons[] = {IDC_GET_IT, IDC_HOME, IDC_INFO, IDC_SOFT_DELETE};

void SetIcons(HWND main) {
  HICON big = LoadIcon(g_gui.instance, MAKEINTRESOURCE(IDI_PROGRAM));
  HICON small = static_cast<HICON>(LoadImageA(g_gui.instance, MAKEINTRESOURCEA(IDI_PROGRAM),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  SetClassLongPtrA(main, GCLP_HICON, reinterpret_cast<LONG_PTR>(big));
  SendMessageA(main, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageA(main, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void OnCreate(HWND main) {
  g_gui.main = main;
  RememberWindow(IDD_MAIN, main);
  CreateStatusBar(main);
  g_gui.menu = GetMenu(main);
  for (int id : kCatalogueButtons) EnableWindow(GetDlgItem(main, id), FALSE);
  SetDlgItemTextA(main, IDC_CANCEL, LoadText(1456));
  SetIcons(main);
  InsertRightTabPages();
  InsertResultColumns();
  // With no project file the query controls still show the settings'
  // Exact Match and Max Files instead of staying blank.
  if (!LoadProject()) platform::frontend().ProjectToWindow();
  CreateEngineList();
  FillEngineList();
  if (!g_settings.filename || g_settings.filename->empty()) g_settings.filename = kDefaultProject;
  LoadCatalogue(0);
  SetWindowTitle();
  g_gui.ready = true;
  RECT r{};
  GetWindowRect(main, &r);
  SetWindowPos(main, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutMainWindow(main);
  platform::frontend().UpdateEngineCount();
  WaitCursorOff();
}

void OnDestroy() {
  g_gui.destroying = true;
  ShutDown();
  g_gui.ready = false;
}

void OnSize(HWND main, WPARAM kind) {
  if (!g_gui.ready || g_list_filling || kind == SIZE_MINIMIZED) return;
  if (!LayoutMainWindow(main)) MessageBoxA(nullptr, LoadText(1487), nullptr, MB_OK);
  RedrawWindow(main, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void OnNotify(NMHDR* hdr) {
  if (hdr->idFrom == IDC_RIGHT_TAB) {
    if (hdr->code == TCN_SELCHANGE) OnRightTabChanged();
    return;
  }
  // Texts are answered even while the program fills a list: a row drawn
  // meanwhile would otherwise stay blank.
  if (hdr->code == LVN_GETDISPINFOA) {
    AnswerTextRequest(hdr);
    return;
  }
  if (g_list_filling || !g_gui.ready) return;
  if (hdr->code == NM_RCLICK && InsideDelivery()) {
    PostMessageA(g_gui.main, kMsgDeferredRightClick, hdr->idFrom, 0);
    return;
  }
  if (hdr->idFrom == IDC_ENGINE_LIST) {
    OnEngineListNotify(hdr);
  } else if (hdr->idFrom == IDC_RESULTS_LIST) {
    OnResultsListNotify(hdr);
  }
}

INT_PTR CALLBACK MainProc(HWND main, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_INITDIALOG:
      OnCreate(main);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    case WM_SIZE:
      OnSize(main, w);
      return TRUE;
    case WM_CLOSE:
      EndDialog(main, 1);
      return TRUE;
    case WM_COMMAND:
      if (InsideDelivery()) {
        PostMessageA(main, msg, w, l);  // it may open a modal window
        return TRUE;
      }
      return g_gui.ready && OnMainCommand(main, LOWORD(w)) ? TRUE : FALSE;
    case kMsgResumeRedraw:
      ResumeRedraw();
      return TRUE;
    case kMsgFlushStatusBar:
      FlushStatusBar();
      return TRUE;
    case kMsgDeferredRightClick: {
      NMHDR hdr{GetDlgItem(main, static_cast<int>(w)), static_cast<UINT_PTR>(w),
                static_cast<UINT>(NM_RCLICK)};
      OnNotify(&hdr);
      return TRUE;
    }
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<NMHDR*>(l));
      return TRUE;
    case WM_NOTIFYFORMAT:
      // The lists talk to this ANSI window in ANSI.
      SetWindowLongPtrA(main, DWLP_MSGRESULT, NFR_ANSI);
      return TRUE;
    default:
      // WM_ACTIVATE included: the dialog manager keeps the focus right.
      return FALSE;
  }
}

// What the program holds for the window's rows, freed once no row is left.
void FreeProgramState() {
  DestroyEngineImages();
  ::FreeProgramState();
  g_browser_candidates = BrowserCandidates{};
}

}  // namespace

INT_PTR RunMainWindow() {
  const INT_PTR result =
      DialogBoxParamA(g_gui.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
  ForgetWindow(IDD_MAIN);
  g_gui.main = nullptr;
  g_gui.menu = nullptr;
  g_gui.status_bar = nullptr;
  FreeProgramState();
  return result;
}

}  // namespace gui
