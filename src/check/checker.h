// The dead-link check: is each location still there? Up to 20 locations are
// asked at once over the same non-blocking sockets, messages and loop as a
// Hunt's connection slots (platform/net.h, platform/host.h), each moved one
// step at a time through its own state machine by the messages that concern
// it and by a ticking timer:
//
//   ftp://   an anonymous control connection: greeting, USER anonymous,
//            PASS, TYPE I, SIZE and MDTM of the path, then QUIT. No data
//            connection is ever opened.
//   http://  a HEAD request (through the HTTP proxy when one is set).
//
// Every location ends with one status, however its server behaves: replies
// are bounded in bytes (the Hunt's limits), each location has a time limit
// from its start, and the whole check has a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/ftp_reply.h"
#include "check/target.h"
#include "platform/net.h"

enum class CheckStatus {
  kPending,      // not yet known
  kOk,           // the file is there
  kMissing,      // the server says it is not (550; HTTP 404 or 410)
  kMoved,        // HTTP 3xx: detail is where to (the Location header)
  kRefused,      // the connection was refused
  kUnreachable,  // no address for the host, or no route to it
  kTimeout,      // no answer within the time limit or before the deadline
  kError,        // anything else; detail is the server's reply or what went wrong
};
// "ok", "missing", "moved", "refused", "unreachable", "timeout", "error".
const char* CheckStatusName(CheckStatus status);

struct CheckResult {
  CheckStatus status = CheckStatus::kPending;
  std::string size;      // decimal bytes, empty when the server didn't say
  std::string modified;  // YYYY-MM-DD HH:MM:SS, empty when the server didn't say
  std::string detail;
};

struct CheckOptions {
  int connections = 20;                        // 1..20
  std::chrono::milliseconds timeout{40000};    // per location
  std::chrono::milliseconds deadline{600000};  // for the whole check
  std::chrono::milliseconds tick{100};         // how often the clock is read
  std::string proxy_host;                      // HTTP through it when not empty
  std::uint16_t proxy_port = 0;
  std::string ftp_host;  // every control connection goes here when not empty
  std::uint16_t ftp_port = 0;
};

// Bytes one FTP reply or one HTTP answer header may take, and bytes one
// location may receive in all.
std::size_t CheckReplyLimit();
std::size_t CheckLocationLimit();

// The slot states, one enum for both protocols.
enum class CheckState {
  kIdle,
  kLookingUp,
  kConnecting,
  kGreeting,  // ftp from here
  kUser,
  kPass,
  kType,
  kSize,
  kMdtm,
  kHead,  // http
};

class Checker {
 public:
  using Clock = std::chrono::steady_clock;

  Checker(std::vector<std::string> locations, CheckOptions options);
  ~Checker();
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  // Called with a location's index as soon as its result is final.
  std::function<void(std::size_t)> on_done;

  // Starts the timer and the first locations; the rest happens in Handle.
  void Start();
  // Every message and timer tick of the host loop goes here; what is not
  // the check's is ignored.
  void Handle(unsigned msg, std::uintptr_t w, std::intptr_t l);
  // Stops whatever runs: unfinished locations end as timed out ("cancelled").
  void Stop(const std::string& why);
  bool Done() const { return finished_ == locations_.size(); }

  const std::vector<std::string>& locations() const { return locations_; }
  const std::vector<CheckResult>& results() const { return results_; }

 private:
  struct Slot {
    CheckState state = CheckState::kIdle;
    std::size_t index = 0;
    CheckTarget target;
    platform::Socket socket = platform::kInvalidSocket;
    platform::AsyncTask task = 0;
    Clock::time_point started;
    std::size_t received = 0;
    std::optional<FtpReplyReader> replies;
    std::string head;  // the HTTP answer so far
    FtpReply size_reply;
  };

  void SetState(Slot& s, CheckState state);
  void FillSlots();
  void Begin(int slot, std::size_t index);
  void ConnectTo(int slot, platform::Ipv4 address);
  void Connected(int slot);
  void Readable(int slot);
  void Closed(int slot);
  void Tick();
  void OnFtpReply(int slot, const FtpReply& reply);
  void OnHttpHead(int slot, bool closed);
  bool SendLine(int slot, const std::string& line);
  void Quit(int slot);
  // detail by value: it may be a text of the slot that End clears.
  void End(int slot, CheckStatus status, std::string detail = "");
  void Finish(std::size_t index, CheckStatus status, const std::string& detail);
  int SlotOfSocket(platform::Socket s) const;

  std::vector<std::string> locations_;
  std::vector<CheckResult> results_;
  CheckOptions options_;
  std::vector<Slot> slots_;
  std::size_t next_ = 0;      // the next location to begin
  std::size_t finished_ = 0;  // locations with a final result
  Clock::time_point deadline_;
  bool running_ = false;
};
