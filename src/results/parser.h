// Reads an engine's answer page into file hits. Which text around a link
// is the file's size and date depends on the engine's page layout, chosen
// by its engine type (ENGINE= of engines.dat).
#pragma once

#include <cstddef>

#include "engines/engines.h"

// Hits of engine types 12 and 13 link to http pages of two services; their
// relative hrefs are completed with these addresses. Family B's has no "/"
// at its end because its hrefs begin with one.
constexpr const char kFamilyALocationPrefix[] = "http://www.ftpsearch-a.example/cgi-bin/";
constexpr const char kFamilyBLocationPrefix[] = "http://www.ftpsearch-b.example";

// Size and date texts hold at most this many characters.
constexpr std::size_t kHitFieldMax = 19;
// Names of hits are cut to this many characters.
constexpr std::size_t kHitNameMax = 80;

// Parses one finished page of job (the record of connection slot `slot`):
// adds a hit for every new location whose link text holds the job's search
// term, updates the total hit count and Files Found, and shows the slot's
// status texts. page is writable and page[length] is its terminator; the
// first NUL ends the page. Type 5 writes one NUL into it. Returns the
// number of accepted links (new hits plus links already seen); 0 for a
// null page and for a vendor reply.
int ParseResultPage(int slot, EngineEntry& job, char* page, std::size_t length);

// Copies from src until stop, the end of src or n characters, whichever
// comes first, and terminates dst (n + 1 bytes). Returns dst; nothing is
// done when either is null.
char* CopyUntilN(char* dst, const char* src, char stop, std::size_t n);
// Skips blanks, CRs and LFs (not tabs) and whole tags; stops at a "<" that
// has no ">" behind it. Null for null.
const char* SkipBlanksAndTags(const char* text);
char* SkipBlanksAndTags(char* text);
// In place: line feeds, tabs and CRs become blanks, then each pair of
// blanks becomes one, searching on behind each replacement (so a run of n
// blanks ends as ceil(n/2)). Returns text.
char* TidyWhitespace(char* text);
