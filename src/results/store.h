// The result store: the hit list in name order, the seen-URL tree that keeps
// each location once, and the total hit count.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FileHit {
  std::optional<std::string> name;      // cleaned link text, at most 80 chars
  std::optional<std::string> location;  // normally an ftp:// address
  std::optional<std::string> size;      // null when the page's text held "<"
  std::optional<std::string> date;
  std::uint32_t mark_flags = 0;  // kWrittenMark during a report run
  std::int32_t tag = 0;
};
constexpr std::uint32_t kWrittenMark = 2;

// ---- seen-URL tree (radix tree) -------------------------------------------
// Siblings share a level and begin with different characters; value is 0
// for a node that only carries a shared prefix.
struct SeenNode {
  std::string label;
  std::unique_ptr<SeenNode> sibling;
  std::unique_ptr<SeenNode> child;
  std::int32_t value = 0;

  SeenNode() = default;
  SeenNode(const SeenNode&) = delete;
  SeenNode& operator=(const SeenNode&) = delete;
  // Frees the levels below and the siblings behind without recursion: one
  // server's files make sibling chains far too long for the stack.
  ~SeenNode();
};
// Stores key with value; returns the node holding it (null for a null key).
SeenNode* SeenTreeInsert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value);
// The value stored for key, 0 when absent.
std::int32_t SeenTreeLookup(const SeenNode* root, const char* key);
void SeenTreeFree(std::unique_ptr<SeenNode>& root);

extern std::unique_ptr<SeenNode> g_seen_urls;
// The total hit count: hits added during the current Hunt or loaded with
// the current project. The parser raises it per new hit and the project
// loader per named hit; AddFileHit and AppendLoadedHit leave it alone.
extern std::int32_t g_total_hits;

// ---- hit list ---------------------------------------------------------
// A hit keeps the place its name had when it was added (a later change to
// the name does not move it). A hit without a name counts as smaller than
// any name.
// Creates a hit in name order (ascending StrICmp, equal names in the order
// added) and shows it as a new row at the end of the results list.
// size: absent or containing "<" gives no size.
void AddFileHit(std::string location, std::string name, const char* size, const char* date,
                std::int32_t tag);
// Appends a hit at the tail, out of order (the project loader keeps file
// order this way). Later AddFileHit calls still place hits where a walk
// from the head would.
void AppendLoadedHit(FileHit hit);
// Frees every hit; the list becomes empty.
void FreeHitList();
// Removes one hit (the catalogue's hit actions delete rows this way).
void RemoveHit(const FileHit* hit);
// Number of hits in the list.
std::size_t HitCount();
// The hits in list order (pointers stay valid until the hit is removed).
std::vector<FileHit*> HitsInListOrder();
// The unwritten hit with the smallest name (among equal names the one
// furthest down the list), or null. The caller marks it written (sets
// kWrittenMark). A hit without a name is replaced by any later unwritten hit
// and replaces any earlier one. Marks are cleared with ClearWrittenMarks
// only: the store remembers which hits it has already seen marked.
FileHit* NextUnwrittenHit();
// Clears the written mark of every hit.
void ClearWrittenMarks();

// ---- results list rows (through the seam) ---------------------------------
extern int g_result_rows;  // index of the next row
extern int g_right_tab;    // the right tab page shown; 0 = Search Results
// Set while the program itself fills the list: list notifications are
// ignored meanwhile.
extern bool g_list_filling;

struct SoftEntry;
// One row at index row carrying the record; 1, or 0 when the list refuses it.
int InsertHitRow(int row, const FileHit* hit);
int InsertCatalogueRow(int row, const SoftEntry* entry);
// Deletes every row and zeroes the row counter and the total hit count.
void EmptyResultsList();
// Deletes every row, keeping the total hit count, and adds the rows of the
// page shown: every hit with a name and a location in list order on page 0,
// the catalogue's FillCatalogueRows on pages 1-4. 0 when that page's list is empty.
int FillResultsList();
