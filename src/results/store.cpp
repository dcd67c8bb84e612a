// The result store.
//
// The hit list behaves exactly like a singly linked list in which a new hit
// goes in front of the first hit whose name compares greater, and in which
// the report writer repeatedly picks the unwritten hit with the smallest
// name (the last one among equals). Done with list walks, both cost n^2 for
// n hits, which a Hunt with tens of thousands of hits cannot afford. So the
// list keeps three views of the same hits:
//   - a doubly linked chain in list order (iteration, rows, project files);
//   - a treap keyed by list position whose subtrees know their largest name:
//     "the first hit greater than x" is the first place where the running
//     maximum of the list exceeds x, found in one descent even when the list
//     was loaded out of order from a project;
//   - the report order, a set sorted by name and then by position from the
//     bottom up, with a cursor before which every hit is known to be marked.
//     It is built by the first report pick after the list was emptied (a
//     Hunt never needs it) and kept up to date from then on.

#include "results/store.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <utility>

#include "platform/ui.h"
#include "util/text.h"

std::unique_ptr<SeenNode> g_seen_urls;
std::int32_t g_total_hits = 0;
int g_result_rows = 0;
int g_right_tab = 0;
bool g_list_filling = false;
int (*g_fill_catalogue_rows)(int page) = nullptr;

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

int CompareNames(HitIndex a, HitIndex b);
std::size_t Rank(HitIndex n);

// Names only, to find where a name's equals begin in the report order.
struct SameName {
  HitIndex hit;
};

// Report order: ascending name, and among equal names the hit further down
// the list first. Positions of existing hits never swap, so the order of the
// set's elements stays valid while hits come and go.
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

// The first sixteen bytes of a name, folded as StrICmp folds them and
// packed so that comparing the numbers compares those bytes. Names that
// differ there are ordered without reading them; equal heads fall back to
// StrICmp (which also puts a missing name, head 0, below the empty one).
struct NameHead {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

NameHead MakeNameHead(const char* s) {
  NameHead head;
  bool ended = !s;
  for (int i = 0; i < 16; ++i) {
    unsigned c = ended ? 0 : static_cast<unsigned char>(s[i]);
    if (!c) ended = true;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    std::uint64_t& part = i < 8 ? head.high : head.low;
    part = (part << 8) | c;
  }
  return head;
}

int CompareNames(const NameHead& head_a, const char* a, const NameHead& head_b, const char* b) {
  if (head_a.high != head_b.high) return head_a.high < head_b.high ? -1 : 1;
  if (head_a.low != head_b.low) return head_a.low < head_b.low ? -1 : 1;
  // Equal heads without a terminator in them: both names run on past the
  // sixteenth byte, and only the rest can differ.
  if (head_a.low & 0xFF) return StrICmp(a + 16, b + 16);
  return StrICmp(a, b);
}

// One hit's place in the position treap: what a search reads, kept small
// and in one array so that a descent stays in the cache; the records with
// the texts are read only when two names must be compared in full.
struct alignas(64) TreeNode {
  NameHead head;               // of the hit's name
  NameHead greatest_head;      // of the greatest name in the subtree
  const char* name = nullptr;  // the hit's name, null for none
  HitIndex left = 0;
  HitIndex right = 0;
  HitIndex parent = 0;
  HitIndex greatest = 0;    // the hit with the greatest name in the subtree
  std::uint32_t count = 0;  // hits in the subtree
  std::uint32_t priority = 0;
};

struct HitRecord {
  FileHit hit;
  ReportSet::iterator report_pos;
  bool live = false;  // in the list (false: never used, or removed)
};

// The list order, as links between hit numbers.
struct ListLinks {
  HitIndex prev = 0;
  HitIndex next = 0;
};

// Records are made in blocks: their addresses must not move (rows and
// callers hold them), and one allocation serves many.
constexpr std::size_t kBlockHits = 512;

// The hit list: every hit in its three views.
struct HitList {
  std::vector<TreeNode> tree = std::vector<TreeNode>(1);  // [0] is "none", count 0
  std::vector<ListLinks> links = std::vector<ListLinks>(1);
  std::vector<std::unique_ptr<HitRecord[]>> blocks;
  std::vector<HitIndex> spare;  // removed hits, ready for reuse
  std::size_t count = 0;        // hits in the list
  HitIndex head = 0;
  HitIndex tail = 0;
  HitIndex root = 0;
  ReportSet report;
  bool report_built = false;
  // Every hit before the cursor in report order was marked when last seen.
  ReportSet::iterator cursor = report.end();
  // Hits without a name; while there are any, the report pick walks the
  // list instead (they only come from hand-made project files).
  std::size_t nameless = 0;
  std::uint32_t random = 0x9E3779B9u;
};
HitList g_hits;

HitRecord& Record(HitIndex i) {
  return g_hits.blocks[(i - 1) / kBlockHits][(i - 1) % kBlockHits];
}
TreeNode& Node(HitIndex i) {
  return g_hits.tree[i];
}

int CompareNames(HitIndex a, HitIndex b) {
  const TreeNode& x = Node(a);
  const TreeNode& y = Node(b);
  return CompareNames(x.head, x.name, y.head, y.name);
}
// The greatest name under n against z's.
int CompareGreatest(HitIndex n, HitIndex z) {
  const TreeNode& x = Node(n);
  const TreeNode& y = Node(z);
  return CompareNames(x.greatest_head, Node(x.greatest).name, y.head, y.name);
}

std::uint32_t NextPriority() {
  std::uint32_t x = g_hits.random;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  g_hits.random = x;
  return x;
}

// Position of n in the list, 0-based.
std::size_t Rank(HitIndex n) {
  std::size_t r = Node(Node(n).left).count;
  for (HitIndex p = Node(n).parent; p; n = p, p = Node(p).parent) {
    if (Node(p).right == n) r += Node(Node(p).left).count + 1;
  }
  return r;
}

void Recount(HitIndex i) {
  TreeNode& n = Node(i);
  n.count = 1 + Node(n.left).count + Node(n.right).count;
  n.greatest = i;
  n.greatest_head = n.head;
  for (HitIndex side : {n.left, n.right}) {
    if (!side) continue;
    const TreeNode& s = Node(side);
    if (CompareNames(s.greatest_head, Node(s.greatest).name, n.greatest_head,
                     Node(n.greatest).name) > 0) {
      n.greatest = s.greatest;
      n.greatest_head = s.greatest_head;
    }
  }
}

// Lifts z above its parent, keeping the list order.
void RotateUp(HitIndex z) {
  HitIndex p = Node(z).parent;
  HitIndex g = Node(p).parent;
  if (Node(p).left == z) {
    Node(p).left = Node(z).right;
    if (Node(z).right) Node(Node(z).right).parent = p;
    Node(z).right = p;
  } else {
    Node(p).right = Node(z).left;
    if (Node(z).left) Node(Node(z).left).parent = p;
    Node(z).left = p;
  }
  Node(p).parent = z;
  Node(z).parent = g;
  if (!g) {
    g_hits.root = z;
  } else if (Node(g).left == p) {
    Node(g).left = z;
  } else {
    Node(g).right = z;
  }
  Recount(p);
  Recount(z);
}

// The first hit in list order whose name compares greater than z's: where
// the running greatest name of the list first exceeds it.
HitIndex FirstGreater(HitIndex z) {
  HitIndex n = g_hits.root;
  while (n) {
    const TreeNode& node = Node(n);
    if (node.left && CompareGreatest(node.left, z) > 0) {
      n = node.left;
    } else if (CompareNames(n, z) > 0) {
      return n;
    } else if (node.right && CompareGreatest(node.right, z) > 0) {
      n = node.right;
    } else {
      return 0;
    }
  }
  return 0;
}

// A number for hit, with its record filled and its tree node cleared.
HitIndex NewHit(FileHit hit) {
  HitList& h = g_hits;
  HitIndex z;
  if (!h.spare.empty()) {
    z = h.spare.back();
    h.spare.pop_back();
  } else {
    z = static_cast<HitIndex>(h.tree.size());
    if ((z - 1) % kBlockHits == 0) h.blocks.push_back(std::make_unique<HitRecord[]>(kBlockHits));
    h.tree.emplace_back();
    h.links.emplace_back();
  }
  HitRecord& r = Record(z);
  r.hit = std::move(hit);
  r.live = true;
  TreeNode& n = Node(z);
  n = TreeNode();
  n.name = r.hit.name ? r.hit.name->c_str() : nullptr;
  n.head = MakeNameHead(n.name);
  n.greatest = z;
  n.greatest_head = n.head;
  n.count = 1;
  n.priority = NextPriority();
  h.links[z] = ListLinks();
  ++h.count;
  return z;
}

// Puts z into the list in front of before (at the end for 0).
void LinkBefore(HitIndex z, HitIndex before) {
  HitList& h = g_hits;
  ListLinks& link = h.links[z];
  link.next = before;
  link.prev = before ? h.links[before].prev : h.tail;
  if (link.prev) {
    h.links[link.prev].next = z;
  } else {
    h.head = z;
  }
  if (before) {
    h.links[before].prev = z;
  } else {
    h.tail = z;
  }

  if (!h.root) {
    h.root = z;
  } else {
    HitIndex p;
    if (before && !Node(before).left) {
      p = before;
      Node(p).left = z;
    } else {
      p = before ? Node(before).left : h.root;
      while (Node(p).right) p = Node(p).right;
      Node(p).right = z;
    }
    Node(z).parent = p;
    // Once z does not beat a subtree's greatest, it cannot beat any above.
    bool greatest = true;
    for (HitIndex a = p; a; a = Node(a).parent) {
      TreeNode& above = Node(a);
      ++above.count;
      if (greatest && CompareGreatest(a, z) < 0) {
        above.greatest = z;
        above.greatest_head = Node(z).head;
      } else {
        greatest = false;
      }
    }
    while (Node(z).parent && Node(Node(z).parent).priority < Node(z).priority) RotateUp(z);
  }

  if (!Node(z).name) ++h.nameless;
  if (!h.report_built) return;
  // z mostly belongs first among its equals (it is usually the lowest of
  // them in the list), which is where the hint points.
  ReportSet::iterator pos = h.report.insert(h.report.lower_bound(SameName{z}), z);
  Record(z).report_pos = pos;
  if (h.cursor == h.report.end() || ReportOrder()(z, *h.cursor)) h.cursor = pos;
}

// Puts every hit into the report order at once: one sort instead of a
// tree insertion per hit.
void BuildReportOrder() {
  HitList& h = g_hits;
  std::vector<std::pair<HitIndex, std::size_t>> order;
  order.reserve(h.count);
  std::size_t position = 0;
  for (HitIndex n = h.head; n; n = h.links[n].next) order.emplace_back(n, position++);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    int c = CompareNames(a.first, b.first);
    return c != 0 ? c < 0 : a.second > b.second;
  });
  h.report.clear();
  for (const auto& entry : order) {
    Record(entry.first).report_pos = h.report.insert(h.report.end(), entry.first);
  }
  h.cursor = h.report.begin();
  h.report_built = true;
}

void Unlink(HitIndex z) {
  HitList& h = g_hits;
  if (h.report_built) {
    if (h.cursor == Record(z).report_pos) ++h.cursor;
    h.report.erase(Record(z).report_pos);
  }
  if (!Node(z).name) --h.nameless;

  while (Node(z).left && Node(z).right) {
    HitIndex l = Node(z).left;
    HitIndex r = Node(z).right;
    RotateUp(Node(l).priority > Node(r).priority ? l : r);
  }
  HitIndex c = Node(z).left ? Node(z).left : Node(z).right;
  HitIndex p = Node(z).parent;
  if (c) Node(c).parent = p;
  if (!p) {
    h.root = c;
  } else if (Node(p).left == z) {
    Node(p).left = c;
  } else {
    Node(p).right = c;
  }
  for (HitIndex a = p; a; a = Node(a).parent) Recount(a);

  const ListLinks link = h.links[z];
  if (link.prev) {
    h.links[link.prev].next = link.next;
  } else {
    h.head = link.next;
  }
  if (link.next) {
    h.links[link.next].prev = link.prev;
  } else {
    h.tail = link.prev;
  }
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
  if (ui().IsOpen(platform::Window::kStatusDialog)) {
    ui().SetText(platform::Window::kStatusDialog, 1157,
                 std::string("  ") + IntToText(g_total_hits));
  }
}

void DeleteRows() {
  g_list_filling = true;
  platform::ui().DeleteAllRows(platform::kResultsList);
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
  LinkBefore(z, FirstGreater(z));
  // The row goes to the end: during a Hunt the list shows arrival order.
  if (g_right_tab == 0 && InsertHitRow(g_result_rows, &Record(z).hit)) ++g_result_rows;
}

void AppendLoadedHit(FileHit hit) {
  LinkBefore(NewHit(std::move(hit)), 0);
}

void FreeHitList() {
  HitList& h = g_hits;
  h.report.clear();
  h.report_built = false;
  h.cursor = h.report.end();
  h.head = h.tail = h.root = 0;
  h.nameless = 0;
  h.count = 0;
  h.spare.clear();
  h.blocks.clear();
  h.tree.resize(1);
  h.links.resize(1);
}

void RemoveHit(const FileHit* hit) {
  HitIndex z = IndexOf(hit);
  if (!z) return;
  Unlink(z);
  --g_hits.count;
  // Frees the texts now rather than when the block goes.
  Record(z) = HitRecord();
  Node(z) = TreeNode();
  g_hits.spare.push_back(z);
}

std::size_t HitCount() {
  return g_hits.count;
}

std::vector<FileHit*> HitsInListOrder() {
  std::vector<FileHit*> hits;
  hits.reserve(g_hits.count);
  for (HitIndex n = g_hits.head; n; n = g_hits.links[n].next) hits.push_back(&Record(n).hit);
  return hits;
}

FileHit* NextUnwrittenHit() {
  HitList& h = g_hits;
  if (h.nameless) {
    // The plain walk: a nameless hit is always replaced, so the pick
    // depends on list positions in a way the report order does not keep.
    FileHit* kept = nullptr;
    for (HitIndex n = h.head; n; n = h.links[n].next) {
      FileHit* hit = &Record(n).hit;
      if (hit->mark_flags & kWrittenMark) continue;
      if (!kept || !kept->name || StrICmp(kept->name->c_str(), Node(n).name) >= 0) kept = hit;
    }
    return kept;
  }
  if (!h.report_built) BuildReportOrder();
  while (h.cursor != h.report.end() && (Record(*h.cursor).hit.mark_flags & kWrittenMark)) {
    ++h.cursor;
  }
  return h.cursor == h.report.end() ? nullptr : &Record(*h.cursor).hit;
}

void ClearWrittenMarks() {
  // In memory order rather than list order: the same hits, read straight
  // through. Unused records have no marks to lose.
  for (const auto& block : g_hits.blocks) {
    for (std::size_t i = 0; i < kBlockHits; ++i) block[i].hit.mark_flags &= ~kWrittenMark;
  }
  g_hits.cursor = g_hits.report.begin();
}

// ---- results list rows ------------------------------------------------------

int InsertHitRow(int row, const FileHit* hit) {
  return platform::ui().InsertRow(platform::kResultsList, row, hit) ? 1 : 0;
}

int InsertCatalogueRow(int row, const SoftEntry* entry) {
  return platform::ui().InsertRow(platform::kResultsList, row, entry) ? 1 : 0;
}

void EmptyResultsList() {
  DeleteRows();
  g_total_hits = 0;
  ShowTotalHitCount();
}

int FillResultsList() {
  DeleteRows();
  if (g_right_tab != 0) {
    if (g_right_tab < 1 || g_right_tab > 4 || !g_fill_catalogue_rows) return 0;
    return g_fill_catalogue_rows(g_right_tab);
  }
  if (!g_hits.head) return 0;
  for (HitIndex n = g_hits.head; n; n = g_hits.links[n].next) {
    const FileHit& hit = Record(n).hit;
    if (hit.name && hit.location && InsertHitRow(g_result_rows, &hit)) ++g_result_rows;
  }
  return 1;
}
