#include "check/target.h"

#include <cstdio>
#include <cstring>

#include "settings/settings.h"
#include "util/text.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool HostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool AllDigits(const std::string& s, std::size_t from, std::size_t to) {
  if (from >= to) return false;
  for (std::size_t i = from; i < to; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

std::string TwoDigits(int v) {
  return Format("%02d", v);
}

}  // namespace

std::optional<CheckTarget> ParseCheckTarget(const std::string& location, std::string* why) {
  CheckTarget t;
  std::size_t p = 0;
  if (StartsWithNoCase(location, "ftp://")) {
    t.scheme = CheckTarget::Scheme::kFtp;
    t.port = 21;
    p = 6;
  } else if (StartsWithNoCase(location, "http://")) {
    t.scheme = CheckTarget::Scheme::kHttp;
    t.port = 80;
    p = 7;
  } else {
    *why = "not an ftp:// or http:// location";
    return std::nullopt;
  }
  std::size_t end = location.find_first_of("/?#", p);
  if (end == std::string::npos) end = location.size();
  std::string authority = location.substr(p, end - p);
  // A user and password in the location are not used: the check logs in
  // anonymously, and an HTTP HEAD sends no credentials.
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  const std::size_t colon = authority.find(':');
  t.host = authority.substr(0, colon);
  if (colon != std::string::npos && colon + 1 < authority.size()) {
    if (!AllDigits(authority, colon + 1, authority.size()) || authority.size() - colon > 6) {
      *why = "the location's port is not a number from 1 to 65535";
      return std::nullopt;
    }
    const long port = TextToLong(authority.c_str() + colon + 1);
    if (port < 1 || port > 65535) {
      *why = "the location's port is not a number from 1 to 65535";
      return std::nullopt;
    }
    t.port = static_cast<std::uint16_t>(port);
  }
  if (t.host.empty()) {
    *why = "the location names no host";
    return std::nullopt;
  }
  for (char c : t.host) {
    if (!HostChar(c)) {
      *why = "the location's host name holds characters a host name can't";
      return std::nullopt;
    }
  }

  std::string rest = location.substr(end);
  const std::size_t hash = rest.find('#');
  if (hash != std::string::npos) rest.resize(hash);
  if (t.scheme == CheckTarget::Scheme::kHttp) {
    // The request line ends at a blank or a line end: those bytes (and the
    // other controls) go as %XX, everything else as written.
    if (rest.empty() || rest[0] != '/') rest.insert(0, "/");
    for (char c : rest) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u <= 0x20 || u == 0x7f) {
        t.path += Format("%%%02X", u);
      } else {
        t.path += c;
      }
    }
    return t;
  }
  // ftp: a query has no meaning; ";type=" is a hint for the transfer.
  const std::size_t cut = rest.find_first_of("?;");
  if (cut != std::string::npos) rest.resize(cut);
  if (rest.empty() || rest == "/") {
    *why = "the location names no file";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
        HexValue(rest[i + 2]) >= 0) {
      c = static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    }
    // A line end would end the command early and let the rest of the path
    // be read as a command of its own.
    if (c == '\r' || c == '\n' || c == '\0') {
      *why = "the location's path holds a line break or NUL byte";
      return std::nullopt;
    }
    t.path += c;
    // Telnet's IAC byte is doubled on the control connection.
    if (c == '\xff') t.path += c;
  }
  return t;
}

std::optional<std::string> ModifiedFromMdtm(const std::string& text) {
  std::size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  if (text.size() - p < 14 || !AllDigits(text, p, p + 14)) return std::nullopt;
  const std::size_t after = p + 14;
  if (after < text.size() && text[after] != '.' && text[after] != ' ') return std::nullopt;
  const std::string d = text.substr(p, 14);
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " " + d.substr(8, 2) + ":" +
         d.substr(10, 2) + ":" + d.substr(12, 2);
}

std::optional<std::string> ModifiedFromHttpDate(const std::string& text) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char month[4] = {};
  int day = 0, year = 0, hh = 0, mm = 0, ss = 0;
  const char* s = text.c_str();
  const char* comma = std::strchr(s, ',');
  bool read = false;
  if (comma) {
    // "Sun, 06 Nov 1994 08:49:37 GMT" or "Sunday, 06-Nov-94 08:49:37 GMT"
    read =
        std::sscanf(comma + 1, " %2d %3s %4d %2d:%2d:%2d", &day, month, &year, &hh, &mm, &ss) ==
            6 ||
        std::sscanf(comma + 1, " %2d-%3s-%4d %2d:%2d:%2d", &day, month, &year, &hh, &mm, &ss) == 6;
    if (read && year < 100) year += year < 70 ? 2000 : 1900;
  } else {
    // "Sun Nov  6 08:49:37 1994"
    char weekday[4] = {};
    read = std::sscanf(s, "%3s %3s %2d %2d:%2d:%2d %4d", weekday, month, &day, &hh, &mm, &ss,
                       &year) == 7;
  }
  if (!read) return std::nullopt;
  int m = 0;
  while (m < 12 && std::strcmp(kMonths[m], month) != 0) ++m;
  if (m == 12 || day < 1 || day > 31 || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 ||
      ss > 60 || year < 1000) {
    return std::nullopt;
  }
  return Format("%04d-", year) + TwoDigits(m + 1) + "-" + TwoDigits(day) + " " + TwoDigits(hh) +
         ":" + TwoDigits(mm) + ":" + TwoDigits(ss);
}
