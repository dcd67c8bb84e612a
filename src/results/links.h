// Anchors on an engine's page: the link target and a file name made from
// the link's visible text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Caps of the work buffer: an href is cut to this many characters, and so
// is the raw link text (which then needs one more byte for the terminator).
constexpr std::size_t kLinkTextMax = 2048;
constexpr std::size_t kLinkBufferSize = kLinkTextMax + 1;

// When an anchor with a usable href (no "#") begins at p: sets href, sets
// name to the cleaned link text or leaves it empty when the anchor has no
// readable text, and returns 1. Otherwise returns 0 and sets nothing.
// p must point into a NUL-terminated text.
int ExtractLink(const char* p, std::string& href, std::optional<std::string>& name);

// Turns the raw content of an anchor into a file name, in place; text must
// live in a buffer of at least kLinkBufferSize bytes. An empty text takes
// the part of href behind its last "/". Returns text.
char* CleanLinkText(char* text, const char* href);

// The first c in text that is not inside a quoted run ("..." or '...',
// either of which also ends at a line end), or null.
const char* FindOutsideQuotes(const char* text, char c);
char* FindOutsideQuotes(char* text, char c);

// Replaces every tag by one blank, then decodes character references; in
// place. Returns text.
char* StripTagsAndDecode(char* text);
