// torvane-cli parse: reads saved engine pages as the pages of one Hunt and
// prints the hits, so that a page layout can be checked against an engine
// type without a network.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "results/parser.h"
#include "results/store.h"
#include "util/file.h"

namespace {

const char kParseUsage[] =
    "usage: torvane-cli parse [--type N] [--exact 0|1] --term TERM FILE...\n"
    "\n"
    "Parses each FILE, in order, as the result page of one engine job of a single\n"
    "Hunt: engine type N (default 0) searching for TERM, with Exact Match on (1,\n"
    "the default) or off (0). All pages share one hit list, so a location found\n"
    "on an earlier page is not a new hit on a later one.\n"
    "\n"
    "stdout: the hits in name order, one a line: NAME<TAB>SIZE<TAB>DATE<TAB>LOCATION\n"
    "stderr: accepted=A total=T (links accepted on all pages, hits made)\n";

int UsageError(const std::string& text) {
  std::fprintf(stderr, "torvane-cli parse: %s\n\n%s", text.c_str(), kParseUsage);
  return 2;
}

// The file's bytes exactly, with one byte behind them for the parser's
// terminator; false when it can't be read. The buffer is sized from the
// file's length once, so a page is neither grown nor copied on its way.
bool ReadWholeFile(const char* path, std::vector<char>* out) {
  FileHandle f = FileOpenRead(path);
  if (!f) return false;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  std::rewind(f);
  // Straight into the buffer; what a file that grew since (or whose
  // length could not be told) holds beyond follows in chunks.
  const std::size_t expected = size > 0 ? static_cast<std::size_t>(size) : 0;
  out->clear();
  out->reserve(expected + 1);
  out->resize(expected);
  out->resize(std::fread(out->data(), 1, expected, f));
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out->insert(out->end(), chunk, chunk + n);
  const bool ok = !std::ferror(f);
  FileClose(f);
  out->push_back('\0');
  return ok;
}

}  // namespace

int CmdParse(int argc, char** argv) {
  int type = 0;
  int exact = 1;
  const char* term = nullptr;
  int i = 0;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kParseUsage, stdout);
      return 0;
    }
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg != "--type" && arg != "--exact" && arg != "--term") {
      if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option '" + arg + "'");
      break;
    }
    if (i + 1 >= argc) return UsageError(arg + " needs a value");
    const char* value = argv[++i];
    if (arg == "--type") {
      long parsed = 0;
      if (!cli::ParseNumber(value, cli::kIntMin, cli::kIntMax, &parsed)) {
        return UsageError(std::string("--type must be a number, not '") + value + "'");
      }
      type = static_cast<int>(parsed);
    } else if (arg == "--exact") {
      if (std::strcmp(value, "0") && std::strcmp(value, "1")) {
        return UsageError(std::string("--exact must be 0 or 1, not '") + value + "'");
      }
      exact = value[0] - '0';
    } else {
      term = value;
    }
  }
  if (!term) return UsageError("--term TERM is required");
  if (!*term) return UsageError("TERM must not be empty");
  if (i >= argc) return UsageError("no FILE given");

  // Every page is read before any is parsed, so a bad name costs no output.
  std::vector<std::vector<char>> pages;
  for (int k = i; k < argc; ++k) {
    std::vector<char> bytes;
    if (!ReadWholeFile(argv[k], &bytes)) {
      std::fprintf(stderr, "torvane-cli parse: cannot read '%s'\n", argv[k]);
      return 2;
    }
    pages.push_back(std::move(bytes));
  }

  cli::CliUiScope scope;
  cli::SetStdoutBinary();
  FreeHitList();

  // All pages share the seen-URL set, as the pages of one Hunt do.
  std::unique_ptr<SeenNode> seen;
  long total = 0;
  const PageHitSink add = [&total](std::string name, std::string location, const char* size,
                                   const char* date) {
    AddFileHit(std::move(location), std::move(name), size, date, 0);
    ++total;
  };
  long long accepted = 0;
  for (std::vector<char>& page : pages) {
    accepted += ParseResultPage(page.data(), page.size() - 1, type, term, exact != 0, seen, add);
  }

  // Written in pieces of about 64 KB from one buffer: a buffer the size of
  // all hits would cost a fresh page of memory every 4 KB of output.
  constexpr std::size_t kPiece = 64 * 1024;
  std::string out;
  out.reserve(2 * kPiece);
  bool written = true;
  const auto flush = [&out, &written] {
    if (written && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) written = false;
    out.clear();
  };
  const auto field = [&out](const std::optional<std::string>& text, char behind) {
    if (text) out += *text;
    out += behind;
  };
  for (const FileHit* hit : HitsInListOrder()) {
    field(hit->name, '\t');
    field(hit->size, '\t');
    field(hit->date, '\t');
    field(hit->location, '\n');
    if (out.size() >= kPiece) flush();
  }
  flush();
  if (!written || std::fflush(stdout)) {
    std::fputs("torvane-cli parse: cannot write the hits to stdout\n", stderr);
    return 2;
  }
  std::fprintf(stderr, "accepted=%lld total=%ld\n", accepted, total);
  return 0;
}
