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

// The plain walk, for lists holding a hit without a name: such a hit is
// always replaced, so the pick depends on list positions in a way the report
// order does not keep.
HitIndex WalkForNext() {
  HitIndex kept = 0;
  ForEachHit([&](HitIndex z) {
    if (Marked(z)) return;
    if (!kept || !Info(kept).named || CompareNames(kept, z) >= 0) kept = z;
  });
  return kept;
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
  if (g_report.pending.empty()) {
    g_report.cursor = 0;
  } else {
    ResetReport();  // the next pick sorts the late hits in with the rest
  }
}

}  // namespace

void AddToReport(HitIndex z) {
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
                                   ? store_internal::WalkForNext()
                                   : store_internal::NextInReportOrder();
  return z ? &store_internal::HitOf(z) : nullptr;
}

void ClearWrittenMarks() {
  store_internal::ClearMarks();
}
