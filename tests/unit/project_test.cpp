// .tvs projects: the bytes a save writes, files written by hand or by older
// versions, failures, and the window's values. That any project survives
// save and load is project_fuzz's property.
#include "projects/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "hunt/controller.h"
#include "platform/headless_ui.h"
#include "projects/project_commands.h"
#include "results/store.h"
#include "unit/test_dir.h"
#include "util/file.h"
#include "util/text.h"

namespace {

using Lines = std::vector<std::string>;

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

class ProjectTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    platform::SetUi(&ui_);
    Reset();
    g_engines.clear();
    // The second ID 3 is never ticked by ID; 9 is unavailable.
    for (const char* e : {"3 GET /a", "7 GET /b", "0 GET /c", "9 *GET /d", "3 GET /e"}) {
      EngineEntry& entry = g_engines.emplace_back();
      entry.id = TextToInt(e);
      entry.request = std::string(e).substr(2);
    }
  }
  void TearDown() override {
    g_hunt = HuntState{};
    platform::SetUi(nullptr);
    FreeHitList();
    g_engines.clear();
    TempDirTest::TearDown();
  }
  static void Reset() {
    g_settings = AppSettings{};
    g_settings.filename = "p.tvs";
    g_project.query.reset();
    for (auto& h : g_project.history) h.reset();
    for (auto& e : g_engines) e.selected = 0;
    FreeHitList();
    g_total_hits = 0;
    g_right_tab = 0;
  }
  static std::vector<int> Selected() {
    std::vector<int> out;
    for (std::size_t i = 0; i < g_engines.size(); ++i) {
      if (g_engines[i].selected) out.push_back(static_cast<int>(i));
    }
    return out;
  }
  // The project as one text: query|exact|files|historyN=..|ticked engine
  // indexes|hit count, then a line "name|location|size|date|mark|tag" per hit.
  static std::string Project() {
    std::string out =
        g_project.query.value_or("-") + Format("|%i|%i|", g_project.exact, g_project.max_files);
    for (int i = 0; i < kHistorySize; ++i) {
      if (g_project.history[i]) out += Format("h%i=", i) + *g_project.history[i] + "|";
    }
    for (int i : Selected()) out += Format("e%i|", i);
    out += Format("n%i", static_cast<int>(g_total_hits));
    for (const FileHit* h : HitsInListOrder()) {
      out += "\n" + h->name.value_or("-") + "|" + h->location.value_or("-") + "|" +
             h->size.value_or("-") + "|" + h->date.value_or("-") +
             Format("|%u|%i", h->mark_flags, static_cast<int>(h->tag));
    }
    return out;
  }
  std::string Text(platform::Window w, int control) {
    return ui_.texts[std::make_pair(w.dialog, control)];
  }
  platform::HeadlessUi ui_;
};

TEST_F(ProjectTest, SaveWritesTheFormatAndLoadBringsItBackIntoTheWindow) {
  constexpr std::uint32_t kAllMarks = 0xFFFFFFFF;  // written as the int -1
  // A line break, NUL, a marker's "<" and a header's last blank would read
  // back as something else: each is written as "<5>" and two hex digits.
  const std::string query("a\r\nb <1>c\0 ", 11);
  g_project.query = query;
  g_project.exact = 0;
  g_project.max_files = 120;
  g_project.history[0] = "h0 ";
  g_project.history[1] = "";  // empty entries are not written
  g_project.history[9] = "<5>\r";
  g_engines[1].selected = 1;
  g_engines[0].selected = 1;
  AppendLoadedHit(Hit("b.zip", "ftp://h/b.zip", "12 KB", "1999-01-02", kAllMarks, -5));
  AppendLoadedHit(Hit(nullptr, nullptr, nullptr, nullptr));
  // An empty name is not a missing one; a hit text keeps its last blank.
  AppendLoadedHit(Hit("", "ftp://h/<2>\n ", "", nullptr));
  ASSERT_EQ(SaveProject(), 1);
  EXPECT_EQ(ReadFile("p.tvs"),
            "OWNER=Torvane 301\nquery=a<5>0D<5>0Ab <5>3C1>c<5>00<5>20\nexact=0\nfiles=120\n"
            "history0=h0<5>20\nhistory9=<5>3C5><5>0D\nengine=3,7,\nBODY=\n"
            "b.zip<1>ftp://h/b.zip<2>12 KB<3>1999-01-02<4>-1<5>-5\n"
            "<1><2><3><4>0<5>0\n"
            "<5><1>ftp://h/<5>3C2><5>0A <2><3><4>0<5>0\n");

  Reset();
  ui_.open_dialogs.insert(IDD_STATUS);
  ASSERT_EQ(LoadProject(), 1);
  // The nameless hit is neither counted nor shown.
  EXPECT_EQ(Project(), query +
                           "|0|120|h0=h0 |h9=<5>\r|e0|e1|n2\n"
                           "b.zip|ftp://h/b.zip|12 "
                           "KB|1999-01-02|4294967295|-5\n-|-|-|-|0|0\n|ftp://h/<2>\n |-|-|0|0");
  EXPECT_EQ(ui_.rows[IDC_RESULTS_LIST].size(), 2u);
  EXPECT_EQ(Text(platform::kStatusDialog, IDC_FILES_FOUND), "  2");
  EXPECT_EQ(Text(platform::kMainWindow, IDC_QUERY), query);
  EXPECT_EQ(Text(platform::kMainWindow, IDC_MAX_FILES), "120");
  EXPECT_EQ(Text(platform::kMainWindow, IDC_ENGINE_COUNT), " 2/5");
  EXPECT_EQ(ui_.log.back(), "wait off");
  EXPECT_NE(std::find(ui_.log.begin(), ui_.log.end(), "title Torvane 3.01 - [p.tvs]"),
            ui_.log.end());

  // No query: no query line; no engine: an empty engine line.
  Reset();
  ASSERT_EQ(SaveProject(), 1);
  EXPECT_EQ(ReadFile("p.tvs"), "OWNER=Torvane 301\nexact=1\nfiles=50\nengine=\nBODY=\n");
}

TEST_F(ProjectTest, EnginesAreTickedByIdAfterAllAreCleared) {
  const struct {
    const char* list;
    std::vector<int> ticked;
  } cases[] = {
      {"engine=7,3", {0, 1}},  // the first engine with an ID, not the second ID 3
      {"9,42,", {}},           // unavailable and unknown IDs
      {"engine=", {}},         // what is saved when none is ticked: not ID 0
      {",7,", {1, 2}},         // an empty item is 0
  };
  for (const auto& c : cases) {
    for (auto& e : g_engines) e.selected = 1;
    SelectEnginesFromList(c.list);
    EXPECT_EQ(Selected(), c.ticked) << c.list;
  }
}

TEST_F(ProjectTest, OlderAndHandWrittenFilesLoadAsTheyAlwaysDid) {
  const std::string long_location(3000, 'x');  // longer than one line buffer
  const std::string too_long(kWholeLineLimit + 1, 'x');
  const struct {
    std::string file;
    std::string project;  // as Project() gives it
    const char* box;      // the last log line, or nullptr for no box at all
  } cases[] = {
      // Saved before texts were escaped: unchanged, trimmed, "%3C" kept.
      {"OWNER=Torvane 301\nquery=a files=3\nexact=0\nfiles=40\nhistory0=x%3C1>y\n"
       "history1=ok \nengine=7,\nBODY=\n"
       "one%3C2>two<1>ftp://h/a%3C1>b  f<2>1%3C3><3>%3C5><4>2<5>4\n<1><2><3><4>0<5>0\n",
       "a files=3|0|40|h0=x%3C1>y|h1=ok|e1|n1\none%3C2>two|ftp://h/a%3C1>b  f|1%3C3>|%3C5>|2|4\n"
       "-|-|-|-|0|0",
       nullptr},
      // File order is kept; out-of-range history, lines without the markers
      // in order are skipped; a last line needs no line feed.
      {"OWNER=Torvane 301\r\nhistory12=out of range\nhistory4=kept\nhistory4=replaced\nBODY=\n"
       "b.zip<1>ftp://h/b<2><3><4>0<5>0\nnot a record\nc.zip<2>ftp://h/c<1><3><4>0<5>0\n"
       "long<1>ftp://" +
           long_location + "<2><3><4>0<5>0\nc.zip<1>ftp://h/c<2>3<3>4<4>0<5>0",
       "-|1|50|h4=replaced|n3\nb.zip|ftp://h/b|-|-|0|0\nlong|ftp://" + long_location +
           "|-|-|0|0\nc.zip|ftp://h/c|3|4|0|0",
       nullptr},
      // No BODY= line: the settings load, no hits.
      {"exact=0\nfiles=9\nengine=7,\na<1>b<2><3><4>0<5>0\n", "-|0|9|e1|n0", nullptr},
      // Keys count at the line start only.
      {"history3=engine=3,\nhistory5=BODY=\nexact=0\n", "-|0|50|h3=engine=3,|h5=BODY=|n0", nullptr},
      // The reading ends in front of a line over the bound.
      {"BODY=\na<1><2><3><4>0<5>0\n" + too_long + "<1><2><3><4>0<5>0\nc<1><2><3><4>0<5>0\n",
       "-|1|50|n1\na|-|-|-|0|0",
       "box Error|Line 3 of 'p.tvs' is longer than 1048576 bytes. The file was read up to the "
       "line before it.|0"},
  };
  for (const auto& c : cases) {
    Reset();
    ui_.log.clear();
    WriteFile("p.tvs", c.file);
    ASSERT_EQ(LoadProject(), 1);
    EXPECT_EQ(Project(), c.project);
    if (c.box) {
      EXPECT_EQ(ui_.log.back(), c.box);
    } else {
      for (const auto& line : ui_.log) EXPECT_NE(line.rfind("box ", 0), 0u) << line;
    }
  }
}

TEST_F(ProjectTest, SaveAndLoadFailures) {
  const std::string save_box = "box Error|Unable to write Save File|0";
  g_settings.filename = std::string("no-such-dir") + kPathSep + "p.tvs";
  EXPECT_EQ(SaveProject(), 0);
  EXPECT_EQ(ui_.log, Lines{save_box});
#ifdef __linux__
  // A disk that fills up shows at the flush at the latest.
  g_settings.filename = "/dev/full";
  EXPECT_EQ(SaveProject(), 0);
  EXPECT_EQ(ui_.log, Lines(2, save_box));
#endif
  ui_.log.clear();
  g_settings.filename = "";
  EXPECT_EQ(SaveProject(), 0);

  // A missing file: hits and history go, the rest stays, nothing is shown.
  g_settings.filename = "missing.tvs";
  g_project.query = "kept";
  g_project.history[2] = "gone";
  AppendLoadedHit(Hit("a", "ftp://h/a", nullptr, nullptr));
  g_total_hits = 1;
  ui_.rows[IDC_RESULTS_LIST].push_back(static_cast<const FileHit*>(nullptr));
  EXPECT_EQ(LoadProject(), 0);
  EXPECT_EQ(Project(), "kept|1|50|n0");
  EXPECT_TRUE(ui_.rows[IDC_RESULTS_LIST].empty());
  for (const auto& line : ui_.log) EXPECT_NE(line.rfind("box ", 0), 0u) << line;
}

TEST_F(ProjectTest, OpenDuringAHuntKeepsItsHitsWithTheProjectLeft) {
  WriteFile("other.tvs", "query=zip\nengine=7,\nBODY=\nb<1>ftp://h/b<2><3><4>0<5>0\n");
  g_project.query = "readme";
  g_engines[0].selected = 1;
  g_hunt.running = 1;
  g_hunt.run_kind = kRunHunt;
  AddFileHit("ftp://h/readme", "readme", nullptr, nullptr, 0);
  OpenProject("other.tvs");
  // The Hunt is over: its later pages can't land in the project opened.
  EXPECT_EQ(g_hunt.running, 0);
  EXPECT_EQ(ui_.slot_status[0], " Hunt Cancelled");  // (slot texts start with a blank)
  EXPECT_EQ(ReadFile("p.tvs"),
            "OWNER=Torvane 301\nquery=readme\nexact=1\nfiles=50\nengine=3,\nBODY=\n"
            "readme<1>ftp://h/readme<2><3><4>0<5>0\n");
  EXPECT_EQ(Project(), "zip|1|50|e1|n1\nb|ftp://h/b|-|-|0|0");
  EXPECT_EQ(*g_settings.filename, "other.tvs");

  // Unreadable: nothing of it shows, but the title names it, as Save writes it.
  OpenProject("missing.tvs");
  EXPECT_EQ(ReadFile("other.tvs"),
            "OWNER=Torvane 301\nquery=zip\nexact=1\nfiles=50\nengine=7,\nBODY=\n"
            "b<1>ftp://h/b<2><3><4>0<5>0\n");
  EXPECT_EQ(Project(), "zip|1|50|e1|n0");
  EXPECT_NE(std::find(ui_.log.begin(), ui_.log.end(), "title Torvane 3.01 - [missing.tvs]"),
            ui_.log.end());
}

TEST_F(ProjectTest, DeleteAsksThenRemovesTheFileAndEmptiesTheQuery) {
  g_project.query = "zip";
  g_project.history[0] = "zip";
  g_engines[1].selected = 1;
  AppendLoadedHit(Hit("b", "ftp://h/b", nullptr, nullptr));
  ASSERT_EQ(SaveProject(), 1);
  const std::string saved = ReadFile("p.tvs");
  ui_.answer = platform::kIdNo;
  EXPECT_EQ(DeleteProject(), 0);
  EXPECT_EQ(ReadFile("p.tvs"), saved);
  EXPECT_EQ(Project(), "zip|1|50|h0=zip|e1|n0\nb|ftp://h/b|-|-|0|0");

  ui_.answer = platform::kIdYes;
  ui_.log.clear();
  EXPECT_EQ(DeleteProject(), 1);
  EXPECT_FALSE(std::ifstream("p.tvs").good());
  EXPECT_EQ(*g_settings.filename, "default.tvs");
  // Options, engines and history stay; the query and the hits go.
  EXPECT_EQ(Project(), "-|1|50|h0=zip|e1|n0");
  EXPECT_EQ(Text(platform::kMainWindow, IDC_QUERY), "");
  for (const char* shown : {"box Confirmation|Do you wish to delete the current Search project?|36",
                            "title Torvane 3.01 - [default.tvs]", "enable 101:1008|0"})
    EXPECT_NE(std::find(ui_.log.begin(), ui_.log.end(), shown), ui_.log.end()) << shown;
  // Nothing on disk any more: a second Delete is no error.
  EXPECT_EQ(DeleteProject(), 1);
  EXPECT_EQ(std::count_if(ui_.log.begin(), ui_.log.end(),
                          [](const std::string& l) { return l.rfind("box Error", 0) == 0; }),
            0);
}

TEST_F(ProjectTest, WindowValuesAndHistory) {
  constexpr int kDefaultMaxFiles = 50;
  // Max Files as Windows reads a signed number; failure or below 1: 50.
  for (const auto& [text, files] :
       std::vector<std::pair<const char*, int>>{{" 12 ", 12},
                                                {"+7", 7},
                                                {"0", kDefaultMaxFiles},
                                                {"-5", kDefaultMaxFiles},
                                                {"1x", kDefaultMaxFiles},
                                                {"2147483648", kDefaultMaxFiles},
                                                {"2147483647", 2147483647}}) {
    WindowToProjectValues(true, text, "q");
    EXPECT_EQ(g_project.max_files, files) << text;
  }
  EXPECT_EQ(g_project.exact, 1);
  const auto entered = [](const char* query) {
    const HistoryChange c = WindowToProjectValues(false, "5", query);
    return c.entered ? "in, dropped " + c.dropped.value_or("-") : std::string("kept");
  };
  EXPECT_EQ(entered("ONE"), "in, dropped -");
  EXPECT_EQ(g_project.exact, 0);
  EXPECT_EQ(entered("one"), "kept");  // case is ignored
  EXPECT_EQ(g_project.query, "one");
  for (int i = 2; i < kHistorySize; ++i)
    EXPECT_EQ(entered(Format("q%i", i).c_str()), "in, dropped -");
  // Full: the newest goes to the top and the oldest, "q", falls off.
  EXPECT_EQ(entered("new"), "in, dropped q");
  EXPECT_EQ(Project(), "new|0|5|h0=new|h1=q9|h2=q8|h3=q7|h4=q6|h5=q5|h6=q4|h7=q3|h8=q2|h9=ONE|n0");
  // A history loaded with gaps: only the entries above the first gap move.
  for (auto& h : g_project.history) h.reset();
  for (int i : {0, 1, 3, 9}) g_project.history[i] = std::string(1, static_cast<char>('a' + i));
  EXPECT_EQ(entered("new"), "in, dropped -");
  EXPECT_EQ(Project(), "new|0|5|h0=new|h1=a|h2=b|h3=d|h9=j|n0");
  EXPECT_EQ(SaveAsPath("C:\\w\\name"), "C:\\w\\name.tvs");
  EXPECT_EQ(SaveAsPath("C:\\w.d\\name"), "C:\\w.d\\name");
  EXPECT_EQ(ProjectFileName("C:\\dir.x\\a.tvs"), "a.tvs");
  EXPECT_EQ(ProjectFileName("d/plain.tvs"), "plain.tvs");
}

}  // namespace
