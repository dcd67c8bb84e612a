// A finished result page of a Hunt job becomes hits: the page parser reads
// it, and each new hit goes into the result store and the counters, with
// the slot's status texts and the status dialog's Files Found number kept
// up to date on the way.
#pragma once

#include <cstddef>

struct EngineEntry;

// Reads page (page[length] is its terminator) for job, the record of
// connection slot `slot`, under the current Exact Match setting. Returns
// the parser's accepted count; 0, and no status text, for a null page.
int ReadResultPage(int slot, const EngineEntry& job, char* page, std::size_t length);
