// The cost of keeping a Hunt's hits in name order and of taking them out in
// report order, for growing numbers of hits. Doubling the hits should about
// double the time; scripts/bench-store prints the ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "results/store.h"
#include "util/text.h"

#if defined(__GNUC__)
#define BENCH_NOINLINE __attribute__((noinline))
#else
#define BENCH_NOINLINE
#endif

namespace {

struct Found {
  std::string name;
  std::string location;
};

// File names shaped like a package pool: a few thousand packages in several
// versions and architectures, each file found on several servers, and some
// engines reporting names in other cases. Arrival order is random, as when
// many engines answer at once.
std::vector<Found> MakeHits(int n) {
  std::mt19937 rng(20260711u + static_cast<unsigned>(n));
  static const char* const kArch[] = {"amd64", "i386", "all", "arm64"};
  static const char* const kExt[] = {".deb", ".tar.gz", ".zip", ".exe"};
  static const char* const kHost[] = {"ftp.debian.org", "ftp.uni-x.example", "mirror.example",
                                      "ftp.sunet.example", "ftp.funet.example"};
  std::vector<Found> hits;
  hits.reserve(static_cast<std::size_t>(n));
  int packages = std::max(1, n / 12);
  for (int i = 0; i < n; ++i) {
    int pkg = static_cast<int>(rng() % static_cast<unsigned>(packages));
    std::string name = Format("lib%cpkg%d_%d.%d-%u_%s%s", 'a' + pkg % 26, pkg, pkg % 7,
                              static_cast<int>(rng() % 3), static_cast<unsigned>(rng() % 2),
                              kArch[rng() % 4], kExt[pkg % 4]);
    if (rng() % 10 == 0) std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    std::string location = Format("ftp://%s/pub/%c/%s/%d/%s", kHost[rng() % 5], 'a' + pkg % 26,
                                  "pool", i, name.c_str());
    hits.push_back({std::move(name), std::move(location)});
  }
  return hits;
}

// Not inlined: scripts/bench-store --instructions counts inside these.
BENCH_NOINLINE void AddAll(const std::vector<Found>& hits) {
  for (const Found& f : hits) AddFileHit(f.location, f.name, "1024", "2026-07-11", 0);
}

BENCH_NOINLINE void LoadAll(const std::vector<Found>& hits) {
  for (const Found& f : hits) {
    FileHit hit;
    hit.name = f.name;
    hit.location = f.location;
    AppendLoadedHit(std::move(hit));
  }
}

BENCH_NOINLINE int WriteReportOrder() {
  ClearWrittenMarks();
  int written = 0;
  while (FileHit* h = NextUnwrittenHit()) {
    h->mark_flags |= kWrittenMark;
    ++written;
  }
  return written;
}

// A Hunt: every hit added as it arrives.
void BM_StoreHunt(benchmark::State& state) {
  std::vector<Found> hits = MakeHits(static_cast<int>(state.range(0)));
  g_right_tab = 1;  // the rows are the front end's cost, not the store's
  for (auto _ : state) {
    AddAll(hits);
    state.PauseTiming();
    FreeHitList();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A Hunt and then the report writer taking every hit in name order.
void BM_StoreHuntAndReport(benchmark::State& state) {
  std::vector<Found> hits = MakeHits(static_cast<int>(state.range(0)));
  g_right_tab = 1;
  for (auto _ : state) {
    AddAll(hits);
    benchmark::DoNotOptimize(WriteReportOrder());
    state.PauseTiming();
    FreeHitList();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Writing the report again over the same hits (after the first run the
// order is known; what is left is a walk over every hit's record).
void BM_StoreReportAgain(benchmark::State& state) {
  std::vector<Found> hits = MakeHits(static_cast<int>(state.range(0)));
  g_right_tab = 1;
  AddAll(hits);
  WriteReportOrder();
  for (auto _ : state) benchmark::DoNotOptimize(WriteReportOrder());
  FreeHitList();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A project loaded out of order, a Hunt adding as many again, and a report.
void BM_StoreProjectHuntReport(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::vector<Found> loaded = MakeHits(n / 2);
  std::vector<Found> hunted = MakeHits(n - n / 2);
  g_right_tab = 1;
  for (auto _ : state) {
    LoadAll(loaded);
    AddAll(hunted);
    benchmark::DoNotOptimize(WriteReportOrder());
    state.PauseTiming();
    FreeHitList();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// For scale: the same names and locations put into a textbook balanced tree.
// Its growth ratios show what the memory of this machine adds to n log n
// once the hits no longer fit in the caches.
void BM_StoreBaselineMultiset(benchmark::State& state) {
  std::vector<Found> hits = MakeHits(static_cast<int>(state.range(0)));
  struct ByName {
    bool operator()(const Found& a, const Found& b) const {
      return StrICmp(a.name.c_str(), b.name.c_str()) < 0;
    }
  };
  for (auto _ : state) {
    std::multiset<Found, ByName> tree;
    for (const Found& f : hits) tree.insert(f);
    std::size_t written = 0;
    for (const Found& f : tree) written += f.location.size();
    benchmark::DoNotOptimize(written);
    state.PauseTiming();
    tree.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_StoreHunt)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreHuntAndReport)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreReportAgain)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreProjectHuntReport)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreBaselineMultiset)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
