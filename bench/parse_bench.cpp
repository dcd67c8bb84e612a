// Parse throughput on a few MB of generated result pages, for engine types
// whose rules read forward (2), read backward (6) and take no fields (1).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "results/parser.h"
#include "results/store.h"

namespace {

// One page of about `bytes` bytes in the layout of `type`: result rows with
// distinct locations, every fourth name matching the term, plus filler text
// and entities the scanner has to walk over.
std::string MakePage(int type, std::size_t bytes) {
  std::string page = "<html><head><title>Results</title></head><body><table>\n";
  char row[512];
  for (int i = 0; page.size() < bytes; ++i) {
    const char* name = i % 4 == 0 ? "readme" : "other";
    if (type == 6) {
      std::snprintf(row, sizeof row,
                    "<tr><td>%d 12-Jan-1999 <a href=\"ftp://ftp%d.example/pub/dir%d/%s%d.zip\">"
                    "%s%d.zip</a></td></tr>\n",
                    1000 + i, i % 97, i, name, i, name, i);
    } else {
      std::snprintf(row, sizeof row,
                    "<tr><td><a href=\"ftp://ftp%d.example/pub/dir%d/%s%d.zip\">%s%d.zip</a>"
                    "</td><td>%d</td><td>12-Jan-1999</td></tr>\n",
                    i % 97, i, name, i, name, i, 1000 + i);
    }
    page += row;
    if (i % 8 == 0) page += "<p>Mirror &amp; copies &nbsp; of this file are listed below.</p>\n";
  }
  page += "</table></body></html>\n";
  return page;
}

void BM_ParseResultPage(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  const std::string page = MakePage(type, 4 << 20);
  std::vector<char> buffer;
  std::unique_ptr<SeenNode> seen;
  long hits = 0;
  // The hits go into the store, as in a Hunt.
  const PageHitSink add = [&hits](std::string name, std::string location, const char* size,
                                  const char* date) {
    AddFileHit(std::move(location), std::move(name), size, date, 0);
    ++hits;
  };
  for (auto _ : state) {
    state.PauseTiming();
    FreeHitList();
    SeenTreeFree(seen);
    hits = 0;
    buffer.assign(page.begin(), page.end());
    buffer.push_back('\0');
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        ParseResultPage(buffer.data(), page.size(), type, "readme", false, seen, add));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
  state.counters["hits"] = static_cast<double>(hits);
}

BENCHMARK(BM_ParseResultPage)->Arg(1)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace
