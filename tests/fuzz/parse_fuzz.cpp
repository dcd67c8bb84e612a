// Arbitrary bytes as an engine's answer page, for every engine type, both
// Exact Match settings and a few search terms. The parser must stay inside
// the page and its buffers, must always come to an end, and may only hand
// out hits within the limits it promises:
//   - each hit's name, size and date within their bounds;
//   - never more hits from a page than it has anchors;
//   - every hit is also an accepted link, and its location is in the
//     seen-URL set afterwards;
//   - one location is one hit: no location is handed out twice while the
//     seen set is kept;
// and the hits put into the store keep it in name order (equal names in
// the order added), one entry per hit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "results/links.h"
#include "results/parser.h"
#include "results/store.h"
#include "util/text.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The anchors ExtractLink takes on the page, as the parser meets them.
int Anchors(const char* page) {
  int n = 0;
  for (const char* p = std::strchr(page, '<'); p; p = std::strchr(p + 1, '<')) {
    std::string href;
    std::optional<std::string> name;
    if (ExtractLink(p, href, name) && name) ++n;
  }
  return n;
}

struct Hit {
  std::string name;
  std::string location;
  std::string size;
  std::string date;
};

// The store after adding hits in this order: every hit once, in name order
// (StrICmp), equal names in the order added.
void CheckStore(const std::vector<Hit>& hits) {
  FreeHitList();
  for (std::size_t i = 0; i < hits.size(); ++i) {
    AddFileHit(hits[i].location, hits[i].name, hits[i].size.c_str(), hits[i].date.c_str(),
               static_cast<std::int32_t>(i));
  }
  const std::vector<FileHit*> list = HitsInListOrder();
  FUZZ_CHECK(HitCount() == hits.size() && list.size() == hits.size());
  std::set<std::int32_t> tags;
  for (std::size_t i = 0; i < list.size(); ++i) {
    FUZZ_CHECK(list[i]->name && list[i]->location);
    FUZZ_CHECK(tags.insert(list[i]->tag).second);
    const Hit& added = hits[static_cast<std::size_t>(list[i]->tag)];
    FUZZ_CHECK(*list[i]->name == added.name && *list[i]->location == added.location);
    if (i == 0) continue;
    const int order = StrICmp(list[i - 1]->name->c_str(), list[i]->name->c_str());
    FUZZ_CHECK(order < 0 || (order == 0 && list[i - 1]->tag < list[i]->tag));
  }
  FreeHitList();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kTerms[] = {"a", "zip", "README.TXT", "&"};
  fuzz::HeadlessScope headless;

  std::vector<char> original(size + 1, '\0');
  if (size) std::memcpy(original.data(), data, size);
  const int anchors = Anchors(original.data());

  for (int type = -1; type <= 17; ++type) {
    // Within one type the seen set is kept, so later runs meet locations
    // that are already seen; a new type starts afresh to bound memory.
    std::unique_ptr<SeenNode> seen;
    std::set<std::string> locations;
    std::vector<Hit> hits;
    int accepted = 0;
    int page_hits = 0;
    const PageHitSink check = [&](std::string name, std::string location, const char* hit_size,
                                  const char* date) {
      // A hit outside the promised limits is a fault.
      FUZZ_CHECK(name.size() <= kHitNameMax);
      FUZZ_CHECK(std::strlen(hit_size) <= kHitFieldMax && std::strlen(date) <= kHitFieldMax);
      FUZZ_CHECK(!*hit_size || IsDigit(*hit_size));
      FUZZ_CHECK(locations.insert(location).second);
      ++page_hits;
      hits.push_back({std::move(name), std::move(location), hit_size, date});
    };
    for (int exact = 0; exact <= 1; ++exact) {
      for (const char* term : kTerms) {
        // A fresh copy each time (type 5 writes into the page), in a buffer
        // of exactly size + 1 bytes so that ASan sees any read beyond it.
        std::vector<char> page(original);
        page_hits = 0;
        const int n = ParseResultPage(page.data(), size, type, term, exact != 0, seen, check);
        FUZZ_CHECK(n >= page_hits);
        FUZZ_CHECK(page_hits <= anchors);
        accepted += n;
      }
    }
    FUZZ_CHECK(accepted >= static_cast<int>(hits.size()));
    for (const Hit& h : hits) FUZZ_CHECK(SeenTreeLookup(seen.get(), h.location.c_str()) != 0);
    CheckStore(hits);
  }
  return 0;
}
