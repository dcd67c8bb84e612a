#include "update/version_check.h"

#include <string>

#include "app/main_messages.h"
#include "app/startup.h"
#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "platform/host.h"
#include "platform/ui.h"
#include "update/version_index.h"
#include "util/text.h"
#include "util/vendor.h"

namespace {

constexpr platform::Window kDialog = platform::kVersionDialog;
constexpr int kButtonsOfAResult[] = {IDC_VERSION_OK, IDC_UPGRADE_PROGRAM, IDC_UPGRADE_DATABASE};

void LockMainWindow(bool locked) {
  auto& ui = platform::ui();
  for (int id : kRunLockedMenuItems) ui.EnableMenuItem(id, !locked);
  for (int id : kRunLockedControls) ui.Enable(platform::kMainWindow, id, !locked);
}

void ConnectError() {
  platform::ui().MessageBox(LoadText(1494), LoadText(1495), platform::kMbOk);
  ShowVersionResult();
}

}  // namespace

void VersionCheckOpened() {
  auto& ui = platform::ui();
  LockMainWindow(true);
  ui.SetText(kDialog, IDC_YOUR_VERSION,
             Format(LoadText(1491), TORVANE_PRODUCT_NAME, TORVANE_VERSION_TEXT));
  ui.SetText(kDialog, IDC_YOUR_BUILD, std::string(LoadText(1492)) + TORVANE_BUILD_TEXT);
  ui.SetText(kDialog, IDC_YOUR_DATABASE, g_catalogue.version.value_or(""));
  // A run of any kind owns the slots: the dialog shows what is known.
  if (g_hunt.vendor_replies != 0 || g_hunt.running) {
    ShowVersionResult();
    return;
  }
  ui.SetText(kDialog, platform::kWindowTitle, LoadText(1493));
  if (!NetworkStartup()) {
    ConnectError();
    return;
  }
  for (int id : kButtonsOfAResult) ui.Enable(kDialog, id, false);
  g_hunt.run_kind = kRunVersionCheck;
  g_hunt.vendor_job_sent = 0;
  g_hunt.insert_download_sent = 0;
  // A Cancel of an earlier run must not hold this one.
  g_hunt.cancel_requests = 0;
  g_hunt.running = 1;
  ResetActivityIndicator();
  StartRunTimers();
  RunSlotStep(0);
}

void VersionCheckRunEnded() {
  // StopHunt gave the main window back; it stays held until the dialog closes.
  LockMainWindow(true);
  // Only a reply read to its end counts: a job that failed, timed out or
  // got an error page has none, whatever its flags say.
  if (g_hunt.vendor_replies == 0) {
    ConnectError();
  } else {
    ShowVersionResult();
  }
}

void VersionCheckClosing() {
  if (g_hunt.running) platform::host().PostMessage(kWmCommand, IDC_CANCEL, 0);
  LockMainWindow(false);
}
