// The data-file readers on the worst files found for them: a project whose
// hits include one without a name, written as a report the way
// `torvane-cli report` does; a report insert made of "$COUNT"; a project
// that is one endless line. Each must cost in proportion to its file (the
// line bound caps the last one).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ui.h"
#include "projects/project.h"
#include "reports/report_set.h"
#include "results/store.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"

namespace {

// The readers and the report use fixed names in the working directory: the
// benchmarks work in a scratch directory of their own.
class Scratch {
 public:
  Scratch() : home_(std::filesystem::current_path()) {
    dir_ = std::filesystem::temp_directory_path() / "torvane-readers-bench";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "reports");
    std::filesystem::current_path(dir_);
  }
  ~Scratch() {
    std::filesystem::current_path(home_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::filesystem::path home_;
  std::filesystem::path dir_;
};

void Write(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// n hits in file order (not name order), the middle one without a name
// when nameless is set.
std::string ProjectFile(int n, bool nameless) {
  std::string out = "OWNER=Torvane 301\nquery=readme\nexact=1\nfiles=50\nengine=\nBODY=\n";
  for (int i = 0; i < n; ++i) {
    const int k = static_cast<int>((i * 7919L) % n);
    if (nameless && i == n / 2) {
      out += "<1>ftp://h/nameless<2><3><4>0<5>0\n";
    } else {
      out +=
          Format("file%06d.zip<1>ftp://ftp%d.example/pub/file%06d.zip<2>%d<3>1999-01-02<4>0<5>0\n",
                 k, k % 97, k, 1000 + k);
    }
  }
  return out;
}

void BM_ProjectReport(benchmark::State& state) {
  const Scratch scratch;
  const int n = static_cast<int>(state.range(0));
  Write("p.tvs", ProjectFile(n, state.range(1) != 0));
  g_settings.filename = "p.tvs";
  for (auto _ : state) {
    LoadProject();
    WriteReportSet();
  }
  FreeHitList();
  state.SetLabel(state.range(1) ? "one hit without a name" : "every hit named");
}
BENCHMARK(BM_ProjectReport)
    ->Args({60000, 0})
    ->Args({60000, 1})
    ->Args({120000, 1})
    ->Unit(benchmark::kMillisecond);

// One section of 600 lines of 340 "$COUNT" each: 204 000 replacements.
void BM_InsertFullOfCount(benchmark::State& state) {
  const Scratch scratch;
  std::string line;
  for (int i = 0; i < 340; ++i) line += "$COUNT";
  std::string idx = "%%*00\n";
  for (int i = 0; i < 600; ++i) idx += line + "\n";
  Write("search.idx", idx + "|\n");
  for (auto _ : state) {
    LoadReportInserts();
    FileWriter f("out.htm");
    WriteReportInsert(f, 0);
    f.Close();
  }
  g_report_inserts = ReportInserts();
}
BENCHMARK(BM_InsertFullOfCount)->Unit(benchmark::kMillisecond);

// 64 MB without a line feed: the reader stops at the line bound (and shows
// its error box, here the quiet one).
void BM_ProjectOneEndlessLine(benchmark::State& state) {
  const Scratch scratch;
  Write("p.tvs", std::string(64 << 20, 'x'));
  g_settings.filename = "p.tvs";
  for (auto _ : state) LoadProject();
}
BENCHMARK(BM_ProjectOneEndlessLine)->Unit(benchmark::kMillisecond);

}  // namespace
