#include "update/version_index.h"

#include <cctype>
#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "hunt/controller.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "util/text.h"
#include "util/vendor.h"

VersionIndex g_version_index;

namespace {

constexpr int kNewsCaption = 1448;
constexpr int kMessageCaption = 1449;

bool Starts(const std::string& line, const char* name) {
  return line.compare(1, std::strlen(name), name) == 0;
}

// The text from 'from' up to the first ";" (or the end of the line).
std::string UpToSemicolon(const std::string& line, std::size_t from) {
  if (from >= line.size()) return std::string();
  const std::size_t semi = line.find(';', from);
  return line.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
}

void ShowMessage(const std::string& text, int caption) {
  platform::ui().MessageBox(text, LoadText(caption), platform::kMbOk);
}

// "number,text": the number before the comma and the message behind it.
bool SplitNumberText(const std::string& line, std::size_t from, int& number, std::string& text) {
  const std::size_t comma = line.find(',', from);
  if (comma == std::string::npos) return false;
  number = TextToInt(line.substr(from, comma - from).c_str());
  text = UpToSemicolon(line, comma + 1);
  return true;
}

// One "#" line; false after "#BYE".
bool RunDirective(const std::string& line) {
  int number = 0;
  std::string text;
  if (Starts(line, "NEWS=")) {
    if (SplitNumberText(line, 6, number, text) && number > g_settings.news) {
      ShowMessage(text, kNewsCaption);
      g_settings.news = number;
    }
  } else if (Starts(line, "MESSAGE=")) {
    ShowMessage(UpToSemicolon(line, 9), kMessageCaption);
  } else if (Starts(line, "MESSAGEV=")) {
    if (SplitNumberText(line, 10, number, text) && number < TORVANE_VERSION_NUMBER) {
      ShowMessage(text, kMessageCaption);
    }
  } else if (Starts(line, "MESSAGEVEQ=")) {
    if (SplitNumberText(line, 12, number, text) && number == TORVANE_VERSION_NUMBER) {
      ShowMessage(text, kMessageCaption);
    }
  } else if (Starts(line, "BYE")) {
    platform::ui().EndMainWindow();
    return false;
  } else if (Starts(line, "BUILD=")) {
    g_version_index.latest_build = TextToInt(line.c_str() + 7);
    const std::size_t semi = line.find(';', 7);
    if (semi != std::string::npos) g_version_index.build_url = UpToSemicolon(line, semi + 1);
  } else if (Starts(line, "SOFT=")) {
    std::string version = UpToSemicolon(line, 6);
    std::string trimmed(Trim(&version[0]));
    g_version_index.soft_version = trimmed;
    const std::size_t semi = line.find(';', 6);
    if (semi != std::string::npos) g_version_index.soft_url = UpToSemicolon(line, semi + 1);
  } else if (Starts(line, "VER1=")) {
    number = TextToInt(line.c_str() + 6);
    g_version_index.latest_version = number;
    g_settings.lastwarn = number;
    const std::size_t semi = line.find(';', 6);
    if (number > TORVANE_VERSION_NUMBER && semi != std::string::npos) {
      ShowMessage(UpToSemicolon(line, semi + 1), kMessageCaption);
    }
  } else if (Starts(line, "UPGRADE=")) {
    number = TextToInt(line.c_str() + 9);
    if (number > g_settings.upgrade) {
      // A Hunt that turned into the download would drop the engine jobs
      // not yet handed out and end without its report: there the file is
      // one job more.
      if (g_hunt.run_kind == kRunHunt) {
        g_hunt.insert_download_ordered = 1;
      } else if (g_hunt.run_kind == kRunVersionCheck) {
        g_hunt.run_kind = kRunInsertDownload;
      }
      g_settings.upgradenew = number;
    }
  }
  return true;
}

}  // namespace

int ParseVersionIndex(const char* text) {
  if (!text) return 0;
  // A message box re-enters the message loop, which may free the reply
  // this points into; work on a copy.
  const std::string page(text);
  std::size_t at = 0;
  for (;;) {
    const std::size_t lf = page.find('\n', at);
    if (lf == std::string::npos) break;  // a last line without LF is not read
    std::string line = page.substr(at, lf - at);
    // Servers end lines with CR LF; the CR belongs to no directive.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = lf + 1;
    while (at < page.size() && std::isspace(static_cast<unsigned char>(page[at]))) ++at;
    if (line.empty() || line[0] != '#') continue;
    if (!RunDirective(line)) return 0;
  }
  ++g_hunt.vendor_replies;
  return 1;
}

void HandleVendorReply(const char* page) {
  ParseVersionIndex(page);
}

std::string VersionNumberText(int number) {
  std::string digits = IntToText(number);
  if (digits.size() > 1) digits.insert(1, ".");
  return digits;
}

int DatabaseVersionNumber(const std::optional<std::string>& version) {
  std::string text = version ? *version : std::string("0");
  const std::size_t dot = text.find('.');
  if (dot != std::string::npos) text.erase(dot, 1);
  return TextToInt(text.c_str());
}

VersionResult ComputeVersionResult() {
  const VersionIndex& v = g_version_index;
  VersionResult r;
  if (v.latest_version >= 101) {
    r.latest_version =
        Format(LoadText(1491), TORVANE_PRODUCT_NAME, VersionNumberText(v.latest_version).c_str());
  }
  if (v.latest_build != 0) r.latest_build = Format(LoadText(1496), v.latest_build);
  r.latest_database = v.soft_version ? *v.soft_version : std::string();
  r.title = LoadText(1497);
  r.upgrade_program =
      v.build_url && (v.latest_version >= 302 ||
                      (v.latest_version == TORVANE_VERSION_NUMBER && v.latest_build > 3));
  r.upgrade_database = v.soft_url && DatabaseVersionNumber(v.soft_version) >
                                         DatabaseVersionNumber(g_catalogue.version);
  r.ok = true;
  return r;
}

void ShowVersionResult() {
  const VersionResult r = ComputeVersionResult();
  auto& u = platform::ui();
  const auto w = platform::kVersionDialog;
  u.SetText(w, IDC_LATEST_VERSION, r.latest_version);
  u.SetText(w, IDC_LATEST_BUILD, r.latest_build);
  u.SetText(w, IDC_LATEST_DATABASE, r.latest_database);
  u.SetText(w, platform::kWindowTitle, r.title);
  u.Enable(w, IDC_UPGRADE_PROGRAM, r.upgrade_program);
  u.Enable(w, IDC_UPGRADE_DATABASE, r.upgrade_database);
  u.Enable(w, IDC_VERSION_OK, r.ok);
}
