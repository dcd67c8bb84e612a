#include "projects/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "platform/headless_ui.h"
#include "results/store.h"
#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"

namespace {

FileHit Hit(const char* name, const char* location, const char* size, const char* date,
            std::uint32_t mark = 0, std::int32_t tag = 0) {
  FileHit h;
  if (name) h.name = name;
  if (location) h.location = location;
  if (size) h.size = size;
  if (date) h.date = date;
  h.mark_flags = mark;
  h.tag = tag;
  return h;
}

// The hits in list order as "name|location|size|date|tag", "-" for an
// absent text.
std::vector<std::string> Loaded() {
  std::vector<std::string> out;
  for (const FileHit* h : HitsInListOrder()) {
    out.push_back(h->name.value_or("-") + "|" + h->location.value_or("-") + "|" +
                  h->size.value_or("-") + "|" + h->date.value_or("-") + "|" +
                  std::to_string(h->tag));
  }
  return out;
}
using Lines = std::vector<std::string>;

class ProjectTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    platform::SetUi(&ui_);
    g_settings = AppSettings{};
    g_project.query.reset();
    for (auto& h : g_project.history) h.reset();
    FreeHitList();
    g_total_hits = 0;
    g_right_tab = 0;
    g_engines.clear();
    AddEngine(3, "GET /a");
    AddEngine(7, "GET /b");
    AddEngine(0, "GET /c");
    AddEngine(9, "*GET /d");  // unavailable
    AddEngine(3, "GET /e");   // a second engine with ID 3
    g_settings.filename = "p.tvs";
  }
  void TearDown() override {
    platform::SetUi(nullptr);
    FreeHitList();
    g_engines.clear();
    TempDirTest::TearDown();
  }
  static void AddEngine(int id, const char* request) {
    EngineEntry& e = g_engines.emplace_back();
    e.id = id;
    e.request = request;
    e.name = "engine";
  }
  static std::vector<int> Selected() {
    std::vector<int> out;
    for (std::size_t i = 0; i < g_engines.size(); ++i) {
      if (g_engines[i].selected) out.push_back(static_cast<int>(i));
    }
    return out;
  }
  std::string Text(platform::Window w, int control) {
    return ui_.texts[std::make_pair(w.dialog, control)];
  }
  platform::HeadlessUi ui_;
};

TEST_F(ProjectTest, SaveWritesTheFileByteForByteAndLoadRestoresIt) {
  g_project.query = "setup.exe,readme";
  g_project.exact = 0;
  g_project.max_files = 120;
  std::string history_lines;
  for (int i = 0; i < kHistorySize; ++i) {
    g_project.history[i] = i == 1 ? "" : "h" + std::to_string(i);  // empty ones are not written
    if (i != 1) history_lines += "history" + std::to_string(i) + "=h" + std::to_string(i) + "\n";
  }
  g_engines[1].selected = 1;
  g_engines[0].selected = 1;
  AppendLoadedHit(Hit("b.zip", "ftp://h/b.zip", "12 KB", "1999-01-02", kWrittenMark, 5));
  AppendLoadedHit(Hit(nullptr, nullptr, nullptr, nullptr));
  AppendLoadedHit(Hit("a.zip", "ftp://h/a.zip", "", nullptr));
  ASSERT_EQ(SaveProject(), 1);
  EXPECT_EQ(ReadFile("p.tvs"), "OWNER=Torvane 301\nquery=setup.exe,readme\nexact=0\nfiles=120\n" +
                                   history_lines +
                                   "engine=3,7,\n"
                                   "BODY=\n"
                                   "b.zip<1>ftp://h/b.zip<2>12 KB<3>1999-01-02<4>2<5>5\n"
                                   "<1><2><3><4>0<5>0\n"
                                   "a.zip<1>ftp://h/a.zip<2><3><4>0<5>0\n");

  // Loaded, it shows in the window (the values themselves: the round trip
  // test below).
  FreeHitList();
  ui_.open_dialogs.insert(IDD_STATUS);
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(g_settings.files, 120);  // one value with the settings
  // The nameless hit is not counted and has no row.
  EXPECT_EQ(g_total_hits, 2);
  EXPECT_EQ(ui_.rows[IDC_RESULTS_LIST].size(), 2u);
  EXPECT_EQ(Text(platform::kStatusDialog, 1157), "  2");
  EXPECT_EQ(Text(platform::kMainWindow, 1014), "setup.exe,readme");
  EXPECT_EQ(Text(platform::kMainWindow, 1058), "120");
  EXPECT_EQ(Text(platform::kMainWindow, 1321), " 2/5");
  EXPECT_EQ(ui_.log.back(), "wait off");
  EXPECT_NE(std::find(ui_.log.begin(), ui_.log.end(), "title Torvane 3.01 - [p.tvs]"),
            ui_.log.end());

  // No query: no query line; no engine: an empty engine line.
  g_project.query.reset();
  for (auto& e : g_engines) e.selected = 0;
  FreeHitList();
  ASSERT_EQ(SaveProject(), 1);
  EXPECT_EQ(ReadFile("p.tvs"),
            "OWNER=Torvane 301\nexact=0\nfiles=120\n" + history_lines + "engine=\nBODY=\n");
}

TEST_F(ProjectTest, EngineSelectionByIdClearsFirstAndTakesTheFirstMatch) {
  for (auto& e : g_engines) e.selected = 1;
  SelectEnginesFromList("engine=7,3");
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1}));  // not the second ID 3
  SelectEnginesFromList("9,42,");                   // unavailable and unknown IDs
  EXPECT_TRUE(Selected().empty());
  SelectEnginesFromList("engine=7,");
  SelectEnginesFromList("engine=");  // what is saved when none is ticked: not ID 0
  EXPECT_TRUE(Selected().empty());
  SelectEnginesFromList(",7,");  // the empty first item is 0, then 7
  EXPECT_EQ(Selected(), (std::vector<int>{1, 2}));
}

// Texts made of what a project file could mistake for its own structure:
// key words, markers, separators, line breaks, NUL, escapes, long runs.
std::string RandomText(std::mt19937& rng) {
  static const std::string kPieces[] = {"query=",    "files=9",
                                        "exact=0",   "engine=3,",
                                        "history4=", "BODY=",
                                        "OWNER=",    "<1>",
                                        "<2>",       "<3>",
                                        "<4>",       "<5>",
                                        "<5>0A",     "%3C",
                                        "<",         ">",
                                        "=",         ",",
                                        " ",         "\t",
                                        "\r",        "\n",
                                        "\r\n",      "a",
                                        "\xe9",      std::string(1, '\0')};
  std::string out;
  for (unsigned n = rng() % 12; n > 0; --n) {
    out += rng() % 40 ? kPieces[rng() % std::size(kPieces)] : std::string(3000 + rng() % 3000, 'L');
  }
  return out;
}

std::optional<std::string> RandomField(std::mt19937& rng) {
  if (rng() % 4 == 0) return std::nullopt;
  return rng() % 8 ? RandomText(rng) : std::string();
}

// A project as one comparable text: the values a save and a load carry.
// The format keeps no empty history entry and no empty hit text other than
// a name: those read as absent.
std::string Snapshot() {
  auto text = [](const std::optional<std::string>& t, bool keep_empty) {
    return t && (keep_empty || !t->empty()) ? "[" + *t + "]" : std::string("-");
  };
  std::string out =
      text(g_project.query, true) + Format("|%i|%i|", g_project.exact, g_project.max_files);
  for (const auto& h : g_project.history) out += text(h, false);
  for (const EngineEntry& e : g_engines) out += e.selected ? "+" : ".";
  for (const FileHit* h : HitsInListOrder()) {
    out += "\n" + text(h->name, true) + text(h->location, false) + text(h->size, false) +
           text(h->date, false) + Format("%u|%i", h->mark_flags, h->tag);
  }
  return out;
}

TEST_F(ProjectTest, AnyTextsSaveAndLoadBackAndSaveToTheSameBytes) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 300; ++round) {
    g_project.query = RandomField(rng);
    g_project.exact = static_cast<int>(rng() % 3) - 1;
    g_project.max_files = static_cast<int>(rng());
    for (auto& h : g_project.history) h = RandomField(rng);
    // Engines the file can name: available, each ID once.
    for (std::size_t i = 0; i < 3; ++i) g_engines[i].selected = static_cast<int>(rng() % 2);
    FreeHitList();
    for (unsigned n = rng() % 5; n > 0; --n) {
      FileHit h;
      h.name = RandomField(rng);
      h.location = RandomField(rng);
      h.size = RandomField(rng);
      h.date = RandomField(rng);
      h.mark_flags = static_cast<std::uint32_t>(rng());
      h.tag = static_cast<std::int32_t>(rng());
      AppendLoadedHit(std::move(h));
    }
    const std::string before = Snapshot();
    ASSERT_EQ(SaveProject(), 1);
    const std::string bytes = ReadFile("p.tvs");
    g_project.query.reset();
    for (auto& e : g_engines) e.selected = 0;
    ASSERT_EQ(LoadProject(), 1);
    ASSERT_EQ(Snapshot(), before) << "round " << round;
    ASSERT_EQ(SaveProject(), 1);
    ASSERT_EQ(ReadFile("p.tvs"), bytes) << "round " << round;
  }
}

TEST_F(ProjectTest, FilesWrittenBeforeLoadAsTheyDid) {
  // Texts with line breaks, markers and a trailing blank as they were saved
  // before such texts were escaped: unchanged, trimmed, "%3C" for the "<".
  WriteFile("p.tvs",
            "OWNER=Torvane 301\nquery=a files=3\nexact=1\nfiles=50\nhistory0=x%3C1>y\n"
            "history1=ok \nengine=7,\nBODY=\n"
            "one%3C2>two<1>ftp://h/a%3C1>b  f<2>1%3C3><3>%3C5><4>2<5>4\n<1><2><3><4>0<5>0\n");
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(g_project.query, "a files=3");
  EXPECT_EQ(g_project.history[0], "x%3C1>y");
  EXPECT_EQ(g_project.history[1], "ok");
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
  EXPECT_EQ(Loaded(), (Lines{"one%3C2>two|ftp://h/a%3C1>b  f|1%3C3>|%3C5>|4", "-|-|-|-|0"}));
  EXPECT_EQ(g_total_hits, 1);
}

TEST_F(ProjectTest, HandWrittenFilesKeepTheirOrderAndSkipBadLines) {
  const std::string location(3000, 'x');  // longer than one line buffer
  WriteFile("p.tvs",
            "OWNER=Torvane 301\r\n"
            "history12=out of range\n"
            "history4=kept\n"
            "history4=replaced\n"
            "BODY=\n"
            "b.zip<1>ftp://h/b<2><3><4>0<5>0\n"
            "not a record\n"
            "c.zip<2>ftp://h/c<1><3><4>0<5>0\n"
            "a.zip<1>ftp://h/a<2><3><4>0<5>0\n"
            "long<1>ftp://" +
                location + "<2><3><4>0<5>0\n" + "c.zip<1>ftp://h/c<2>3<3>4<4>0<5>0");
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(Loaded(), (Lines{"b.zip|ftp://h/b|-|-|0", "a.zip|ftp://h/a|-|-|0",
                             "long|ftp://" + location + "|-|-|0", "c.zip|ftp://h/c|3|4|0"}));
  for (int i = 0; i < kHistorySize; ++i) {
    EXPECT_EQ(g_project.history[i].value_or("-"), i == 4 ? "replaced" : "-");
  }

  // No BODY= line: the settings load, no hits.
  WriteFile("p.tvs", "exact=0\nfiles=9\nengine=7,\na<1>b<2><3><4>0<5>0\n");
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(g_project.exact, 0);
  EXPECT_EQ(g_project.max_files, 9);
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
  EXPECT_EQ(HitCount(), 0u);

  // Keys count at the line start only: these are history texts, the
  // second ends neither the header nor the ticks.
  WriteFile("p.tvs", "history3=engine=3,\nhistory5=BODY=\nengine=\n");
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(g_project.history[3], "engine=3,");
  EXPECT_EQ(g_project.history[5], "BODY=");
  EXPECT_TRUE(Selected().empty());
}

TEST_F(ProjectTest, ALineOverTheBoundEndsTheReadingWithABox) {
  WriteFile("p.tvs", "BODY=\na<1><2><3><4>0<5>0\n" + std::string(kWholeLineLimit + 1, 'x') +
                         "<1><2><3><4>0<5>0\nc<1><2><3><4>0<5>0\n");
  ASSERT_EQ(LoadProject(), 1);
  EXPECT_EQ(Loaded(), Lines{"a|-|-|-|0"});
  EXPECT_EQ(ui_.log.back(),
            "box Error|Line 3 of 'p.tvs' is longer than 1048576 bytes. The file was read up to "
            "the line before it.|0");
}

TEST_F(ProjectTest, SaveAndLoadFailures) {
  g_settings.filename = std::string("no-such-dir") + kPathSep + "p.tvs";
  EXPECT_EQ(SaveProject(), 0);
  ASSERT_FALSE(ui_.log.empty());
  EXPECT_EQ(ui_.log.back(), "box Error|Unable to write Save File|0");
#ifdef __linux__
  // A disk that fills up shows at the flush at the latest.
  ui_.log.clear();
  g_settings.filename = "/dev/full";
  EXPECT_EQ(SaveProject(), 0);
  EXPECT_EQ(ui_.log, Lines{"box Error|Unable to write Save File|0"});
#endif

  ui_.log.clear();
  g_settings.filename = "";
  EXPECT_EQ(SaveProject(), 0);
  EXPECT_TRUE(ui_.log.empty());

  // A missing file: hits and history go, the rest stays, nothing is shown.
  g_settings.filename = "missing.tvs";
  g_project.query = "kept";
  g_project.history[2] = "gone";
  AppendLoadedHit(Hit("a", "ftp://h/a", nullptr, nullptr));
  g_total_hits = 1;
  ui_.rows[IDC_RESULTS_LIST].push_back(static_cast<const FileHit*>(nullptr));
  EXPECT_EQ(LoadProject(), 0);
  EXPECT_EQ(HitCount(), 0u);
  EXPECT_FALSE(g_project.history[2].has_value());
  EXPECT_EQ(g_project.query, "kept");
  EXPECT_EQ(g_total_hits, 0);
  EXPECT_TRUE(ui_.rows[IDC_RESULTS_LIST].empty());
  for (const auto& line : ui_.log) EXPECT_NE(line.rfind("box ", 0), 0u) << line;
}

TEST_F(ProjectTest, WindowValuesAndHistory) {
  EXPECT_EQ(WindowToProjectValues(false, "abc", "one"), HistoryChange::kInsertTop);
  EXPECT_EQ(g_project.exact, 0);
  EXPECT_EQ(g_project.max_files, 50);
  EXPECT_EQ(WindowToProjectValues(true, "0", "ONE"), HistoryChange::kNone);
  EXPECT_EQ(g_project.max_files, 50);
  EXPECT_EQ(g_project.query, "ONE");
  EXPECT_EQ(WindowToProjectValues(true, " 12", ""), HistoryChange::kInsertTop);
  EXPECT_EQ(g_project.max_files, 12);
  EXPECT_EQ(g_project.history[1], "");
  for (int i = 2; i < kHistorySize; ++i) {
    EXPECT_EQ(WindowToProjectValues(true, "5", ("q" + std::to_string(i)).c_str()),
              HistoryChange::kInsertTop);
  }
  EXPECT_EQ(WindowToProjectValues(true, "5", "new"), HistoryChange::kDropAndInsert);
  EXPECT_EQ(g_project.history[0], "new");
  EXPECT_EQ(g_project.history[1], "one");
  EXPECT_EQ(g_project.history[9], "q8");
  EXPECT_EQ(ProjectFileName("C:\\dir.x\\a.tvs"), "a.tvs");
  EXPECT_EQ(ProjectFileName("plain.tvs"), "plain.tvs");
}

}  // namespace
