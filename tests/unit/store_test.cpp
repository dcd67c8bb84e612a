// The result store: the seen-URL tree against a map, the results-list rows,
// and the hit list's name order and report order against the plain list
// walks, on random operations.
#include "results/store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
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
  // The rows shown, by name, which the row counter must match.
  void ExpectRows(const V& names) {
    V shown;
    for (const platform::RowItem& row : ui_.rows[IDC_RESULTS_LIST]) {
      shown.push_back(*std::get<const FileHit*>(row)->name);
    }
    EXPECT_EQ(shown, names);
    EXPECT_EQ(g_result_rows, static_cast<int>(names.size()));
  }
  RowUi ui_;
};

// ---- seen-URL tree ----------------------------------------------------------

constexpr std::int32_t kAbsent = 0;  // what a look-up of a key not stored gives

TEST_F(StoreTest, SeenTreeMatchesMapAndFreesDeepTrees) {
  EXPECT_EQ(SeenTreeInsert(g_seen_urls, nullptr, 1), nullptr);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), nullptr), kAbsent);
  constexpr int kRounds = 200;
  constexpr int kKeysPerRound = 40;
  constexpr char kAlphabet[] = "aA/";  // few letters: keys share prefixes
  std::mt19937 rng(4242);
  std::map<std::string, std::int32_t> ref;
  for (int round = 0; round < kRounds; ++round) {
    SeenTreeFree(g_seen_urls);
    ref.clear();
    for (int i = 0; i < kKeysPerRound; ++i) {
      std::string key;
      for (unsigned n = rng() % 8; n > 0; --n) key += kAlphabet[rng() % 3];
      const auto value = static_cast<std::int32_t>(1 + rng() % 9);
      ASSERT_EQ(SeenTreeInsert(g_seen_urls, key.c_str(), value)->value, value) << key;
      ref[key] = value;
    }
    // Every key, every prefix of it and a longer key.
    for (const auto& entry : ref) {
      for (std::size_t len = 0; len <= entry.first.size() + 1; ++len) {
        const std::string probe =
            entry.first.substr(0, len) + (len > entry.first.size() ? "a" : "");
        const auto it = ref.find(probe);
        ASSERT_EQ(SeenTreeLookup(g_seen_urls.get(), probe.c_str()),
                  it == ref.end() ? kAbsent : it->second)
            << probe;
      }
    }
  }
  // Linked nodes far beyond what the stack could hold frames for: freeing
  // must not recurse along the links.
  constexpr int kChain = 300000;
  SeenNode* n = (g_seen_urls = std::make_unique<SeenNode>()).get();
  for (int i = 0; i < kChain; ++i) {
    auto& link = (i % 2) ? n->child : n->sibling;
    link = std::make_unique<SeenNode>();
    n = link.get();
  }
  SeenTreeFree(g_seen_urls);
  EXPECT_EQ(g_seen_urls, nullptr);
}

// ---- hits and rows ---------------------------------------------------------------

TEST_F(StoreTest, RowsFollowTheHitsOnTheResultsPageOnly) {
  constexpr int kCatalogueTab = 2;
  constexpr std::int32_t kCounted = 5;
  // Loaded hits get no row of their own; a refill skips those without a
  // name or a location.
  FileHit unnamed, unplaced;
  unnamed.location = "ftp://h/z";
  unplaced.name = "zz";
  AppendLoadedHit(std::move(unnamed));
  AppendLoadedHit(std::move(unplaced));
  AddFileHit("ftp://h/c", "c", "<b>12", "1999", 0);  // markup for a size: no size
  AddFileHit("ftp://h/a", "a", "", "", 0);
  ui_.refuse_rows = true;  // a refused row is not counted
  AddFileHit("ftp://h/w", "w", nullptr, nullptr, 0);
  EXPECT_FALSE(InsertHitRow(0, HitsInListOrder()[1]));
  ui_.refuse_rows = false;
  AddFileHit("ftp://h/b", "B", "1", "", 0);
  ExpectRows({"c", "a", "B"});  // in the order found
  EXPECT_FALSE(HitsInListOrder()[3]->size.has_value());
  // Off the results page the (here empty) catalogue fills its page, and new
  // hits get no row.
  g_right_tab = kCatalogueTab;
  g_total_hits = kCounted;
  EXPECT_FALSE(FillResultsList());
  AddFileHit("ftp://h/d", "d", "1", "", 0);
  ExpectRows({});
  g_right_tab = 0;
  EXPECT_TRUE(FillResultsList());
  ExpectRows({"a", "B", "c", "d", "w"});  // in name order
  EXPECT_EQ(g_total_hits, kCounted);      // the parser counts, not the store
  // Deleting a row takes its hit and one count along; a hit already gone
  // changes nothing.
  const FileHit* b = HitsInListOrder()[2];
  ASSERT_EQ(*b->name, "B");
  EXPECT_TRUE(DeleteHitRow(1, b));
  EXPECT_FALSE(DeleteHitRow(0, b));
  ExpectRows({"a", "c", "d", "w"});
  EXPECT_EQ(g_total_hits, kCounted - 1);
  EXPECT_EQ(HitCount(), 6u);  // the two loaded ones without a row stay
  // Emptying: rows and counts go, hits stay; the status dialog shows the
  // count only when it is open.
  const std::size_t hits = HitCount();
  EmptyResultsList();
  EXPECT_TRUE(ui_.texts.empty());
  ui_.open_dialogs.insert(IDD_STATUS);
  g_total_hits = kCounted;
  EmptyResultsList();
  EXPECT_EQ(g_total_hits, 0);
  ExpectRows({});
  EXPECT_EQ((ui_.texts[{IDD_STATUS, IDC_FILES_FOUND}]), "  0");
  EXPECT_EQ(HitCount(), hits);
  EXPECT_EQ(std::count(ui_.filling.begin(), ui_.filling.end(), false), 0);
  EXPECT_FALSE(g_list_filling);
}

// ---- differential test against the plain list walks ----------------------------

// Case variants, names that differ only far into them (past the bytes
// compared at once, or ending right there), bytes between the cases ("_",
// "[") and above 127.
// clang-format off
const char* const kNames[] = {
    "a.zip", "A.ZIP", "a.Zip", "b.zip", "B.ZIP", "ab", "AB", "a", "A", "", "a_b", "A[B", "z",
    "\xe9t\xe9.txt", "\xc9T\xc9.TXT", "file10", "file9", "FILE9",
    "a_very_long_file_name_v1.zip", "A_VERY_LONG_FILE_NAME_V1.ZIP",
    "a_very_long_file_name_v2.zip", "a_very_long_file_name_v1", "a_very_long_file_name_v"};
// clang-format on

// The list as a plain sequence (id, name or nullptr, marked), walked literally.
struct RefHit {
  std::int32_t id;
  const char* name;
  bool marked;
};

class StoreDifferential : public StoreTest {
 protected:
  // A hit found (in front of the first greater name) or, loaded, appended
  // as a project does, perhaps without a name or marked.
  void NewHit(bool loaded, bool nameless_ok = false) {
    RefHit ref{next_id_++, kNames[rng_() % std::size(kNames)], false};
    if (!loaded) {
      ref_.insert(std::find_if(ref_.begin(), ref_.end(),
                               [&](const RefHit& r) { return StrICmp(r.name, ref.name) > 0; }),
                  ref);
      AddFileHit(Format("ftp://h/%d", ref.id), ref.name, "1", "", ref.id);
      return;
    }
    if (nameless_ok && rng_() % 12 == 0) ref.name = nullptr;
    ref.marked = rng_() % 3 == 0;
    ref_.push_back(ref);
    FileHit hit;
    if (ref.name) hit.name = ref.name;
    hit.tag = ref.id;
    hit.mark_flags = ref.marked ? kWrittenMark : 0;
    AppendLoadedHit(std::move(hit));
  }

  // Takes the next hit the report writer takes from both (the last
  // unwritten hit of the smallest name, a nameless one counting as
  // smallest), compares, and marks both when asked.
  bool Next(bool mark) {
    int want = -1;
    for (std::size_t i = 0; i < ref_.size(); ++i) {
      if (ref_[i].marked) continue;
      if (want < 0 || !ref_[want].name || StrICmp(ref_[want].name, ref_[i].name) >= 0) {
        want = static_cast<int>(i);
      }
    }
    FileHit* got = NextUnwrittenHit();
    constexpr std::int32_t kNone = 0;  // ids start at 1
    EXPECT_EQ(got ? got->tag : kNone, want < 0 ? kNone : ref_[want].id);
    if (!got || want < 0) return false;
    if (mark) Mark(*got, ref_[want]);
    return true;
  }
  static void Mark(FileHit& hit, RefHit& ref) {
    hit.mark_flags |= kWrittenMark;
    ref.marked = true;
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
  constexpr int kRounds = 100;
  constexpr int kOpsPerRound = 250;
  constexpr unsigned kSmallProject = 40;
  // The first round loads enough hits for a tree of several levels.
  constexpr unsigned kLargeProject = 2500;
  g_right_tab = 1;  // no rows needed here
  for (int round = 0; round < kRounds && !HasFailure(); ++round) {
    FreeHitList();
    ref_.clear();
    const bool nameless_ok = round % 3 == 1;
    for (unsigned i = round ? rng_() % kSmallProject : kLargeProject; i > 0; --i) {
      NewHit(true, nameless_ok);
    }
    for (int op = 0; op < kOpsPerRound && !HasFailure(); ++op) {
      const unsigned pick = rng_() % 100;
      if (pick < 40) {
        NewHit(false);
      } else if (pick < 75) {
        Next(pick < 70);  // a look without a mark changes nothing
      } else if (pick < 78) {
        ClearWrittenMarks();
        for (RefHit& r : ref_) r.marked = false;
      } else if (pick < 90 && !ref_.empty()) {
        // The caller marks a hit of its own choosing.
        const std::size_t k = rng_() % ref_.size();
        Mark(*HitsInListOrder()[k], ref_[k]);
      } else if (pick < 95 && !ref_.empty()) {
        // The window deletes highlighted rows, often a run of neighbours:
        // enough of them empty a leaf, or the whole list.
        const std::size_t k = rng_() % ref_.size();
        const std::size_t n = std::min<std::size_t>(1 + rng_() % 40, ref_.size() - k);
        const std::vector<FileHit*> hits = HitsInListOrder();
        for (std::size_t i = k; i < k + n; ++i) ASSERT_TRUE(DeleteFileHit(hits[i]));
        ASSERT_FALSE(DeleteFileHit(hits[k]));
        ASSERT_FALSE(HoldsHit(hits[k]));
        ref_.erase(ref_.begin() + static_cast<std::ptrdiff_t>(k),
                   ref_.begin() + static_cast<std::ptrdiff_t>(k + n));
      } else {
        NewHit(true, nameless_ok);
      }
      ExpectSameOrder();
    }
    // A whole report run from clean marks.
    ClearWrittenMarks();
    for (RefHit& r : ref_) r.marked = false;
    std::size_t written = 0;
    while (Next(true)) ++written;
    EXPECT_EQ(written, ref_.size());
  }
}

}  // namespace
