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
struct SeenNode {
  std::string label;
  std::unique_ptr<SeenNode> sibling;
  std::unique_ptr<SeenNode> child;
  std::int32_t value = 0;
};
// Stores key with value; returns the node holding it (null for a null key).
SeenNode* SeenTreeInsert(std::unique_ptr<SeenNode>& root, const char* key, std::int32_t value);
// The value stored for key, 0 when absent.
std::int32_t SeenTreeLookup(const SeenNode* root, const char* key);
void SeenTreeFree(std::unique_ptr<SeenNode>& root);

extern std::unique_ptr<SeenNode> g_seen_urls;
extern std::int32_t g_total_hits;  // the total hit count

// ---- hit list ---------------------------------------------------------
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
// furthest down the list), or null. The caller marks it written.
FileHit* NextUnwrittenHit();
void ClearWrittenMarks();

// ---- results list rows (through the seam) ---------------------------------
extern int g_result_rows;  // index of the next row
extern int g_right_tab;    // the right tab page shown; 0 = Search Results
int InsertHitRow(int row, const FileHit* hit);
void EmptyResultsList();
// Refills the results list from the hit list (page 0); 0 when it is empty.
int FillResultsList();
