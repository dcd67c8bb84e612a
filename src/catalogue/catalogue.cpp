#include "catalogue/catalogue.h"

#include <cstring>
#include <deque>
#include <string>

#include "platform/ui.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"

Catalogue g_catalogue;

namespace {

// Entries handed out by NewSoftEntry(nullptr).
std::deque<SoftEntry>& SpareEntries() {
  static std::deque<SoftEntry> spare;
  return spare;
}

// name<1>download<2>size<3>home<4>version<5>review<6>category; each marker
// after the previous one. Fields stand as they are, empty ones included.
bool ParseEntry(const char* s, SoftEntry& e, int& number) {
  const char* at[7];
  at[0] = s;
  const char* from = s;
  for (int i = 1; i <= 6; ++i) {
    const char marker[4] = {'<', static_cast<char>('0' + i), '>', '\0'};
    const char* m = std::strstr(from, marker);
    if (!m) return false;
    at[i] = m;
    from = m + 3;
  }
  auto field = [&](int i) {
    const char* begin = i == 0 ? at[0] : at[i] + 3;
    return std::string(begin, static_cast<std::size_t>(at[i + 1] - begin));
  };
  e.name = field(0);
  e.download = field(1);
  e.size = field(2);
  e.home = field(3);
  e.version = field(4);
  e.review = field(5);
  number = TextToInt(at[6] + 3);
  return true;
}

}  // namespace

int SoftCategory(int number) {
  if (number & 4) return 0;
  if (number & 1) return 1;
  if (number & 2) return 2;
  return 3;
}

SoftEntry* NewSoftEntry(SoftEntry* e) {
  if (!e) return &SpareEntries().emplace_back();
  *e = SoftEntry{};
  return e;
}

void FreeSoftList(std::deque<SoftEntry>& list) {
  std::deque<SoftEntry>().swap(list);
}

void FreeCatalogue() {
  for (auto& list : g_catalogue.lists) FreeSoftList(list);
  g_catalogue.version.reset();
  g_catalogue.mode = 0;
}

void LoadCatalogue(int mode) {
  FileHandle f = FileOpenRead(kCatalogueFile);
  if (!f) return;
  platform::ui().WaitCursor(true);
  if (mode == 0) {
    FreeSoftList(g_catalogue.lists[0]);
  } else {
    for (int c = 1; c < kCategoryCount; ++c) FreeSoftList(g_catalogue.lists[c]);
  }

  // Whole lines up to the bound: a piece of an over-long line that begins
  // inside the name field would otherwise load as an entry with half a name.
  LineReader reader(f, kCatalogueFile, kLineLimit);
  std::string line;
  while (reader.Next(line)) {
    TrimRight(line);
    const char* s = line.c_str();
    if (std::strncmp(s, "VERSION=", 8) == 0) {
      g_catalogue.version = std::string(s + 8);
      continue;
    }
    SoftEntry entry;
    int number = 0;
    if (!ParseEntry(s, entry, number)) continue;
    const int category = SoftCategory(number);
    if (mode == 0) {
      // Category 0 opens the file; the first other entry ends it.
      if (category != 0) break;
    } else if (category == 0) {
      continue;
    }
    g_catalogue.lists[static_cast<std::size_t>(category)].push_back(std::move(entry));
  }
  FileClose(f);
  g_catalogue.mode = mode == 0 ? 0 : 1;
  platform::ui().WaitCursor(false);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
}

int FillCatalogueRows(int page) {
  if (page < 1 || page > kCategoryCount) return 0;
  auto& list = g_catalogue.lists[static_cast<std::size_t>(page - 1)];
  if (list.empty()) return 0;
  for (const SoftEntry& e : list) {
    if (e.name && InsertCatalogueRow(g_result_rows, &e)) ++g_result_rows;
  }
  return 1;
}

int CheckCatalogueText(const char* text, std::size_t length, std::string* version) {
  if (!text) return 0;
  int entries = 0;
  bool has_version = false;
  std::size_t at = 0;
  while (at < length) {
    const char* lf = static_cast<const char*>(std::memchr(text + at, '\n', length - at));
    const std::size_t end = lf ? static_cast<std::size_t>(lf - text) : length;
    std::string line(text + at, end - at);
    at = end + 1;
    // The reader would stop at such a line, and a catalogue is text.
    if (line.size() > static_cast<std::size_t>(kLineLimit) ||
        line.find('\0') != std::string::npos) {
      return 0;
    }
    TrimRight(line);
    if (std::strncmp(line.c_str(), "VERSION=", 8) == 0) {
      has_version = true;
      if (version) *version = line.substr(8);
      continue;
    }
    SoftEntry entry;
    int number = 0;
    if (ParseEntry(line.c_str(), entry, number)) ++entries;
  }
  return has_version ? entries : 0;
}

std::string SoftFileName(const SoftEntry& e) {
  if (!e.download) return {};
  const std::size_t slash = e.download->rfind('/');
  return slash == std::string::npos ? *e.download : e.download->substr(slash + 1);
}

std::string JoinFileNames(const std::vector<const SoftEntry*>& entries, std::size_t limit) {
  std::string joined;
  std::size_t taken = 0;
  for (const SoftEntry* e : entries) {
    if (!e || taken == kMaxSelectedNames) break;
    const std::string name = SoftFileName(*e);
    // An entry without a file name adds no empty search term.
    if (name.empty()) continue;
    const std::size_t grown = joined.size() + (taken ? 1 : 0) + name.size();
    // A name cut short would be hunted as some other name.
    if (grown > limit) break;
    if (taken++) joined += ',';
    joined += name;
  }
  return joined;
}
