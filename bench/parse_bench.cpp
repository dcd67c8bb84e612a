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

// Hostile pages of about 490 KB, each the worst found for one search that
// once ran to the end of the page from every anchor.
std::string HostilePage(int kind) {
  std::string page;
  char unit[128];
  for (int i = 0; page.size() < 490000; ++i) {
    switch (kind) {
      case 0:  // anchors never closed: no "/A" behind any of them
      case 1:  // the same, closed once at the very end: every text runs there
        std::snprintf(unit, sizeof unit, "<a href=\"ftp://h/%05d\">readme%05d<br>", i, i);
        break;
      case 2:  // anchor tags never ended: no ">" behind any of them
        std::snprintf(unit, sizeof unit, "<a href=\"ftp://h/%05d\" title=readme%05d ", i, i);
        break;
      case 3:  // a quote in each tag: every text search walks the tags behind it
        std::snprintf(unit, sizeof unit, "<a href=ftp://h/readme%05d'>&amp;<b\"x'>", i);
        break;
      case 4:  // short anchors, each text 2048 characters to the one "</a>"
        std::snprintf(unit, sizeof unit, "<a href=ftp:>readme");
        break;
      default:  // the same with an "&" in each that is no character reference
        std::snprintf(unit, sizeof unit, "<a href=ftp:>x&&;");
        break;
    }
    page += unit;
  }
  if (kind == 1 || kind >= 4) page += "</a>";
  if (kind == 2) page += "> readme</a>";
  return page;
}

void BM_ParseHostilePage(benchmark::State& state) {
  const std::string page = HostilePage(static_cast<int>(state.range(0)));
  const int type = static_cast<int>(state.range(1));
  std::vector<char> buffer;
  std::unique_ptr<SeenNode> seen;
  long hits = 0;
  const PageHitSink count = [&hits](std::string, std::string, const char*, const char*) { ++hits; };
  for (auto _ : state) {
    state.PauseTiming();
    SeenTreeFree(seen);
    hits = 0;
    buffer.assign(page.begin(), page.end());
    buffer.push_back('\0');
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        ParseResultPage(buffer.data(), page.size(), type, "readme", false, seen, count));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
  state.counters["hits"] = static_cast<double>(hits);
  state.counters["KB"] = static_cast<double>(page.size()) / 1024;
}

// {page kind, engine type}: type 13 takes every link as a hit and moves on
// to the next "<", so no anchor is skipped.
BENCHMARK(BM_ParseHostilePage)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 13})
    ->Args({3, 13})
    ->Args({4, 1})
    ->Args({5, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
