#include "check/ftp_reply.h"

#include "util/text.h"

namespace {

// What of a reply's text is kept to be shown; a reply may be far longer.
constexpr std::size_t kShownText = 200;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// "ddd" at the start of line, with 1..5 as its first digit, followed by sep
// (or nothing when ends_ok).
int CodeOf(const std::string& buffer, std::size_t from, std::size_t length) {
  if (length < 3) return 0;
  const char* p = buffer.data() + from;
  if (p[0] < '1' || p[0] > '5' || !IsDigit(p[1]) || !IsDigit(p[2])) return 0;
  return (p[0] - '0') * 100 + (p[1] - '0') * 10 + (p[2] - '0');
}

// A line of a hostile server may hold anything: shown with its control
// bytes as escapes, and cut.
std::string Shown(const std::string& buffer, std::size_t from, std::size_t length) {
  std::string out;
  for (std::size_t i = from; i < from + length && out.size() < kShownText; ++i) {
    const unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c < 0x20 || c == 0x7f) {
      out += Format("\\x%02x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

FtpReplyReader::FtpReplyReader(std::size_t limit) : limit_(limit) {}

void FtpReplyReader::Add(const char* data, std::size_t n) {
  if (!error_.empty()) return;
  // Replies taken are dropped once they make up most of the buffer.
  if (start_ > 0 && start_ * 2 >= buffer_.size()) {
    buffer_.erase(0, start_);
    scan_ -= start_;
    start_ = 0;
  }
  buffer_.append(data, n);
}

FtpReplyReader::Result FtpReplyReader::Fail(const std::string& why) {
  error_ = why;
  buffer_.clear();
  start_ = scan_ = 0;
  return Result::kBad;
}

FtpReplyReader::Result FtpReplyReader::Take(FtpReply* reply) {
  if (!error_.empty()) return Result::kBad;
  for (;;) {
    const std::size_t nl = buffer_.find('\n', scan_);
    const std::size_t end = nl == std::string::npos ? buffer_.size() : nl + 1;
    if (end - start_ > limit_) {
      return Fail(Format("a reply longer than %lu bytes", static_cast<unsigned long>(limit_)));
    }
    if (nl == std::string::npos) return Result::kNeedMore;
    const std::size_t from = scan_;
    std::size_t length = nl - from;
    if (length > 0 && buffer_[from + length - 1] == '\r') --length;
    scan_ = nl + 1;
    const int code = CodeOf(buffer_, from, length);
    const char sep = length > 3 ? buffer_[from + 3] : ' ';
    if (code_ == 0) {
      if (code == 0 || (sep != ' ' && sep != '-')) {
        return Fail("not an FTP reply: \"" + Shown(buffer_, from, length) + "\"");
      }
      current_ = FtpReply();
      current_.code = code;
      current_.lines = 1;
      if (length > 4) current_.text = Shown(buffer_, from + 4, length - 4);
      if (sep == '-') {
        code_ = code;
        continue;
      }
    } else {
      ++current_.lines;
      // Lines inside may begin with digits of their own; only the code and
      // a blank end the reply.
      if (code != code_ || sep != ' ') continue;
    }
    code_ = 0;
    start_ = scan_;
    *reply = current_;
    return Result::kReply;
  }
}
