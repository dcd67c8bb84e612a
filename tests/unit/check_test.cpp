// The dead-link check's pieces that need no network: the FTP reply reader
// (fed cut at every byte, as recv() may hand it over), what a location asks
// for, the dates of the "modified" column, and the pruned project text.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "check/ftp_reply.h"
#include "check/prune.h"
#include "check/target.h"

namespace {

struct Read {
  std::vector<std::string> replies;  // "code|lines|text" of each reply taken
  bool bad = false;
  std::string error;
};

// Feeds bytes in pieces of at most step bytes and takes every reply.
Read Feed(const std::string& bytes, std::size_t step, std::size_t limit = 512) {
  FtpReplyReader reader(limit);
  Read out;
  for (std::size_t at = 0; at < bytes.size() && !out.bad; at += step) {
    reader.Add(bytes.data() + at, std::min(step, bytes.size() - at));
    FtpReply reply;
    for (;;) {
      const FtpReplyReader::Result r = reader.Take(&reply);
      if (r == FtpReplyReader::Result::kNeedMore) break;
      if (r == FtpReplyReader::Result::kBad) {
        out.bad = true;
        out.error = reader.error();
        break;
      }
      out.replies.push_back(std::to_string(reply.code) + "|" + std::to_string(reply.lines) + "|" +
                            reply.text);
    }
  }
  return out;
}

TEST(FtpReplyReader, RepliesAreTheSameHoweverTheBytesAreCut) {
  const std::string bytes =
      "220-Welcome\r\n"
      "   230 lines inside may begin with digits\r\n"
      "220-or with the code and a dash\r\n"
      "331 or with another code and a blank\r\n"
      "220 ready\r\n"
      "150 about to\n"  // a bare LF ends a line too
      "213 1234\r\n"
      "550\r\n"           // a code alone
      "226 \x01\x7f\r\n"  // control bytes shown as escapes
      "213 20240101";     // no line end yet: not a reply
  const std::vector<std::string> want = {"220|5|Welcome", "150|1|about to", "213|1|1234", "550|1|",
                                         "226|1|\\x01\\x7f"};
  for (std::size_t step = 1; step <= bytes.size(); ++step) {
    const Read r = Feed(bytes, step);
    ASSERT_FALSE(r.bad) << "step " << step << ": " << r.error;
    ASSERT_EQ(r.replies, want) << "step " << step;
  }
}

TEST(FtpReplyReader, GarbageAndEndlessRepliesEndAsBadReplies) {
  // Not a reply: no code, a code out of range, a code without blank or dash.
  for (const char* bytes :
       {"HTTP/1.0 200 OK\r\n", "600 no\r\n", "099 no\r\n", "220x\r\n", "\r\n", "22 short\r\n"}) {
    const Read r = Feed(bytes, 3);
    EXPECT_TRUE(r.bad) << bytes;
    EXPECT_NE(r.error.find("not an FTP reply"), std::string::npos) << r.error;
  }
  // A multi-line reply that never ends, and one endless line: each fails as
  // soon as it passes the bound, not when (if ever) it ends.
  std::string endless = "220-x\r\n";
  while (endless.size() < 4096) endless += "220-again\r\n";
  for (const std::string& bytes : {endless, "220 " + std::string(4096, 'a')}) {
    FtpReplyReader reader(512);
    FtpReply reply;
    std::size_t fed = 0;
    FtpReplyReader::Result r = FtpReplyReader::Result::kNeedMore;
    while (r == FtpReplyReader::Result::kNeedMore && fed < bytes.size()) {
      reader.Add(bytes.data() + fed, 7);
      fed += 7;
      r = reader.Take(&reply);
    }
    EXPECT_EQ(r, FtpReplyReader::Result::kBad);
    EXPECT_LE(fed, 512u + 7u);
    EXPECT_EQ(reader.error(), "a reply longer than 512 bytes");
    // And it stays failed, whatever comes after.
    reader.Add("220 ok\r\n", 8);
    EXPECT_EQ(reader.Take(&reply), FtpReplyReader::Result::kBad);
  }
  // Up to the bound is fine, also for the replies that follow it.
  const std::string whole = "213-" + std::string(500, 'b') + "\r\n213 end\r\n";
  EXPECT_EQ(Feed(whole + whole, 1, whole.size()).replies.size(), 2u);
  EXPECT_TRUE(Feed(whole, 1, whole.size() - 1).bad);
}

TEST(CheckTarget, WhatALocationAsksFor) {
  std::string why;
  auto ftp = ParseCheckTarget("FTP://user:pw@Host.example:2121/pub/a%20b%FF.txt;type=i", &why);
  ASSERT_TRUE(ftp) << why;
  EXPECT_EQ(ftp->scheme, CheckTarget::Scheme::kFtp);
  EXPECT_EQ(ftp->host, "Host.example");
  EXPECT_EQ(ftp->port, 2121);
  EXPECT_EQ(ftp->path, "/pub/a b\xff\xff.txt");  // Telnet's IAC doubled

  auto http = ParseCheckTarget("http://h?q=a b\r\n#frag", &why);
  ASSERT_TRUE(http) << why;
  EXPECT_EQ(http->port, 80);
  EXPECT_EQ(http->path, "/?q=a%20b%0D%0A");

  // A line break would smuggle a command of its own onto the connection.
  for (const char* bad :
       {"ftp://h/a%0d%0aDELE%20x", "ftp://h/a%00", "ftp://h/", "ftp://h", "ftp:///x", "ftp://h:0/x",
        "ftp://h:65536/x", "ftp://h:8x/x", "ftp://h o/x", "https://h/x", "readme.txt"}) {
    why.clear();
    EXPECT_FALSE(ParseCheckTarget(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

TEST(CheckTarget, ModifiedDates) {
  EXPECT_EQ(ModifiedFromMdtm("20240229235960"), "2024-02-29 23:59:60");
  EXPECT_EQ(ModifiedFromMdtm("20240101120000.123"), "2024-01-01 12:00:00");
  EXPECT_FALSE(ModifiedFromMdtm("2024010112000"));
  EXPECT_FALSE(ModifiedFromMdtm("202401011200001"));
  EXPECT_FALSE(ModifiedFromMdtm("File not found"));
  for (const char* date : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994"}) {
    EXPECT_EQ(ModifiedFromHttpDate(date), "1994-11-06 08:49:37") << date;
  }
  EXPECT_FALSE(ModifiedFromHttpDate("Sun, 06 Foo 1994 08:49:37 GMT"));
  EXPECT_FALSE(ModifiedFromHttpDate("Sun, 36 Nov 1994 08:49:37 GMT"));
  EXPECT_FALSE(ModifiedFromHttpDate("yesterday"));
}

TEST(Prune, OnlyTheGoneHitsLeaveTheFile) {
  // A header line that looks like a hit, CR LF and LF lines, escapes in a
  // location, a last line without a line end.
  const std::string head = "query=a<1>ftp://h/gone<2><3><4><5>\r\nBODY=\r\n";
  const std::string keep = "a<1>ftp://h/keep<2>1<3>d<4>0<5>0\r\n";
  const std::string gone1 = "b<1>ftp://h/gone<2>2<3>d<4>0<5>0\n";
  const std::string gone2 = "c<1>ftp://h/<5>3C1>x<2><3><4>0<5>0";
  const std::string text = head + keep + gone1 + "not a hit\r\n" + gone2;
  std::size_t dropped = 9;
  EXPECT_EQ(PruneProjectText(text, {"ftp://h/gone", "ftp://h/<1>x"}, &dropped),
            head + keep + "not a hit\r\n");
  EXPECT_EQ(dropped, 2u);
  EXPECT_EQ(PruneProjectText(text, {"ftp://h/other"}, &dropped), text);
  EXPECT_EQ(dropped, 0u);
}

}  // namespace
