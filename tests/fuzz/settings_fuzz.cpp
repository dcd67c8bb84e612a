// torva.ini as any editor or program may have left it. The program writes
// this file itself, so whatever the reader makes of any file must survive
// the program's own save: load, save, load gives the same settings, the
// saved file is exactly SettingsText(), and saving again writes the same
// bytes. Each text comes from one whole line that holds its key, and the
// numbers stay in their ranges.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "settings/settings.h"

namespace {

// Every field, so a difference shows in the report of a failed check.
std::string Describe(const AppSettings& s) {
  auto text = [](const std::optional<std::string>& t) { return t ? "[" + *t + "]" : "(none)"; };
  return "packcount=" + std::to_string(s.packcount) + " format=" + std::to_string(s.format) +
         " filename=" + text(s.filename) + " browser=" + text(s.browser) +
         " proxy=" + text(s.proxy) + " port=" + std::to_string(s.port) +
         " sort=" + std::to_string(s.sort) + " lastwarn=" + std::to_string(s.lastwarn) +
         " exact=" + std::to_string(s.exact) + " files=" + std::to_string(s.files) +
         " news=" + std::to_string(s.news) + " next=" + std::to_string(s.next) +
         " upgrade=" + std::to_string(s.upgrade) + " upgradenew=" + std::to_string(s.upgradenew) +
         " timeout=" + std::to_string(s.timeout) + " newwin=" + std::to_string(s.newwin);
}

// Numbers unlike anything a default or a small file gives, so a value that
// the second load fails to set shows as a difference.
AppSettings OtherNumbers() {
  AppSettings s;
  s.packcount = s.format = s.port = s.sort = s.lastwarn = s.exact = s.files = s.news = s.next =
      s.upgrade = s.upgradenew = s.newwin = -77777;
  s.timeout = -77777;
  return s;
}

// True when text is (a prefix of, should a line bound cut it) what stands
// behind the first "=" of a whole line of the file holding key: a piece of
// a long line is no line of its own.
bool FromLine(const std::string& input, const char* key, const std::optional<std::string>& text) {
  if (!text) return true;
  for (std::string line : fuzz::Lines(input)) {
    if (!line.empty() && line[0] == '\0') line.erase(0, 1);
    line = line.substr(0, line.find('\0'));
    const std::size_t eq = line.find('=');
    if (line.find(key) == std::string::npos || eq == std::string::npos) continue;
    if (line.compare(eq + 1, text->size(), *text) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FileInput file("torva.ini", data, size);
  const std::string& input = file.text;
  g_settings = AppSettings{};
  FUZZ_CHECK(LoadSettings() == 1);
  const std::string first = Describe(g_settings);
  // Whatever the file says, the values stay in the ranges the Preferences
  // dialog holds them to, and the proxy port names a port.
  FUZZ_CHECK(g_settings.packcount >= 1 && g_settings.packcount <= 20);
  FUZZ_CHECK(g_settings.timeout >= 100 && g_settings.timeout <= 64000);
  FUZZ_CHECK(g_settings.port >= 1 && g_settings.port <= 65535);
  FUZZ_CHECK(FromLine(input, "filename=", g_settings.filename));
  FUZZ_CHECK(FromLine(input, "browser=", g_settings.browser));
  FUZZ_CHECK(FromLine(input, "proxy=", g_settings.proxy));

  FUZZ_CHECK(SaveSettings() == 1);
  const std::string saved = fuzz::ReadFile("torva.ini");
  // What is written is the documented text, byte for byte.
  FUZZ_CHECK(saved == SettingsText());

  // Texts not in the file keep what they had: start from none, as the first
  // load did; every number is written, so those start elsewhere.
  g_settings = OtherNumbers();
  FUZZ_CHECK(LoadSettings() == 1);
  const std::string second = Describe(g_settings);
  if (second != first) {
    std::fprintf(stderr, "loaded: %s\nreloaded: %s\n", first.c_str(), second.c_str());
  }
  FUZZ_CHECK(second == first);

  // The program's own file is a fixed point.
  FUZZ_CHECK(SaveSettings() == 1);
  FUZZ_CHECK(fuzz::ReadFile("torva.ini") == saved);

  return 0;
}
