// The order in which the report writer takes the hits: by name.
#pragma once

#include "results/hit_list.h"

// The unwritten hit with the smallest name (among equal names the one
// furthest down the list), or null. The caller marks it written (sets
// kWrittenMark). A hit without a name is replaced by any later unwritten hit
// and replaces any earlier one. Marks are cleared with ClearWrittenMarks
// only: the store remembers which hits it has already seen marked.
FileHit* NextUnwrittenHit();
// Clears the written mark of every hit.
void ClearWrittenMarks();
