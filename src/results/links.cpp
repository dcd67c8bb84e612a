#include "results/links.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "results/entities.h"
#include "util/text.h"

namespace {

// isspace of the C locale.
bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

bool StartsNoCase(const char* text, const char* word) {
  for (; *word; ++text, ++word) {
    if (FoldByte(*text) != FoldByte(*word)) return false;
  }
  return true;
}

// The searches of ExtractLink, made afresh every time.
struct FreshSearch {
  const char* Next(const char* p, char c) { return std::strchr(p, c); }
  const char* NextClose(const char* p) { return FindNoCase(p, "/A"); }
  // Where the link text starts, from behind the anchor tag: blanks,
  // character references and tags are passed over. Null when the text ends
  // first or a reference or tag does not.
  const char* TextStart(const char* start) {
    for (;;) {
      start = SkipBlanks(start);
      if (*start == '&') {
        const char* semi = std::strchr(start, ';');
        if (!semi) return nullptr;
        start = semi + 1;
      } else if (*start == '<') {
        const char* gt = FindOutsideQuotes(start, '>');
        if (!gt) return nullptr;
        start = gt + 1;
      } else {
        return *start ? start : nullptr;
      }
    }
  }
  // The "<" in front of the "/A" at close, not before start.
  const char* LastOpenBefore(const char* close, const char* start) {
    const char* q = close;
    while (q > start && *q != '<') --q;
    return q;
  }
};

int NoName(std::optional<std::string>& name) {
  name.reset();
  return 1;
}

template <class Search>
int ExtractWith(Search& find, const char* p, std::string& href, std::optional<std::string>& name) {
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
    value_end = find.Next(value, '"');
  } else {
    value_end = find.Next(value, '>');
  }
  if (!value_end) return 0;

  std::size_t len = static_cast<std::size_t>(value_end - value);
  if (len > kLinkTextMax) len = kLinkTextMax;
  // A link into a page (an index or a jump mark) is never a file. (The
  // searches that found value_end stop at a NUL: there is none in front.)
  if (std::memchr(value, '#', len)) return 0;
  href.assign(value, len);

  const char* tag_end = find.Next(value_end, '>');
  if (!tag_end) return NoName(name);

  // The text starts at the first character that is no blank, no character
  // reference and no tag; an anchor holding only an image thus takes the
  // text behind it.
  const char* start = find.TextStart(tag_end + 1);
  if (!start) return NoName(name);
  const char* lt = find.Next(start, '<');
  if (!lt) return NoName(name);
  const char* close = find.NextClose(lt);
  if (!close) return NoName(name);
  const char* q = find.LastOpenBefore(close, start);
  const std::ptrdiff_t raw = q - start;
  std::size_t raw_len = raw < 0 ? kLinkTextMax : static_cast<std::size_t>(raw);
  if (raw_len > kLinkTextMax) raw_len = kLinkTextMax;
  // No NUL stands in front of q: the searches that found it stop at one.
  char buffer[kLinkBufferSize];
  std::memcpy(buffer, start, raw_len);
  buffer[raw_len] = '\0';
  const char* text = CleanLinkText(buffer, href.c_str());
  // The caller's string is refilled rather than made anew.
  if (name) {
    name->assign(text);
  } else {
    name.emplace(text);
  }
  return 1;
}

template <char C>
const char* FirstChar(const char* from, const char* to) {
  const void* at = std::memchr(from, C, static_cast<std::size_t>(to - from));
  return at ? static_cast<const char*>(at) : to;
}

// The first "/A" in any case.
const char* FirstClose(const char* from, const char* to) {
  for (const char* q = FirstChar<'/'>(from, to); q != to; q = FirstChar<'/'>(q + 1, to)) {
    if (q[1] == 'A' || q[1] == 'a') return q;
  }
  return to;
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
  // Most link texts hold no tag: nothing in front of the first "<" moves.
  char* const first = std::strchr(text, '<');
  if (!first) return DecodeEntities(text);
  // In one pass: the text behind a tag moves up once, not once per tag.
  char* out = first;
  const char* in = first;
  while (*in) {
    if (*in == '<') {
      const char* gt = FindOutsideQuotes(in, '>');
      if (!gt) break;  // an open tag: the rest stays as it is
      *out++ = ' ';
      in = gt + 1;
    } else {
      *out++ = *in++;
    }
  }
  if (out != in) std::memmove(out, in, std::strlen(in) + 1);
  return DecodeEntities(text);
}

char* CleanLinkText(char* text, const char* href) {
  if (!text) return nullptr;
  if (!*text && href) {
    const char* slash = std::strrchr(href, '/');
    if (slash && slash[1]) CopyN(text, slash + 1, kLinkTextMax);
  }
  StripTagsAndDecode(text);
  for (char* c = std::strpbrk(text, "<>"); c; c = std::strpbrk(c + 1, "<>")) *c = ' ';
  Trim(text);
  if (char* slash = std::strrchr(text, '/')) {
    std::memmove(text, slash + 1, std::strlen(slash + 1) + 1);
  }
  if (!*text) std::strcpy(text, "~Unknown~");
  return text;
}

int ExtractLink(const char* p, std::string& href, std::optional<std::string>& name) {
  FreshSearch find;
  return ExtractWith(find, p, href, name);
}

const char* LinkScanner::NextOf::Find(const char* p, const char* end) {
  if (clear_ && p >= clear_ && p <= found_) return found_ == end ? nullptr : found_;
  if (clear_ && p < clear_) {
    // Only the stretch in front of what is known needs a look.
    const char* q = match_(p, clear_);
    if (q != clear_) found_ = q;
  } else {
    found_ = match_(p, end);
  }
  clear_ = p;
  return found_ == end ? nullptr : found_;
}

LinkScanner::LinkScanner(const char* page)
    : page_(page),
      end_(page + std::strlen(page)),
      quote_(FirstChar<'"'>),
      gt_(FirstChar<'>'>),
      semicolon_(FirstChar<';'>),
      lt_(FirstChar<'<'>),
      close_(FirstClose) {}

void LinkScanner::Forget() {
  end_ = page_ + std::strlen(page_);
  for (NextOf* n : {&quote_, &gt_, &semicolon_, &lt_, &close_}) n->Forget();
  text_starts_.clear();
  last_opens_.clear();
}

const char* LinkScanner::Next(const char* p, char c) {
  switch (c) {
    case '"':
      return quote_.Find(p, end_);
    case '>':
      return gt_.Find(p, end_);
    case ';':
      return semicolon_.Find(p, end_);
    case '<':
      return lt_.Find(p, end_);
    default:
      return std::strchr(p, c);
  }
}

const char* LinkScanner::TagEnd(const char* p) {
  // The parser jumps behind the ">" found, so its searches do not overlap.
  return FindOutsideQuotes(p, '>');
}

// FreshSearch::TextStart, with the answer remembered for every reference
// and tag the walk passed: walks from nearby anchors meet and go on alike.
// A text right behind its tag, the common case, is found without a look-up.
const char* LinkScanner::TextStart(const char* from) {
  const char* start = SkipBlanks(from);
  if (*start != '&' && *start != '<') return *start ? start : nullptr;
  steps_.clear();
  const char* result = nullptr;
  for (;;) {
    const auto known = text_starts_.find(start);
    if (known != text_starts_.end()) {
      result = known->second;
      break;
    }
    steps_.push_back(start);
    const char* behind = *start == '&' ? Next(start, ';') : FindOutsideQuotes(start, '>');
    if (!behind) break;
    start = SkipBlanks(behind + 1);
    if (*start != '&' && *start != '<') {
      result = *start ? start : nullptr;
      break;
    }
  }
  for (const char* step : steps_) text_starts_[step] = result;
  return result;
}

const char* LinkScanner::LastOpenBefore(const char* close) {
  // Mostly the "<" of "</a>" stands right in front.
  constexpr int kNear = 64;
  const char* q = close;
  for (int i = 0; i < kNear && q > page_; ++i, --q) {
    if (*q == '<') return q;
  }
  const auto known = last_opens_.find(close);
  if (known != last_opens_.end()) return known->second;
  while (q > page_ && *q != '<') --q;
  return last_opens_[close] = q;
}

int LinkScanner::Extract(const char* p, std::string& href, std::optional<std::string>& name) {
  // ExtractWith asks its searches through these names.
  struct Remembered {
    LinkScanner& s;
    const char* Next(const char* at, char c) { return s.Next(at, c); }
    const char* NextClose(const char* at) { return s.close_.Find(at, s.end_); }
    const char* TextStart(const char* at) { return s.TextStart(at); }
    const char* LastOpenBefore(const char* close, const char* start) {
      return std::max(s.LastOpenBefore(close), start);
    }
  } find{*this};
  return ExtractWith(find, p, href, name);
}
