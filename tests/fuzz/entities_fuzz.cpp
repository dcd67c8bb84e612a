// Character references on their own, in any text.
//   - Decoding never makes a text longer, and leaves alone everything before
//     the first "&" and any text without a ";" behind its first "&".
//   - A text holding exactly one reference (one "&" and one ";" behind it)
//     decodes as documented: a named reference of the table becomes its
//     byte (groups 1 and 3 in any case, group 2 in its own case; "&nbsp;"
//     only in lower case), "&#" with three digits naming byte 1-255 becomes
//     that byte, any other number stays, and an unknown name goes with
//     everything through its ";".
//   - ReplaceFirstNoCase changes the text exactly where FindNoCase points.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "results/entities.h"
#include "util/text.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The byte a single reference stands for, or -1 when it stays as it is, or
// 0 when it is dropped.
int Expected(const std::string& ref) {
  if (ref.size() > 1 && ref[1] == '#') {
    // atoi with the int range pinned, as the decoder reads the number.
    long v = std::strtol(ref.c_str() + 2, nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    const int byte = static_cast<int>(v) & 0xFF;
    if (byte) {
      char canonical[8];
      std::snprintf(canonical, sizeof canonical, "&#%03i;", byte);
      return ref == canonical ? byte : -1;
    }
  }
  for (std::size_t i = 0; i < kEntityGroup1Size; ++i) {
    if (Lower(ref) == kEntityGroup1[i].name) {
      // "&nbsp;" is only replaced where it is written in lower case.
      if (i == 4 && ref != kEntityGroup1[i].name) return -1;
      return kEntityGroup1[i].code;
    }
  }
  for (std::size_t i = 0; i < kEntityGroup2Size; ++i) {
    if (ref == kEntityGroup2[i].name) return kEntityGroup2[i].code;
  }
  for (std::size_t i = 0; i < kEntityGroup3Size; ++i) {
    if (Lower(ref) == Lower(kEntityGroup3[i].name)) return kEntityGroup3[i].code;
  }
  return 0;
}

std::string Decoded(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  DecodeEntities(buffer.data());
  return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::strlen(text.c_str()));

  const std::string out = Decoded(text);
  FUZZ_CHECK(out.size() <= text.size());
  const std::size_t amp = text.find('&');
  FUZZ_CHECK(out.compare(0, amp, text, 0, amp) == 0);
  if (amp == std::string::npos || text.find(';', amp) == std::string::npos) FUZZ_CHECK(out == text);

  // Exactly one reference: its value follows from the table alone.
  if (amp != std::string::npos && text.find('&', amp + 1) == std::string::npos) {
    const std::size_t semi = text.find(';', amp);
    if (semi != std::string::npos && text.find(';', semi + 1) == std::string::npos) {
      const std::string ref = text.substr(amp, semi + 1 - amp);
      const int byte = Expected(ref);
      std::string expected = text;
      if (byte < 0) {
        // stays
      } else if (byte == 0) {
        expected.erase(amp, ref.size());
      } else {
        expected.replace(amp, ref.size(), 1, static_cast<char>(byte));
      }
      if (out != expected) {
        std::fprintf(stderr, "reference [%s] decoded to [%s], expected [%s]\n", ref.c_str(),
                     out.c_str(), expected.c_str());
      }
      FUZZ_CHECK(out == expected);
    }
  }

  // ReplaceFirstNoCase with a pattern taken from the text itself.
  if (text.size() >= 2) {
    const std::string pattern = Lower(text.substr(text.size() / 2, 1 + text.size() % 3));
    std::vector<char> buffer(text.size() * 2 + 8, '\0');
    std::memcpy(buffer.data(), text.data(), text.size());
    const char* where = FindNoCase(buffer.data(), pattern.c_str());
    const std::size_t at = where ? static_cast<std::size_t>(where - buffer.data()) : 0;
    char* behind = ReplaceFirstNoCase(buffer.data(), pattern.c_str(), "[]");
    FUZZ_CHECK((behind != nullptr) == (where != nullptr));
    if (behind) {
      std::string expected = text;
      expected.replace(at, pattern.size(), "[]");
      FUZZ_CHECK(std::string(buffer.data()) == expected);
      FUZZ_CHECK(behind == buffer.data() + at + 2);
    } else {
      FUZZ_CHECK(std::string(buffer.data()) == text);
    }
  }
  return 0;
}
