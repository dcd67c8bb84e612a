#include "update/catalogue_upgrade.h"

#include <string>

#include "app/startup.h"
#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "hunt/response.h"
#include "hunt/slots.h"
#include "platform/ui.h"
#include "results/result_rows.h"
#include "update/version_index.h"
#include "util/file.h"
#include "util/text.h"

CatalogueUpgrade g_catalogue_upgrade;

namespace {

constexpr int kCaption = 1541;      // "Program Database Upgrade"
constexpr int kInstalled = 1542;    // "The Program Database is now version %s."
constexpr int kNotUpgraded = 1543;  // "... was not upgraded: %s soft.dat is unchanged."
constexpr std::size_t kStatusLineShown = 60;

// The status line of an answer, as much of it as a message shows.
std::string StatusLine(const char* answer) {
  std::string line;
  for (const char* p = answer; *p && *p != '\r' && *p != '\n' && line.size() < kStatusLineShown;
       ++p) {
    line += *p;
  }
  return line;
}

// Why an answer never came, from the flags of the download's job.
std::string FailureOfTheJob() {
  for (const ConnSlot& s : g_slots) {
    if (!s.job || !(s.job->request_flags & kRequestSaveCatalogue)) continue;
    const std::uint32_t status = s.job->status_flags;
    if (status & kJobHostNotFound) return LoadText(1548);
    if (status & kJobConnectError) return LoadText(1549);
    if (status & kJobTimedOut) return LoadText(1550);
    if (s.job->request_flags & kRequestError) return LoadText(1551);
  }
  return LoadText(1552);
}

std::string Reason(const CatalogueUpgrade& done) {
  switch (done.outcome) {
    case kUpgradeBadStatus:
      return Format(LoadText(1544), done.detail.c_str());
    case kUpgradeCut:
      return LoadText(1545);
    case kUpgradeInvalid:
      return LoadText(1546);
    case kUpgradeWriteFailed:
      return LoadText(1547);
    default:
      return FailureOfTheJob();
  }
}

void NotUpgraded(const std::string& reason) {
  platform::ui().MessageBox(Format(LoadText(kNotUpgraded), reason.c_str()), LoadText(kCaption),
                            platform::kMbOk | platform::kMbIconExclamation);
}

bool IsHttpAddress(const std::string& address) {
  return address.size() > 7 && FindNoCase(address.c_str(), "http://") == address.c_str();
}

}  // namespace

int StartCatalogueUpgrade() {
  const VersionIndex& v = g_version_index;
  if (g_hunt.running || !v.soft_url) return 0;
  if (!IsHttpAddress(*v.soft_url)) {
    NotUpgraded(LoadText(1553));
    return 0;
  }
  if (!NetworkStartup()) return 0;
  g_catalogue_upgrade = CatalogueUpgrade{};
  g_hunt.catalogue_address = *v.soft_url;
  g_hunt.catalogue_download_sent = 0;
  g_hunt.run_kind = kRunCatalogueDownload;
  g_hunt.cancel_requests = 0;
  g_hunt.running = 1;
  // As during a Hunt: Find shows the connection, Cancel stops it.
  auto& ui = platform::ui();
  ui.SetText(platform::kMainWindow, IDC_FIND, LoadText(1488));
  ui.SetText(platform::kMainWindow, IDC_CANCEL, LoadText(1456));
  for (int id : kRunLockedControls) ui.Enable(platform::kMainWindow, id, false);
  for (int id : kRunLockedMenuItems) ui.EnableMenuItem(id, false);
  StartRunTimers();
  RunSlotStep(0);
  return 1;
}

void TakeCatalogueDownload(const char* answer, std::size_t length, int status, int more) {
  CatalogueUpgrade& u = g_catalogue_upgrade;
  if (!answer) return;
  if (status != 200) {
    u.outcome = kUpgradeBadStatus;
    u.detail = StatusLine(answer);
    return;
  }
  std::size_t n = 0;
  const char* body = more == kAnswerWhole ? WholeBody(answer, length, &n) : nullptr;
  if (!body) {
    u.outcome = kUpgradeCut;
    return;
  }
  std::string version;
  if (!CheckCatalogueText(body, n, &version)) {
    u.outcome = kUpgradeInvalid;
    return;
  }
  if (!ReplaceFileWith(kCatalogueFile, body, n)) {
    u.outcome = kUpgradeWriteFailed;
    return;
  }
  u.outcome = kUpgradeInstalled;
  u.detail = version;
}

void EndCatalogueUpgrade(bool cancelled) {
  const CatalogueUpgrade done = g_catalogue_upgrade;
  g_catalogue_upgrade = CatalogueUpgrade{};
  if (done.outcome == kUpgradeInstalled) {
    // Rows point at the entries being replaced: the page is filled again
    // at once.
    LoadCatalogue(0);
    LoadCatalogue(1);
    if (g_right_tab != 0) FillResultsList();
    platform::ui().MessageBox(Format(LoadText(kInstalled), done.detail.c_str()), LoadText(kCaption),
                              platform::kMbOk);
    return;
  }
  if (!cancelled) NotUpgraded(Reason(done));
}
