// The program's string table: every user-visible message with its id.
// One table serves the portable core (LoadText) and the Windows resources.
#pragma once

struct StringTableEntry {
  int id;
  const char* text;
};

// Entries sorted by id; ids run from 1441 with gaps.
extern const StringTableEntry kStringTable[];
extern const int kStringTableSize;

// The text with this id, or null when the table has none.
const char* FindTableText(int id);
