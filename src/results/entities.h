// Character references in link texts: "&amp;", "&eacute;", "&#233;" and
// their kind become single Latin-1 bytes, in place.
#pragma once

#include <cstddef>

// One named reference and the byte that stands for it.
struct NamedEntity {
  const char* name;  // with "&" and ";"
  unsigned char code;
};
// The table in the order it is tried. Group 1 and group 3 match without
// regard to case, group 2 with exact case; group 2 comes before group 3 so
// that "&Auml;" is the capital and "&AUML;" falls through to the small one.
extern const NamedEntity kEntityGroup1[];
extern const NamedEntity kEntityGroup2[];
extern const NamedEntity kEntityGroup3[];
extern const std::size_t kEntityGroup1Size;
extern const std::size_t kEntityGroup2Size;
extern const std::size_t kEntityGroup3Size;

// Decodes the references of text in place (the text never grows); returns
// text, null for null. Unknown names are deleted with everything up to the
// first ";" behind their "&".
char* DecodeEntities(char* text);

// Like ReplaceFirst, but finds the pattern without regard to case. Returns
// the position just behind the replacement, or null (text unchanged) when
// the pattern is absent, an argument is null or text or pattern is empty.
// The buffer must have room for a longer replacement.
char* ReplaceFirstNoCase(char* text, const char* pattern, const char* replacement);
