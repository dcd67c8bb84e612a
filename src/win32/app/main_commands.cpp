// The main window's commands: menu items, buttons, popup items and the
// query field's notifications.
#include "app/find.h"
#include "hunt/controller.h"
#include "platform/frontend.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "reports/report_set.h"
#include "util/file.h"
#include "util/text.h"
#include "util/vendor.h"
#include "win32/app/gui.h"

namespace gui {

namespace {

constexpr char kFaqPage[] = TORVANE_FAQ_PAGE;

// Any notification of the query field: Find needs a query and an engine.
void OnQueryNotification() {
  char query[kLineLimit + 1] = "";
  GetDlgItemTextA(g_gui.main, IDC_QUERY, query, sizeof query);
  int selected = 0;
  for (const EngineEntry& e : g_engines) selected += e.selected ? 1 : 0;
  EnableWindow(Item(IDC_FIND), query[0] != '\0' && selected > 0);
}

bool FocusInQueryField() {
  HWND focus = GetFocus();
  HWND combo = Item(IDC_QUERY);
  return focus && combo && (focus == combo || IsChild(combo, focus));
}

void ViewReport() {
  WriteReportSet();  // each page that fails has shown its own box
  OpenUrl(g_gui.main, JoinPath("reports", "report.htm").c_str());
}

}  // namespace

bool OnMainCommand(HWND main, int id) {
  switch (id) {
    case IDOK:
      // Enter: in the query field it is Find, when Find may run.
      if (FocusInQueryField() && IsWindowEnabled(Item(IDC_FIND))) Find();
      return true;
    case IDCANCEL:
      return true;  // Escape must not close the main window
    case IDC_QUERY:
      OnQueryNotification();
      return true;
    case IDC_FIND:
      Find();
      return true;
    case IDC_CANCEL:
      Cancel();
      return true;
    case IDC_VIEW:  // also the menu's "Report"
      ViewReport();
      return true;
    case IDC_SELECT_ALL:
    case IDM_ENGINE_SELECT_ALL:
      SelectAllEngines();
      return true;
    case IDC_CLEAR:
    case IDM_ENGINE_CLEAR_ALL:
      ClearAllEngines();
      return true;
    case IDC_DEFAULT:
      DefaultEngines();
      return true;
    case IDM_ENGINE_OPEN:
      EnginePopupAction(kEngineOpen);
      return true;
    case IDM_ENGINE_COPY:
      EnginePopupAction(kEngineCopy);
      return true;
    case IDM_ENGINE_SELECT:
      EnginePopupAction(kEngineSelect);
      platform::frontend().UpdateEngineCount();
      return true;
    case IDM_ENGINE_CLEAR:
      EnginePopupAction(kEngineClear);
      platform::frontend().UpdateEngineCount();
      return true;
    case IDM_OPEN:
      OpenProjectCommand();
      return true;
    case IDM_SAVE:
      SaveProjectCommand();
      return true;
    case IDM_SAVE_AS:
      SaveProjectAsCommand();
      return true;
    case IDM_DELETE:
      DeleteProjectCommand();
      return true;
    case IDM_HIT_DOWNLOAD:
      HitAction(kHitOpen);
      return true;
    case IDM_HIT_COPY:
      HitAction(kHitCopy);
      return true;
    case IDM_HIT_VIEW:
      HitAction(kHitView);
      return true;
    case IDM_HIT_DELETE:
      HitAction(kHitDelete);
      AfterHitsDeleted();
      return true;
    case IDM_SOFT_DOWNLOAD:
    case IDC_GET_IT:
      SoftAction(kSoftDownload);
      return true;
    case IDM_SOFT_HOME:
    case IDC_HOME:
      SoftAction(kSoftHome);
      return true;
    case IDM_SOFT_COPY:
      SoftAction(kSoftCopy);
      return true;
    case IDM_SOFT_VIEW:
      SoftAction(kSoftView);
      return true;
    case IDC_INFO:
      SoftAction(kSoftReview);
      return true;
    case IDM_PREFERENCES:
      RunPreferences();
      return true;
    case IDM_STATUS:
      RunStatusDialog();
      return true;
    case IDM_ABOUT:
      RunAboutBox();
      return true;
    case IDM_VERSION_CHECK:
      RunVersionCheck();
      return true;
    case IDM_FAQ:
      OpenUrl(main, kFaqPage);
      return true;
    case IDM_HOME_PAGE:
      OpenUrl(main, TORVANE_VENDOR_HOME);
      return true;
    case IDM_QUIT:
      EndDialog(main, 1);
      return true;
    default:
      return false;
  }
}

}  // namespace gui
