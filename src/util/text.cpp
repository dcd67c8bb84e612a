#include "util/text.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "util/string_table.h"

char g_scratch[kScratchSize];

void CopyN(char* dst, const char* src, std::size_t n) {
  if (!dst || !src) return;
  std::size_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  dst[i] = '\0';
}

const char* FindNoCase(const char* text, const char* pattern) {
  if (!text || !pattern || !*pattern) return nullptr;
  // Candidates are found by the C library's own scan for the first
  // character in either case; only they are compared, by folding.
  const char first = FoldByte(pattern[0]);
  const char other = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
  const char both[3] = {first, other, '\0'};
  for (const char* t = text;; ++t) {
    t = first == other ? std::strchr(t, first) : std::strpbrk(t, both);
    if (!t) return nullptr;
    std::size_t i = 1;
    while (pattern[i] && FoldByte(t[i]) == FoldByte(pattern[i])) ++i;
    if (!pattern[i]) return t;
  }
}

char* FindNoCase(char* text, const char* pattern) {
  return const_cast<char*>(FindNoCase(static_cast<const char*>(text), pattern));
}

char* ReplaceFirst(char* text, const char* pattern, const char* replacement) {
  if (!text || !pattern || !replacement || !*text || !*pattern) return nullptr;
  char* at = std::strstr(text, pattern);
  if (!at) return nullptr;
  return ReplaceAt(at, std::strlen(pattern), replacement);
}

char* ReplaceAt(char* at, std::size_t plen, const char* replacement) {
  const std::size_t rlen = std::strlen(replacement);
  // memmove covers both directions, terminator included.
  std::memmove(at + rlen, at + plen, std::strlen(at + plen) + 1);
  std::memcpy(at, replacement, rlen);
  return at + rlen;
}

std::string DoublePercent(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

static bool IsTrimmed(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}

char* TrimRight(char* text) {
  if (!text) return nullptr;
  std::size_t n = std::strlen(text);
  while (n > 0 && IsTrimmed(text[n - 1])) --n;
  text[n] = '\0';
  return text;
}

void TrimRight(std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && IsTrimmed(text[n - 1])) --n;
  text.resize(n);
}

char* Trim(char* text) {
  if (!text) return nullptr;
  std::size_t lead = 0;
  while (IsTrimmed(text[lead])) ++lead;
  if (lead) std::memmove(text, text + lead, std::strlen(text + lead) + 1);
  return TrimRight(text);
}

static void FormatInt(char* buf, long value) {
  // Digits from the back of the 17-byte buffer, then moved to the front.
  unsigned long mag =
      value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  int pos = 16;
  buf[pos] = '\0';
  do {
    buf[--pos] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag && pos > 1);
  if (value < 0) buf[--pos] = '-';
  std::memmove(buf, buf + pos, static_cast<std::size_t>(17 - pos));
}

const char* IntToText(long value) {
  static char buf[17];
  FormatInt(buf, value);
  return buf;
}

const char* IntToText2(long value) {
  static char buf[17];
  FormatInt(buf, value);
  return buf;
}

const char* IndentText(const char* text) {
  std::snprintf(g_scratch, sizeof g_scratch, "  %s", text ? text : "");
  return g_scratch;
}

const char* LoadText(int id) {
  // Fixed slots: a caller's pointer stays on its slot until five more loads.
  static char ring[5][1024];
  static int last = 0;
  last = (last + 1) % 5;
  const char* t = FindTableText(id);
  CopyN(ring[last], t ? t : "", sizeof ring[last] - 1);
  return ring[last];
}

int StrICmp(const char* a, const char* b) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  for (;; ++a, ++b) {
    int ca = static_cast<unsigned char>(*a);
    int cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb) return ca - cb;
    if (!ca) return 0;
  }
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&out[0], out.size(), fmt, ap2);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(ap2);
  return out;
}
