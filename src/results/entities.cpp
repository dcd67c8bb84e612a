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

struct Match {
  const NamedEntity* entity = nullptr;
  bool case_sensitive = false;
};

Match FindNamed(const char* at) {
  for (std::size_t i = 0; i < kEntityGroup1Size; ++i) {
    const NamedEntity& e = kEntityGroup1[i];
    if (!StrNICmp(at, e.name, std::strlen(e.name))) return {&e, false};
  }
  for (std::size_t i = 0; i < kEntityGroup2Size; ++i) {
    const NamedEntity& e = kEntityGroup2[i];
    if (!std::strncmp(at, e.name, std::strlen(e.name))) return {&e, true};
  }
  for (std::size_t i = 0; i < kEntityGroup3Size; ++i) {
    const NamedEntity& e = kEntityGroup3[i];
    if (!StrNICmp(at, e.name, std::strlen(e.name))) return {&e, false};
  }
  return {};
}

}  // namespace

char* ReplaceFirstNoCase(char* text, const char* pattern, const char* replacement) {
  if (!text || !pattern || !replacement || !*text || !*pattern) return nullptr;
  char* at = FindNoCase(text, pattern);
  if (!at) return nullptr;
  return ReplaceAt(at, std::strlen(pattern), replacement);
}

char* DecodeEntities(char* text) {
  if (!text) return nullptr;
  char* p = text;
  while (p && *p) {
    char* amp = std::strchr(p, '&');
    if (!amp) break;
    char* semi = std::strchr(amp, ';');
    if (!semi) break;
    p = amp;

    if (p[1] == '#') {
      const int byte = ReferenceValue(p + 2) & 0xFF;
      if (byte) {
        // Only the three-digit form is decoded; anything else is left alone.
        char ref[8];
        std::snprintf(ref, sizeof ref, "&#%03i;", byte);
        if (!std::strncmp(p, ref, std::strlen(ref))) {
          const char one[2] = {static_cast<char>(byte), '\0'};
          ReplaceFirst(p, ref, one);
        } else {
          ++p;
        }
        continue;
      }
    }

    const Match m = FindNamed(p);
    if (m.entity) {
      const char one[2] = {static_cast<char>(m.entity->code), '\0'};
      char* behind;
      if (m.entity == &kEntityGroup1[4]) {
        // "&nbsp;" is replaced case-sensitively, so a capitalised one at p
        // stays and the next lower-case one further on is taken instead.
        behind = ReplaceFirst(p, m.entity->name, one);
      } else {
        behind = ReplaceFirstNoCase(p, m.entity->name, one);
      }
      // Nothing replaced (a capitalised "&NBSP;" with no "&nbsp;" behind it):
      // leave it and go on with the next character.
      p = behind ? behind : p + 1;
      continue;
    }

    // Unknown name: drop it through its ";".
    std::memmove(p, semi + 1, std::strlen(semi + 1) + 1);
  }
  return text;
}
