// The check every request Torvane sends must pass, shared by the request
// builder's target and the whole-answer target (requests after redirects).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace fuzz {

inline bool IsControl(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

// The request as C source, for the report of a failed check.
inline std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (IsControl(c) || static_cast<unsigned char>(c) >= 0x80) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

// A failed check on a built request shows the request first.
#define REQUEST_CHECK(cond)                                                   \
  do {                                                                        \
    if (!(cond)) std::fprintf(stderr, "request: %s\n", Escaped(out).c_str()); \
    FUZZ_CHECK(cond);                                                         \
  } while (0)

// Well formed: CRLF-terminated head lines without any other CR or LF, a
// request line "GET|POST target HTTP/1.0" whose target has no blank or
// control character, "Name: value" header lines, and a POST body exactly
// as long as its Content-Length.
inline void CheckRequest(const std::string& out) {
  const std::size_t head_end = out.find("\r\n\r\n");
  REQUEST_CHECK(head_end != std::string::npos);
  const std::string head = out.substr(0, head_end + 2);
  const std::string body = out.substr(head_end + 4);

  std::vector<std::string> lines;
  for (std::size_t at = 0; at < head.size();) {
    const std::size_t crlf = head.find("\r\n", at);
    lines.push_back(head.substr(at, crlf - at));
    at = crlf + 2;
  }
  // No line of the head holds a CR or LF of its own.
  for (const std::string& l : lines) {
    REQUEST_CHECK(l.find('\r') == std::string::npos && l.find('\n') == std::string::npos);
  }

  const std::string& first = lines[0];
  const bool post = fuzz::StartsWith(first, "POST ");
  REQUEST_CHECK(post || fuzz::StartsWith(first, "GET "));
  const std::string tail = " HTTP/1.0";
  REQUEST_CHECK(first.size() > tail.size() &&
                first.compare(first.size() - tail.size(), tail.size(), tail) == 0);
  const std::size_t from = post ? 5 : 4;
  const std::string target = first.substr(from, first.size() - tail.size() - from);
  REQUEST_CHECK(!target.empty());
  for (char c : target) REQUEST_CHECK(c != ' ' && !IsControl(c));

  int lengths = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    const std::size_t colon = l.find(':');
    REQUEST_CHECK(colon != std::string::npos && colon > 0);
    for (std::size_t k = 0; k < colon; ++k) REQUEST_CHECK(l[k] != ' ' && !IsControl(l[k]));
    if (l.compare(0, colon, "Content-Length") == 0) {
      ++lengths;
      REQUEST_CHECK(l.substr(colon + 1) == " " + std::to_string(body.size()));
    }
  }
  if (post) {
    REQUEST_CHECK(lengths == 1);
  } else {
    // A GET has no body (the builder closes its head with one more CRLF).
    REQUEST_CHECK(lengths == 0 && (body.empty() || body == "\r\n"));
  }
}

}  // namespace fuzz
