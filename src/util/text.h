// Text helpers on NUL-terminated 8-bit strings. Every helper accepts null
// arguments and answers them with 0/null, doing nothing.
#pragma once

#include <cstddef>
#include <string>

// Program-wide scratch buffer: data-file readers read lines into it (limit
// 2048) and short texts are formatted in it. Valid until the next writer.
constexpr int kScratchSize = 2148;
constexpr int kLineLimit = 2048;
extern char g_scratch[kScratchSize];

// Copies at most n characters and always terminates (dst needs n + 1 bytes).
void CopyN(char* dst, const char* src, std::size_t n);
// First place of pattern in text, comparing after tolower; null if none or
// if the pattern is empty.
const char* FindNoCase(const char* text, const char* pattern);
char* FindNoCase(char* text, const char* pattern);
// Replaces the first (case-sensitive) pattern by replacement in place and
// returns the position just behind the replacement, or null when nothing
// changed. The caller's buffer must have room for the grown text.
char* ReplaceFirst(char* text, const char* pattern, const char* replacement);
// Replaces plen characters at `at` (inside a text) by replacement, moving
// the rest of the text; returns the position behind the replacement.
char* ReplaceAt(char* at, std::size_t plen, const char* replacement);
// Every "%" becomes "%%".
std::string DoublePercent(const std::string& text);
// Removes trailing blanks, CRs and LFs (never tabs) in place.
char* TrimRight(char* text);
void TrimRight(std::string& text);
// Removes leading and trailing blanks, CRs and LFs in place.
char* Trim(char* text);
// Decimal text of value in the helper's own buffer; IntToText2 has a second
// buffer so that two numbers can be used in one call.
const char* IntToText(long value);
const char* IntToText2(long value);
// Two blanks followed by the text, in the scratch buffer.
const char* IndentText(const char* text);
// The string-table text with this id in the next of five ring slots; the
// sixth call reuses the first slot. Unknown ids give the empty text.
const char* LoadText(int id);
// Case-insensitive comparison that folds A-Z to a-z only, like _stricmp in
// the C locale. Used for every name ordering so Linux and Windows agree.
int StrICmp(const char* a, const char* b);
// tolower of the C locale, the only one the program runs in: A-Z to a-z.
constexpr char FoldByte(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
