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
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engines/request.h"
#include "fuzz_support.h"
#include "request_check.h"
#include "settings/settings.h"

namespace {

bool SameJob(const EngineEntry& a, const EngineEntry& b) {
  return a.request == b.request && a.home == b.home && a.query == b.query && a.name == b.name &&
         a.engine_type == b.engine_type;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::HeadlessScope headless;
  FuzzedDataProvider in(data, size);

  g_settings = AppSettings{};
  g_settings.files = in.ConsumeIntegral<int>();
  if (in.ConsumeBool()) {
    g_settings.proxy = in.ConsumeRandomLengthString(64);
    g_settings.proxy->resize(std::strlen(g_settings.proxy->c_str()));
    g_settings.port = in.ConsumeBool() ? in.ConsumeIntegral<int>() : 8080;
  }
  EngineEntry job;
  job.name = "fuzz engine";
  // Templates, home pages and terms reach the builder as C strings (lines
  // of engines.dat, a redirect target, the query field): none holds a NUL.
  auto text = [](std::string t) { return t.substr(0, t.find('\0')); };
  if (in.ConsumeBool()) job.home = text(in.ConsumeRandomLengthString(256));
  if (in.ConsumeBool()) job.query = text(in.ConsumeRandomLengthString(512));
  if (in.ConsumeBool()) job.request = text(in.ConsumeRemainingBytesAsString());
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
    fuzz::CheckRequest(*request);
    const std::optional<ConnectPoint> point = ConnectTarget(job);
    FUZZ_CHECK(point && point->port >= 1 && point->port <= 65535);
  }
  g_settings = AppSettings{};
  return 0;
}
