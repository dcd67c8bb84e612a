#include "app/find.h"

#include <cctype>
#include <cstring>

#include "app/startup.h"
#include "hunt/controller.h"
#include "hunt/slots.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "results/store.h"
#include "util/text.h"

void (*g_open_status_dialog)() = nullptr;
void (*g_show_results_page)() = nullptr;

namespace {

constexpr int kFindButton = 1008;
constexpr int kCancelButton = 130;
constexpr int kRunLockedIds[] = {174, 175, 176, 180, 1014, 1057, 1058};

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
    if (g_open_status_dialog) g_open_status_dialog();
    return 0;
  }
  if (g_window_to_project) g_window_to_project();
  SplitQuery(g_project.query ? g_project.query->c_str() : "");
  if (!NetworkStartup()) return 0;
  auto& ui = platform::ui();
  for (int i = 0; i < SlotsInUse(); ++i) SetSlotStatus(i, "%s", "");
  g_hunt.running = 1;
  g_hunt.run_kind = kRunHunt;
  g_hunt.insert_download_sent = 0;
  ui.SetText(platform::Window::kMain, kFindButton, LoadText(1488));
  ui.SetText(platform::Window::kMain, kCancelButton, LoadText(1456));
  for (int id : kRunLockedIds) ui.Enable(platform::Window::kMain, id, false);
  g_hunt.cancel_requests = 0;
  ui.WaitCursor(true);
  if (g_show_results_page) g_show_results_page();
  EmptyResultsList();
  ResetHuntResults();
  ui.WaitCursor(false);
  StartRunTimers();
  for (int i = 0; i < SlotsInUse(); ++i) SlotStep(i);
  return 1;
}

void Cancel() {
  CancelHunt();
}
