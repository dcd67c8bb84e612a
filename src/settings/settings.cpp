#include "settings/settings.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ui.h"
#include "util/file.h"
#include "util/text.h"

AppSettings g_settings;

namespace {

const char kSettingsFile[] = "torva.ini";
// Room for a key in front of the longest value the program keeps here (the
// Preferences dialog takes a browser path of 2048 characters).
constexpr std::size_t kSettingsLineLimit = kLineLimit + 16;

// The keys in the order they are tested: the first one found anywhere in a
// line decides what the line sets. Each sets a number or a text (timeout,
// the one long, has neither and is handled by name).
struct KeyField {
  const char* key;
  int AppSettings::*number;
  std::optional<std::string> AppSettings::*text;
};

const KeyField kKeys[] = {
    {"packcount=", &AppSettings::packcount, nullptr},
    {"format=", &AppSettings::format, nullptr},
    {"browser=", nullptr, &AppSettings::browser},
    {"proxy=", nullptr, &AppSettings::proxy},
    {"port=", &AppSettings::port, nullptr},
    {"filename=", nullptr, &AppSettings::filename},
    {"sort=", &AppSettings::sort, nullptr},
    {"lastwarn=", &AppSettings::lastwarn, nullptr},
    {"exact=", &AppSettings::exact, nullptr},
    {"files=", &AppSettings::files, nullptr},
    {"news=", &AppSettings::news, nullptr},
    {"next=", &AppSettings::next, nullptr},
    {"upgrade=", &AppSettings::upgrade, nullptr},
    {"upgradenew=", &AppSettings::upgradenew, nullptr},
    {"timeout=", nullptr, nullptr},
    {"newwin=", &AppSettings::newwin, nullptr},
};

}  // namespace

long TextToLong(const char* text) {
  if (!text) return 0;
  // strtol instead of atol: the same reading of leading blanks, sign and
  // digits, but an out-of-range number is clamped instead of undefined.
  return std::strtol(text, nullptr, 10);
}

int TextToInt(const char* text) {
  const long v = TextToLong(text);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

int ClampPackcount(long count) {
  return count < 1 ? 1 : count > 20 ? 20 : static_cast<int>(count);
}

long ClampTimeout(long ms) {
  return ms < 100 ? 100 : ms > 64000 ? 64000 : ms;
}

bool ProxySet() {
  return g_settings.proxy && !g_settings.proxy->empty();
}

int LoadSettings() {
  FileHandle f = FileOpenRead(kSettingsFile);
  if (!f) {
    g_settings.format = 2;
    g_settings.sort = 1;
    g_settings.lastwarn = 0;
    g_settings.exact = 1;
    g_settings.files = 50;
    return 1;
  }
  LineReader reader(f, kSettingsFile, kSettingsLineLimit);
  std::string text;
  while (reader.Next(text)) {
    TrimRight(text);
    const char* line = text.c_str();
    const KeyField* hit = nullptr;
    for (const KeyField& k : kKeys) {
      if (std::strstr(line, k.key)) {
        hit = &k;
        break;
      }
    }
    if (!hit) continue;
    // Every key ends in "=", so the line holds one.
    const char* value = std::strchr(line, '=') + 1;
    if (hit->number) {
      g_settings.*hit->number = TextToInt(value);
    } else if (hit->text) {
      g_settings.*hit->text = std::string(value);
    } else {
      g_settings.timeout = TextToLong(value);
    }
  }
  FileClose(f);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
  // A port cut to 16 bits would send every request to another port.
  if (g_settings.port < 1 || g_settings.port > 65535) g_settings.port = kDefaultProxyPort;
  g_settings.packcount = ClampPackcount(g_settings.packcount);
  g_settings.timeout = ClampTimeout(g_settings.timeout);
  return 1;
}

std::string SettingsText() {
  const AppSettings& s = g_settings;
  std::string out;
  out += Format("packcount=%i\n", s.packcount);
  out += Format("format=%i\n", s.format);
  if (s.filename) out += Format("filename=%s\n", s.filename->c_str());
  if (s.browser) out += Format("browser=%s\n", s.browser->c_str());
  if (s.proxy) out += Format("proxy=%s\n", s.proxy->c_str());
  out += Format("port=%i\n", s.port);
  out += Format("sort=%i\n", s.sort);
  out += Format("lastwarn=%i\n", s.lastwarn);
  out += Format("exact=%i\n", s.exact);
  out += Format("files=%i\n", s.files);
  out += Format("news=%i\n", s.news);
  out += Format("next=%i\n", s.next);
  out += Format("upgrade=%i\n", s.upgrade);
  out += Format("upgradenew=%i\n", s.upgradenew);
  out += Format("timeout=%li\n", s.timeout);
  out += Format("newwin=%i\n", s.newwin);
  return out;
}

int SaveSettings() {
  FileWriter f(kSettingsFile);
  f.Write(SettingsText());
  // A full disk must not pass for a saved file.
  if (f.Close()) return 1;
  ErrorBox(LoadText(1450));
  return 0;
}
