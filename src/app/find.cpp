#include "app/find.h"

#include <cctype>
#include <cstring>

#include "app/startup.h"
#include "hunt/controller.h"
#include "hunt/slots.h"
#include "platform/frontend.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "reports/page_capture.h"
#include "results/store.h"
#include "util/text.h"

namespace {

const char* SkipSpace(const char* p) {
  while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

}  // namespace

std::vector<std::string> SplitSearchTerms(const char* query) {
  std::vector<std::string> terms;
  if (!query) return terms;
  const char* p = SkipSpace(query);
  while (terms.size() < static_cast<std::size_t>(kMaxSearchTerms)) {
    const char* comma = std::strchr(p, ',');
    if (!comma) {
      terms.emplace_back(p);
      break;
    }
    terms.emplace_back(p, comma);
    p = SkipSpace(comma + 1);
  }
  return terms;
}

void SplitQuery(const char* query) {
  if (!query) return;
  g_hunt.search_terms = SplitSearchTerms(query);
  g_hunt.has_terms = true;
  g_hunt.current_term = g_hunt.search_terms.front();
}

int Find() {
  if (g_hunt.running) {
    platform::frontend().OpenStatusDialog();
    return 0;
  }
  platform::frontend().WindowToProject();
  SplitQuery(g_project.query ? g_project.query->c_str() : "");
  if (!NetworkStartup()) return 0;
  auto& ui = platform::ui();
  for (int i = 0; i < SlotsInUse(); ++i) SetSlotStatus(i, "%s", "");
  g_hunt.running = 1;
  g_hunt.run_kind = kRunHunt;
  g_hunt.insert_download_sent = 0;
  ui.SetText(platform::kMainWindow, IDC_FIND, LoadText(1488));
  ui.SetText(platform::kMainWindow, IDC_CANCEL, LoadText(1456));
  for (int id : kRunLockedControls) ui.Enable(platform::kMainWindow, id, false);
  for (int id : kRunLockedMenuItems) ui.EnableMenuItem(id, false);
  // An open file details pane must not delete hits under a running Hunt.
  if (ui.IsOpen(platform::kFileDetailsPane)) {
    ui.Enable(platform::kFileDetailsPane, IDC_DETAIL_DELETE, false);
  }
  g_hunt.cancel_requests = 0;
  ui.WaitCursor(true);
  platform::frontend().ShowResultsPage();
  EmptyResultsList();
  // No job waits on the disk: the engines' pages are written when the run ends.
  HoldEnginePages();
  ResetHuntResults();
  ui.WaitCursor(false);
  StartRunTimers();
  for (int i = 0; i < SlotsInUse(); ++i) RunSlotStep(i);
  return 1;
}

void Cancel() {
  CancelHunt();
}
