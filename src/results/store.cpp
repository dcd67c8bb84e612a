// The result store.
//
// The hit list behaves exactly like a singly linked list in which a new hit
// goes in front of the first hit whose name compares greater, and in which
// the report writer repeatedly picks the unwritten hit with the smallest
// name (the last one among equals). Done with list walks, both cost n^2 for
// n hits, which a Hunt with tens of thousands of hits cannot afford. So:
//   - the list is a B+ tree by position whose entries know the greatest
//     name below them: "the first hit greater than x" is the first place
//     where the running greatest name of the list exceeds x, found in one
//     descent even when a project was loaded out of order;
//   - the report order is a sorted snapshot of the hits, taken at the first
//     pick, plus a small set for hits added later, each with a cursor
//     before which every hit is known to be marked.
// Names are compared by their folded first bytes, kept beside the tree, and
// read in full only when those tie.

#include "results/store.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <utility>

#include "catalogue/catalogue.h"
#include "platform/ui.h"
#include "util/text.h"

std::unique_ptr<SeenNode> g_seen_urls;
std::int32_t g_total_hits = 0;
int g_result_rows = 0;
int g_right_tab = 0;
bool g_list_filling = false;

// ---- seen-URL tree ------------------------------------------------------

SeenNode::~SeenNode() {
  std::vector<std::unique_ptr<SeenNode>> pending;
  if (child) pending.push_back(std::move(child));
  if (sibling) pending.push_back(std::move(sibling));
  while (!pending.empty()) {
    std::unique_ptr<SeenNode> node = std::move(pending.back());
    pending.pop_back();
    if (node->child) pending.push_back(std::move(node->child));
    if (node->sibling) pending.push_back(std::move(node->sibling));
    // node now has no links, so its own destructor ends at once.
  }
}

namespace {

std::unique_ptr<SeenNode> MakeSeenNode(const char* label, std::int32_t value) {
  auto node = std::make_unique<SeenNode>();
  node->label = label;
  node->value = value;
  return node;
}

// The node of the level starting at first whose label begins with c.
SeenNode* FindOnLevel(SeenNode* first, char c) {
  for (SeenNode* n = first; n; n = n->sibling.get()) {
    if (n->label[0] == c) return n;
  }
  return nullptr;
}

SeenNode* AppendToLevel(std::unique_ptr<SeenNode>& first, const char* label, std::int32_t value) {
  std::unique_ptr<SeenNode>* slot = &first;
  while (*slot) slot = &(*slot)->sibling;
  *slot = MakeSeenNode(label, value);
  return slot->get();
}

}  // namespace

SeenNode* SeenTreeInsert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value) {
  if (!key) return nullptr;
  if (!root) {
    root = MakeSeenNode(key, value);
    return root.get();
  }
  std::unique_ptr<SeenNode>* level = &root;
  const char* rest = key;
  for (;;) {
    SeenNode* node = FindOnLevel(level->get(), rest[0]);
    if (!node) return AppendToLevel(*level, rest, value);
    const char* label = node->label.c_str();
    std::size_t i = 0;
    while (label[i] && label[i] == rest[i]) ++i;
    if (!label[i] && !rest[i]) {
      node->value = value;
      return node;
    }
    if (!label[i]) {
      rest += i;
      if (!node->child) {
        node->child = MakeSeenNode(rest, value);
        return node->child.get();
      }
      level = &node->child;
      continue;
    }
    // The key leaves (or ends inside) the label: split it at i. The tail of
    // the label keeps what the whole node meant before.
    auto tail = MakeSeenNode(label + i, node->value);
    tail->child = std::move(node->child);
    node->label.resize(i);
    node->child = std::move(tail);
    if (!rest[i]) {
      node->value = value;
      return node;
    }
    node->value = 0;
    return AppendToLevel(node->child, rest + i, value);
  }
}

std::int32_t SeenTreeLookup(const SeenNode* root, const char* key) {
  if (!key) return 0;
  const SeenNode* level = root;
  const char* rest = key;
  while (level) {
    const SeenNode* node = level;
    while (node && node->label[0] != rest[0]) node = node->sibling.get();
    if (!node) return 0;
    const char* label = node->label.c_str();
    std::size_t i = 0;
    while (label[i] && label[i] == rest[i]) ++i;
    if (!label[i] && !rest[i]) return node->value;
    if (label[i]) return 0;
    rest += i;
    level = node->child.get();
  }
  return 0;
}

void SeenTreeFree(std::unique_ptr<SeenNode>& root) {
  root.reset();
}

// ---- hit list -------------------------------------------------------------

namespace {

// Hits are numbered from 1; 0 stands for none.
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

NameHead MakeNameHead(const char* s) {
  NameHead head;
  bool ended = !s;
  for (int i = 0; i < kHeadBytes; ++i) {
    unsigned c = ended ? 0 : static_cast<unsigned char>(s[i]);
    if (!c) ended = true;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    head.word[i / 8] = (head.word[i / 8] << 8) | c;
  }
  return head;
}

const char* TailOf(HitIndex z);
bool Named(HitIndex z);

// Compares the names of hits a and b, given their heads; the rest of the
// names is read only when the heads tie.
int CompareNames(const NameHead& head_a, HitIndex a, const NameHead& head_b, HitIndex b) {
  for (int i = 0; i < kHeadWords; ++i) {
    if (head_a.word[i] != head_b.word[i]) return head_a.word[i] < head_b.word[i] ? -1 : 1;
  }
  // Equal heads without a terminator in them: both names run on past the
  // head, and only the rest can differ.
  if (head_a.word[kHeadWords - 1] & 0xFF) return StrICmp(TailOf(a), TailOf(b));
  // With a terminator, the names end together and are equal, unless the
  // head is the empty one: an empty name, or none, which sorts first.
  if (head_a.word[0]) return 0;
  return static_cast<int>(Named(a)) - static_cast<int>(Named(b));
}

int CompareNames(HitIndex a, HitIndex b);
std::size_t Rank(HitIndex n);

// Names only, to find where a name's equals begin in the report order.
struct SameName {
  HitIndex hit;
};

// Report order: ascending name, and among equal names the hit further down
// the list first. Positions of existing hits never swap, so the order of
// the set's elements stays valid while hits come and go.
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

constexpr std::uint32_t kNotInOrder = 0xFFFFFFFFu;

// What list searches read about a hit, in one array. The store keeps its
// own copy of the name as it was added (head and tail), so that ordering
// never depends on what a caller does with the hit's texts.
struct HitInfo {
  NameHead head;
  const char* tail = nullptr;  // the name from byte kHeadBytes on, if it is that long
  bool named = false;
  PosNode* leaf = nullptr;
  std::uint32_t order_pos = kNotInOrder;  // place in the report snapshot
};

// Storage for name tails: filled in arrival order, freed with the list.
constexpr std::size_t kTailChunk = 64 * 1024;

struct HitRecord {
  FileHit hit;
  ReportSet::iterator pending_pos;
  bool pending = false;  // in the report's set of late hits
  bool live = false;     // in the list (false: never used, or removed)
};

// Records are made in blocks: their addresses must not move (rows and
// callers hold them), and one allocation serves many.
constexpr std::size_t kBlockHits = 512;

// How many hits ahead of the report cursor a record is fetched early.
constexpr std::size_t kReadAhead = 8;

// The report order: a sorted snapshot taken at the first pick after the
// list or the marks were reset, and a set for the hits added since. Before
// each cursor every hit was marked when last looked at.
struct ReportState {
  bool built = false;
  std::vector<HitIndex> order;  // 0 where a hit was removed
  std::size_t cursor = 0;
  ReportSet pending;
  ReportSet::iterator pending_cursor = pending.end();
};

struct HitList {
  std::vector<HitInfo> info = std::vector<HitInfo>(1);  // by hit number; [0] unused
  std::vector<std::unique_ptr<HitRecord[]>> blocks;
  std::vector<HitIndex> spare;  // removed hits, ready for reuse
  std::vector<std::unique_ptr<char[]>> tail_chunks;
  std::size_t tail_used = kTailChunk;  // bytes used in the last chunk
  std::vector<std::unique_ptr<char[]>> long_tails;
  std::vector<std::unique_ptr<PosNode>> nodes;
  std::vector<PosNode*> spare_nodes;
  PosNode* root = nullptr;
  std::size_t count = 0;  // hits in the list
  // Hits without a name; while there are any, the report pick walks the
  // list instead (they only come from hand-made project files).
  std::size_t nameless = 0;
  ReportState report;
};
HitList g_hits;

HitRecord& Record(HitIndex i) {
  return g_hits.blocks[(i - 1) / kBlockHits][(i - 1) % kBlockHits];
}
HitInfo& Info(HitIndex i) {
  return g_hits.info[i];
}

const char* TailOf(HitIndex z) {
  return Info(z).tail;
}
bool Named(HitIndex z) {
  return Info(z).named;
}

// A lasting copy of text (a name's tail).
const char* KeepTail(const char* text) {
  HitList& h = g_hits;
  std::size_t size = std::strlen(text) + 1;
  char* copy;
  if (size > kTailChunk / 4) {
    // Only a hand-made project has names this long: a block of its own.
    h.long_tails.push_back(std::make_unique<char[]>(size));
    copy = h.long_tails.back().get();
  } else {
    if (h.tail_used + size > kTailChunk) {
      h.tail_chunks.push_back(std::make_unique<char[]>(kTailChunk));
      h.tail_used = 0;
    }
    copy = h.tail_chunks.back().get() + h.tail_used;
    h.tail_used += size;
  }
  std::memcpy(copy, text, size);
  return copy;
}

int CompareNames(HitIndex a, HitIndex b) {
  return CompareNames(Info(a).head, a, Info(b).head, b);
}
// The greatest name under entry i of n against hit z's name.
int CompareEntry(const PosNode* n, int i, HitIndex z) {
  return CompareNames(n->head[i], n->greatest[i], Info(z).head, z);
}

PosNode* NewPosNode(bool leaf) {
  HitList& h = g_hits;
  PosNode* n;
  if (!h.spare_nodes.empty()) {
    n = h.spare_nodes.back();
    h.spare_nodes.pop_back();
  } else {
    h.nodes.push_back(std::make_unique<PosNode>());
    n = h.nodes.back().get();
  }
  n->leaf = leaf;
  n->sorted = true;
  n->size = 0;
  n->parent = nullptr;
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

void EraseEntry(PosNode* n, int at) {
  for (int i = at; i + 1 < n->size; ++i) {
    n->head[i] = n->head[i + 1];
    n->greatest[i] = n->greatest[i + 1];
    n->count[i] = n->count[i + 1];
    n->child[i] = n->child[i + 1];
  }
  --n->size;
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
  HitList& h = g_hits;
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
    h.root = top;
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
  HitList& h = g_hits;
  if (!h.root) h.root = NewPosNode(true);
  PosNode* leaf;
  int at;
  if (before) {
    leaf = Info(before).leaf;
    at = PlaceInLeaf(leaf, before);
  } else {
    leaf = h.root;
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

void RemoveFromList(HitIndex z) {
  HitList& h = g_hits;
  PosNode* n = Info(z).leaf;
  EraseEntry(n, PlaceInLeaf(n, z));
  while (PosNode* p = n->parent) {
    if (n->size == 0) {
      EraseEntry(p, SlotOf(p, n));
      h.spare_nodes.push_back(n);
    } else {
      Summarize(n);
    }
    n = p;
  }
  // A root with one child gives way to the child; an emptied one to a leaf.
  while (!h.root->leaf && h.root->size == 1) {
    h.spare_nodes.push_back(h.root);
    h.root = h.root->child[0];
    h.root->parent = nullptr;
  }
  if (h.root->size == 0) {
    h.root->leaf = true;
    h.root->sorted = true;
  }
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

// Position of z in the list, 0-based.
std::size_t Rank(HitIndex z) {
  const PosNode* n = Info(z).leaf;
  std::size_t r = static_cast<std::size_t>(PlaceInLeaf(n, z));
  for (const PosNode* p = n->parent; p; n = p, p = p->parent) {
    for (int i = 0, s = SlotOf(p, n); i < s; ++i) r += p->count[i];
  }
  return r;
}

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

// A number for hit, with its record and search data filled in.
HitIndex NewHit(FileHit hit) {
  HitList& h = g_hits;
  HitIndex z;
  if (!h.spare.empty()) {
    z = h.spare.back();
    h.spare.pop_back();
  } else {
    z = static_cast<HitIndex>(h.info.size());
    if ((z - 1) % kBlockHits == 0) h.blocks.push_back(std::make_unique<HitRecord[]>(kBlockHits));
    h.info.emplace_back();
  }
  HitRecord& r = Record(z);
  r.hit = std::move(hit);
  r.live = true;
  HitInfo& info = Info(z);
  info = HitInfo();
  const char* name = r.hit.name ? r.hit.name->c_str() : nullptr;
  info.named = name != nullptr;
  info.head = MakeNameHead(name);
  if (name && std::strlen(name) >= static_cast<std::size_t>(kHeadBytes)) {
    info.tail = KeepTail(name + kHeadBytes);
  }
  ++h.count;
  if (!info.named) ++h.nameless;
  return z;
}

// A new hit joins a report order that is already built.
void AddToReport(HitIndex z) {
  ReportState& rs = g_hits.report;
  if (!rs.built) return;
  // z mostly belongs first among its equals (it is usually the lowest of
  // them in the list), which is where the hint points.
  ReportSet::iterator pos = rs.pending.insert(rs.pending.lower_bound(SameName{z}), z);
  Record(z).pending_pos = pos;
  Record(z).pending = true;
  if (rs.pending_cursor == rs.pending.end() || ReportOrder()(z, *rs.pending_cursor)) {
    rs.pending_cursor = pos;
  }
}

void DropFromReport(HitIndex z) {
  ReportState& rs = g_hits.report;
  if (!rs.built) return;
  HitRecord& r = Record(z);
  if (r.pending) {
    if (rs.pending_cursor == r.pending_pos) ++rs.pending_cursor;
    rs.pending.erase(r.pending_pos);
    r.pending = false;
  }
  if (Info(z).order_pos != kNotInOrder) rs.order[Info(z).order_pos] = 0;
}

void ResetReport() {
  ReportState& rs = g_hits.report;
  for (HitIndex z : rs.pending) Record(z).pending = false;
  rs.pending.clear();
  rs.pending_cursor = rs.pending.end();
  for (HitIndex z : rs.order) {
    if (z) Info(z).order_pos = kNotInOrder;
  }
  rs.order.clear();
  rs.cursor = 0;
  rs.built = false;
}

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
  entries.reserve(g_hits.count);
  std::uint32_t position = 0;
  ForEachHit([&](HitIndex z) { entries.push_back({Info(z).head, position++, z}); });
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    int c = CompareNames(a.head, a.hit, b.head, b.hit);
    return c != 0 ? c < 0 : a.position > b.position;
  });
  ReportState& rs = g_hits.report;
  rs.order.reserve(entries.size());
  for (const Entry& e : entries) {
    Info(e.hit).order_pos = static_cast<std::uint32_t>(rs.order.size());
    rs.order.push_back(e.hit);
  }
  rs.built = true;
}

bool Marked(HitIndex z) {
  return (Record(z).hit.mark_flags & kWrittenMark) != 0;
}

// The number of a hit in the list, or 0. Only hit removal asks, so a look
// through the blocks is cheap enough and saves an index entry per hit.
HitIndex IndexOf(const FileHit* hit) {
  if (!hit) return 0;
  const auto address = reinterpret_cast<std::uintptr_t>(hit);
  for (std::size_t b = 0; b < g_hits.blocks.size(); ++b) {
    const HitRecord* block = g_hits.blocks[b].get();
    const auto first = reinterpret_cast<std::uintptr_t>(&block[0].hit);
    if (address < first) continue;
    std::uintptr_t i = (address - first) / sizeof(HitRecord);
    if (i < kBlockHits && &block[i].hit == hit) {
      return block[i].live ? static_cast<HitIndex>(b * kBlockHits + i + 1) : 0;
    }
  }
  return 0;
}

void ShowTotalHitCount() {
  using platform::ui;
  if (ui().IsOpen(platform::kStatusDialog)) {
    ui().SetText(platform::kStatusDialog, 1157,
                 std::string("  ") + IntToText(g_total_hits));
  }
}

void DeleteRows() {
  g_list_filling = true;
  platform::ui().DeleteAllRows(IDC_RESULTS_LIST);
  g_list_filling = false;
  g_result_rows = 0;
}

}  // namespace

void AddFileHit(std::string location, std::string name, const char* size, const char* date,
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
  if (g_right_tab == 0 && InsertHitRow(g_result_rows, &Record(z).hit)) ++g_result_rows;
}

void AppendLoadedHit(FileHit hit) {
  HitIndex z = NewHit(std::move(hit));
  InsertIntoList(z, 0);
  AddToReport(z);
}

void FreeHitList() {
  HitList& h = g_hits;
  ResetReport();
  h.root = nullptr;
  h.nodes.clear();
  h.spare_nodes.clear();
  h.count = 0;
  h.nameless = 0;
  h.spare.clear();
  h.blocks.clear();
  h.info.resize(1);
  h.tail_chunks.clear();
  h.long_tails.clear();
  h.tail_used = kTailChunk;
}

void RemoveHit(const FileHit* hit) {
  HitIndex z = IndexOf(hit);
  if (!z) return;
  DropFromReport(z);
  RemoveFromList(z);
  HitList& h = g_hits;
  --h.count;
  if (!Info(z).named) --h.nameless;
  // Frees the texts now rather than when the block goes.
  Record(z) = HitRecord();
  Info(z) = HitInfo();
  h.spare.push_back(z);
}

std::size_t HitCount() {
  return g_hits.count;
}

std::vector<FileHit*> HitsInListOrder() {
  std::vector<FileHit*> hits;
  hits.reserve(g_hits.count);
  ForEachHit([&](HitIndex z) { hits.push_back(&Record(z).hit); });
  return hits;
}

FileHit* NextUnwrittenHit() {
  HitList& h = g_hits;
  if (h.nameless) {
    // The plain walk: a nameless hit is always replaced, so the pick
    // depends on list positions in a way the report order does not keep.
    HitIndex kept = 0;
    ForEachHit([&](HitIndex z) {
      if (Marked(z)) return;
      if (!kept || !Named(kept) || CompareNames(kept, z) >= 0) kept = z;
    });
    return kept ? &Record(kept).hit : nullptr;
  }
  ReportState& rs = h.report;
  if (!rs.built) BuildReportOrder();
  while (rs.cursor < rs.order.size() && (!rs.order[rs.cursor] || Marked(rs.order[rs.cursor]))) {
    ++rs.cursor;
  }
  while (rs.pending_cursor != rs.pending.end() && Marked(*rs.pending_cursor)) ++rs.pending_cursor;
#if defined(__GNUC__)
  // The report writer asks for the hits in this order, one call each: fetch
  // a record a few calls ahead so that it is at hand when its turn comes.
  if (rs.cursor + kReadAhead < rs.order.size() && rs.order[rs.cursor + kReadAhead]) {
    __builtin_prefetch(&Record(rs.order[rs.cursor + kReadAhead]).hit.mark_flags);
  }
#endif
  HitIndex a = rs.cursor < rs.order.size() ? rs.order[rs.cursor] : 0;
  HitIndex b = rs.pending_cursor != rs.pending.end() ? *rs.pending_cursor : 0;
  if (a && b && ReportOrder()(b, a)) a = b;
  if (!a) a = b;
  return a ? &Record(a).hit : nullptr;
}

void ClearWrittenMarks() {
  // In memory order rather than list order: the same hits, read straight
  // through. Unused records have no marks to lose.
  for (const auto& block : g_hits.blocks) {
    for (std::size_t i = 0; i < kBlockHits; ++i) block[i].hit.mark_flags &= ~kWrittenMark;
  }
  ReportState& rs = g_hits.report;
  if (rs.pending.empty()) {
    rs.cursor = 0;
  } else {
    ResetReport();  // the next pick sorts the late hits in with the rest
  }
}

// ---- results list rows ------------------------------------------------------

int InsertHitRow(int row, const FileHit* hit) {
  return platform::ui().InsertRow(IDC_RESULTS_LIST, row, platform::RowItem(hit)) ? 1 : 0;
}

int InsertCatalogueRow(int row, const SoftEntry* entry) {
  return platform::ui().InsertRow(IDC_RESULTS_LIST, row, platform::RowItem(entry)) ? 1 : 0;
}

void EmptyResultsList() {
  DeleteRows();
  g_total_hits = 0;
  ShowTotalHitCount();
}

int FillResultsList() {
  DeleteRows();
  if (g_right_tab != 0) {
    if (g_right_tab < 1 || g_right_tab > 4) return 0;
    return FillCatalogueRows(g_right_tab);
  }
  if (!g_hits.count) return 0;
  ForEachHit([](HitIndex z) {
    const FileHit& hit = Record(z).hit;
    if (hit.name && hit.location && InsertHitRow(g_result_rows, &hit)) ++g_result_rows;
  });
  return 1;
}
