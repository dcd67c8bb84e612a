// The software catalogue of soft.dat: programs in four categories, shown on
// the catalogue pages of the right tab control, and the catalogue version
// that the online version check compares.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

constexpr const char kCatalogueFile[] = "soft.dat";
constexpr int kCategoryCount = 4;

struct SoftEntry {
  std::optional<std::string> name;      // "Program" column, info pane title
  std::optional<std::string> download;  // its last "/" part is the file name
  std::optional<std::string> home;
  std::optional<std::string> review;
  std::optional<std::string> size;  // free text
  std::optional<std::string> version;
};

// Categories: 0 "Brightel", 1 "Appz", 2 "Net", 3 "Gamez". A deque keeps each
// entry where it is while more are appended, so the rows that point at
// entries stay valid.
struct Catalogue {
  std::array<std::deque<SoftEntry>, kCategoryCount> lists;
  std::optional<std::string> version;  // the last VERSION= line read
  int mode = 0;                        // 0: only category 0 loaded; 1: all categories loaded
};

extern Catalogue g_catalogue;

// Reads soft.dat. Mode 0 loads category 0, which must open the file: the
// first entry of another category ends the reading. Mode 1 loads categories
// 1 to 3 and skips category 0. The categories being loaded are emptied
// first, so loading again never doubles them. A missing file leaves the
// catalogue as it is, with no message.
void LoadCatalogue(int mode);
// The category of an entry's number: bit value 4 gives 0, else 1 gives 1,
// else 2 gives 2, else 3.
int SoftCategory(int number);
// With an entry: drops its texts and clears it, returning it. With null: a
// new empty entry that lives as long as the program.
SoftEntry* NewSoftEntry(SoftEntry* e);
// Frees every entry of a list with its texts; the list becomes empty.
void FreeSoftList(std::deque<SoftEntry>& list);
// Frees all four lists and the version (at shut-down).
void FreeCatalogue();
// Rows of catalogue page 1-4 (category page - 1), one per entry with a name,
// appended at the results list's row counter. 0 when the category is empty.
int FillCatalogueRows(int page);
// Whether text (a file's bytes) loads as a catalogue: the number of its
// entries when it has a VERSION= line, whose value goes to version, else 0.
// A text with a NUL byte or a line longer than the readers take is none.
int CheckCatalogueText(const char* text, std::size_t length, std::string* version);

// The entry's file name: its download address behind the last "/".
std::string SoftFileName(const SoftEntry& e);
// At most this many names go into the query field at once.
constexpr std::size_t kMaxSelectedNames = 102;
// The file names of the entries, in their order, joined by "," without
// blanks: at most kMaxSelectedNames of them, and only as many whole names
// as keep the text within limit characters (the query field's room).
// Entries without a file name are passed over.
std::string JoinFileNames(const std::vector<const SoftEntry*>& entries, std::size_t limit);
