// AppSettings: the program-wide preferences and counters kept in torva.ini.
#pragma once

#include <optional>
#include <string>

// The proxy port a fresh start has, and what torva.ini's port falls back
// to when it names no port a socket can take (outside 1-65535).
constexpr int kDefaultProxyPort = 8080;

struct AppSettings {
  int packcount = 20;                   // connections a Hunt uses, 1..20
  int format = 0;                       // stored and written back unchanged
  std::optional<std::string> filename;  // current project file
  std::optional<std::string> browser;
  std::optional<std::string> proxy;  // none or empty: direct connections
  int port = kDefaultProxyPort;      // proxy port, 1..65535
  int sort = 0;                      // stored and written back unchanged
  int lastwarn = 0;
  int exact = 1;
  int files = 50;  // Max Files, sent as $HITS
  int news = 0;
  int next = 1;  // running number 1..99 for $COUNT in report inserts
  int upgrade = 0;
  int upgradenew = 0;
  long timeout = 2000;  // ms, period of the Hunt's timeout timer, 100..64000
  int newwin = 0;
};

extern AppSettings g_settings;

// Reads torva.ini from the working directory (defaults when missing);
// always returns 1.
int LoadSettings();
// Writes torva.ini; 1 on success, 0 (after the error box "Unable to open
// file 'torva.ini'") when it can't be created or written.
int SaveSettings();
// True when a proxy host is set and not empty.
bool ProxySet();

// The ranges the Preferences dialog holds the values to, which torva.ini is
// held to as well: 1-20 connections (there are 20 slots), a timeout period
// of 100-64000 ms (a shorter tick aborts connections before they can
// answer).
int ClampPackcount(long count);
long ClampTimeout(long ms);

// The exact text SaveSettings writes.
std::string SettingsText();
// atoi/atol as the data files are read with: leading blanks, an optional
// sign and digits; anything else reads as 0. Out-of-range values clamp
// instead of being undefined. Null reads as 0.
int TextToInt(const char* text);
long TextToLong(const char* text);
