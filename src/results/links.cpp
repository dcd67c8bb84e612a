#include "results/links.h"

#include <cctype>
#include <cstring>

#include "results/entities.h"
#include "util/text.h"

namespace {

bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

bool StartsNoCase(const char* text, const char* word) {
  for (; *word; ++text, ++word) {
    if (std::tolower(static_cast<unsigned char>(*text)) !=
        std::tolower(static_cast<unsigned char>(*word)))
      return false;
  }
  return true;
}

// Replaces every occurrence of c by a blank, searching again from the start.
void BlankOut(char* text, const char* c) {
  while (ReplaceFirst(text, c, " ")) {
  }
}

}  // namespace

const char* FindOutsideQuotes(const char* text, char c) {
  if (!text || !*text) return nullptr;
  const char* p = text;
  while (*p) {
    if (*p == '"' || *p == '\'') {
      // A quoted run ends at its closing quote or at the line's end.
      const char quote = *p++;
      while (*p && *p != quote && *p != '\r' && *p != '\n') ++p;
      if (!*p) return nullptr;
      ++p;
      continue;
    }
    if (*p == c) return p;
    ++p;
  }
  return nullptr;
}

char* FindOutsideQuotes(char* text, char c) {
  return const_cast<char*>(FindOutsideQuotes(static_cast<const char*>(text), c));
}

char* StripTagsAndDecode(char* text) {
  if (!text) return nullptr;
  char* lt = std::strchr(text, '<');
  while (lt) {
    char* gt = FindOutsideQuotes(lt, '>');
    if (!gt) break;
    std::memmove(lt + 1, gt + 1, std::strlen(gt + 1) + 1);
    *lt = ' ';
    lt = std::strchr(lt, '<');
  }
  return DecodeEntities(text);
}

char* CleanLinkText(char* text, const char* href) {
  if (!text) return nullptr;
  if (!*text && href) {
    const char* slash = std::strrchr(href, '/');
    if (slash && slash[1]) CopyN(text, slash + 1, kLinkTextMax);
  }
  StripTagsAndDecode(text);
  BlankOut(text, "<");
  BlankOut(text, ">");
  Trim(text);
  if (char* slash = std::strrchr(text, '/')) {
    std::memmove(text, slash + 1, std::strlen(slash + 1) + 1);
  }
  if (!*text) std::strcpy(text, "~Unknown~");
  return text;
}

int ExtractLink(const char* p, std::string& href, std::optional<std::string>& name) {
  if (!p || *p != '<') return 0;
  p = SkipBlanks(p + 1);
  if ((*p != 'A' && *p != 'a') || !IsBlank(p[1])) return 0;
  p = SkipBlanks(p + 1);
  if (!StartsNoCase(p, "HREF")) return 0;
  p = SkipBlanks(p + 4);
  if (*p != '=') return 0;
  p = SkipBlanks(p + 1);
  if (!*p) return 0;

  // A quoted value runs to the next double quote; an unquoted one to the
  // tag's ">", keeping whatever attributes follow it.
  const char* value = p;
  const char* value_end;
  if (*p == '"') {
    value = p + 1;
    value_end = std::strchr(value, '"');
  } else {
    value_end = std::strchr(value, '>');
  }
  if (!value_end) return 0;

  char buffer[kLinkBufferSize];
  std::size_t len = static_cast<std::size_t>(value_end - value);
  if (len > kLinkTextMax) len = kLinkTextMax;
  std::memcpy(buffer, value, len);
  buffer[len] = '\0';
  // A link into a page (an index or a jump mark) is never a file.
  if (std::strchr(buffer, '#')) return 0;
  href.assign(buffer, len);
  name.reset();

  const char* tag_end = std::strchr(value_end, '>');
  if (!tag_end) return 1;

  // The text starts at the first character that is no blank, no character
  // reference and no tag; an anchor holding only an image thus takes the
  // text behind it.
  const char* start = tag_end + 1;
  for (;;) {
    start = SkipBlanks(start);
    if (*start == '&') {
      const char* semi = std::strchr(start, ';');
      if (!semi) return 1;
      start = semi + 1;
    } else if (*start == '<') {
      const char* gt = FindOutsideQuotes(start, '>');
      if (!gt) return 1;
      start = gt + 1;
    } else {
      break;
    }
  }
  if (!*start) return 1;

  const char* lt = std::strchr(start, '<');
  if (!lt) return 1;
  const char* close = FindNoCase(lt, "/A");
  if (!close) return 1;
  const char* q = close;
  while (q > start && *q != '<') --q;
  const std::ptrdiff_t raw = q - start;
  std::size_t raw_len = raw < 0 ? kLinkTextMax : static_cast<std::size_t>(raw);
  if (raw_len > kLinkTextMax) raw_len = kLinkTextMax;
  CopyN(buffer, start, raw_len);
  name = std::string(CleanLinkText(buffer, href.c_str()));
  return 1;
}
