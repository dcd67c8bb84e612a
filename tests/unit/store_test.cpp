#include "results/store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/headless_ui.h"
#include "util/text.h"

namespace {

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
    g_fill_catalogue_rows = nullptr;
  }
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (FileHit* h : HitsInListOrder()) names.push_back(h->name.value_or("(null)"));
    return names;
  }
  std::vector<std::string> RowNames() {
    std::vector<std::string> names;
    for (const void* p : ui_.rows[platform::kResultsList]) {
      names.push_back(static_cast<const FileHit*>(p)->name.value_or("(null)"));
    }
    return names;
  }
  platform::HeadlessUi ui_;
};

std::size_t CountNodes(const SeenNode* n) {
  std::size_t count = 0;
  std::vector<const SeenNode*> todo{n};
  while (!todo.empty()) {
    const SeenNode* x = todo.back();
    todo.pop_back();
    if (!x) continue;
    ++count;
    todo.push_back(x->child.get());
    todo.push_back(x->sibling.get());
  }
  return count;
}

// ---- seen-URL tree ----------------------------------------------------------

TEST_F(StoreTest, SeenTreeEmptyAndNullKeys) {
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a"), 0);
  EXPECT_EQ(SeenTreeInsert(g_seen_urls, nullptr, 1), nullptr);
  EXPECT_EQ(g_seen_urls, nullptr);
  SeenTreeInsert(g_seen_urls, "ftp://h/a", 1);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), nullptr), 0);
  SeenTreeFree(g_seen_urls);
  EXPECT_EQ(g_seen_urls, nullptr);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a"), 0);
}

TEST_F(StoreTest, SeenTreeShorterKeyAfterLongerSplitsWithValue) {
  SeenTreeInsert(g_seen_urls, "ftp://h/a/b", 1);
  SeenNode* held = SeenTreeInsert(g_seen_urls, "ftp://h/a", 1);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->label, "ftp://h/a");
  EXPECT_EQ(held->value, 1);
  ASSERT_NE(held->child, nullptr);
  EXPECT_EQ(held->child->label, "/b");
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a/b"), 1);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a"), 1);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/"), 0);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a/"), 0);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://h/a/bc"), 0);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "FTP://h/a"), 0);
}

TEST_F(StoreTest, SeenTreeSplitKeepsSharedPrefixUnvalued) {
  SeenTreeInsert(g_seen_urls, "ftp://h/ab", 1);
  SeenNode* c = SeenTreeInsert(g_seen_urls, "ftp://h/ac", 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->label, "c");
  const SeenNode* root = g_seen_urls.get();
  EXPECT_EQ(root->label, "ftp://h/a");
  EXPECT_EQ(root->value, 0);
  ASSERT_NE(root->child, nullptr);
  EXPECT_EQ(root->child->label, "b");
  ASSERT_NE(root->child->sibling, nullptr);
  EXPECT_EQ(root->child->sibling.get(), c);
  EXPECT_EQ(SeenTreeLookup(root, "ftp://h/a"), 0);
  EXPECT_EQ(SeenTreeInsert(g_seen_urls, "ftp://h/a", 1), root);
  EXPECT_EQ(SeenTreeLookup(root, "ftp://h/a"), 1);
  EXPECT_EQ(SeenTreeLookup(root, "ftp://h/ab"), 1);
  EXPECT_EQ(SeenTreeLookup(root, "ftp://h/ac"), 1);
  EXPECT_EQ(SeenTreeLookup(root, "ftp://h/ad"), 0);
  EXPECT_EQ(CountNodes(root), 3u);
}

TEST_F(StoreTest, SeenTreeDuplicateKeepsOneNodeAndTakesNewValue) {
  SeenTreeInsert(g_seen_urls, "ftp://x/1", 1);
  SeenTreeInsert(g_seen_urls, "ftp://x/2", 1);
  SeenNode* first = SeenTreeInsert(g_seen_urls, "ftp://x/1", 1);
  std::size_t nodes = CountNodes(g_seen_urls.get());
  EXPECT_EQ(SeenTreeInsert(g_seen_urls, "ftp://x/1", 7), first);
  EXPECT_EQ(CountNodes(g_seen_urls.get()), nodes);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://x/1"), 7);
  // A key that runs on below an existing node hangs under it.
  SeenNode* deeper = SeenTreeInsert(g_seen_urls, "ftp://x/1/readme", 1);
  EXPECT_EQ(deeper->label, "/readme");
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://x/1"), 7);
  EXPECT_EQ(SeenTreeLookup(g_seen_urls.get(), "ftp://x/1/readme"), 1);
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

// ---- hits, order and rows -------------------------------------------------------

TEST_F(StoreTest, EqualNamesKeepArrivalOrderAndReportTakesTheLastFirst) {
  AddFileHit("ftp://h/1", "b.zip", "1", "d", 0);
  AddFileHit("ftp://h/2", "A.zip", "2", "d", 0);
  AddFileHit("ftp://h/3", "a.ZIP", "3", "d", 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A.zip", "a.ZIP", "b.zip"}));
  EXPECT_EQ(HitCount(), 3u);
  std::vector<std::string> report;
  while (FileHit* h = NextUnwrittenHit()) {
    report.push_back(*h->name);
    h->mark_flags |= kWrittenMark;
  }
  EXPECT_EQ(report, (std::vector<std::string>{"a.ZIP", "A.zip", "b.zip"}));
  ClearWrittenMarks();
  FileHit* again = NextUnwrittenHit();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(*again->name, "a.ZIP");
  EXPECT_EQ(NextUnwrittenHit(), again);  // unmarked: asked again, the same hit
}

TEST_F(StoreTest, AddsAfterAnUnsortedProjectGoWhereAWalkFromTheHeadPutsThem) {
  for (const char* name : {"c", "a"}) {
    FileHit hit;
    hit.name = name;
    hit.location = std::string("ftp://h/") + name;
    AppendLoadedHit(std::move(hit));
  }
  AddFileHit("ftp://h/b", "b", "", "", 0);   // in front of the first greater: c
  AddFileHit("ftp://h/a2", "A", "", "", 0);  // in front of b, not beside a
  AddFileHit("ftp://h/d", "d", "", "", 0);   // nothing greater: at the end
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b", "c", "a", "d"}));
  std::vector<std::string> report;
  while (FileHit* h = NextUnwrittenHit()) {
    report.push_back(*h->name);
    h->mark_flags |= kWrittenMark;
  }
  EXPECT_EQ(report, (std::vector<std::string>{"a", "A", "b", "c", "d"}));
}

TEST_F(StoreTest, RemoveHitIgnoresForeignAndRemovedHits) {
  AddFileHit("ftp://h/a", "a", "", "", 0);
  AddFileHit("ftp://h/b", "b", "", "", 0);
  FileHit* a = HitsInListOrder()[0];
  FileHit outsider;
  RemoveHit(nullptr);
  RemoveHit(&outsider);
  EXPECT_EQ(HitCount(), 2u);
  RemoveHit(a);
  RemoveHit(a);  // already gone: its node is free for reuse
  EXPECT_EQ(Names(), (std::vector<std::string>{"b"}));
  AddFileHit("ftp://h/c", "c", "", "", 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(HitCount(), 2u);
}

TEST_F(StoreTest, SizeAndDateTexts) {
  AddFileHit("ftp://h/1", "a", "<b>12", "1999", 3);
  AddFileHit("ftp://h/2", "b", "", "", 0);
  AddFileHit("ftp://h/3", "c", nullptr, nullptr, 0);
  std::vector<FileHit*> hits = HitsInListOrder();
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_FALSE(hits[0]->size.has_value());
  EXPECT_EQ(hits[0]->date, "1999");
  EXPECT_EQ(hits[0]->tag, 3);
  EXPECT_EQ(hits[0]->location, "ftp://h/1");
  EXPECT_EQ(hits[1]->size, "");
  EXPECT_EQ(hits[1]->date, "");
  EXPECT_FALSE(hits[2]->size.has_value());
  EXPECT_FALSE(hits[2]->date.has_value());
  EXPECT_EQ(g_total_hits, 0);  // the parser counts, not the store
}

TEST_F(StoreTest, RowsArriveInFoundOrderAndRefillSorted) {
  AddFileHit("ftp://h/c", "c", "1", "", 0);
  AddFileHit("ftp://h/a", "a", "1", "", 0);
  AddFileHit("ftp://h/b", "B", "1", "", 0);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"c", "a", "B"}));
  EXPECT_EQ(g_result_rows, 3);
  g_total_hits = 3;

  int catalogue_page = -1;
  static int* seen_page = nullptr;
  seen_page = &catalogue_page;
  g_fill_catalogue_rows = [](int page) {
    *seen_page = page;
    return 0;
  };
  g_right_tab = 2;
  EXPECT_EQ(FillResultsList(), 0);
  EXPECT_EQ(catalogue_page, 2);
  EXPECT_TRUE(RowNames().empty());
  AddFileHit("ftp://h/d", "d", "1", "", 0);  // no row off the results page
  EXPECT_TRUE(RowNames().empty());

  g_right_tab = 0;
  EXPECT_EQ(FillResultsList(), 1);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"a", "B", "c", "d"}));
  EXPECT_EQ(g_result_rows, 4);
  EXPECT_EQ(g_total_hits, 3);
}

TEST_F(StoreTest, RefillSkipsIncompleteHitsAndRefusedRowsDoNotCount) {
  FileHit no_location;
  no_location.name = "x";
  AppendLoadedHit(std::move(no_location));
  FileHit full;
  full.name = "y";
  full.location = "ftp://h/y";
  AppendLoadedHit(std::move(full));
  FileHit no_name;
  no_name.location = "ftp://h/z";
  AppendLoadedHit(std::move(no_name));
  EXPECT_EQ(FillResultsList(), 1);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"y"}));
  EXPECT_EQ(g_result_rows, 1);

  ui_.refuse_rows = true;
  AddFileHit("ftp://h/w", "w", "", "", 0);
  EXPECT_EQ(g_result_rows, 1);
  EXPECT_EQ(InsertHitRow(0, HitsInListOrder()[0]), 0);
  ui_.refuse_rows = false;
  AddFileHit("ftp://h/v", "v", "", "", 0);
  EXPECT_EQ(g_result_rows, 2);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{"y", "v"}));
}

TEST_F(StoreTest, EmptyAndFillWithNoHits) {
  // The list-filling flag is up exactly while rows are deleted.
  struct FlagUi : platform::HeadlessUi {
    void DeleteAllRows(int list) override {
      flags.push_back(g_list_filling);
      HeadlessUi::DeleteAllRows(list);
    }
    std::vector<bool> flags;
  } flag_ui;
  platform::SetUi(&flag_ui);
  EXPECT_EQ(FillResultsList(), 0);
  EXPECT_TRUE(flag_ui.rows[platform::kResultsList].empty());

  AddFileHit("ftp://h/a", "a", "", "", 0);
  g_total_hits = 5;
  EmptyResultsList();
  EXPECT_TRUE(flag_ui.texts.empty());  // status dialog closed: not written
  flag_ui.status_dialog_open = true;
  g_total_hits = 5;
  g_result_rows = 1;
  EmptyResultsList();
  EXPECT_EQ(g_total_hits, 0);
  EXPECT_EQ(g_result_rows, 0);
  EXPECT_TRUE(flag_ui.rows[platform::kResultsList].empty());
  EXPECT_EQ((flag_ui.texts[{static_cast<int>(platform::Window::kStatusDialog), 1157}]), "  0");
  EXPECT_EQ(flag_ui.flags, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(g_list_filling);
  EXPECT_EQ(HitCount(), 1u);  // rows go, hits stay
  platform::SetUi(&ui_);
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

  RefHit& RefById(std::int32_t id) {
    for (RefHit& r : ref_) {
      if (r.id == id) return r;
    }
    ADD_FAILURE() << "no hit " << id;
    return ref_.front();
  }

  // Takes the next hit from both and compares; marks both when asked.
  bool Next(bool mark) {
    FileHit* got = NextUnwrittenHit();
    int want = RefNext(ref_);
    if (want < 0) {
      EXPECT_EQ(got, nullptr);
      return false;
    }
    EXPECT_NE(got, nullptr);
    if (!got) return false;
    EXPECT_EQ(got->tag, ref_[want].id);
    if (mark) {
      got->mark_flags |= kWrittenMark;
      RefById(got->tag).marked = true;
    }
    return true;
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
        ClearWrittenMarks();
        for (RefHit& r : ref_) r.marked = false;
      } else if (pick < 88) {
        if (ref_.empty()) continue;
        std::size_t k = rng_() % ref_.size();
        RemoveHit(HitsInListOrder()[k]);
        ref_.erase(ref_.begin() + static_cast<std::ptrdiff_t>(k));
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
    ClearWrittenMarks();
    for (RefHit& r : ref_) r.marked = false;
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
  ClearWrittenMarks();
  for (RefHit& r : ref_) r.marked = false;
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
    std::size_t k = rng_() % ref_.size();
    RemoveHit(HitsInListOrder()[k]);
    ref_.erase(ref_.begin() + static_cast<std::ptrdiff_t>(k));
    if (rng_() % 10 == 0) Add();
    if (rng_() % 5 == 0) Next(rng_() % 2 == 0);
    if (HasFailure()) return;
  }
  ExpectSameOrder();
  while (!ref_.empty()) {
    RemoveHit(HitsInListOrder()[0]);
    ref_.erase(ref_.begin());
  }
  EXPECT_EQ(NextUnwrittenHit(), nullptr);
  for (int i = 0; i < 100; ++i) Add();
  ExpectSameOrder();
  ClearWrittenMarks();
  std::size_t written = 0;
  while (Next(true)) ++written;
  EXPECT_EQ(written, 100u);
}

}  // namespace
