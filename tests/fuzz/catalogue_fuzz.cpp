// soft.dat, the software catalogue the vendor ships; the program only reads
// it. Mode 0 reads category 0 up to the first entry of another category,
// mode 1 the other categories; neither touches the lists of the other mode,
// and loading again never doubles a list. No field holds a line break or
// the marker that ends it; a file without NUL bytes and with lines well
// inside the line bound loads exactly as the format says.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "fuzz_support.h"
#include "settings/settings.h"

namespace {

constexpr std::size_t kShortLine = 1024;

struct Entry {
  std::string fields[6];  // name, download, size, home, version, review
  int category;
};

struct Model {
  std::vector<Entry> lists[kCategoryCount];
  std::optional<std::string> version;
};

// name<1>download<2>size<3>home<4>version<5>review<6>number, each marker
// after the one before.
bool ParseLine(const std::string& line, Entry& e) {
  std::size_t from = 0;
  std::size_t at[7] = {0};
  for (int i = 1; i <= 6; ++i) {
    const std::string marker = "<" + std::to_string(i) + ">";
    at[i] = line.find(marker, from);
    if (at[i] == std::string::npos) return false;
    from = at[i] + 3;
  }
  for (int i = 0; i < 6; ++i) {
    const std::size_t begin = i == 0 ? 0 : at[i] + 3;
    e.fields[i] = line.substr(begin, at[i + 1] - begin);
  }
  e.category = SoftCategory(TextToInt(line.c_str() + at[6] + 3));
  return true;
}

void Read(const std::string& input, int mode, Model& m) {
  if (mode == 0) {
    m.lists[0].clear();
  } else {
    for (int c = 1; c < kCategoryCount; ++c) m.lists[c].clear();
  }
  for (const std::string& raw : fuzz::Lines(input)) {
    const std::string line = fuzz::TrimmedRight(raw);
    if (fuzz::StartsWith(line, "VERSION=")) {
      m.version = line.substr(8);
      continue;
    }
    Entry e;
    if (!ParseLine(line, e)) continue;
    if (mode == 0 && e.category != 0) break;
    if (mode != 0 && e.category == 0) continue;
    m.lists[e.category].push_back(e);
  }
}

bool Same(const SoftEntry& s, const Entry& e) {
  return s.name == e.fields[0] && s.download == e.fields[1] && s.size == e.fields[2] &&
         s.home == e.fields[3] && s.version == e.fields[4] && s.review == e.fields[5];
}

// Field i of an entry ends at marker i + 1, so it can't hold that marker.
void CheckFields(const SoftEntry& s) {
  const std::optional<std::string>* fields[6] = {&s.name, &s.download, &s.size,
                                                 &s.home, &s.version,  &s.review};
  for (int i = 0; i < 6; ++i) {
    FUZZ_CHECK(*fields[i]);
    const std::string& f = **fields[i];
    FUZZ_CHECK(f.find('\n') == std::string::npos);
    FUZZ_CHECK(f.find("<" + std::to_string(i + 1) + ">") == std::string::npos);
  }
}

std::size_t Sizes(int mode) {
  std::size_t n = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    if ((c == 0) == (mode == 0)) n += g_catalogue.lists[c].size();
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FileInput file(kCatalogueFile, data, size);
  const std::string& input = file.text;

  FreeCatalogue();
  LoadCatalogue(0);
  // Mode 0 reads category 0 only.
  for (int c = 1; c < kCategoryCount; ++c) FUZZ_CHECK(g_catalogue.lists[c].empty());
  const std::size_t first = g_catalogue.lists[0].size();
  LoadCatalogue(1);
  FUZZ_CHECK(g_catalogue.lists[0].size() == first);
  FUZZ_CHECK(g_catalogue.mode == 1);
  // Again: the same lists, not twice as long.
  const std::size_t others = Sizes(1);
  LoadCatalogue(1);
  LoadCatalogue(0);
  FUZZ_CHECK(Sizes(0) == first && Sizes(1) == others);

  for (const auto& list : g_catalogue.lists) {
    for (const SoftEntry& s : list) CheckFields(s);
  }

  bool plain = input.find('\0') == std::string::npos;
  for (const std::string& l : fuzz::Lines(input)) plain = plain && l.size() < kShortLine;
  if (plain) {
    // In the order of the last two loads: the version is the last one read.
    Model m;
    Read(input, 1, m);
    Read(input, 0, m);
    FUZZ_CHECK(g_catalogue.version == m.version);
    for (int c = 0; c < kCategoryCount; ++c) {
      const auto& got = g_catalogue.lists[c];
      FUZZ_CHECK(got.size() == m.lists[c].size());
      for (std::size_t i = 0; i < got.size(); ++i) FUZZ_CHECK(Same(got[i], m.lists[c][i]));
      // Each entry is in the list its number names.
      for (const Entry& e : m.lists[c]) FUZZ_CHECK(e.category == c);
    }
  }
  FreeCatalogue();
  return 0;
}
