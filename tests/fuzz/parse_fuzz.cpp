// Arbitrary bytes as an engine's answer page, for every engine type, both
// Exact Match settings and a few search terms. The parser must stay inside
// the page and its buffers and must always come to an end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/headless_ui.h"
#include "results/parser.h"
#include "results/store.h"
#include "settings/settings.h"

namespace {

void ResetStore() {
  FreeHitList();
  SeenTreeFree(g_seen_urls);
  g_total_hits = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static platform::HeadlessUi ui;
  platform::SetUi(&ui);
  if (size % 2 == 1) {
    ui.open_dialogs.insert(IDD_STATUS);
  } else {
    ui.open_dialogs.erase(IDD_STATUS);
  }

  static const char* const kTerms[] = {"a", "zip", "README.TXT", "&"};
  for (int type = -1; type <= 17; ++type) {
    // Within one type the store is kept, so later runs meet locations that
    // are already seen; then it is emptied to keep memory bounded.
    for (int exact = 0; exact <= 1; ++exact) {
      for (const char* term : kTerms) {
        // A fresh copy each time (type 5 writes into the page), in a buffer
        // of exactly size + 1 bytes so that ASan sees any read beyond it.
        std::vector<char> page(size + 1, '\0');
        if (size) std::memcpy(page.data(), data, size);
        g_settings.exact = exact;
        EngineEntry job;
        job.engine_type = type;
        job.query = term;
        // Type 17 also stands for a vendor request, which is never parsed.
        job.request = type == 17 && exact ? "GET http://x.torvane.example/v.cgi" : "GET /find";
        ParseResultPage(3, job, page.data(), size);
      }
    }
    ResetStore();
    ui.log.clear();
    ui.texts.clear();
    ui.rows.clear();
  }
  return 0;
}
