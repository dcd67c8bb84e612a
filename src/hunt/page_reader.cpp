#include "hunt/page_reader.h"

#include <string>
#include <utility>

#include "engines/engines.h"
#include "hunt/hunt_state.h"
#include "hunt/job_observer.h"
#include "hunt/slot_status.h"
#include "platform/ui.h"
#include "results/parser.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/text.h"

namespace {

constexpr int kMsgHunting = 1446;     // "Kite %i Hunting for Filez"
constexpr int kMsgFilesFound = 1447;  // "%i files found"

void ShowFilesFound(const char* number) {
  auto& ui = platform::ui();
  if (ui.IsOpen(platform::kStatusDialog)) {
    ui.SetText(platform::kStatusDialog, IDC_FILES_FOUND, number);
  }
}

}  // namespace

int ReadResultPage(int slot, const EngineEntry& job, char* page, std::size_t length) {
  if (!page) return 0;
  SetSlotStatus(slot, LoadText(kMsgHunting), slot + 1);
  int new_hits = 0;
  // Each hit remembers which job found it first.
  int term_index = -1;
  for (std::size_t i = 0; job.query && i < g_hunt.search_terms.size(); ++i) {
    if (g_hunt.search_terms[i] == *job.query) {
      term_index = static_cast<int>(i);
      break;
    }
  }
  const int accepted = ParseResultPage(
      page, length, job.engine_type, job.query ? job.query->c_str() : nullptr,
      g_settings.exact != 0, g_seen_urls,
      [&](std::string name, std::string location, const char* size, const char* date) {
        FileHit& hit = AddFileHit(std::move(location), std::move(name), size, date, 0);
        hit.engine_id = job.id;
        hit.term_index = term_index;
        ++new_hits;
        ++g_total_hits;
        ShowFilesFound(IntToText2(g_total_hits));
      },
      g_job_observer);
  SetSlotStatus(slot, LoadText(kMsgFilesFound), new_hits);
  if (new_hits) ShowFilesFound(IntToText(g_total_hits));
  return accepted;
}
