// The hit list behaves exactly like a singly linked list in which a new hit
// goes in front of the first hit whose name compares greater. Done with
// list walks, that costs n^2 for n hits, which a Hunt with tens of thousands
// of hits cannot afford. So the list is a B+ tree by position whose entries
// know the greatest name below them: "the first hit greater than x" is the
// first place where the running greatest name of the list exceeds x, found
// in one descent even when a project was loaded out of order. Names are
// compared by their folded first bytes, kept beside the tree, and read in
// full only when those tie.

#include "results/hit_list.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "results/hit_list_internal.h"
#include "results/result_rows.h"

namespace store_internal {

HitList g_hits;

namespace {

NameHead MakeNameHead(const char* s) {
  NameHead head;
  if (!s) return head;
  std::size_t n = 0;
  while (n < kHeadBytes && s[n]) ++n;
  unsigned char bytes[kHeadBytes] = {};
  std::memcpy(bytes, s, n);
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x80 * kOnes;
  for (int w = 0; w < kHeadWords; ++w) {
    std::uint64_t x;
    std::memcpy(&x, bytes + 8 * w, 8);
    // Eight bytes folded at once: a byte below 0x80 whose low seven bits
    // lie in 'A'..'Z' gets 0x20 (no byte's sum carries into the next).
    const std::uint64_t low = x & ~kHigh;
    const std::uint64_t from_a = low + (0x80 - 'A') * kOnes;
    const std::uint64_t past_z = low + (0x80 - 'Z' - 1) * kOnes;
    x |= (from_a & ~past_z & ~x & kHigh) >> 2;
    // The bytes were loaded little-endian; the first must weigh most.
    head.word[w] = __builtin_bswap64(x);
  }
  return head;
}

// Storage for name tails: filled in arrival order, freed with the list.
constexpr std::size_t kTailChunk = 64 * 1024;

struct TailStore {
  std::vector<std::unique_ptr<char[]>> chunks;
  std::size_t used = kTailChunk;  // bytes used in the last chunk
  std::vector<std::unique_ptr<char[]>> long_tails;
};
TailStore g_tails;

// A lasting copy of text (a name's tail).
const char* KeepTail(const char* text) {
  TailStore& t = g_tails;
  std::size_t size = std::strlen(text) + 1;
  char* copy;
  if (size > kTailChunk / 4) {
    // Only a hand-made project has names this long: a block of its own.
    t.long_tails.push_back(std::make_unique<char[]>(size));
    copy = t.long_tails.back().get();
  } else {
    if (t.used + size > kTailChunk) {
      t.chunks.push_back(std::make_unique<char[]>(kTailChunk));
      t.used = 0;
    }
    copy = t.chunks.back().get() + t.used;
    t.used += size;
  }
  std::memcpy(copy, text, size);
  return copy;
}

// The greatest name under entry i of n against hit z's name.
int CompareEntry(const PosNode* n, int i, HitIndex z) {
  return CompareNames(n->head[i], n->greatest[i], Info(z).head, z);
}

PosNode* NewPosNode(bool leaf) {
  g_hits.nodes.push_back(std::make_unique<PosNode>());
  PosNode* n = g_hits.nodes.back().get();
  n->leaf = leaf;
  return n;
}

int SlotOf(const PosNode* parent, const PosNode* child) {
  int s = 0;
  while (parent->child[s] != child) ++s;
  return s;
}

int PlaceInLeaf(const PosNode* leaf, HitIndex z) {
  int i = 0;
  while (leaf->greatest[i] != z) ++i;
  return i;
}

void InsertEntry(PosNode* n, int at, const NameHead& head, HitIndex greatest, std::uint32_t count,
                 PosNode* child) {
  for (int i = n->size; i > at; --i) {
    n->head[i] = n->head[i - 1];
    n->greatest[i] = n->greatest[i - 1];
    n->count[i] = n->count[i - 1];
    n->child[i] = n->child[i - 1];
  }
  n->head[at] = head;
  n->greatest[at] = greatest;
  n->count[at] = count;
  n->child[at] = child;
  ++n->size;
}

// Writes n's greatest name and hit count into its entry in the parent.
void Summarize(const PosNode* n) {
  PosNode* p = n->parent;
  int s = SlotOf(p, n);
  int best = 0;
  std::uint32_t total = 0;
  for (int i = 0; i < n->size; ++i) {
    total += n->count[i];
    if (i > 0 && CompareNames(n->head[i], n->greatest[i], n->head[best], n->greatest[best]) > 0) {
      best = i;
    }
  }
  p->head[s] = n->head[best];
  p->greatest[s] = n->greatest[best];
  p->count[s] = total;
}

// Moves the upper half of an overfull node into a new right sibling.
void Split(PosNode* n) {
  PosNode* m = NewPosNode(n->leaf);
  m->sorted = n->sorted;
  int half = n->size / 2;
  for (int i = half; i < n->size; ++i) {
    InsertEntry(m, m->size, n->head[i], n->greatest[i], n->count[i], n->child[i]);
    if (n->leaf) {
      Info(n->greatest[i]).leaf = m;
    } else {
      n->child[i]->parent = m;
    }
  }
  n->size = half;
  if (!n->parent) {
    PosNode* top = NewPosNode(false);
    InsertEntry(top, 0, NameHead(), 0, 0, n);
    n->parent = top;
    g_hits.root = top;
  }
  PosNode* p = n->parent;
  m->parent = p;
  InsertEntry(p, SlotOf(p, n) + 1, NameHead(), 0, 0, m);
  Summarize(n);
  Summarize(m);
}

// Puts hit z into the list in front of hit before (at the end for 0).
// before must be the first hit whose name is greater than z's, which keeps
// a sorted leaf sorted.
void InsertIntoList(HitIndex z, HitIndex before) {
  if (!g_hits.root) g_hits.root = NewPosNode(true);
  PosNode* leaf;
  int at;
  if (before) {
    leaf = Info(before).leaf;
    at = PlaceInLeaf(leaf, before);
  } else {
    leaf = g_hits.root;
    while (!leaf->leaf) leaf = leaf->child[leaf->size - 1];
    at = leaf->size;
    if (at > 0 && CompareEntry(leaf, at - 1, z) > 0) leaf->sorted = false;
  }
  HitInfo& zi = Info(z);
  InsertEntry(leaf, at, zi.head, z, 1, nullptr);
  zi.leaf = leaf;
  // Once z does not beat a subtree's greatest, it cannot beat any above.
  bool greatest = true;
  for (PosNode* n = leaf; n->parent; n = n->parent) {
    PosNode* p = n->parent;
    int s = SlotOf(p, n);
    ++p->count[s];
    if (greatest && CompareEntry(p, s, z) < 0) {
      p->head[s] = zi.head;
      p->greatest[s] = z;
    } else {
      greatest = false;
    }
  }
  for (PosNode* n = leaf; n && n->size > kFan; n = n->parent) Split(n);
}

void RemoveEntry(PosNode* n, int at) {
  for (int i = at; i + 1 < n->size; ++i) {
    n->head[i] = n->head[i + 1];
    n->greatest[i] = n->greatest[i + 1];
    n->count[i] = n->count[i + 1];
    n->child[i] = n->child[i + 1];
  }
  --n->size;
}

// Takes hit z out of its leaf. A node left empty drops out of its parent
// (a search must never descend into a node without a greatest name); the
// others pass their new count and greatest name up.
void RemoveFromList(HitIndex z) {
  PosNode* n = Info(z).leaf;
  RemoveEntry(n, PlaceInLeaf(n, z));
  Info(z).leaf = nullptr;
  for (; n->parent; n = n->parent) {
    if (n->size == 0) {
      RemoveEntry(n->parent, SlotOf(n->parent, n));
    } else {
      Summarize(n);
    }
  }
  if (n->size == 0) g_hits.root = nullptr;
}

// The number of the hit stored at p, or 0 when p is none of the list's.
HitIndex NumberOf(const FileHit* p) {
  for (std::size_t b = 0; p && b < g_hits.blocks.size(); ++b) {
    const FileHit* first = g_hits.blocks[b].get();
    if (p < first || p >= first + kBlockHits) continue;
    const auto z = static_cast<HitIndex>(b * kBlockHits + static_cast<std::size_t>(p - first) + 1);
    return z < g_hits.info.size() && Info(z).leaf ? z : 0;
  }
  return 0;
}

// The first hit in list order whose name compares greater than z's: where
// the running greatest name of the list first exceeds it.
HitIndex FirstGreater(HitIndex z) {
  const PosNode* n = g_hits.root;
  if (!n) return 0;
  for (;;) {
    int i = 0;
    if (n->leaf && n->sorted) {
      int end = n->size;
      while (i < end) {
        int mid = (i + end) / 2;
        if (CompareEntry(n, mid, z) <= 0) {
          i = mid + 1;
        } else {
          end = mid;
        }
      }
    } else {
      while (i < n->size && CompareEntry(n, i, z) <= 0) ++i;
    }
    if (i == n->size) return 0;  // only at the top: below, a greater one was seen
    if (n->leaf) return n->greatest[i];
    n = n->child[i];
  }
}

// A number for hit, with the hit stored and its search data filled in.
HitIndex NewHit(FileHit&& hit) {
  HitList& h = g_hits;
  auto z = static_cast<HitIndex>(h.info.size());
  if ((z - 1) % kBlockHits == 0) h.blocks.push_back(std::make_unique<FileHit[]>(kBlockHits));
  FileHit& stored = HitOf(z);
  stored = std::move(hit);
  HitInfo info;
  const char* name = stored.name ? stored.name->c_str() : nullptr;
  info.named = name != nullptr;
  info.head = MakeNameHead(name);
  if (name && std::strlen(name) >= static_cast<std::size_t>(kHeadBytes)) {
    info.tail = KeepTail(name + kHeadBytes);
  }
  h.info.push_back(info);
  if (!info.named) ++h.nameless;
  return z;
}

}  // namespace

std::size_t Rank(HitIndex z) {
  const PosNode* n = Info(z).leaf;
  auto r = static_cast<std::size_t>(PlaceInLeaf(n, z));
  for (const PosNode* p = n->parent; p; n = p, p = p->parent) {
    for (int i = 0, s = SlotOf(p, n); i < s; ++i) r += p->count[i];
  }
  return r;
}

}  // namespace store_internal

using store_internal::AddToReport;
using store_internal::FirstGreater;
using store_internal::ForEachHit;
using store_internal::g_hits;
using store_internal::g_tails;
using store_internal::HitIndex;
using store_internal::HitOf;
using store_internal::InsertIntoList;
using store_internal::NewHit;

FileHit& AddFileHit(std::string location, std::string name, const char* size, const char* date,
                    std::int32_t tag) {
  FileHit hit;
  hit.name = std::move(name);
  hit.location = std::move(location);
  // A "<" means the engine's page had markup where the size should be.
  if (size && !std::strchr(size, '<')) hit.size = size;
  if (date) hit.date = date;
  hit.tag = tag;
  HitIndex z = NewHit(std::move(hit));
  InsertIntoList(z, FirstGreater(z));
  AddToReport(z);
  // The row goes to the end: during a Hunt the list shows arrival order.
  AppendHitRow(&HitOf(z));
  return HitOf(z);
}

void AppendLoadedHit(FileHit hit) {
  HitIndex z = NewHit(std::move(hit));
  InsertIntoList(z, 0);
  AddToReport(z);
}

void FreeHitList() {
  store_internal::ResetReport();
  g_hits.info.resize(1);  // keeps its room: the next Hunt finds as many again
  g_hits.blocks.clear();
  g_hits.nodes.clear();
  g_hits.root = nullptr;
  g_hits.nameless = 0;
  g_hits.deleted = 0;
  g_tails = store_internal::TailStore();
}

bool DeleteFileHit(const FileHit* hit) {
  const HitIndex z = store_internal::NumberOf(hit);
  if (!z) return false;
  store_internal::RemoveFromList(z);
  // The report order is sorted afresh at its next pick, without this hit.
  store_internal::ResetReport();
  if (!store_internal::Info(z).named) --g_hits.nameless;
  ++g_hits.deleted;
  HitOf(z) = FileHit();
  return true;
}

bool HoldsHit(const FileHit* hit) {
  return store_internal::NumberOf(hit) != 0;
}

std::size_t HitCount() {
  return g_hits.info.size() - 1 - g_hits.deleted;
}

std::vector<FileHit*> HitsInListOrder() {
  std::vector<FileHit*> hits;
  hits.reserve(HitCount());
  ForEachHit([&](HitIndex z) { hits.push_back(&HitOf(z)); });
  return hits;
}
