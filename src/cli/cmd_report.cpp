// torvane-cli report PROJECT: the report set of a saved project, written as
// the window's View button writes it, for looking at a project's hits in a
// browser and for the end-to-end tests of the report pages.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "engines/engines.h"
#include "projects/project.h"
#include "reports/report_set.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "util/file.h"

namespace {

const char kReportUsage[] =
    "usage: torvane-cli report PROJECT\n"
    "\n"
    "Loads torva.ini, engines.dat and search.idx from the current directory as\n"
    "the program does at start-up, then the project file PROJECT (its ticked\n"
    "engines and its hits), and writes results.htm, intro.htm and menu.htm into\n"
    "the reports directory, creating the directory when it is missing. Prints\n"
    "the full path of reports/report.htm, the page that shows them; that page\n"
    "and its images are not written: copy them from the program's data/reports.\n"
    "torva.ini is left as it is, so the running number of the report inserts\n"
    "starts from the same value on every run.\n"
    "Exit status: 0 when all three pages were written, 2 otherwise.\n";

int Fail(const std::string& text) {
  return cli::Fail("report", text);
}

}  // namespace

int CmdReport(int argc, char** argv) {
  const int usage = cli::CheckUsage(argc, argv, 1, kReportUsage);
  if (usage >= 0) return usage;
  const std::string project = argv[0];
  cli::CliUiScope scope;

  // Start-up order: settings, engines, inserts. A missing engines.dat has
  // shown its error box; the report then has no engine lines, as in the
  // program.
  LoadSettings();
  LoadEngines();
  LoadReportInserts();

  std::error_code ec;
  if (project.empty() || std::filesystem::is_directory(project, ec) ||
      !FileExists(project.c_str())) {
    return Fail("cannot read project file '" + project + "'");
  }
  g_settings.filename = project;
  if (!LoadProject()) return Fail("cannot read project file '" + project + "'");

  // The program expects reports/ to ship with it; here a fresh directory is
  // fine too. A failure shows up as the pages' own error boxes below.
  std::filesystem::create_directory("reports", ec);
  if (!WriteReportSet()) return Fail("the report pages could not all be written into reports");

  const std::string frameset = JoinPath("reports", "report.htm");
  if (!FileExists(frameset.c_str())) {
    std::fprintf(stderr,
                 "torvane-cli report: note: %s is missing; copy report.htm and its images "
                 "from the program's data/reports to view the pages together\n",
                 frameset.c_str());
  }
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  const std::string shown = ec ? frameset : JoinPath(cwd.string(), frameset);
  std::printf("%s\n", shown.c_str());
  return 0;
}
