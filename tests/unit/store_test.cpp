// The result store: the seen-URL tree's splits and its non-recursive free,
// the results-list rows, and the hit list's name order and report order,
// checked against the plain list walks on random operations.
#include "results/store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless_ui.h"
#include "util/text.h"

namespace {

using V = std::vector<std::string>;

// Notes whether the list-filling flag is up whenever rows are deleted.
struct RowUi : platform::HeadlessUi {
  void DeleteAllRows(int list) override {
    filling.push_back(g_list_filling);
    HeadlessUi::DeleteAllRows(list);
  }
  std::vector<bool> filling;
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetUi(&ui_);
    Reset();
  }
  void TearDown() override {
    Reset();
    platform::SetUi(nullptr);
  }
  static void Reset() {
    FreeHitList();
    SeenTreeFree(g_seen_urls);
    g_total_hits = 0;
    g_result_rows = 0;
    g_right_tab = 0;
  }
  V RowNames() {
    V names;
    for (const platform::RowItem& row : ui_.rows[IDC_RESULTS_LIST]) {
      names.push_back(*std::get<const FileHit*>(row)->name);
    }
    return names;
  }
  RowUi ui_;
};

// The tree as "label:value{children}", siblings apart by blanks.
std::string Dump(const SeenNode* n) {
  std::string out;
  for (; n; n = n->sibling.get()) {
    out += (out.empty() ? "" : " ") + n->label + ":" + std::to_string(n->value);
    if (n->child) out += "{" + Dump(n->child.get()) + "}";
  }
  return out;
}

// ---- seen-URL tree ----------------------------------------------------------

TEST_F(StoreTest, SeenTreeSplits) {
  using Keys = std::vector<std::pair<const char*, int>>;
  const struct {
    Keys inserts;
    const char* tree;
    Keys lookups;
  } cases[] = {
      // A shorter key after a longer one splits the node and takes a value.
      {{{"ftp://h/a/b", 1}, {"ftp://h/a", 1}},
       "ftp://h/a:1{/b:1}",
       {{"ftp://h/a/b", 1},
        {"ftp://h/a", 1},
        {"ftp://h/", 0},
        {"ftp://h/a/", 0},
        {"ftp://h/a/bc", 0},
        {"FTP://h/a", 0}}},
      // Keys that part after a shared prefix leave it without a value...
      {{{"ftp://h/ab", 1}, {"ftp://h/ac", 1}},
       "ftp://h/a:0{b:1 c:1}",
       {{"ftp://h/a", 0}, {"ftp://h/ab", 1}, {"ftp://h/ac", 1}, {"ftp://h/ad", 0}}},
      // ...until it is stored itself, in the node that is there.
      {{{"ftp://h/ab", 1}, {"ftp://h/ac", 1}, {"ftp://h/a", 1}},
       "ftp://h/a:1{b:1 c:1}",
       {{"ftp://h/a", 1}, {"ftp://h/ab", 1}}},
      // A key met again keeps its node and takes the new value; a longer key
      // hangs below it.
      {{{"ftp://x/1", 1}, {"ftp://x/2", 1}, {"ftp://x/1", 7}, {"ftp://x/1/readme", 1}},
       "ftp://x/:0{1:7{/readme:1} 2:1}",
       {{"ftp://x/1", 7}, {"ftp://x/1/readme", 1}, {"ftp://x/", 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tree);
    SeenTreeFree(g_seen_urls);
    for (const auto& [key, value] : c.inserts) {
      const SeenNode* held = SeenTreeInsert(g_seen_urls, key, value);
      ASSERT_NE(held, nullptr);
      EXPECT_EQ(held->value, value);
    }
    EXPECT_EQ(Dump(g_seen_urls.get()), c.tree);
    for (const auto& [key, value] : c.lookups)
      EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), key), value) << key;
  }
  // Null keys and the empty tree.
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), nullptr), 0);
  SeenTreeFree(g_seen_urls);
  EXPECT_EQ(SeenTreeInsert(g_seen_urls, nullptr, 1), nullptr);
  EXPECT_EQ(g_seen_urls, nullptr);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a"), 0);
}

TEST_F(StoreTest, SeenTreeManyLocationsAndDeepFree) {
  for (int i = 0; i < 30000; ++i) {
    std::string url = Format("ftp://ftp%d.example/pub/%d/file%d.zip", i % 97, i % 13, i);
    SeenTreeInsert(g_seen_urls, url.c_str(), 1);
  }
  for (int i = 0; i < 30000; i += 7) {
    std::string url = Format("ftp://ftp%d.example/pub/%d/file%d.zip", i % 97, i % 13, i);
    ASSERT_EQ(SeenTreeLookup(g_seen_urls.get(), url.c_str()), 1) << url;
    url.pop_back();
    ASSERT_EQ(SeenTreeLookup(g_seen_urls.get(), url.c_str()), 0) << url;
  }
  SeenTreeFree(g_seen_urls);
  // 300 000 linked nodes: freeing must not recurse along the links.
  g_seen_urls = std::make_unique<SeenNode>();
  SeenNode* n = g_seen_urls.get();
  for (int i = 0; i < 300000; ++i) {
    auto& link = (i % 2) ? n->child : n->sibling;
    link = std::make_unique<SeenNode>();
    n = link.get();
  }
  SeenTreeFree(g_seen_urls);
  EXPECT_EQ(g_seen_urls, nullptr);
}

// ---- hits and rows ---------------------------------------------------------------

TEST_F(StoreTest, HitTextsAndRemoval) {
  AddFileHit("ftp://h/1", "a", "<b>12", "1999", 3);
  AddFileHit("ftp://h/2", "b", "", "", 0);
  AddFileHit("ftp://h/3", "c", nullptr, nullptr, 0);
  const auto texts = [] {
    V out;
    for (const FileHit* h : HitsInListOrder()) {
      out.push_back(h->name.value_or("-") + "|" + h->location.value_or("-") + "|" +
                    h->size.value_or("-") + "|" + h->date.value_or("-") + "|" +
                    std::to_string(h->tag));
    }
    return out;
  };
  EXPECT_EQ(texts(), (V{"a|ftp://h/1|-|1999|3", "b|ftp://h/2|||0", "c|ftp://h/3|-|-|0"}));
  EXPECT_EQ(g_total_hits, 0);  // the parser counts, not the store
  // A foreign or already removed hit is ignored; a removed hit's node is reused.
  FileHit* a = HitsInListOrder()[0];
  FileHit outsider;
  RemoveHit(nullptr);
  RemoveHit(&outsider);
  RemoveHit(a);
  RemoveHit(a);
  AddFileHit("ftp://h/4", "d", "", "", 0);
  EXPECT_EQ(texts(), (V{"b|ftp://h/2|||0", "c|ftp://h/3|-|-|0", "d|ftp://h/4|||0"}));
}

TEST_F(StoreTest, RowsAsFoundRefilledInListOrderAndEmptied) {
  EXPECT_EQ(FillResultsList(), 0);  // no hits
  // Loaded hits get no row of their own; a refill skips those without a
  // name or a location.
  FileHit unnamed, unplaced;
  unnamed.location = "ftp://h/z";
  unplaced.name = "zz";
  AppendLoadedHit(std::move(unnamed));
  AppendLoadedHit(std::move(unplaced));
  AddFileHit("ftp://h/c", "c", "1", "", 0);
  AddFileHit("ftp://h/a", "a", "1", "", 0);
  ui_.refuse_rows = true;  // a refused row is not counted
  AddFileHit("ftp://h/w", "w", "", "", 0);
  EXPECT_EQ(InsertHitRow(0, HitsInListOrder()[1]), 0);
  ui_.refuse_rows = false;
  AddFileHit("ftp://h/b", "B", "1", "", 0);
  EXPECT_EQ(RowNames(), (V{"c", "a", "B"}));
  EXPECT_EQ(g_result_rows, 3);
  // Off the results page the (here empty) catalogue fills its page, and new
  // hits get no row.
  g_right_tab = 2;
  g_total_hits = 3;
  EXPECT_EQ(FillResultsList(), 0);
  AddFileHit("ftp://h/d", "d", "1", "", 0);
  EXPECT_TRUE(RowNames().empty());
  g_right_tab = 0;
  EXPECT_EQ(FillResultsList(), 1);
  EXPECT_EQ(RowNames(), (V{"a", "B", "c", "d", "w"}));
  EXPECT_EQ(g_result_rows, 5);
  EXPECT_EQ(g_total_hits, 3);
  // Emptying: rows and counts go, hits stay; the status dialog shows the
  // count only when it is open.
  EmptyResultsList();
  EXPECT_TRUE(ui_.texts.empty());
  ui_.open_dialogs.insert(IDD_STATUS);
  g_total_hits = 5;
  EmptyResultsList();
  EXPECT_EQ(g_total_hits, 0);
  EXPECT_EQ(g_result_rows, 0);
  EXPECT_TRUE(RowNames().empty());
  EXPECT_EQ((ui_.texts[{IDD_STATUS, 1157}]), "  0");
  EXPECT_EQ(HitCount(), 7u);
  EXPECT_EQ(ui_.filling, std::vector<bool>(5, true));
  EXPECT_FALSE(g_list_filling);
}

// ---- differential test against the plain list walks ----------------------------

// The list as a plain sequence with the walks done literally.
struct RefHit {
  std::int32_t id;
  std::optional<std::string> name;
  bool marked;
};

const char* RefName(const RefHit& h) {
  return h.name ? h.name->c_str() : nullptr;
}

void RefAdd(std::vector<RefHit>& list, RefHit hit) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (StrICmp(RefName(list[i]), RefName(hit)) > 0) {
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), hit);
      return;
    }
  }
  list.push_back(hit);
}

// Index of the hit the report writer takes next, or -1.
int RefNext(const std::vector<RefHit>& list) {
  int kept = -1;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].marked) continue;
    if (kept < 0 || !list[kept].name || !(StrICmp(RefName(list[kept]), RefName(list[i])) < 0)) {
      kept = static_cast<int>(i);
    }
  }
  return kept;
}

class StoreDifferential : public StoreTest {
 protected:
  std::optional<std::string> RandomName(bool nameless_ok) {
    // Case variants, names that differ only far into them, bytes between
    // the cases ("_", "[") and above 127.
    // clang-format off
    static const char* const kNames[] = {
        "a.zip", "A.ZIP", "a.Zip", "b.zip", "B.ZIP", "ab", "AB", "a", "A", "", "a_b", "A[B", "z",
        "\xe9t\xe9.txt", "\xc9T\xc9.TXT", "file10", "file9", "FILE9",
        "a_very_long_file_name_v1.zip", "A_VERY_LONG_FILE_NAME_V1.ZIP",
        "a_very_long_file_name_v2.zip", "a_very_long_file_name_v1", "a_very_long_file_name_v"};
    // clang-format on
    if (nameless_ok && rng_() % 12 == 0) return std::nullopt;
    return std::string(kNames[rng_() % (sizeof kNames / sizeof kNames[0])]);
  }

  void Load(bool nameless_ok) {
    FileHit hit;
    hit.name = RandomName(nameless_ok);
    hit.location = Format("ftp://h/%d", next_id_);
    hit.tag = next_id_;
    hit.mark_flags = rng_() % 3 == 0 ? kWrittenMark : 0;
    ref_.push_back({next_id_, hit.name, hit.mark_flags != 0});
    AppendLoadedHit(std::move(hit));
    ++next_id_;
  }

  void Add() {
    std::string name = *RandomName(false);
    RefAdd(ref_, {next_id_, name, false});
    AddFileHit(Format("ftp://h/%d", next_id_), name, "1", "", next_id_);
    ++next_id_;
  }

  // Takes the next hit from both and compares; marks both when asked.
  bool Next(bool mark) {
    FileHit* got = NextUnwrittenHit();
    const int want = RefNext(ref_);
    EXPECT_EQ(got ? got->tag : 0, want < 0 ? 0 : ref_[want].id);  // IDs start at 1
    if (!got || want < 0) return false;
    if (mark) {
      got->mark_flags |= kWrittenMark;
      ref_[want].marked = true;
    }
    return true;
  }

  void ClearMarks() {
    ClearWrittenMarks();
    for (RefHit& r : ref_) r.marked = false;
  }
  void RemoveAt(std::size_t k) {
    RemoveHit(HitsInListOrder()[k]);
    ref_.erase(ref_.begin() + static_cast<std::ptrdiff_t>(k));
  }

  void ExpectSameOrder() {
    std::vector<std::int32_t> got, want;
    for (FileHit* h : HitsInListOrder()) got.push_back(h->tag);
    for (const RefHit& r : ref_) want.push_back(r.id);
    ASSERT_EQ(got, want);
    ASSERT_EQ(HitCount(), ref_.size());
  }

  std::mt19937 rng_{12345};
  std::vector<RefHit> ref_;
  std::int32_t next_id_ = 1;
};

TEST_F(StoreDifferential, RandomOperationsMatchListWalks) {
  g_right_tab = 1;  // no rows needed here
  for (int round = 0; round < 100; ++round) {
    FreeHitList();
    ref_.clear();
    bool nameless_ok = round % 3 == 0;
    int loaded = static_cast<int>(rng_() % 40);
    for (int i = 0; i < loaded; ++i) Load(nameless_ok);
    ExpectSameOrder();
    for (int op = 0; op < 250; ++op) {
      unsigned pick = rng_() % 100;
      if (pick < 40) {
        Add();
      } else if (pick < 70) {
        Next(true);
      } else if (pick < 75) {
        Next(false);
      } else if (pick < 78) {
        ClearMarks();
      } else if (pick < 88) {
        if (!ref_.empty()) RemoveAt(rng_() % ref_.size());
      } else if (pick < 93) {
        if (ref_.empty()) continue;
        std::size_t k = rng_() % ref_.size();
        HitsInListOrder()[k]->mark_flags |= kWrittenMark;
        ref_[k].marked = true;
      } else {
        Load(nameless_ok);
      }
      ExpectSameOrder();
      if (HasFatalFailure() || HasFailure()) return;
    }
    // A whole report run from clean marks.
    ClearMarks();
    while (Next(true)) {
    }
    if (HasFailure()) return;
  }
}

TEST_F(StoreDifferential, LargeUnsortedProjectThenHunt) {
  g_right_tab = 1;
  for (int i = 0; i < 800; ++i) Load(false);
  for (int i = 0; i < 1200; ++i) Add();
  ExpectSameOrder();
  ClearMarks();
  std::size_t written = 0;
  while (Next(true)) ++written;
  EXPECT_EQ(written, ref_.size());
}

TEST_F(StoreDifferential, RemovingMostHitsKeepsOrderAndReport) {
  g_right_tab = 1;
  for (int i = 0; i < 600; ++i) Load(false);
  for (int i = 0; i < 900; ++i) Add();
  ASSERT_TRUE(Next(true));  // the report order now exists and must follow
  while (ref_.size() > 20) {
    RemoveAt(rng_() % ref_.size());
    if (rng_() % 10 == 0) Add();
    if (rng_() % 5 == 0) Next(rng_() % 2 == 0);
    if (HasFailure()) return;
  }
  ExpectSameOrder();
  while (!ref_.empty()) RemoveAt(0);
  EXPECT_EQ(NextUnwrittenHit(), nullptr);
  for (int i = 0; i < 100; ++i) Add();
  ExpectSameOrder();
  ClearMarks();
  std::size_t written = 0;
  while (Next(true)) ++written;
  EXPECT_EQ(written, 100u);
}

}  // namespace
