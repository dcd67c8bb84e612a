// Link extraction on its own: any page, an anchor tried at every "<".
//   - ExtractLink either takes the anchor (an href without "#", cut to
//     kLinkTextMax, that stands in the page) or leaves href and name alone;
//   - a link name, from ExtractLink or CleanLinkText, is never empty, holds
//     no "<", ">" or "/", doesn't end in a blank, CR or LF, and fits its
//     buffer of kLinkBufferSize bytes (ASan watches the buffer's end);
//   - FindOutsideQuotes answers a place in the text that holds the char;
//   - StripTagsAndDecode never makes a text longer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "results/links.h"

namespace {

bool IsTrimmed(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}

void CheckName(const std::string& name) {
  FUZZ_CHECK(!name.empty() && name.size() <= kLinkTextMax);
  FUZZ_CHECK(name.find_first_of("<>/") == std::string::npos);
  // Trimmed at its end; the part behind a "/" may begin with a blank.
  FUZZ_CHECK(!IsTrimmed(name.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The page as the parser hands it over: a C string in a buffer of exactly
  // its size, so ASan sees a read past its end.
  std::vector<char> page(size + 1, '\0');
  if (size) std::memcpy(page.data(), data, size);
  const std::size_t length = std::strlen(page.data());
  const std::string text(page.data(), length);

  for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
    std::string href = "unset href";
    std::optional<std::string> name = std::string("unset name");
    if (!ExtractLink(page.data() + at, href, name)) {
      FUZZ_CHECK(href == "unset href" && name == std::string("unset name"));
      continue;
    }
    FUZZ_CHECK(href.size() <= kLinkTextMax);
    FUZZ_CHECK(href.find('#') == std::string::npos);
    FUZZ_CHECK(text.find(href, at) != std::string::npos);
    if (name) CheckName(*name);
  }

  // The raw text of an anchor, cut as ExtractLink cuts it, with and without
  // an href to fall back on.
  for (const char* href : {static_cast<const char*>(nullptr), "ftp://h.example/pub/file.zip",
                           "ftp://h.example/dir/", "x"}) {
    std::vector<char> buffer(kLinkBufferSize, '\0');
    std::memcpy(buffer.data(), text.data(), length < kLinkTextMax ? length : kLinkTextMax);
    CheckName(CleanLinkText(buffer.data(), href));
  }

  for (char c : {'>', '"', text.empty() ? 'x' : text[0]}) {
    const char* found = FindOutsideQuotes(page.data(), c);
    if (found) FUZZ_CHECK(found >= page.data() && found < page.data() + length && *found == c);
  }

  std::vector<char> stripped(page);
  StripTagsAndDecode(stripped.data());
  FUZZ_CHECK(std::strlen(stripped.data()) <= length);
  return 0;
}
