// The hit list: every hit of the current Hunt or project, in name order.
#pragma once

#include <cstddef>
#include <cstdint>
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
  // Where a Hunt found it first: the engine's ID and the index of the search
  // term (g_hunt's terms). term_index is -1 for a hit that no Hunt made (a
  // project's), whose engine_id means nothing then (an engine may have ID
  // 0); neither goes into project files.
  std::int32_t engine_id = 0;
  std::int32_t term_index = -1;
};
constexpr std::uint32_t kWrittenMark = 2;

// A hit keeps the place its name had when it was added (a later change to
// the name does not move it). A hit without a name counts as smaller than
// any name. Hits stay at their addresses until the list is freed.

// Creates a hit in name order (ascending StrICmp, equal names in the order
// added) and shows it as a new row at the end of the results list.
// size: absent or containing "<" gives no size. Returns the new hit.
FileHit& AddFileHit(std::string location, std::string name, const char* size, const char* date,
                    std::int32_t tag);
// Appends a hit at the tail, out of order (the project loader keeps file
// order this way). Later AddFileHit calls still place hits where a walk
// from the head would.
void AppendLoadedHit(FileHit hit);
// Frees every hit; the list becomes empty.
void FreeHitList();
// Unlinks one hit from the list and frees its texts; the others keep their
// places and addresses. False for a pointer that is not a hit of the list
// (already deleted, or freed with the list).
bool DeleteFileHit(const FileHit* hit);
// True while hit is a hit of the list.
bool HoldsHit(const FileHit* hit);
// Number of hits in the list.
std::size_t HitCount();
// The hits in list order.
std::vector<FileHit*> HitsInListOrder();
