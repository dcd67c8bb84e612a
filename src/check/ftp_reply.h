// Reading an FTP server's replies off the control connection.
//
// A reply is one line "ddd text", or several: "ddd-text", any lines, and a
// last line "ddd text" with the same code. The reader takes the bytes as
// recv() hands them over, cut anywhere, and gives back whole replies. A
// server that sends no reply code, or a reply that never ends, is told apart
// from one that is merely slow: both end as a bad reply, so nothing waits on
// them beyond the byte bound.
#pragma once

#include <cstddef>
#include <string>

struct FtpReply {
  int code = 0;      // 100..599
  std::string text;  // the first line behind the code, line end removed
  std::size_t lines = 0;
};

class FtpReplyReader {
 public:
  enum class Result {
    kNeedMore,  // no whole reply yet
    kReply,     // one reply taken; more may follow from the bytes added
    kBad,       // not an FTP reply, or longer than the bound: error() says why
  };

  // limit: the most bytes one reply may take, its line ends included.
  explicit FtpReplyReader(std::size_t limit);

  // Bytes as they came. Nothing is read from them until Take.
  void Add(const char* data, std::size_t n);
  // The next whole reply, if the bytes added so far hold one. After kBad
  // every further call gives kBad.
  Result Take(FtpReply* reply);
  const std::string& error() const { return error_; }
  // Bytes added and not yet part of a reply taken.
  std::size_t Pending() const { return buffer_.size() - start_; }

 private:
  Result Fail(const std::string& why);

  std::size_t limit_;
  std::string buffer_;
  std::size_t start_ = 0;  // where the reply being read begins
  std::size_t scan_ = 0;   // where the next line of that reply begins
  int code_ = 0;           // of a multi-line reply under way, else 0
  FtpReply current_;
  std::string error_;
};
