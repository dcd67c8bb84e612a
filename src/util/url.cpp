#include "util/url.h"

#include <string>

namespace {

// prefix in lower case; A-Z alone fold, as everywhere in the program.
bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    const char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
    if (c != *prefix) return false;
  }
  return true;
}

}  // namespace

bool IsOpenableLocation(const char* location) {
  if (!location) return false;
  for (const char* scheme : {"ftp://", "http://", "https://"}) {
    if (StartsWithNoCase(location, scheme)) return true;
  }
  return false;
}

bool IsOpenableLocation(const std::string& location) {
  return IsOpenableLocation(location.c_str());
}
