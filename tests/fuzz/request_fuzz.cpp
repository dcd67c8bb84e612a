// The request builder with hostile templates (engines.dat lines, redirect
// targets a server names), search terms, home pages, Max Files and proxy
// settings. Whatever goes in, the request is either refused, leaving the
// job as it was, or well formed:
//   - a head of CRLF-terminated lines without any other CR or LF, so nothing
//     a template or a term holds can start a line of its own;
//   - a request line "GET target HTTP/1.0" or "POST target HTTP/1.0" whose
//     target has no blank and no control character;
//   - header lines "Name: value";
//   - a POST body exactly as long as its Content-Length says;
//   - a connection point with a port in 1-65535;
// and the job's request is then the expanded template.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engines/request.h"
#include "fuzz_support.h"
#include "platform/headless_ui.h"
#include "settings/settings.h"

namespace {

bool IsControl(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

bool SameJob(const EngineEntry& a, const EngineEntry& b) {
  return a.request == b.request && a.home == b.home && a.query == b.query && a.name == b.name &&
         a.engine_type == b.engine_type;
}

// The request as C source, for the report of a failed check.
std::string Escaped(const std::string& s) {
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

void CheckRequest(const std::string& out) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::HeadlessUi ui;
  platform::SetUi(&ui);
  FuzzedDataProvider in(data, size);

  g_settings = AppSettings{};
  g_settings.files = in.ConsumeIntegral<int>();
  if (in.ConsumeBool()) {
    g_settings.proxy = in.ConsumeRandomLengthString(64);
    g_settings.port = in.ConsumeBool() ? in.ConsumeIntegral<int>() : 8080;
  }
  EngineEntry job;
  job.name = "fuzz engine";
  if (in.ConsumeBool()) job.home = in.ConsumeRandomLengthString(256);
  if (in.ConsumeBool()) job.query = in.ConsumeRandomLengthString(512);
  if (in.ConsumeBool()) job.request = in.ConsumeRemainingBytesAsString();
  const EngineEntry before = job;

  std::string expand_reason;
  const std::optional<std::string> expanded = ExpandTemplate(&job, &expand_reason);
  std::string reason = "unset";
  const std::optional<std::string> request = BuildRequest(job, &reason);

  if (!request) {
    // Refused: the job is untouched and the slot gets a reason, except for
    // a job that has no request at all.
    FUZZ_CHECK(SameJob(job, before));
    const bool no_request = !before.request || before.request->empty();
    FUZZ_CHECK(no_request ? reason.empty() : !reason.empty());
  } else {
    FUZZ_CHECK(expanded && job.request == *expanded);
    CheckRequest(*request);
    const std::optional<ConnectPoint> point = ConnectTarget(job);
    FUZZ_CHECK(point && point->port >= 1 && point->port <= 65535);
  }
  g_settings = AppSettings{};
  platform::SetUi(nullptr);
  return 0;
}
