#include "hunt/response.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "hunt/hunt_state.h"
#include "hunt/job_observer.h"
#include "hunt/page_reader.h"
#include "hunt/slots.h"
#include "platform/ui.h"
#include "reports/page_capture.h"
#include "settings/report_inserts.h"
#include "settings/settings.h"
#include "update/catalogue_upgrade.h"
#include "update/version_index.h"
#include "util/file.h"
#include "util/text.h"
#include "util/vendor.h"

namespace {

constexpr std::size_t kHeadLength = 100;

bool NamesVendorReply(const EngineEntry& job) {
  if (!job.request) return false;
  const std::string& r = *job.request;
  return r.find("." TORVANE_VENDOR_DOMAIN) != std::string::npos &&
         r.find("cgi") != std::string::npos;
}

// Only the job handed out as the vendor's reaches the version check: an
// engine can name the vendor's news in its own address or in a redirect,
// but its job never carries the vendor flag.
bool IsVendorReply(const EngineEntry& job) {
  return (job.request_flags & kRequestVendorJob) && NamesVendorReply(job);
}

bool StartsNoCase(const char* text, const char* word) {
  for (; *word; ++text, ++word) {
    if (std::tolower(static_cast<unsigned char>(*text)) !=
        std::tolower(static_cast<unsigned char>(*word))) {
      return false;
    }
  }
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The status code of the answer's status line ("HTTP/1.0 302 Found" gives
// 302), or 0 when the answer begins with none. Only the status line counts:
// "302" in a header (X-Id: 302, Content-Length: 13024) is no redirect, and
// "200" behind the first line is no good status. The code has to stand in
// the first kHeadLength characters, as it always had.
int StatusCode(const char* answer) {
  if (!StartsNoCase(answer, "HTTP/")) return 0;
  const char* p = answer + 5;
  while (*p && *p != ' ' && *p != '\r' && *p != '\n') ++p;
  while (*p == ' ') ++p;
  if (p + 3 > answer + kHeadLength || !IsDigit(p[0]) || !IsDigit(p[1]) || !IsDigit(p[2])) return 0;
  if (p[3] && p[3] != ' ' && p[3] != '\r' && p[3] != '\n') return 0;
  return (p[0] - '0') * 100 + (p[1] - '0') * 10 + (p[2] - '0');
}

// The value of the Location header when it is an absolute http address, or
// null. The header lines run from behind the status line to the first
// empty one.
const char* LocationAddress(const char* answer) {
  for (const char* line = std::strchr(answer, '\n'); line; line = std::strchr(line, '\n')) {
    ++line;
    if (*line == '\r' || *line == '\n' || !*line) return nullptr;
    if (StartsNoCase(line, "Location:")) {
      const char* value = line + 9;
      while (*value == ' ' || *value == '\t') ++value;
      return StartsNoCase(value, "http://") ? value : nullptr;
    }
  }
  return nullptr;
}

// The redirect target: from the first "http:" up to the line feed, without
// trailing blanks and CRs, at most one scratch line long.
std::string RedirectTarget(const char* from) {
  std::size_t n = 0;
  while (from[n] && from[n] != '\n' && n < static_cast<std::size_t>(kLineLimit)) ++n;
  while (n > 0 && (from[n - 1] == ' ' || from[n - 1] == '\r')) --n;
  return std::string(from, n);
}

// Records an answer that is no page: its start as the status, the answer
// as the engine's page, the request-error bit.
void RecordRequestError(int slot, ConnSlot& s, const char* answer, const char* head) {
  SetSlotStatus(slot, "%s", Format(LoadText(1519), head).c_str());
  SaveEngineMessagePage(&*s.job, answer);
  if (g_hunt.run_kind == kRunHunt) SaveEnginePage(answer, s.received, &*s.job);
  s.job->request_flags |= kRequestError;
}

// The last path segment of a URL, trimmed, when it is a plain file name
// ending in ".idx": a redirect may name anything, and the program's own
// files (torva.ini, engines.dat) or a path out of the working directory
// must never be written from the network.
std::optional<std::string> DownloadFileName(const char* url) {
  const char* slash = std::strrchr(url, '/');
  std::string name = slash ? slash + 1 : url;
  char buf[kScratchSize];
  CopyN(buf, name.c_str(), kLineLimit);
  name = Trim(buf);
  if (name.size() < 4 || !StartsNoCase(name.c_str() + name.size() - 4, ".idx")) {
    return std::nullopt;
  }
  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return std::nullopt;
    }
  }
  return name;
}

}  // namespace

const char* WholeBody(const char* answer, std::size_t length, std::size_t* body_length) {
  const char* end = nullptr;
  for (std::size_t i = 0; i + 4 <= length; ++i) {
    if (std::memcmp(answer + i, "\r\n\r\n", 4) == 0) {
      end = answer + i + 4;
      break;
    }
  }
  if (!end) return nullptr;
  *body_length = length - static_cast<std::size_t>(end - answer);
  // The header lines: from behind the status line up to the empty one.
  for (const char* lf = std::strchr(answer, '\n'); lf && lf + 1 < end;
       lf = std::strchr(lf + 1, '\n')) {
    const char* line = lf + 1;
    if (StartsNoCase(line, "Content-Length:")) {
      const long declared = TextToLong(line + 15);
      if (declared < 0 || static_cast<std::size_t>(declared) != *body_length) return nullptr;
    }
  }
  return end;
}

int SaveInsertDownload(const char* answer, std::size_t length, const char* url) {
  if (!answer || !url) return 0;
  if (!DownloadFileName(url)) {
    ErrorBox(LoadText(1503));
    return 0;
  }
  std::size_t body_length = 0;
  const char* body = WholeBody(answer, length, &body_length);
  if (!body) return 0;
  // Written aside first: a failed write leaves the old file whole, and the
  // reports read the new one only once it is complete.
  const std::string part = std::string(kReportInsertFile) + ".part";
  FileWriter f(part);
  f.Write(body, body_length);
  std::error_code ec;
  if (f.Close()) std::filesystem::rename(part, kReportInsertFile, ec);
  if (!f.Ok() || ec) {
    DeleteFileAt(part.c_str());
    ErrorBox(LoadText(1503));
    return 0;
  }
  return 1;
}

void SaveJobHits(int slot) {
  if (slot < 0 || slot >= kMaxSlots || !g_slots[slot].job) return;
  const EngineEntry& job = *g_slots[slot].job;
  if (EngineEntry* engine = FindEngineById(job.id)) engine->hits = job.hits;
}

int FinishResponse(int slot, int more) {
  if (slot < 0 || slot >= kMaxSlots) return kFinishConsumed;
  ConnSlot& s = g_slots[slot];
  // Until it returns, the answer is this function's alone: the vendor reply
  // and a failed file write may show message boxes.
  SetSlotState(slot, SlotState::kHandlingAnswer, "answer complete");
  if (s.buffer.empty() || !s.job) {
    ResetSlot(slot, "no answer");
    return kFinishConsumed;
  }
  // The answer becomes one text; bytes behind a NUL in it are only ever
  // passed on with their length.
  if (s.buffer.size() <= s.received) s.buffer.resize(s.received + 1);
  s.buffer[s.received] = '\0';
  char* answer = s.buffer.data();
  char head[kHeadLength + 1];
  CopyN(head, answer, kHeadLength);
  EngineEntry& job = *s.job;

  const int status = StatusCode(answer);
  // A redirect goes to its Location when that is an absolute http address,
  // else to the first "http:" of the answer; with none it is a page.
  const char* http = status == 302 ? FindNoCase(answer, "http:") : nullptr;
  if (http) {
    if (s.redirects >= kMaxRedirects) {
      if (g_job_observer)
        g_job_observer->AnswerRead(slot, answer, s.received, status, nullptr, true);
      // Endless redirects: give up on this job.
      RecordRequestError(slot, s, answer, head);
      ResetSlot(slot, "too many redirects");
      return kFinishConsumed;
    }
    ++s.redirects;
    const char* location = LocationAddress(answer);
    job.request = RedirectTarget(location ? location : http);
    if (g_job_observer) {
      g_job_observer->AnswerRead(slot, answer, s.received, status, &*job.request, false);
    }
    FreeReceiveBuffer(slot);
    SetSlotState(slot, SlotState::kRedirecting, "redirect");
    return kFinishRedirect;
  }
  if (g_job_observer) g_job_observer->AnswerRead(slot, answer, s.received, status, nullptr, false);
  if (job.request_flags & kRequestSaveCatalogue) {
    // Only a whole catalogue with status 200 may replace soft.dat; why any
    // other answer did not is told when the run is over.
    TakeCatalogueDownload(answer, s.received, status, more);
    ResetSlot(slot, "catalogue download read");
    return kFinishConsumed;
  }
  if (status != 200 && status != 302) {
    RecordRequestError(slot, s, answer, head);
    ResetSlot(slot, "bad status");
    return kFinishConsumed;
  }

  if (job.request_flags & kRequestSaveToFile) {
    // The ordered insert file becomes the one the reports read, and only
    // when it came whole with status 200.
    if (status == 200 && more == kAnswerWhole && job.request &&
        SaveInsertDownload(answer, s.received, job.request->c_str())) {
      g_settings.upgrade = g_settings.upgradenew;
      LoadReportInserts();
    }
  } else if (IsVendorReply(job)) {
    HandleVendorReply(answer);
    ResetSlot(slot, "vendor reply read");
    return kFinishConsumed;
  }
  // The vendor's files are no engine's page and hold no hits.
  const bool vendor_file = (job.request_flags & kRequestSaveToFile) != 0;
  if (g_hunt.run_kind == kRunHunt && !vendor_file) SaveEnginePage(answer, s.received, &job);
  if (IsVendorReply(job)) {
    // The vendor's file download redirected to its news: read as the
    // version index, never as an engine's hits.
    HandleVendorReply(answer);
  } else if (!vendor_file) {
    job.hits += ReadResultPage(slot, job, answer, s.received);
  }
  SaveJobHits(slot);
  if (more != kAnswerFollows) {
    ResetSlot(slot, "page delivered");
  } else {
    s.received = 0;
    SetSlotState(slot, SlotState::kReceiving, "piece delivered");
  }
  return kFinishDelivered;
}
