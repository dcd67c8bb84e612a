#include "app/startup.h"

#include "catalogue/catalogue.h"
#include "engines/engines.h"
#include "hunt/controller.h"
#include "hunt/slots.h"
#include "platform/frontend.h"
#include "platform/net.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "update/version_index.h"
#include "util/text.h"

AppState g_app;

void StartUp() {
  LoadSettings();
  LoadEngines();
  LoadReportInserts();
  platform::frontend().DetectBrowser();
  for (auto& entry : g_project.history) entry.reset();
  ClearSlotTables();
}

void FreeProgramState() {
  FreeCatalogue();
  FreeHitList();
  SeenTreeFree(g_seen_urls);
  g_engines.clear();
  g_settings.browser.reset();
  g_settings.proxy.reset();
  g_settings.filename.reset();
  FreeQuery();
  for (auto& entry : g_project.history) entry.reset();
}

void LoadStartupProject() {
  LoadProject();
  if (!g_settings.filename || g_settings.filename->empty()) g_settings.filename = kDefaultProject;
}

int NetworkStartup() {
  if (g_app.winsock_failures != 0) return 1;
  if (platform::net().Startup() == 0) {
    g_app.network_started = 1;
    return 1;
  }
  SetSlotStatus(0, "%s", LoadText(1452));
  ErrorBox(LoadText(1453));
  ++g_app.winsock_failures;
  return 0;
}

void ShutDown() {
  ++g_hunt.cancel_requests;
  StopHunt();
  platform::frontend().WindowToProject();
  SaveSettings();
  SaveProject();
  FreeQuery();
  g_hunt.current_term.reset();
  for (int i = 0; i < kMaxSlots; ++i) {
    ResetSlot(i);
    FreeReceiveBuffer(i);
  }
  if (g_app.network_started) platform::net().Cleanup();
  g_app.network_started = 0;
}
