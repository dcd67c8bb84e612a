// Arbitrary bytes as an engine's answer page, for every engine type, both
// Exact Match settings and a few search terms. The parser must stay inside
// the page and its buffers, must always come to an end, and may only hand
// out hits within the limits it promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "results/parser.h"
#include "results/store.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A hit outside the promised limits is a fault: stop the fuzzer on it.
void CheckHit(const std::string& name, const char* size, const char* date) {
  if (name.size() > kHitNameMax || std::strlen(size) > kHitFieldMax ||
      std::strlen(date) > kHitFieldMax || (*size && !IsDigit(*size))) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kTerms[] = {"a", "zip", "README.TXT", "&"};
  for (int type = -1; type <= 17; ++type) {
    // Within one type the seen set is kept, so later runs meet locations
    // that are already seen; a new type starts afresh to bound memory.
    std::unique_ptr<SeenNode> seen;
    int handed_out = 0;
    int accepted = 0;
    const PageHitSink check = [&handed_out](std::string name, std::string /*location*/,
                                            const char* hit_size, const char* date) {
      CheckHit(name, hit_size, date);
      ++handed_out;
    };
    for (int exact = 0; exact <= 1; ++exact) {
      for (const char* term : kTerms) {
        // A fresh copy each time (type 5 writes into the page), in a buffer
        // of exactly size + 1 bytes so that ASan sees any read beyond it.
        std::vector<char> page(size + 1, '\0');
        if (size) std::memcpy(page.data(), data, size);
        accepted += ParseResultPage(page.data(), size, type, term, exact != 0, seen, check);
      }
    }
    // Every new hit is also an accepted link.
    if (accepted < handed_out) std::abort();
  }
  return 0;
}
