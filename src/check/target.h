// What a hit's location names, for checking it: the server to ask and what
// to ask it for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct CheckTarget {
  enum class Scheme { kFtp, kHttp };
  Scheme scheme = Scheme::kFtp;
  std::string host;        // as written in the location, without user or port
  std::uint16_t port = 0;  // 21 or 80 when the location names none
  // ftp: the path with its %XX escapes decoded, as SIZE and MDTM take it.
  // http: the path and query as the request line takes them (blanks and
  // control bytes escaped), "/" at least.
  std::string path;
};

// nullopt with why set when the location is not an ftp:// or http:// address
// that can be checked: another scheme, no host, a bad port, or an FTP path
// that would break the command line it goes into (a line break or NUL).
std::optional<CheckTarget> ParseCheckTarget(const std::string& location, std::string* why);

// The "modified" column: YYYY-MM-DD HH:MM:SS from an MDTM answer
// (YYYYMMDDHHMMSS, fractions dropped) or an HTTP date (RFC 1123, RFC 850 or
// asctime). nullopt when the text is neither.
std::optional<std::string> ModifiedFromMdtm(const std::string& text);
std::optional<std::string> ModifiedFromHttpDate(const std::string& text);
