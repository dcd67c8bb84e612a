// The result store.
//
// The hit list behaves exactly like a singly linked list in which a new hit
// goes in front of the first hit whose name compares greater, and in which
// the report writer repeatedly picks the unwritten hit with the smallest
// name (the last one among equals). Done with list walks, both cost n^2 for
// n hits, which a Hunt with tens of thousands of hits cannot afford. So the
// list keeps three views of the same nodes:
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

struct HitNode;
int CompareNames(const HitNode* a, const HitNode* b);

// Names only, to find where a name's equals begin in the report order.
struct SameName {
  const HitNode* node;
};

// Report order: ascending name, and among equal names the hit further down
// the list first. Positions of existing hits never swap, so the order of the
// set's elements stays valid while hits come and go.
struct ReportOrder {
  using is_transparent = void;
  bool operator()(const HitNode* a, const HitNode* b) const;
  bool operator()(const HitNode* a, SameName b) const { return CompareNames(a, b.node) < 0; }
  bool operator()(SameName a, const HitNode* b) const { return CompareNames(a.node, b) < 0; }
};
using ReportSet = std::set<HitNode*, ReportOrder>;

// The fields that searches touch come first, within one cache line, so that
// a step down the treap mostly reads that line and not the name behind it.
struct alignas(64) HitNode {
  // position treap
  HitNode* left = nullptr;
  HitNode* right = nullptr;
  HitNode* parent = nullptr;
  HitNode* greatest = this;  // the node with the greatest name in this subtree
  std::uint64_t head = 0;    // NameHead of this hit's name
  std::uint64_t greatest_head = 0;
  std::uint32_t count = 1;  // nodes in this subtree
  std::uint32_t priority = 0;
  // list order
  HitNode* prev = nullptr;
  HitNode* next = nullptr;
  ReportSet::iterator report_pos;
  bool live = false;  // in the list (false: never used, or removed)
  FileHit hit;
};

const char* NameOf(const HitNode* n) {
  return n->hit.name ? n->hit.name->c_str() : nullptr;
}

// The first eight bytes of a name, folded as StrICmp folds them, packed so
// that comparing two numbers compares those bytes. Names that differ there
// are ordered without reading them; equal heads fall back to StrICmp (which
// also puts a missing name, head 0, below the empty one).
std::uint64_t NameHead(const char* s) {
  std::uint64_t head = 0;
  bool ended = !s;
  for (int i = 0; i < 8; ++i) {
    unsigned c = ended ? 0 : static_cast<unsigned char>(s[i]);
    if (!c) ended = true;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    head = (head << 8) | c;
  }
  return head;
}

int CompareNames(std::uint64_t head_a, const HitNode* a, std::uint64_t head_b, const HitNode* b) {
  if (head_a != head_b) return head_a < head_b ? -1 : 1;
  // Equal heads without a terminator in them: both names run on past the
  // eighth byte, and only the rest can differ.
  if (head_a & 0xFF) return StrICmp(NameOf(a) + 8, NameOf(b) + 8);
  return StrICmp(NameOf(a), NameOf(b));
}
int CompareNames(const HitNode* a, const HitNode* b) {
  return CompareNames(a->head, a, b->head, b);
}
// The greatest name under n against z's.
int CompareGreatest(const HitNode* n, const HitNode* z) {
  return CompareNames(n->greatest_head, n->greatest, z->head, z);
}

// Hits are made in blocks: hits found together sit together in memory, and
// one allocation serves many.
constexpr std::size_t kBlockHits = 512;

// The hit list: every hit in its three views.
struct HitList {
  std::vector<std::unique_ptr<HitNode[]>> blocks;
  std::size_t block_used = kBlockHits;  // hits handed out from the last block
  std::vector<HitNode*> spare;          // removed hits, ready for reuse
  std::size_t count = 0;                // hits in the list
  HitNode* head = nullptr;
  HitNode* tail = nullptr;
  HitNode* root = nullptr;
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

std::uint32_t NextPriority() {
  std::uint32_t x = g_hits.random;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  g_hits.random = x;
  return x;
}

std::uint32_t CountOf(const HitNode* n) {
  return n ? n->count : 0;
}

// Position of n in the list, 0-based.
std::size_t Rank(const HitNode* n) {
  std::size_t r = CountOf(n->left);
  for (; n->parent; n = n->parent) {
    if (n->parent->right == n) r += CountOf(n->parent->left) + 1;
  }
  return r;
}

bool ReportOrder::operator()(const HitNode* a, const HitNode* b) const {
  int c = CompareNames(a, b);
  if (c != 0) return c < 0;
  if (a == b) return false;
  return Rank(a) > Rank(b);
}

void Recount(HitNode* n) {
  n->count = 1 + CountOf(n->left) + CountOf(n->right);
  n->greatest = n;
  n->greatest_head = n->head;
  for (HitNode* side : {n->left, n->right}) {
    if (side &&
        CompareNames(side->greatest_head, side->greatest, n->greatest_head, n->greatest) > 0) {
      n->greatest = side->greatest;
      n->greatest_head = side->greatest_head;
    }
  }
}

// Lifts z above its parent, keeping the list order.
void RotateUp(HitNode* z) {
  HitNode* p = z->parent;
  HitNode* g = p->parent;
  if (p->left == z) {
    p->left = z->right;
    if (z->right) z->right->parent = p;
    z->right = p;
  } else {
    p->right = z->left;
    if (z->left) z->left->parent = p;
    z->left = p;
  }
  p->parent = z;
  z->parent = g;
  if (!g) {
    g_hits.root = z;
  } else if (g->left == p) {
    g->left = z;
  } else {
    g->right = z;
  }
  Recount(p);
  Recount(z);
}

// The first hit in list order whose name compares greater than z's: where
// the running greatest name of the list first exceeds it.
HitNode* FirstGreater(const HitNode* z) {
  HitNode* n = g_hits.root;
  while (n) {
    if (n->left && CompareGreatest(n->left, z) > 0) {
      n = n->left;
    } else if (CompareNames(n, z) > 0) {
      return n;
    } else if (n->right && CompareGreatest(n->right, z) > 0) {
      n = n->right;
    } else {
      return nullptr;
    }
  }
  return nullptr;
}

// A cleared node holding hit.
HitNode* NewNode(FileHit hit) {
  HitList& h = g_hits;
  HitNode* z;
  if (!h.spare.empty()) {
    z = h.spare.back();
    h.spare.pop_back();
  } else {
    if (h.block_used == kBlockHits) {
      h.blocks.push_back(std::make_unique<HitNode[]>(kBlockHits));
      h.block_used = 0;
    }
    z = &h.blocks.back()[h.block_used++];
  }
  z->hit = std::move(hit);
  z->head = NameHead(NameOf(z));
  z->live = true;
  ++h.count;
  return z;
}

// Puts z into the list in front of before (at the end for null).
void LinkBefore(HitNode* z, HitNode* before) {
  HitList& h = g_hits;
  z->next = before;
  z->prev = before ? before->prev : h.tail;
  if (z->prev) {
    z->prev->next = z;
  } else {
    h.head = z;
  }
  if (before) {
    before->prev = z;
  } else {
    h.tail = z;
  }

  z->greatest = z;
  z->greatest_head = z->head;
  z->priority = NextPriority();
  if (!h.root) {
    h.root = z;
  } else {
    HitNode* p;
    if (before && !before->left) {
      p = before;
      p->left = z;
    } else {
      p = before ? before->left : h.root;
      while (p->right) p = p->right;
      p->right = z;
    }
    z->parent = p;
    // Once z does not beat a subtree's greatest, it cannot beat any above.
    bool greatest = true;
    for (HitNode* a = p; a; a = a->parent) {
      ++a->count;
      if (greatest && CompareGreatest(a, z) < 0) {
        a->greatest = z;
        a->greatest_head = z->head;
      } else {
        greatest = false;
      }
    }
    while (z->parent && z->parent->priority < z->priority) RotateUp(z);
  }

  if (!z->hit.name) ++h.nameless;
  if (!h.report_built) return;
  // z mostly belongs first among its equals (it is usually the lowest of
  // them in the list), which is where the hint points.
  z->report_pos = h.report.insert(h.report.lower_bound(SameName{z}), z);
  if (h.cursor == h.report.end() || ReportOrder()(z, *h.cursor)) h.cursor = z->report_pos;
}

// Puts every hit into the report order at once: one sort instead of a
// tree insertion per hit.
void BuildReportOrder() {
  HitList& h = g_hits;
  std::vector<std::pair<HitNode*, std::size_t>> order;
  order.reserve(h.count);
  std::size_t position = 0;
  for (HitNode* n = h.head; n; n = n->next) order.emplace_back(n, position++);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    int c = CompareNames(a.first, b.first);
    return c != 0 ? c < 0 : a.second > b.second;
  });
  h.report.clear();
  for (const auto& entry : order) {
    entry.first->report_pos = h.report.insert(h.report.end(), entry.first);
  }
  h.cursor = h.report.begin();
  h.report_built = true;
}

void Unlink(HitNode* z) {
  HitList& h = g_hits;
  if (h.report_built) {
    if (h.cursor == z->report_pos) ++h.cursor;
    h.report.erase(z->report_pos);
  }
  if (!z->hit.name) --h.nameless;

  while (z->left && z->right) {
    RotateUp(z->left->priority > z->right->priority ? z->left : z->right);
  }
  HitNode* c = z->left ? z->left : z->right;
  HitNode* p = z->parent;
  if (c) c->parent = p;
  if (!p) {
    h.root = c;
  } else if (p->left == z) {
    p->left = c;
  } else {
    p->right = c;
  }
  for (HitNode* a = p; a; a = a->parent) Recount(a);

  if (z->prev) {
    z->prev->next = z->next;
  } else {
    h.head = z->next;
  }
  if (z->next) {
    z->next->prev = z->prev;
  } else {
    h.tail = z->prev;
  }
}

// The node of a hit in the list, or null. Only hit removal asks, so a look
// through the blocks is cheap enough and saves an index entry per hit.
HitNode* NodeOf(const FileHit* hit) {
  if (!hit) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(hit);
  for (const auto& block : g_hits.blocks) {
    const auto first = reinterpret_cast<std::uintptr_t>(&block[0].hit);
    if (address < first) continue;
    std::uintptr_t i = (address - first) / sizeof(HitNode);
    if (i < kBlockHits && &block[i].hit == hit) return block[i].live ? &block[i] : nullptr;
  }
  return nullptr;
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
  HitNode* z = NewNode(std::move(hit));
  LinkBefore(z, FirstGreater(z));
  // The row goes to the end: during a Hunt the list shows arrival order.
  if (g_right_tab == 0 && InsertHitRow(g_result_rows, &z->hit)) ++g_result_rows;
}

void AppendLoadedHit(FileHit hit) {
  LinkBefore(NewNode(std::move(hit)), nullptr);
}

void FreeHitList() {
  HitList& h = g_hits;
  h.report.clear();
  h.report_built = false;
  h.cursor = h.report.end();
  h.head = h.tail = h.root = nullptr;
  h.nameless = 0;
  h.count = 0;
  h.spare.clear();
  h.blocks.clear();
  h.block_used = kBlockHits;
}

void RemoveHit(const FileHit* hit) {
  HitNode* z = NodeOf(hit);
  if (!z) return;
  --g_hits.count;
  Unlink(z);
  // Frees the texts now rather than when the block goes.
  *z = HitNode();
  z->greatest = z;
  g_hits.spare.push_back(z);
}

std::size_t HitCount() {
  return g_hits.count;
}

std::vector<FileHit*> HitsInListOrder() {
  std::vector<FileHit*> hits;
  hits.reserve(g_hits.count);
  for (HitNode* n = g_hits.head; n; n = n->next) hits.push_back(&n->hit);
  return hits;
}

FileHit* NextUnwrittenHit() {
  HitList& h = g_hits;
  if (h.nameless) {
    // The plain walk: a nameless hit is always replaced, so the pick
    // depends on list positions in a way the report order does not keep.
    FileHit* kept = nullptr;
    for (HitNode* n = h.head; n; n = n->next) {
      FileHit* hit = &n->hit;
      if (hit->mark_flags & kWrittenMark) continue;
      if (!kept || !kept->name || StrICmp(kept->name->c_str(), NameOf(n)) >= 0) kept = hit;
    }
    return kept;
  }
  if (!h.report_built) BuildReportOrder();
  while (h.cursor != h.report.end() && ((*h.cursor)->hit.mark_flags & kWrittenMark)) ++h.cursor;
  return h.cursor == h.report.end() ? nullptr : &(*h.cursor)->hit;
}

void ClearWrittenMarks() {
  // In memory order rather than list order: the same hits, read straight
  // through. Unused nodes have no marks to lose.
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
  for (HitNode* n = g_hits.head; n; n = n->next) {
    if (n->hit.name && n->hit.location && InsertHitRow(g_result_rows, &n->hit)) ++g_result_rows;
  }
  return 1;
}
