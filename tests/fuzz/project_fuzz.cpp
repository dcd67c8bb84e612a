// .tvs projects. The program writes them itself, so a saved search must
// load back whole, whatever texts it holds:
//   - any file: load, save, load gives the same project (query, exact, max
//     files, history, engine selection, hits), and saving again gives the
//     same bytes;
//   - any project (input beginning with byte 1, the rest read as values):
//     save, load gives back exactly that project, and saving again gives
//     the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "fuzz_support.h"
#include "projects/project.h"
#include "results/store.h"
#include "settings/settings.h"

namespace {

constexpr char kProjectPath[] = "fuzz.tvs";

// Engines as engines.dat may give them: an unavailable one, an ID used
// twice, and one without an ID= line (ID 0).
void SetUpEngines() {
  g_engines.clear();
  const struct {
    int id;
    const char* request;
  } kEngines[] = {{1, "http://a.example/?q=$QUERY"}, {2, "http://b.example/?q=$QUERY"},
                  {3, "*http://gone.example/"},      {4, "http://d.example/?q=$QUERY"},
                  {2, "http://e.example/?q=$QUERY"}, {0, "http://f.example/?q=$QUERY"}};
  for (const auto& e : kEngines) {
    EngineEntry& entry = g_engines.emplace_back();
    entry.id = e.id;
    entry.name = "engine " + std::to_string(e.id);
    entry.request = e.request;
  }
}

// Only these engines can be ticked by anyone: available, and the first
// engine with its ID (a project names engines by ID).
bool Selectable(std::size_t i) {
  if (!EngineAvailable(g_engines[i])) return false;
  for (std::size_t j = 0; j < i; ++j) {
    if (g_engines[j].id == g_engines[i].id) return false;
  }
  return true;
}

struct Snapshot {
  std::optional<std::string> query;
  int exact = 0;
  int max_files = 0;
  std::array<std::optional<std::string>, kHistorySize> history;
  std::vector<int> selected;
  std::vector<FileHit> hits;
};

Snapshot Take() {
  Snapshot s;
  s.query = g_project.query;
  s.exact = g_project.exact;
  s.max_files = g_project.max_files;
  s.history = g_project.history;
  // An empty history entry is not written (the list has nothing to show
  // for it), so it counts as no entry.
  for (auto& h : s.history) {
    if (h && h->empty()) h.reset();
  }
  for (const EngineEntry& e : g_engines) s.selected.push_back(e.selected);
  for (const FileHit* h : HitsInListOrder()) s.hits.push_back(*h);
  return s;
}

std::string Show(const std::optional<std::string>& t) {
  return t ? "[" + *t + "]" : "(none)";
}

// Reports the first difference, if any.
bool Same(const Snapshot& a, const Snapshot& b) {
  std::string diff;
  if (a.query != b.query) diff = "query " + Show(a.query) + " vs " + Show(b.query);
  if (a.exact != b.exact) diff = "exact";
  if (a.max_files != b.max_files) diff = "max files";
  for (int i = 0; i < kHistorySize; ++i) {
    if (a.history[i] != b.history[i]) {
      diff = "history" + std::to_string(i) + " " + Show(a.history[i]) + " vs " + Show(b.history[i]);
    }
  }
  if (a.selected != b.selected) diff = "engine selection";
  if (a.hits.size() != b.hits.size()) {
    diff = "hit count " + std::to_string(a.hits.size()) + " vs " + std::to_string(b.hits.size());
  } else {
    for (std::size_t i = 0; i < a.hits.size(); ++i) {
      const FileHit& x = a.hits[i];
      const FileHit& y = b.hits[i];
      if (x.name != y.name || x.location != y.location || x.size != y.size || x.date != y.date ||
          x.mark_flags != y.mark_flags || x.tag != y.tag) {
        diff = "hit " + std::to_string(i) + ": " + Show(x.name) + Show(x.location) + Show(x.size) +
               Show(x.date) + " vs " + Show(y.name) + Show(y.location) + Show(y.size) +
               Show(y.date);
      }
    }
  }
  if (!diff.empty()) std::fprintf(stderr, "project differs: %s\n", diff.c_str());
  return diff.empty();
}

// The state a load starts from. The query is kept when the file has no
// query line, so it starts absent as in the first load; everything else
// the file always sets, so it starts from values no load gives.
void ResetForLoad(bool unlike) {
  g_project.query.reset();
  g_project.exact = unlike ? -9 : 1;
  g_project.max_files = unlike ? -9 : 50;
  for (auto& h : g_project.history) h = unlike ? std::optional<std::string>("stale") : std::nullopt;
  for (EngineEntry& e : g_engines) e.selected = unlike ? 1 : 0;
  FreeHitList();
}

std::optional<std::string> Text(FuzzedDataProvider& in, bool may_be_empty) {
  if (in.ConsumeBool()) return std::nullopt;
  std::string t = in.ConsumeRandomLengthString(3000);
  // An empty history entry or hit field is written as absent: the format
  // has no empty text there.
  if (t.empty() && !may_be_empty) return std::nullopt;
  return t;
}

void SetProject(FuzzedDataProvider& in) {
  ResetForLoad(false);
  g_project.query = Text(in, true);
  g_project.exact = in.ConsumeIntegral<int>();
  g_project.max_files = in.ConsumeIntegral<int>();
  for (auto& h : g_project.history) h = Text(in, false);
  for (std::size_t i = 0; i < g_engines.size(); ++i) {
    g_engines[i].selected = Selectable(i) && in.ConsumeBool() ? 1 : 0;
  }
  const int hits = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < hits; ++i) {
    FileHit h;
    h.name = Text(in, false);
    h.location = Text(in, false);
    h.size = Text(in, false);
    h.date = Text(in, false);
    h.mark_flags = in.ConsumeIntegral<std::uint32_t>();
    h.tag = in.ConsumeIntegral<std::int32_t>();
    AppendLoadedHit(std::move(h));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ScratchDirectory scratch;
  fuzz::HeadlessScope headless;
  SetUpEngines();
  g_settings.filename = kProjectPath;

  if (size > 0 && data[0] == 1) {
    FuzzedDataProvider in(data + 1, size - 1);
    SetProject(in);
  } else {
    fuzz::WriteFile(kProjectPath, std::string(reinterpret_cast<const char*>(data), size));
    ResetForLoad(false);
    FUZZ_CHECK(LoadProject() == 1);
  }
  const Snapshot first = Take();

  FUZZ_CHECK(SaveProject() == 1);
  const std::string saved = fuzz::ReadFile(kProjectPath);
  ResetForLoad(true);
  FUZZ_CHECK(LoadProject() == 1);
  // The project comes back as it was saved.
  FUZZ_CHECK(Same(first, Take()));
  // And a file the program wrote is a fixed point of load and save.
  FUZZ_CHECK(SaveProject() == 1);
  FUZZ_CHECK(fuzz::ReadFile(kProjectPath) == saved);

  FreeHitList();
  g_engines.clear();
  return 0;
}
