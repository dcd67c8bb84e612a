// The report writer repeatedly picks the unwritten hit with the smallest
// name (the last one among equals). Done with list walks, a report of n hits
// costs n^2. So the report order is a sorted snapshot of the hits, taken at
// the first pick, plus a small set for hits added later, each with a cursor
// before which every hit is known to be marked.

#include "results/report_order.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "results/hit_list_internal.h"

namespace store_internal {

namespace {

// Names only, to find where a name's equals begin in the report order.
struct SameName {
  HitIndex hit;
};

// Report order: ascending name, and among equal names the hit further down
// the list first. Positions of existing hits never swap, so the order of
// the set's elements stays valid while hits are added.
struct ReportOrder {
  using is_transparent = void;
  bool operator()(HitIndex a, HitIndex b) const {
    int c = CompareNames(a, b);
    if (c != 0) return c < 0;
    return a != b && Rank(a) > Rank(b);
  }
  bool operator()(HitIndex a, SameName b) const { return CompareNames(a, b.hit) < 0; }
  bool operator()(SameName a, HitIndex b) const { return CompareNames(a.hit, b) < 0; }
};
using ReportSet = std::set<HitIndex, ReportOrder>;

// How many hits ahead of the report cursor a hit is fetched early.
constexpr std::size_t kReadAhead = 8;

// The sorted snapshot taken at the first pick after the list or the marks
// were reset, and the set of hits added since. Before each cursor every hit
// was marked when last looked at.
struct ReportState {
  bool built = false;
  std::vector<HitIndex> order;
  std::size_t cursor = 0;
  ReportSet pending;
  ReportSet::iterator pending_cursor = pending.end();
};
ReportState g_report;

// Sorts every hit into report order at once: the sort reads the name heads
// from one array and positions are known, so no tree is consulted.
void BuildReportOrder() {
  ResetReport();
  struct Entry {
    NameHead head;
    std::uint32_t position;
    HitIndex hit;
  };
  std::vector<Entry> entries;
  entries.reserve(HitCount());
  std::uint32_t position = 0;
  ForEachHit([&](HitIndex z) { entries.push_back({Info(z).head, position++, z}); });
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    int c = CompareNames(a.head, a.hit, b.head, b.hit);
    return c != 0 ? c < 0 : a.position > b.position;
  });
  ReportState& rs = g_report;
  rs.order.reserve(entries.size());
  for (const Entry& e : entries) rs.order.push_back(e.hit);
  rs.built = true;
}

bool Marked(HitIndex z) {
  return (HitOf(z).mark_flags & kWrittenMark) != 0;
}

// Lists holding hits without a name (only hand-made or damaged projects
// have them). The pick is a walk down the list that keeps the smallest
// unwritten name, a later equal one replacing it, except that a nameless hit
// replaces whatever is kept and is replaced by whatever follows. So the pick
// is the smallest unwritten named hit behind the last unwritten nameless
// hit, else that nameless hit. The nameless hits cut the list into runs of
// named hits, each sorted once into report order; the runs behind the last
// unwritten nameless hit offer their first unwritten hit to a heap. Marks
// only accumulate between ClearWrittenMarks, so every cursor only moves
// forward, and a report of n hits costs n log n however many are nameless.
struct NamelessOrder {
  bool built = false;
  std::vector<HitIndex> nameless;      // in list order
  std::vector<HitIndex> order;         // the runs one after another
  std::vector<std::size_t> run_begin;  // run j: order[run_begin[j], run_begin[j + 1])
  std::vector<std::size_t> cursor;     // per run: its first entry not known to be marked
  std::size_t live = 0;                // nameless[0, live) may still be unwritten
  std::size_t joined = 0;              // runs [joined, end) are in the heap
  std::vector<std::size_t> heap;       // runs, least first hit on top
};
NamelessOrder g_nameless;

std::size_t RunCount() {
  return g_nameless.run_begin.size() - 1;
}

// The first unwritten hit of run j, or 0 when it has none; skips the marked.
HitIndex RunHead(std::size_t j) {
  NamelessOrder& no = g_nameless;
  std::size_t& c = no.cursor[j];
  while (c < no.run_begin[j + 1] && Marked(no.order[c])) ++c;
  return c < no.run_begin[j + 1] ? no.order[c] : 0;
}

// Heap order of runs by their first hits: equal names go to the later run,
// which lies further down the list.
bool RunAfter(std::size_t a, std::size_t b) {
  const NamelessOrder& no = g_nameless;
  const int c = CompareNames(no.order[no.cursor[a]], no.order[no.cursor[b]]);
  return c != 0 ? c > 0 : a < b;
}

void ResetNamelessCursors() {
  NamelessOrder& no = g_nameless;
  for (std::size_t j = 0; j < RunCount(); ++j) no.cursor[j] = no.run_begin[j];
  no.live = no.nameless.size();
  no.joined = RunCount();
  no.heap.clear();
}

void BuildNamelessOrder() {
  NamelessOrder& no = g_nameless;
  no.nameless.clear();
  no.order.clear();
  no.run_begin.assign(1, 0);
  struct Entry {
    NameHead head;
    std::uint32_t position;
    HitIndex hit;
  };
  std::vector<Entry> run;
  std::uint32_t position = 0;
  auto close_run = [&] {
    std::sort(run.begin(), run.end(), [](const Entry& a, const Entry& b) {
      int c = CompareNames(a.head, a.hit, b.head, b.hit);
      return c != 0 ? c < 0 : a.position > b.position;
    });
    for (const Entry& e : run) no.order.push_back(e.hit);
    no.run_begin.push_back(no.order.size());
    run.clear();
  };
  ForEachHit([&](HitIndex z) {
    if (Info(z).named) {
      run.push_back({Info(z).head, position++, z});
    } else {
      close_run();
      no.nameless.push_back(z);
    }
  });
  close_run();
  no.cursor.resize(RunCount());
  ResetNamelessCursors();
  no.built = true;
}

HitIndex NextWithNameless() {
  NamelessOrder& no = g_nameless;
  if (!no.built) BuildNamelessOrder();
  while (no.live > 0 && Marked(no.nameless[no.live - 1])) --no.live;
  // Every run behind the last unwritten nameless hit competes.
  while (no.joined > no.live) {
    --no.joined;
    if (RunHead(no.joined)) {
      no.heap.push_back(no.joined);
      std::push_heap(no.heap.begin(), no.heap.end(), RunAfter);
    }
  }
  while (!no.heap.empty()) {
    const std::size_t j = no.heap.front();
    std::pop_heap(no.heap.begin(), no.heap.end(), RunAfter);
    no.heap.pop_back();
    // A run's first hit may have been written since it was placed; it only
    // ever moves to a greater one, so the run goes back in at its new place.
    const bool unchanged = !Marked(no.order[no.cursor[j]]);
    if (RunHead(j)) {
      no.heap.push_back(j);
      std::push_heap(no.heap.begin(), no.heap.end(), RunAfter);
      if (unchanged) return no.order[no.cursor[j]];
    }
  }
  return no.live > 0 ? no.nameless[no.live - 1] : 0;
}

// The next unwritten hit by the snapshot and the late hits, or 0.
HitIndex NextInReportOrder() {
  ReportState& rs = g_report;
  if (!rs.built) BuildReportOrder();
  while (rs.cursor < rs.order.size() && Marked(rs.order[rs.cursor])) ++rs.cursor;
  while (rs.pending_cursor != rs.pending.end() && Marked(*rs.pending_cursor)) ++rs.pending_cursor;
#if defined(__GNUC__)
  // The report writer asks for the hits in this order, one call each: fetch
  // a hit a few calls ahead so that it is at hand when its turn comes.
  if (rs.cursor + kReadAhead < rs.order.size()) {
    __builtin_prefetch(&HitOf(rs.order[rs.cursor + kReadAhead]).mark_flags);
  }
#endif
  HitIndex a = rs.cursor < rs.order.size() ? rs.order[rs.cursor] : 0;
  HitIndex b = rs.pending_cursor != rs.pending.end() ? *rs.pending_cursor : 0;
  if (a && b && ReportOrder()(b, a)) a = b;
  return a ? a : b;
}

void ClearMarks() {
  // In memory order rather than list order: the same hits, read straight
  // through. Unused hits of the last block have no marks to lose.
  for (const auto& block : g_hits.blocks) {
    for (std::size_t i = 0; i < kBlockHits; ++i) block[i].mark_flags &= ~kWrittenMark;
  }
  if (g_nameless.built) ResetNamelessCursors();
  if (g_report.pending.empty()) {
    g_report.cursor = 0;
  } else {
    ResetReport();  // the next pick sorts the late hits in with the rest
  }
}

}  // namespace

void AddToReport(HitIndex z) {
  // A hit added between picks of a list with nameless hits sorts the runs
  // again at the next pick (the report writer never adds any).
  g_nameless.built = false;
  ReportState& rs = g_report;
  if (!rs.built) return;
  // z mostly belongs first among its equals (it is usually the lowest of
  // them in the list), which is where the hint points.
  ReportSet::iterator pos = rs.pending.insert(rs.pending.lower_bound(SameName{z}), z);
  if (rs.pending_cursor == rs.pending.end() || ReportOrder()(z, *rs.pending_cursor)) {
    rs.pending_cursor = pos;
  }
}

void ResetReport() {
  g_nameless.built = false;
  ReportState& rs = g_report;
  rs.pending.clear();
  rs.pending_cursor = rs.pending.end();
  rs.order.clear();
  rs.cursor = 0;
  rs.built = false;
}

}  // namespace store_internal

FileHit* NextUnwrittenHit() {
  store_internal::HitIndex z = store_internal::g_hits.nameless
                                   ? store_internal::NextWithNameless()
                                   : store_internal::NextInReportOrder();
  return z ? &store_internal::HitOf(z) : nullptr;
}

void ClearWrittenMarks() {
  store_internal::ClearMarks();
}
