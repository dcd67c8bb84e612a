// The rows of the results list (through the Ui seam) and the hit count the
// status dialog shows.
#pragma once

#include <cstdint>

struct FileHit;
struct SoftEntry;

// The total hit count: hits added during the current Hunt or loaded with
// the current project. The parser raises it per new hit and the project
// loader per named hit; AddFileHit and AppendLoadedHit leave it alone.
extern std::int32_t g_total_hits;

extern int g_result_rows;  // index of the next row
extern int g_right_tab;    // the right tab page shown; 0 = Search Results
// Set while the program itself fills the list: list notifications are
// ignored meanwhile.
extern bool g_list_filling;

// One row at index row carrying the record; 1, or 0 when the list refuses it.
int InsertHitRow(int row, const FileHit* hit);
int InsertCatalogueRow(int row, const SoftEntry* entry);
// A new hit's row at the end of the list, when the results page is shown.
void AppendHitRow(const FileHit* hit);
// Deletes the hit and its row (at index row of the results page): the row
// counter drops by one, and so does the total hit count for a hit that
// counted (one with a name), so that the report and the status dialog
// count what is left. Its location stays seen: the same Hunt does not
// find it again. 0, changing nothing, when hit is not a hit of the list.
int DeleteHitRow(int row, const FileHit* hit);
// Deletes every row and zeroes the row counter and the total hit count.
void EmptyResultsList();
// Deletes every row, keeping the total hit count, and adds the rows of the
// page shown: every hit with a name and a location in list order on page 0,
// the catalogue's FillCatalogueRows on pages 1-4. 0 when that page's list is empty.
int FillResultsList();
