// The request builder: turns a job record (an engine's record copied for one
// search term) into the exact bytes of one HTTP/1.0 request, GET or POST,
// direct or through the proxy of g_settings, and takes URLs apart into the
// host, port and path a connection needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engines/engines.h"

// The expanded template and the encoded search term may each hold at most
// this many characters; a longer request is refused rather than cut, since a
// cut search term would ask the engine for something else.
constexpr std::size_t kRequestTextLimit = 2048;
constexpr std::size_t kEncodedTermLimit = 2047;
constexpr std::size_t kPostHeaderLimit = 2047;

// Form encoding: ASCII letters and digits, "*", ".", "-" and "_" stay, every
// other byte becomes "%" and two upper-case hex digits, and blanks become "+".
std::string UrlEncode(const std::string& text);

// The template of job with the search term, Max Files and (for POST) the
// header block put in. A request naming the vendor's server comes back as it
// is. Null when there is no job or its request is null or empty, or when the
// result would be too long (then *reason, if given, says why).
std::optional<std::string> ExpandTemplate(const EngineEntry* job, std::string* reason = nullptr);

// The request bytes for job. Replaces job.request with the expanded template,
// so that the response handler and a redirect see the URL actually asked.
// Null (and job unchanged) when the request can't be built: too long, an
// empty address, UrlPort of the expanded URL is kInvalidPort, or a text
// that would not keep to its line (a blank or control character in the
// address, a control character in the home page sent as Referer, "/POST"
// or "$HTTP" outside the form "/POST target $HTTPbody"). *reason then holds
// a status text for the slot (empty for a job without a request).
std::optional<std::string> BuildRequest(EngineEntry& job, std::string* reason = nullptr);

// Host name of a URL (behind "//", up to the first "/" or ":"); null for null.
std::optional<std::string> UrlHost(const char* url);
std::optional<std::string> UrlHost(const std::string& url);
// UrlPort's answer for an address that names a port outside 1-65535 (or a
// port that is no number): such a request is an error, never a connection
// to the number cut to 16 bits.
constexpr std::int32_t kInvalidPort = -1;
// Port to connect to for a URL: the proxy port when a proxy is set, else the
// port the URL names, else 80. A ":" in the host part must be followed by
// 1-65535 and nothing else up to the path ("h:" alone names no port); a ":"
// further on (the host part has none) is read as a number as it always was,
// 80 when it is none or below 1. kInvalidPort when the URL's port or the
// proxy port is out of range, also when a proxy is set.
std::int32_t UrlPort(const char* url);
std::int32_t UrlPort(const std::string& url);
// Path of a URL from the first "/" behind "//" ("/" when there is none), cut
// at its first ":" unless it is a POST path; null for a null URL.
std::optional<std::string> UrlPath(const char* url);
std::optional<std::string> UrlPath(const std::string& url);

// Appends src to dst up to (not including) the first stop character; returns
// dst. A null src appends nothing.
std::string& AppendUntil(std::string& dst, const char* src, char stop);

// Where a job's connection goes: the engine's host, or the proxy host when a
// proxy is set, and the port UrlPort gives.
struct ConnectPoint {
  std::string host;
  std::int32_t port = 80;
};
// Null when the job has no request or its port is kInvalidPort.
std::optional<ConnectPoint> ConnectTarget(const EngineEntry& job);
