#include "engines/request.h"

#include <gtest/gtest.h>

#include <string>

#include "engines/engines.h"
#include "settings/settings.h"
#include "util/vendor.h"

namespace {

const char kTail[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
    "Accept-Charset: iso-8859-1,*,utf-8\r\n";

class RequestTest : public ::testing::Test {
 protected:
  void SetUp() override { g_settings = AppSettings{}; }
  void TearDown() override { g_settings = AppSettings{}; }

  static EngineEntry Job(const char* request, const char* term, const char* home = nullptr) {
    EngineEntry job;
    job.request = std::string(request);
    if (term) job.query = std::string(term);
    if (home) job.home = std::string(home);
    return job;
  }
  static std::string Build(EngineEntry& job) {
    std::optional<std::string> r = BuildRequest(job);
    return r ? *r : std::string("<refused>");
  }
  static void UseProxy(const char* host, int port) {
    g_settings.proxy = std::string(host);
    g_settings.port = port;
  }
};

TEST(UrlEncodeTest, KeepsSafeBytesAndEncodesTheRest) {
  EXPECT_EQ(UrlEncode("a b&c"), "a+b%26c");
  EXPECT_EQ(UrlEncode("x.y-z_*"), "x.y-z_*");
  EXPECT_EQ(UrlEncode("100%"), "100%25");
  EXPECT_EQ(UrlEncode("\t+/=?"), "%09%2B%2F%3D%3F");
  EXPECT_EQ(UrlEncode("caf\xE9 \x80\xFF"), "caf%E9+%80%FF");
  EXPECT_EQ(UrlEncode("$QUERY"), "%24QUERY");
  EXPECT_EQ(UrlEncode(""), "");
}

TEST_F(RequestTest, UrlPiecesHostPortAndPath) {
  EXPECT_EQ(UrlHost("http://h:8000/x"), "h");
  EXPECT_EQ(UrlPort("http://h:8000/x"), 8000);
  EXPECT_EQ(UrlPath("http://h:8000/x"), "/x");
  EXPECT_EQ(UrlHost("h.example/a/b"), "h.example");
  EXPECT_EQ(UrlPath("http://h"), "/");
  EXPECT_EQ(UrlPath("http://h/a:b"), "/a");
  // Any ":" behind the scheme counts for the port; a non-number gives 80.
  EXPECT_EQ(UrlPort("http://h/a:b"), 80);
  EXPECT_EQ(UrlPort("http://h/a:8081"), 8081);
  EXPECT_EQ(UrlPort("http://h:0/"), 80);
  EXPECT_EQ(UrlPort("h:9000/x"), 80);  // no "//": no port is looked for
  EXPECT_EQ(UrlPath("http://h/POST /c:1 $HTTPa=b"), "/POST /c:1 $HTTPa=b");
  EXPECT_FALSE(UrlHost(nullptr));
  EXPECT_FALSE(UrlPath(nullptr));
  EXPECT_EQ(UrlPort(static_cast<const char*>(nullptr)), 80);
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(UrlPort("http://h:8000/x"), 3128);
  UseProxy("", 3128);  // empty proxy: direct
  EXPECT_EQ(UrlPort("http://h:8000/x"), 8000);
  std::string s = "ab";
  EXPECT_EQ(AppendUntil(s, "cd#ef", '#'), "abcd");
  EXPECT_EQ(AppendUntil(s, "gh", '#'), "abcdgh");
  EXPECT_EQ(AppendUntil(s, nullptr, '#'), "abcdgh");
}

TEST_F(RequestTest, GetDirectAndThroughProxy) {
  EngineEntry job = Job("http://h:8000/s?q=$QUERY&n=$HITS#part", "a b&c", "http://h/");
  g_settings.files = 25;
  EngineEntry again = job;
  EXPECT_EQ(Build(job), std::string("GET /s?q=a+b%26c&n=25 HTTP/1.0\r\n"
                                    "Referer: http://h/\r\n"
                                    "Connection: close\r\n"
                                    "User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
                                    "Host: h:8000\r\n"
                                    "Pragma: no-cache\r\n") +
                            kTail + "\r\n\r\n");
  // The job now holds the URL that was asked.
  EXPECT_EQ(job.request, "http://h:8000/s?q=a+b%26c&n=25#part");
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(Build(again), std::string("GET http://h:8000/s?q=a+b%26c&n=25 HTTP/1.0\r\n"
                                      "Referer: http://h/\r\n"
                                      "Connection: close\r\n"
                                      "User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
                                      "Host: h:8000\r\n"
                                      "Pragma: no-cache\r\n") +
                              kTail + "\r\n\r\n");
}

TEST_F(RequestTest, PostDirectAndThroughProxy) {
  const char* templ = "http://p.example:81/POST /cgi-bin/find $HTTPname=$QUERY&max=$HITS";
  EngineEntry job = Job(templ, "x y", "http://p.example/");
  EngineEntry again = job;
  const std::string headers =
      "HTTP/1.0\r\n"
      "Referer: http://p.example/\r\n"
      "Connection: close\r\n"
      "User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
      "Content-Length: 17\r\n"  // "name=x+y&max=50" is 15, + 2 for the line break
      "Pragma: No-Cache\r\n"
      "Host: p.example:81\r\n"
      "Content-type: application/x-www-form-urlencoded\r\n" +
      std::string(kTail) + "\r\nname=x+y&max=50\r\n";
  // The blank before "$HTTP" in the template ends the request target.
  EXPECT_EQ(Build(job), "POST /cgi-bin/find " + headers);
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(Build(again), "POST http://p.example:81/cgi-bin/find " + headers);
  EXPECT_EQ(UrlPort(templ), 3128);
}

TEST_F(RequestTest, ContentLengthIsBodyPlusTwo) {
  EngineEntry job = Job("http://p/POST /f $HTTP0123456789abcdefghij", nullptr);
  const std::string r = Build(job);
  EXPECT_NE(r.find("\r\nContent-Length: 22\r\n"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 24), "\r\n0123456789abcdefghij\r\n");
}

TEST_F(RequestTest, PlaceholderRules) {
  EngineEntry both = Job("http://h/?a=$QUERY2&b=$QUERY&c=$QUERY2", "t");
  EXPECT_EQ(ExpandTemplate(&both), "http://h/?a=t&b=$QUERY&c=t");
  EngineEntry hits = Job("http://h/?m=$HITS&n=$HITS", "t");
  g_settings.files = 0;  // below 1: 50
  EXPECT_EQ(ExpandTemplate(&hits), "http://h/?m=50&n=50");
  g_settings.files = 7;
  EXPECT_EQ(ExpandTemplate(&hits), "http://h/?m=7&n=7");
  EngineEntry noterm = Job("http://h/?q=$QUERY", nullptr);
  EXPECT_EQ(ExpandTemplate(&noterm), "http://h/?q=$QUERY");
  EngineEntry empty = Job("http://h/?q=$QUERY", "");
  EXPECT_EQ(ExpandTemplate(&empty), "http://h/?q=");
  EngineEntry vendor = Job("http://www." TORVANE_VENDOR_DOMAIN "/v.txt?$QUERY&$HITS", "t");
  EXPECT_EQ(ExpandTemplate(&vendor), *vendor.request);
  EngineEntry none = Job("", "t");
  EXPECT_FALSE(ExpandTemplate(&none));
  EXPECT_FALSE(ExpandTemplate(nullptr));
}

TEST_F(RequestTest, RefererAndHostLinesAreOptional) {
  EngineEntry starred = Job("http://h/x", nullptr, "*http://h/");
  EngineEntry nohome = Job("http://h/x", nullptr);
  const std::string expect = std::string(
                                 "GET /x HTTP/1.0\r\n"
                                 "Connection: close\r\n"
                                 "User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n"
                                 "Host: h\r\n"
                                 "Pragma: no-cache\r\n") +
                             kTail + "\r\n\r\n";
  EXPECT_EQ(Build(starred), expect);
  EXPECT_EQ(Build(nohome), expect);
  EngineEntry noscheme = Job("h/a:b", nullptr);
  EXPECT_EQ(Build(noscheme).substr(0, 40), "GET /a HTTP/1.0\r\nConnection: close\r\nUser");
  EXPECT_EQ(Build(noscheme).find("Host:"), std::string::npos);
}

TEST_F(RequestTest, OverlongTermIsRefusedWithAReason) {
  EngineEntry job = Job("http://h/?q=$QUERY", std::string(3000, 'a').c_str());
  std::string reason;
  EXPECT_FALSE(BuildRequest(job, &reason));
  EXPECT_EQ(reason, "Request refused: the search term is too long");
  EXPECT_EQ(job.request, "http://h/?q=$QUERY");  // untouched
  // 700 characters that triple in size when encoded are too long as well.
  EngineEntry encoded = Job("http://h/?q=$QUERY", std::string(700, '&').c_str());
  EXPECT_FALSE(BuildRequest(encoded, &reason));
  // Repeated placeholders can push a fitting term over the limit.
  EngineEntry twice = Job("http://h/?q=$QUERY&r=$QUERY", std::string(1100, 'b').c_str());
  EXPECT_FALSE(BuildRequest(twice, &reason));
  EngineEntry fits = Job("http://h/?q=$QUERY", std::string(2000, 'c').c_str());
  EXPECT_EQ(Build(fits).substr(0, 20), "GET /?q=cccccccccccc");
}

TEST_F(RequestTest, LongHomeAndProxyUrlsNeverOverflow) {
  const std::string home = "http://home/" + std::string(3000, 'r');
  EngineEntry job = Job(("http://h/" + std::string(1500, 'p')).c_str(), nullptr, home.c_str());
  UseProxy("proxy.local", 8080);
  const std::string r = Build(job);
  EXPECT_NE(r.find("Referer: " + home + "\r\n"), std::string::npos);
  EXPECT_EQ(r.substr(0, 14), "GET http://h/p");
  // In a POST the home goes into the header block, which has a limit.
  EngineEntry post = Job("http://p/POST /f $HTTPq=$QUERY", "t", home.c_str());
  std::string reason;
  EXPECT_FALSE(BuildRequest(post, &reason));
  EXPECT_EQ(reason, "Request refused: the request is too long");
}

TEST_F(RequestTest, ConnectTargetNamesHostOrProxy) {
  EngineEntry job = Job("http://h.example:8000/x", "t");
  ASSERT_TRUE(ConnectTarget(job));
  EXPECT_EQ(ConnectTarget(job)->host, "h.example");
  EXPECT_EQ(ConnectTarget(job)->port, 8000);
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(ConnectTarget(job)->host, "proxy.local");
  EXPECT_EQ(ConnectTarget(job)->port, 3128);
  EXPECT_FALSE(ConnectTarget(EngineEntry{}));
}

}  // namespace
