#include "results/entities.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/text.h"

const NamedEntity kEntityGroup1[] = {
    {"&quot;", 0x22}, {"&amp;", 0x26}, {"&lt;", 0x3C}, {"&gt;", 0x3E}, {"&nbsp;", 0x20},
};

const NamedEntity kEntityGroup2[] = {
    {"&ETH;", 0xD0},    {"&Auml;", 0xC4},   {"&Euml;", 0xCB},   {"&Iuml;", 0xCF},
    {"&Uuml;", 0xDC},   {"&Ouml;", 0xD6},   {"&Acirc;", 0xC2},  {"&Aring;", 0xC5},
    {"&AElig;", 0xC6},  {"&Ecirc;", 0xCA},  {"&Icirc;", 0xCE},  {"&Ucirc;", 0xDB},
    {"&THORN;", 0xDE},  {"&Ocirc;", 0xD4},  {"&Oacute;", 0xD3}, {"&Ograve;", 0xD2},
    {"&Oslash;", 0xD8}, {"&Otilde;", 0xD5}, {"&Aacute;", 0xC1}, {"&Agrave;", 0xC0},
    {"&Atilde;", 0xC3}, {"&Ntilde;", 0xD1}, {"&Ccedil;", 0xC7}, {"&Egrave;", 0xC8},
    {"&Eacute;", 0xC9}, {"&Igrave;", 0xCC}, {"&Iacute;", 0xCD}, {"&Ugrave;", 0xD9},
    {"&Uacute;", 0xDA}, {"&Yacute;", 0xDD},
};

const NamedEntity kEntityGroup3[] = {
    {"&uml;", 0xA8},    {"&deg;", 0xB0},    {"&not;", 0xAC},    {"&reg;", 0xAE},
    {"&shy;", 0xAD},    {"&yen;", 0xA5},    {"&sup1;", 0xB9},   {"&sup2;", 0xB2},
    {"&sup3;", 0xB3},   {"&cent;", 0xA2},   {"&copy;", 0xA9},   {"&macr;", 0xAF},
    {"&ordf;", 0xAA},   {"&para;", 0xB6},   {"&ordm;", 0xBA},   {"&yuml;", 0xFF},
    {"&raquo;", 0xBB},  {"&pound;", 0xA3},  {"&laquo;", 0xAB},  {"&micro;", 0xB5},
    {"&acute;", 0xB4},  {"&cedil;", 0xB8},  {"&times;", 0xD7},  {"&szlig;", 0xDF},
    {"&iexcl;", 0xA1},  {"&thorn;", 0xFE},  {"&brvbar;", 0xA6}, {"&curren;", 0xA4},
    {"&frac14;", 0xBC}, {"&frac12;", 0xBD}, {"&frac34;", 0xBE}, {"&iquest;", 0xBF},
    {"&middot;", 0xB7}, {"&plusmn;", 0xB1}, {"&yacute;", 0xFD}, {"&eth;", 0xF0},
    {"&auml;", 0xE4},   {"&euml;", 0xEB},   {"&iuml;", 0xEF},   {"&ouml;", 0xF6},
    {"&uuml;", 0xFC},   {"&ucirc;", 0xFB},  {"&acirc;", 0xE2},  {"&aring;", 0xE5},
    {"&aelig;", 0xE6},  {"&ecirc;", 0xEA},  {"&icirc;", 0xEE},  {"&ocirc;", 0xF4},
    {"&ugrave;", 0xF9}, {"&uacute;", 0xFA}, {"&agrave;", 0xE0}, {"&aacute;", 0xE1},
    {"&atilde;", 0xE3}, {"&ntilde;", 0xF1}, {"&ograve;", 0xF2}, {"&oacute;", 0xF3},
    {"&ccedil;", 0xE7}, {"&egrave;", 0xE8}, {"&eacute;", 0xE9}, {"&igrave;", 0xEC},
    {"&iacute;", 0xED}, {"&otilde;", 0xF5}, {"&divide;", 0xF7}, {"&oslash;", 0xF8},
};

const std::size_t kEntityGroup1Size = sizeof kEntityGroup1 / sizeof kEntityGroup1[0];
const std::size_t kEntityGroup2Size = sizeof kEntityGroup2 / sizeof kEntityGroup2[0];
const std::size_t kEntityGroup3Size = sizeof kEntityGroup3 / sizeof kEntityGroup3[0];

namespace {

int LowerByte(char c) {
  const int u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}

// _strnicmp over n characters: 0 when equal ignoring case. Stops at a NUL
// in either text, so it never reads past the shorter one.
int StrNICmp(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = LowerByte(a[i]);
    const int cb = LowerByte(b[i]);
    if (ca != cb) return ca - cb;
    if (!ca) return 0;
  }
  return 0;
}

// atoi of the digits behind "#", with overflow pinned to the int range as the
// Windows C library does (so a huge number never becomes undefined).
int ReferenceValue(const char* digits) {
  long v = std::strtol(digits, nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

// The table read once into buckets by name length and folded first letter,
// each keeping the table order, so a reference is tried against a handful
// of names instead of all of them.
constexpr std::size_t kMaxNameLen = 8;  // "&brvbar;", "&Oacute;"

struct Candidate {
  const NamedEntity* entity;
  bool case_sensitive;
};

struct NameIndex {
  static constexpr std::size_t kSlots = 12;
  Candidate slot[kMaxNameLen + 1][26][kSlots] = {};
  std::size_t count[kMaxNameLen + 1][26] = {};

  void Add(const NamedEntity* table, std::size_t n, bool case_sensitive) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t len = std::strlen(table[i].name);
      const int first = LowerByte(table[i].name[1]) - 'a';
      if (len > kMaxNameLen || first < 0 || first >= 26) std::abort();
      std::size_t& c = count[len][first];
      if (c == kSlots) std::abort();
      slot[len][first][c++] = {&table[i], case_sensitive};
    }
  }
};

const NameIndex& Index() {
  static const NameIndex index = [] {
    NameIndex x;
    x.Add(kEntityGroup1, kEntityGroup1Size, false);
    x.Add(kEntityGroup2, kEntityGroup2Size, true);
    x.Add(kEntityGroup3, kEntityGroup3Size, false);
    return x;
  }();
  return index;
}

// The first table entry (in table order) that at starts with. Every name
// ends in its only ";", so a match ends at the first ";" behind the "&".
const NamedEntity* FindNamed(const char* at) {
  std::size_t len = 1;
  while (len < kMaxNameLen && at[len] && at[len] != ';') ++len;
  if (len == kMaxNameLen || at[len] != ';') return nullptr;
  ++len;
  const int first = LowerByte(at[1]) - 'a';
  if (first < 0 || first >= 26) return nullptr;
  const NameIndex& index = Index();
  for (std::size_t i = 0; i < index.count[len][first]; ++i) {
    const Candidate& c = index.slot[len][first][i];
    if (c.case_sensitive ? !std::strncmp(at, c.entity->name, len)
                         : !StrNICmp(at, c.entity->name, len))
      return c.entity;
  }
  return nullptr;
}

// Remembers where the next occurrence of a pattern lies, so repeated
// searches from positions that only move forward scan the text once.
// Only valid while the text behind the searched position stays as it was.
class NextFinder {
 public:
  explicit NextFinder(const char* pattern) : pattern_(pattern) {}
  const char* From(const char* from) {
    if (!valid_ || from < searched_ || (found_ && found_ < from)) {
      found_ = std::strstr(from, pattern_);
      searched_ = from;
      valid_ = true;
    }
    return found_;
  }
  void Forget() { valid_ = false; }

 private:
  const char* pattern_;
  const char* found_ = nullptr;
  const char* searched_ = nullptr;
  bool valid_ = false;
};

}  // namespace

char* ReplaceFirstNoCase(char* text, const char* pattern, const char* replacement) {
  if (!text || !pattern || !replacement || !*text || !*pattern) return nullptr;
  char* at = FindNoCase(text, pattern);
  if (!at) return nullptr;
  return ReplaceAt(at, std::strlen(pattern), replacement);
}

// One pass in place: the decoded text grows at w while the text still to
// decode always lies whole at r (w <= r), so a reference is looked at exactly
// as if everything before it had been replaced in the buffer one by one.
char* DecodeEntities(char* text) {
  // Most texts hold no reference at all.
  if (!text || !std::strchr(text, '&')) return text;
  char* w = text;
  char* r = text;
  NextFinder semis(";");
  NextFinder nbsps("&nbsp;");
  const auto copy_to = [&](char* to) {
    if (w != r) std::memmove(w, r, static_cast<std::size_t>(to - r));
    w += to - r;
    r = to;
  };
  while (*r) {
    char* amp = std::strchr(r, '&');
    if (!amp) break;
    char* semi = const_cast<char*>(semis.From(amp));
    if (!semi) break;
    copy_to(amp);

    if (r[1] == '#') {
      const int byte = ReferenceValue(r + 2) & 0xFF;
      if (byte) {
        // Only the three-digit form is decoded; anything else is left alone.
        char ref[8];
        std::snprintf(ref, sizeof ref, "&#%03i;", byte);
        if (!std::strncmp(r, ref, std::strlen(ref))) {
          // The byte takes the place of the ";" and is read again from there,
          // so a decoded "&" can start a reference of its own.
          r += std::strlen(ref) - 1;
          *r = static_cast<char>(byte);
          semis.Forget();
        } else {
          *w++ = *r++;
        }
        continue;
      }
    }

    const NamedEntity* e = FindNamed(r);
    if (e) {
      const std::size_t len = std::strlen(e->name);
      if (e == &kEntityGroup1[4] && std::strncmp(r, e->name, len)) {
        // "&nbsp;" is replaced case-sensitively, so a capitalised one here
        // stays and the next lower-case one further on is taken instead,
        // with all that lies between left undecoded.
        const char* next = nbsps.From(r + 1);
        if (!next) {
          *w++ = *r++;
          continue;
        }
        copy_to(const_cast<char*>(next));
      }
      *w++ = static_cast<char>(e->code);
      r += len;
      continue;
    }

    // Unknown name: drop it through its ";".
    r = semi + 1;
  }
  copy_to(r + std::strlen(r));
  *w = '\0';
  return text;
}
