// The hit list's storage, shared by the list (hit_list.cpp) and the report
// order (report_order.cpp), which sorts and walks the same hits. Only the
// store's own files include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "results/hit_list.h"
#include "util/text.h"

namespace store_internal {

// Hits are numbered from 1 in the order they were made; 0 stands for none.
using HitIndex = std::uint32_t;

// The first kHeadBytes bytes of a name, folded as StrICmp folds them and
// packed so that comparing the numbers compares those bytes. Names that
// differ there are ordered without reading them; equal heads fall back to
// StrICmp (which also puts a missing name, head 0, below the empty one).
constexpr int kHeadWords = 3;
constexpr int kHeadBytes = 8 * kHeadWords;

struct NameHead {
  std::uint64_t word[kHeadWords] = {};
};

// The list is a B+ tree by position: leaves hold hits in list order, inner
// nodes their children, and every entry carries the greatest name below it
// and (inner nodes) the number of hits below it. Wide nodes keep a search
// to a few runs through short arrays instead of a chain of scattered nodes.
constexpr int kFan = 32;

struct PosNode {
  bool leaf = true;
  // A leaf whose hits are in name order (always so unless a project was
  // loaded out of order) is searched by halving.
  bool sorted = true;
  int size = 0;
  PosNode* parent = nullptr;
  // One more than kFan: a node holds the entry that makes it split.
  NameHead head[kFan + 1];           // the greatest name below the entry
  HitIndex greatest[kFan + 1] = {};  // its hit (a leaf's entry: the hit itself)
  std::uint32_t count[kFan + 1] = {};
  PosNode* child[kFan + 1] = {};
};

// What list searches read about a hit, in one array. The store keeps its
// own copy of the name as it was added (head and tail), so that ordering
// never depends on what a caller does with the hit's texts.
struct HitInfo {
  NameHead head;
  const char* tail = nullptr;  // the name from byte kHeadBytes on, if it is that long
  bool named = false;
  PosNode* leaf = nullptr;  // null once the hit is deleted
};

// Hits are made in blocks: their addresses must not move (rows and callers
// hold them), and one allocation serves many.
constexpr std::size_t kBlockHits = 512;

struct HitList {
  std::vector<HitInfo> info = std::vector<HitInfo>(1);  // by hit number; [0] unused
  std::vector<std::unique_ptr<FileHit[]>> blocks;
  std::vector<std::unique_ptr<PosNode>> nodes;
  PosNode* root = nullptr;
  // Hits without a name; while there are any, the report order takes the
  // runs between them one by one (they only come from project files).
  std::size_t nameless = 0;
  std::size_t deleted = 0;  // numbers whose hits were deleted one by one
};
extern HitList g_hits;

inline FileHit& HitOf(HitIndex i) {
  return g_hits.blocks[(i - 1) / kBlockHits][(i - 1) % kBlockHits];
}
inline HitInfo& Info(HitIndex i) {
  return g_hits.info[i];
}

// Compares the names of hits a and b, given their heads; the rest of the
// names is read only when the heads tie.
inline int CompareNames(const NameHead& head_a, HitIndex a, const NameHead& head_b, HitIndex b) {
  for (int i = 0; i < kHeadWords; ++i) {
    if (head_a.word[i] != head_b.word[i]) return head_a.word[i] < head_b.word[i] ? -1 : 1;
  }
  // Equal heads without a terminator in them: both names run on past the
  // head, and only the rest can differ.
  if (head_a.word[kHeadWords - 1] & 0xFF) return StrICmp(Info(a).tail, Info(b).tail);
  // With a terminator, the names end together and are equal, unless the
  // head is the empty one: an empty name, or none, which sorts first.
  if (head_a.word[0]) return 0;
  return static_cast<int>(Info(a).named) - static_cast<int>(Info(b).named);
}
inline int CompareNames(HitIndex a, HitIndex b) {
  return CompareNames(Info(a).head, a, Info(b).head, b);
}

// Position of hit z in the list, 0-based.
std::size_t Rank(HitIndex z);

template <typename Fn>
void ForEachBelow(const PosNode* n, Fn& fn) {
  for (int i = 0; i < n->size; ++i) {
    if (n->leaf) {
      fn(n->greatest[i]);
    } else {
      ForEachBelow(n->child[i], fn);
    }
  }
}

// Calls fn with every hit in list order.
template <typename Fn>
void ForEachHit(Fn fn) {
  if (g_hits.root) ForEachBelow(g_hits.root, fn);
}

// The report order follows the list: a new hit joins it, and a freed list
// empties it (both in report_order.cpp).
void AddToReport(HitIndex z);
void ResetReport();

}  // namespace store_internal
