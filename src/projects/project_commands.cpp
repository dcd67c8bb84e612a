#include "projects/project_commands.h"

#include "hunt/controller.h"
#include "platform/frontend.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "results/store.h"
#include "util/file.h"
#include "util/text.h"

namespace {

bool HasPath() {
  return g_settings.filename && !g_settings.filename->empty();
}

// A page of the catalogue keeps its rows when the hits are emptied.
void RefillCataloguePage() {
  if (g_right_tab != 0) FillResultsList();
}

}  // namespace

std::string SaveAsPath(const std::string& chosen) {
  return chosen.find('.') == std::string::npos ? chosen + ".tvs" : chosen;
}

void OpenProject(const std::string& path) {
  if (HasPath()) SaveProject();
  if (g_hunt.running && g_hunt.run_kind == kRunHunt) CancelHunt();
  g_settings.filename = path;
  if (LoadProject()) return;
  // Unreadable after all: its hits and history are gone, and the window
  // must say so and name the project that Save would now write.
  platform::frontend().ProjectToWindow();
  SetWindowTitle();
  platform::frontend().UpdateEngineCount();
}

int SaveProjectAs(const std::string& chosen) {
  platform::frontend().WindowToProject();
  g_settings.filename = SaveAsPath(chosen);
  const int saved = SaveProject();
  SetWindowTitle();
  return saved;
}

int DeleteProject() {
  auto& ui = platform::ui();
  if (ui.MessageBox(LoadText(1504), LoadText(1505),
                    platform::kMbYesNo | platform::kMbIconQuestion) != platform::kIdYes) {
    return 0;
  }
  ui.WaitCursor(true);
  FreeHitList();
  SeenTreeFree(g_seen_urls);
  if (HasPath()) DeleteFileAt(g_settings.filename->c_str());
  EmptyResultsList();
  RefillCataloguePage();
  g_settings.filename = kDefaultProject;
  FreeQuery();
  g_hunt.current_term.reset();
  platform::frontend().ProjectToWindow();
  SetWindowTitle();
  ui.WaitCursor(false);
  return 1;
}
