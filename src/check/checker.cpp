#include "check/checker.h"

#include <algorithm>
#include <utility>

#include "hunt/slots.h"
#include "platform/host.h"
#include "settings/settings.h"
#include "util/text.h"

namespace {

// The check runs on its own, never beside a Hunt: it takes the Hunt's poll
// timer for its ticks.
constexpr unsigned kCheckTimer = platform::kTimerPoll;

bool IsFtpState(CheckState s) {
  return s >= CheckState::kGreeting && s <= CheckState::kMdtm;
}

std::string ReplyText(const FtpReply& reply) {
  return reply.text.empty() ? Format("%d", reply.code)
                            : Format("%d %s", reply.code, reply.text.c_str());
}

// Bytes of a hostile answer, shown on one line.
std::string Shown(const std::string& text, std::size_t limit = 200) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && out.size() < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      out += Format("\\x%02x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool Digits(const std::string& s) {
  return !s.empty() && s.size() <= 20 && s.find_first_not_of("0123456789") == std::string::npos;
}

std::string Trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const std::size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

bool SameNoCase(const std::string& s, std::size_t from, const std::string& key) {
  for (std::size_t i = 0; i < key.size(); ++i) {
    char c = s[from + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char k = key[i];
    if (k >= 'A' && k <= 'Z') k = static_cast<char>(k - 'A' + 'a');
    if (c != k) return false;
  }
  return true;
}

// The value of header name (any case) in head, or nullopt.
std::optional<std::string> Header(const std::string& head, const char* name) {
  const std::string key = std::string(name) + ":";
  std::size_t line = head.find('\n');
  while (line != std::string::npos && line + 1 < head.size()) {
    const std::size_t from = line + 1;
    std::size_t to = head.find('\n', from);
    if (to == std::string::npos) to = head.size();
    if (to - from > key.size() && SameNoCase(head, from, key)) {
      return Trimmed(head.substr(from + key.size(), to - from - key.size()));
    }
    line = to == head.size() ? std::string::npos : to;
  }
  return std::nullopt;
}

CheckStatus ConnectFailure(unsigned error) {
  if (error == platform::kWsaEConnRefused) return CheckStatus::kRefused;
  if (error == platform::kWsaETimedOut) return CheckStatus::kTimeout;
  return CheckStatus::kUnreachable;
}

}  // namespace

const char* CheckStatusName(CheckStatus status) {
  switch (status) {
    case CheckStatus::kPending:
      return "pending";
    case CheckStatus::kOk:
      return "ok";
    case CheckStatus::kMissing:
      return "missing";
    case CheckStatus::kMoved:
      return "moved";
    case CheckStatus::kRefused:
      return "refused";
    case CheckStatus::kUnreachable:
      return "unreachable";
    case CheckStatus::kTimeout:
      return "timeout";
    case CheckStatus::kError:
      return "error";
  }
  return "error";
}

std::size_t CheckReplyLimit() {
  return kPieceLimit;
}

std::size_t CheckLocationLimit() {
  return kJobByteLimit;
}

Checker::Checker(std::vector<std::string> locations, CheckOptions options)
    : locations_(std::move(locations)), results_(locations_.size()), options_(std::move(options)) {
  options_.connections = std::clamp(options_.connections, 1, kMaxSlots);
  slots_.resize(static_cast<std::size_t>(options_.connections));
}

Checker::~Checker() {
  if (running_) Stop("cancelled");
}

void Checker::SetState(Slot& s, CheckState state) {
  s.state = state;
}

void Checker::Start() {
  running_ = true;
  deadline_ = Clock::now() + options_.deadline;
  platform::host().SetTimer(kCheckTimer, static_cast<unsigned>(options_.tick.count()));
  FillSlots();
}

void Checker::Stop(const std::string& why) {
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    if (slots_[static_cast<std::size_t>(i)].state != CheckState::kIdle) {
      End(i, CheckStatus::kTimeout, why);
    }
  }
  while (next_ < locations_.size()) Finish(next_++, CheckStatus::kTimeout, why);
  platform::host().KillTimer(kCheckTimer);
  running_ = false;
}

void Checker::FillSlots() {
  for (int i = 0; i < static_cast<int>(slots_.size()) && running_; ++i) {
    // A location that ends at once leaves the slot idle for the next one.
    while (slots_[static_cast<std::size_t>(i)].state == CheckState::kIdle &&
           next_ < locations_.size()) {
      Begin(i, next_++);
    }
  }
  if (Done() && running_) {
    platform::host().KillTimer(kCheckTimer);
    running_ = false;
  }
}

void Checker::Begin(int slot, std::size_t index) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  s = Slot();
  s.index = index;
  s.started = Clock::now();
  std::string why;
  std::optional<CheckTarget> target = ParseCheckTarget(locations_[index], &why);
  if (!target) {
    Finish(index, CheckStatus::kError, why);
    return;
  }
  s.target = *target;
  auto& net = platform::net();
  s.socket = net.OpenSocket();
  if (s.socket == platform::kInvalidSocket) {
    Finish(index, CheckStatus::kError, Format("no socket (error %d)", net.LastError()));
    return;
  }
  std::string host = s.target.host;
  if (s.target.scheme == CheckTarget::Scheme::kFtp && !options_.ftp_host.empty()) {
    host = options_.ftp_host;
  } else if (s.target.scheme == CheckTarget::Scheme::kHttp && !options_.proxy_host.empty()) {
    host = options_.proxy_host;
  }
  const platform::Ipv4 dotted = net.InetAddr(host);
  if (dotted != platform::kInaddrNone) {
    ConnectTo(slot, dotted);
    return;
  }
  SetState(s, CheckState::kLookingUp);
  s.task = net.AsyncGetHostByName(platform::LookupMessage(slot), host);
  if (s.task == 0) End(slot, CheckStatus::kUnreachable, "the host look-up could not start");
}

void Checker::ConnectTo(int slot, platform::Ipv4 address) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  auto& net = platform::net();
  std::uint16_t port = s.target.port;
  if (s.target.scheme == CheckTarget::Scheme::kFtp && !options_.ftp_host.empty()) {
    port = options_.ftp_port;
  } else if (s.target.scheme == CheckTarget::Scheme::kHttp && !options_.proxy_host.empty()) {
    port = options_.proxy_port;
  }
  SetState(s, CheckState::kConnecting);
  if (net.AsyncSelect(s.socket, platform::kMsgConnectionEvent, platform::kFdConnect) != 0) {
    End(slot, CheckStatus::kError, Format("no connect notification (error %d)", net.LastError()));
    return;
  }
  if (net.Connect(s.socket, address, port) == 0) {
    Connected(slot);
    return;
  }
  const int error = net.LastError();
  if (error != platform::kWsaEWouldBlock) {
    End(slot, ConnectFailure(static_cast<unsigned>(error)), Format("error %d", error));
  }
}

void Checker::Connected(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  auto& net = platform::net();
  // The close notice ends a server that hangs up at once; the tick's peek
  // is the fall-back.
  if (net.AsyncSelect(s.socket, platform::kMsgDataEvent, platform::kFdRead | platform::kFdClose) !=
      0) {
    End(slot, CheckStatus::kError, Format("no read notification (error %d)", net.LastError()));
    return;
  }
  if (s.target.scheme == CheckTarget::Scheme::kFtp) {
    s.replies.emplace(CheckReplyLimit());
    SetState(s, CheckState::kGreeting);
    return;
  }
  // Through a proxy the request names the whole location.
  std::string target = s.target.path;
  std::string host = s.target.host;
  if (s.target.port != 80) host += Format(":%u", static_cast<unsigned>(s.target.port));
  if (!options_.proxy_host.empty()) target = "http://" + host + target;
  SetState(s, CheckState::kHead);
  SendLine(slot, "HEAD " + target + " HTTP/1.0\r\nHost: " + host +
                     "\r\nUser-Agent: torvane-cli check\r\nAccept: */*\r\n");
}

bool Checker::SendLine(int slot, const std::string& line) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  const std::string data = line + "\r\n";
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n =
        platform::net().Send(s.socket, data.data() + sent, static_cast<int>(data.size() - sent));
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  // A command is far smaller than an empty socket's send buffer: one that
  // does not go out whole won't go out at all.
  if (sent == data.size()) return true;
  End(slot, CheckStatus::kError,
      Format("the request could not be sent (error %d)", platform::net().LastError()));
  return false;
}

void Checker::Readable(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  auto& net = platform::net();
  const std::size_t index = s.index;
  char buffer[kReadChunk];
  // Read until nothing waits; the slot may end on the way (then its socket
  // is gone and another location may already be in it).
  while (s.state != CheckState::kIdle && s.index == index) {
    const int n = net.Recv(s.socket, buffer, kReadChunk, 0);
    if (n == 0) {
      Closed(slot);
      return;
    }
    if (n < 0) {
      const int error = net.LastError();
      if (error == platform::kWsaEWouldBlock) return;
      End(slot, CheckStatus::kError, Format("the connection broke (error %d)", error));
      return;
    }
    s.received += static_cast<std::size_t>(n);
    if (s.received > CheckLocationLimit()) {
      End(slot, CheckStatus::kError,
          Format("more than %lu bytes received", static_cast<unsigned long>(CheckLocationLimit())));
      return;
    }
    if (s.state == CheckState::kHead) {
      s.head.append(buffer, static_cast<std::size_t>(n));
      OnHttpHead(slot, false);
      continue;
    }
    if (!IsFtpState(s.state) || !s.replies) continue;
    s.replies->Add(buffer, static_cast<std::size_t>(n));
    FtpReply reply;
    for (;;) {
      const FtpReplyReader::Result r = s.replies->Take(&reply);
      if (r == FtpReplyReader::Result::kNeedMore) break;
      if (r == FtpReplyReader::Result::kBad) {
        End(slot, CheckStatus::kError, s.replies->error());
        return;
      }
      OnFtpReply(slot, reply);
      if (s.state == CheckState::kIdle || s.index != index) return;
    }
  }
}

void Checker::Closed(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  if (s.state == CheckState::kHead) {
    OnHttpHead(slot, true);
    return;
  }
  End(slot, CheckStatus::kError,
      s.received == 0 ? "the server closed the connection without a reply"
                      : "the server closed the connection");
}

void Checker::OnFtpReply(int slot, const FtpReply& reply) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  const int kind = reply.code / 100;
  // "120 ready in a minute", "150", ...: the real reply follows.
  if (kind == 1) return;
  switch (s.state) {
    case CheckState::kGreeting:
      if (reply.code != 220) break;
      SetState(s, CheckState::kUser);
      SendLine(slot, "USER anonymous");
      return;
    case CheckState::kUser:
    case CheckState::kPass:
      if (reply.code == 331 && s.state == CheckState::kUser) {
        SetState(s, CheckState::kPass);
        SendLine(slot, "PASS torvane@");
        return;
      }
      if (reply.code != 230 && reply.code != 202) break;
      SetState(s, CheckState::kType);
      SendLine(slot, "TYPE I");
      return;
    case CheckState::kType:
      // Without binary mode a size may be off or refused, but the file
      // can still be there: SIZE and MDTM tell.
      SetState(s, CheckState::kSize);
      SendLine(slot, "SIZE " + s.target.path);
      return;
    case CheckState::kSize:
      s.size_reply = reply;
      SetState(s, CheckState::kMdtm);
      SendLine(slot, "MDTM " + s.target.path);
      return;
    case CheckState::kMdtm: {
      const FtpReply& size = s.size_reply;
      CheckResult& r = results_[s.index];
      if (size.code == 213 && Digits(Trimmed(size.text))) r.size = Trimmed(size.text);
      if (reply.code == 213) r.modified = ModifiedFromMdtm(reply.text).value_or("");
      // Either answer with 213 means the file is there. 550 says it is not,
      // unless the other command found it; another 5xx means the command
      // isn't offered, and a 4xx that the server can't tell now.
      Quit(slot);
      if (size.code == 213 || reply.code == 213) {
        End(slot, CheckStatus::kOk);
      } else if ((size.code == 550 && reply.code / 100 == 5) ||
                 (reply.code == 550 && size.code / 100 == 5)) {
        End(slot, CheckStatus::kMissing, ReplyText(size.code == 550 ? size : reply));
      } else {
        End(slot, CheckStatus::kError, ReplyText(size.code / 100 == 4 ? size : reply));
      }
      return;
    }
    default:
      return;
  }
  // A reply the conversation can't go on from.
  Quit(slot);
  End(slot, CheckStatus::kError, ReplyText(reply));
}

void Checker::Quit(int slot) {
  // The answer is known: QUIT goes out as a courtesy, and the connection is
  // closed without waiting for its reply.
  static const char kQuit[] = "QUIT\r\n";
  platform::net().Send(slots_[static_cast<std::size_t>(slot)].socket, kQuit, sizeof kQuit - 1);
}

void Checker::OnHttpHead(int slot, bool closed) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  std::size_t end = s.head.find("\r\n\r\n");
  if (end == std::string::npos) end = s.head.find("\n\n");
  if (end == std::string::npos) {
    if (s.head.size() > CheckReplyLimit()) {
      End(slot, CheckStatus::kError,
          Format("an answer header longer than %lu bytes",
                 static_cast<unsigned long>(CheckReplyLimit())));
      return;
    }
    // HTTP/1.0 servers end the answer by closing: a header cut short by the
    // close is read as far as it goes.
    if (!closed) return;
  }
  const std::string head = s.head.substr(0, end == std::string::npos ? s.head.size() : end);
  const std::size_t eol = head.find('\n');
  const std::string status_line = Trimmed(head.substr(0, eol));
  const bool http = status_line.size() >= 12 && status_line.compare(0, 5, "HTTP/") == 0;
  const std::size_t blank = status_line.find(' ');
  int code = 0;
  if (http && blank != std::string::npos && blank + 4 <= status_line.size()) {
    const std::string digits = status_line.substr(blank + 1, 3);
    if (Digits(digits)) code = TextToInt(digits.c_str());
  }
  if (code < 100 || code > 599) {
    End(slot, CheckStatus::kError,
        s.head.empty() ? "the server closed the connection without an answer"
                       : "not an HTTP answer: \"" + Shown(status_line) + "\"");
    return;
  }
  const std::string shown = Shown(status_line.substr(blank + 1));
  CheckResult& r = results_[s.index];
  if (code / 100 == 2) {
    const std::optional<std::string> length = Header(head, "Content-Length");
    if (length && Digits(*length)) r.size = *length;
    const std::optional<std::string> date = Header(head, "Last-Modified");
    if (date) r.modified = ModifiedFromHttpDate(*date).value_or("");
    End(slot, CheckStatus::kOk);
  } else if (code == 301 || code == 302 || code == 303 || code == 307 || code == 308) {
    const std::optional<std::string> to = Header(head, "Location");
    End(slot, CheckStatus::kMoved, to ? Shown(*to, 2048) : shown);
  } else if (code == 404 || code == 410) {
    End(slot, CheckStatus::kMissing, shown);
  } else {
    End(slot, CheckStatus::kError, shown);
  }
}

void Checker::End(int slot, CheckStatus status, std::string detail) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  if (s.state == CheckState::kIdle) return;
  auto& net = platform::net();
  if (s.state == CheckState::kLookingUp && s.task != 0) net.CancelAsyncRequest(s.task);
  if (s.socket != platform::kInvalidSocket) net.Close(s.socket);
  s.socket = platform::kInvalidSocket;
  s.task = 0;
  s.replies.reset();
  s.head.clear();
  s.head.shrink_to_fit();
  SetState(s, CheckState::kIdle);
  Finish(s.index, status, detail);
}

void Checker::Finish(std::size_t index, CheckStatus status, const std::string& detail) {
  CheckResult& r = results_[index];
  if (r.status != CheckStatus::kPending) return;
  r.status = status;
  r.detail = detail;
  ++finished_;
  if (on_done) on_done(index);
}

int Checker::SlotOfSocket(platform::Socket s) const {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].state != CheckState::kIdle && slots_[i].socket == s) return static_cast<int>(i);
  }
  return -1;
}

void Checker::Tick() {
  const Clock::time_point now = Clock::now();
  if (now >= deadline_) {
    Stop("the check's deadline passed");
    return;
  }
  for (int i = 0; i < static_cast<int>(slots_.size()); ++i) {
    Slot& s = slots_[static_cast<std::size_t>(i)];
    if (s.state == CheckState::kIdle) continue;
    if (now - s.started >= options_.timeout) {
      End(i, CheckStatus::kTimeout);
      continue;
    }
    // Windows announces no end of stream: a peek finds a server that has
    // closed, and data that came without a notice.
    if (s.state >= CheckState::kGreeting) {
      char byte = 0;
      if (platform::net().Recv(s.socket, &byte, 1, platform::kMsgPeek) >= 0) Readable(i);
    }
  }
}

void Checker::Handle(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  if (!running_) return;
  if (msg == platform::kWmTimer && w == kCheckTimer) {
    Tick();
  } else if (platform::IsLookupMessage(msg)) {
    const int slot = static_cast<int>(msg - platform::kMsgLookupDoneBase);
    if (slot >= static_cast<int>(slots_.size())) return;
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.state != CheckState::kLookingUp || s.task != w) return;
    const unsigned error = platform::AsyncError(l);
    const std::optional<platform::Ipv4> address = platform::net().LookupResult(s.task);
    s.task = 0;
    if (error != 0 || !address) {
      End(slot, CheckStatus::kUnreachable, Format("host not found (error %u)", error));
    } else {
      ConnectTo(slot, *address);
    }
  } else if (msg == platform::kMsgConnectionEvent) {
    const int slot = SlotOfSocket(static_cast<platform::Socket>(w));
    if (slot < 0 || slots_[static_cast<std::size_t>(slot)].state != CheckState::kConnecting) return;
    const unsigned error = platform::SelectError(l);
    if (error != 0) {
      End(slot, ConnectFailure(error), Format("error %u", error));
    } else {
      Connected(slot);
    }
  } else if (msg == platform::kMsgDataEvent) {
    const int slot = SlotOfSocket(static_cast<platform::Socket>(w));
    if (slot < 0) return;
    const unsigned error = platform::SelectError(l);
    if (error != 0) {
      End(slot, CheckStatus::kError, Format("the connection broke (error %u)", error));
    } else {
      Readable(slot);
    }
  } else {
    return;
  }
  FillSlots();
}
