// The Program Database upgrade: the catalogue that the version index
// announces is fetched through the connection slots (run kind 3), checked
// to load as a catalogue, and only then put in place of soft.dat in one
// rename; the catalogue pages are read again. Anything else leaves soft.dat
// as it was and tells the user why.
#pragma once

#include <cstddef>
#include <string>

enum CatalogueUpgradeOutcome {
  kUpgradePending = 0,  // no answer has been taken (yet)
  kUpgradeInstalled,    // soft.dat now holds the download
  kUpgradeBadStatus,    // the answer's status was not 200
  kUpgradeCut,          // the answer did not come whole
  kUpgradeInvalid,      // it does not load as a catalogue
  kUpgradeWriteFailed,  // soft.dat could not be replaced
};

struct CatalogueUpgrade {
  int outcome = kUpgradePending;
  std::string detail;  // the status line of a bad answer; the new version once installed
};

extern CatalogueUpgrade g_catalogue_upgrade;

// The database "Upgrade >": starts the download of the announced catalogue
// on slot 0. 0 when nothing was started (a run going, no address, no
// network; a box has said why where the user could not know).
int StartCatalogueUpgrade();
// FinishResponse's part: the answer to the catalogue download, come as
// `more` says (response.h), with its status code.
void TakeCatalogueDownload(const char* answer, std::size_t length, int status, int more);
// From the loop, once the run has stopped: an installed catalogue is read
// again and the shown catalogue page refilled; the user is told the new
// version, or why soft.dat was kept (not after a Cancel of his own).
void EndCatalogueUpgrade(bool cancelled);
