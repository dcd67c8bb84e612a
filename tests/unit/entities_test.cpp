// Character references that meet in one text: entities_fuzz holds what a
// single reference decodes to, from the tables alone.
#include "results/entities.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "util/text.h"

namespace {

// The straightforward decoder the fast one replaced, kept as the reference
// it must match byte for byte: every "&" tried against the whole table, and
// each reference replaced or removed by moving the rest of the text.
char* ReferenceDecodeEntities(char* text) {
  const auto nocase = [](const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const int ca = a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : static_cast<unsigned char>(a[i]);
      const int cb = b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : static_cast<unsigned char>(b[i]);
      if (ca != cb) return ca - cb;
      if (!ca) return 0;
    }
    return 0;
  };
  const auto find_named = [&](const char* at, bool* exact_only) -> const NamedEntity* {
    const struct {
      const NamedEntity* table;
      std::size_t size;
      bool exact;
    } groups[] = {{kEntityGroup1, kEntityGroup1Size, false},
                  {kEntityGroup2, kEntityGroup2Size, true},
                  {kEntityGroup3, kEntityGroup3Size, false}};
    for (const auto& g : groups) {
      for (std::size_t i = 0; i < g.size; ++i) {
        const NamedEntity& e = g.table[i];
        const std::size_t n = std::strlen(e.name);
        if (g.exact ? !std::strncmp(at, e.name, n) : !nocase(at, e.name, n)) {
          *exact_only = g.exact;
          return &e;
        }
      }
    }
    return nullptr;
  };
  char* p = text;
  while (p && *p) {
    char* amp = std::strchr(p, '&');
    if (!amp) break;
    char* semi = std::strchr(amp, ';');
    if (!semi) break;
    p = amp;
    if (p[1] == '#') {
      long v = std::strtol(p + 2, nullptr, 10);
      if (v > INT_MAX) v = INT_MAX;
      if (v < INT_MIN) v = INT_MIN;
      const int byte = static_cast<int>(v) & 0xFF;
      if (byte) {
        char ref[8];
        std::snprintf(ref, sizeof ref, "&#%03i;", byte);
        const char one[2] = {static_cast<char>(byte), '\0'};
        if (!std::strncmp(p, ref, std::strlen(ref))) {
          ReplaceFirst(p, ref, one);
        } else {
          ++p;
        }
        continue;
      }
    }
    bool exact = false;
    const NamedEntity* e = find_named(p, &exact);
    if (e) {
      const char one[2] = {static_cast<char>(e->code), '\0'};
      char* behind = e == &kEntityGroup1[4] ? ReplaceFirst(p, e->name, one)
                                            : ReplaceFirstNoCase(p, e->name, one);
      p = behind ? behind : p + 1;
      continue;
    }
    std::memmove(p, semi + 1, std::strlen(semi + 1) + 1);
  }
  return text;
}

TEST(DecodeEntities, ReferencesInOneText) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"&lt;b&gt;", "<b>"},
      {"&nbsp;&nbsp;", "  "},
      {"&amp;amp;", "&amp;"},  // never re-reads what it produced
      {"&#038;lt;", "<"},      // but a decoded "&" is its byte's own position, looked at again
      {"&ETH;&Eth;&AUML;", "\xD0\xF0\xE4"},
      // An unknown name goes up to the first ";" behind its "&".
      {"AT&T; more", "AT more"},
      {"AT&T &amp; more", "AT more"},
      {"R&D report; &amp;", "R &"},
      // "&nbsp;" is replaced with case: the capital one stays and the next
      // lower-case one is taken, skipping what lies between.
      {"&NBSP;a&lt;&nbsp;b&amp;", "&NBSP;a&lt; b&"},
      {"&NBSP;&amp;", "&NBSP;&"},
  };
  for (const auto& c : cases) {
    std::string buf = c.in;
    std::string ref = c.in;
    DecodeEntities(&buf[0]);
    ReferenceDecodeEntities(&ref[0]);
    EXPECT_EQ(std::string(buf.c_str()), c.out) << c.in;
    EXPECT_EQ(std::string(ref.c_str()), c.out) << c.in;
  }
  EXPECT_EQ(DecodeEntities(nullptr), nullptr);
}

TEST(DecodeEntities, MatchesTheReferenceDecoderOnRandomTexts) {
  // Pieces dense in "&", "#", ";" and digits, names of every group in
  // several cases, and the odd corners: "&#038;" that yields a new "&",
  // "&#000;", a capital "&NBSP;", overlong numbers, blanks and signs.
  const char* const pieces[] = {
      "&",      "&",           "&",      "#",      ";",      ";",     "0",      "3",      "8",
      "9",      "1",           "2",      "5",      "6",      "a",     "A",      "e",      "l",
      "t",      "n",           "s",      "p",      "u",      "m",     "x",      " ",      "-",
      "+",      "amp",         "lt",     "gt",     "quot",   "nbsp",  "NBSP",   "Nbsp",   "&nbsp;",
      "&NBSP;", "eacute",      "Eacute", "EACUTE", "eth",    "ETH",   "Eth",    "auml",   "AUML",
      "Auml",   "sup2",        "frac14", "brvbar", "&#038;", "&#38;", "&#000;", "&#256;", "&#059;",
      "&#035;", "99999999999", "&amp;",  "&lt;",   "\xE9",   "&#"};
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 5000; ++round) {
    std::string in;
    for (int n = length(rng); n > 0; --n) in += pieces[pick(rng)];
    std::string expected = in, actual = in;
    ReferenceDecodeEntities(&expected[0]);
    DecodeEntities(&actual[0]);
    ASSERT_EQ(std::string(actual.c_str()), std::string(expected.c_str())) << in;
  }
}

}  // namespace
