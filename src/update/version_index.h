// The version index: the small directive file the vendor's server returns
// for the "Kite HQ" job. It announces the newest program and Program
// Database, carries news and messages, and can order a new report insert
// file. Also what the Online Version Check dialog shows from it.
#pragma once

#include <optional>
#include <string>

// What the last index announced; kept in memory until the program ends.
struct VersionIndex {
  int latest_version = 0;  // VER1=, e.g. 302 for "3.02"
  int latest_build = 0;    // BUILD=
  std::optional<std::string> build_url;
  std::optional<std::string> soft_version;  // SOFT=: the Program Database
  std::optional<std::string> soft_url;
};

extern VersionIndex g_version_index;

// Reads the directives of an answer (headers included), line by line; a
// last line without a line feed is not read. Shows news and messages in
// message boxes, updates g_version_index and the counters of g_settings
// (lastwarn, news, upgradenew) and orders the insert-file download (run
// kind 2) for a newer UPGRADE=. Raises the vendor reply counter and returns
// 1; "#BYE" ends the main window and returns 0 at once. Null: 0.
int ParseVersionIndex(const char* text);
// The vendor reply handler the parser calls with a reply page; start-up
// installs it as g_vendor_reply_handler.
void HandleVendorReply(const char* page);

// What ShowVersionResult puts into the dialog.
struct VersionResult {
  std::string latest_version;     // 1090: "Torvane version 3.02", or empty
  std::string latest_build;       // 1521: "Build: 004", or empty for build 0
  std::string latest_database;    // 1093
  std::string title;              // "Torvane - Online Version Check"
  bool upgrade_program = false;   // 1154
  bool upgrade_database = false;  // 1316
  bool ok = true;                 // 1158
};
// Computed from g_version_index and the installed catalogue version.
VersionResult ComputeVersionResult();
// Fills the open dialog with ComputeVersionResult().
void ShowVersionResult();
// The version number as it is written: a full stop after the first digit
// (301 gives "3.01").
std::string VersionNumberText(int number);
// A database version as a number for comparison: the text without its
// first full stop, read as an integer ("2.10" is 210, "2.9" is 29); a
// missing text counts as "0".
int DatabaseVersionNumber(const std::optional<std::string>& version);
