// The request builder. torvane-cli's request test checks the same requests
// end to end; these cases are the corners it can't reach.
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

// A GET request; an empty referer or host leaves its line out.
std::string Get(const std::string& target, const std::string& referer, const std::string& host) {
  return "GET " + target + " HTTP/1.0\r\n" +
         (referer.empty() ? "" : "Referer: " + referer + "\r\n") +
         "Connection: close\r\nUser-Agent: Mozilla/4.03 [en] (Win95; I)\r\n" +
         (host.empty() ? "" : "Host: " + host + "\r\n") + "Pragma: no-cache\r\n" + kTail +
         "\r\n\r\n";
}

class RequestTest : public ::testing::Test {
 protected:
  void SetUp() override { g_settings = AppSettings{}; }
  void TearDown() override { g_settings = AppSettings{}; }

  static EngineEntry Job(const std::string& request, const char* term, const char* home = nullptr) {
    EngineEntry job;
    job.request = request;
    if (term) job.query = std::string(term);
    if (home) job.home = std::string(home);
    return job;
  }
  static std::string Build(EngineEntry job, std::string* reason = nullptr) {
    std::optional<std::string> r = BuildRequest(job, reason);
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
}

TEST_F(RequestTest, UrlPiecesHostPortAndPath) {
  const struct {
    const char* url;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://h:8000/x", "h", 8000, "/x"},
      {"h.example/a/b", "h.example", 80, "/a/b"},
      {"http://h", "h", 80, "/"},
      {"http://h/a:b", "h", 80, "/a"},  // any ":" behind the scheme is the port's
      {"http://h/a:8081", "h", 8081, "/a"},
      {"h:9000/x", "h", 80, "/x"},  // no "//": no port is looked for
      {"http://h/POST /c:1 $HTTPa=b", "h", 1, "/POST /c:1 $HTTPa=b"},
      {"http://h:/x", "h", 80, "/x"},
      {"http://h:065535?q=1", "h", 65535, "/"},
      // Ports a socket can't take are refused, not cut to 16 bits.
      {"http://h:85036/x", "h", kInvalidPort, "/x"},
      {"http://h:0/", "h", kInvalidPort, "/"},
      {"http://h:-1/", "h", kInvalidPort, "/"},
      {"http://h:80x/", "h", kInvalidPort, "/"},
      {"http://h:99999999999999999999/", "h", kInvalidPort, "/"},
      {"http://h/a:85036", "h", kInvalidPort, "/a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
  EXPECT_FALSE(UrlHost(nullptr) || UrlPath(nullptr));
  EXPECT_EQ(UrlPort(static_cast<const char*>(nullptr)), 80);
  UseProxy("", 3128);  // empty proxy: direct
  EXPECT_EQ(UrlPort("http://h:8000/x"), 8000);
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(UrlPort("http://h:8000/x"), 3128);
  EXPECT_EQ(UrlPort("http://h:85036/x"), kInvalidPort);  // a proxy can't take it either
  UseProxy("proxy.local", 70000);
  EXPECT_EQ(UrlPort("http://h/x"), kInvalidPort);
  std::string s = "ab";
  EXPECT_EQ(AppendUntil(s, "cd#ef", '#'), "abcd");
  EXPECT_EQ(AppendUntil(s, nullptr, '#'), "abcd");
}

TEST_F(RequestTest, GetDirectThroughProxyAndWithoutReferer) {
  g_settings.files = 25;
  EngineEntry job = Job("http://h:8000/s?q=$QUERY&n=$HITS#part", "a b&c", "http://h/");
  EXPECT_EQ(Build(job), Get("/s?q=a+b%26c&n=25", "http://h/", "h:8000"));
  ASSERT_TRUE(BuildRequest(job));  // the job now holds the URL that was asked
  EXPECT_EQ(job.request, "http://h:8000/s?q=a+b%26c&n=25#part");
  // A home beginning with "*", or none, sends no Referer; no "//", no Host.
  EXPECT_EQ(Build(Job("http://h/x", nullptr, "*http://h/")), Get("/x", "", "h"));
  EXPECT_EQ(Build(Job("http://h/x", nullptr)), Get("/x", "", "h"));
  EXPECT_EQ(Build(Job("h/a:b", nullptr)), Get("/a", "", ""));
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(Build(Job("http://h:8000/s?q=$QUERY#part", "x", "http://h/")),
            Get("http://h:8000/s?q=x", "http://h/", "h:8000"));
}

TEST_F(RequestTest, PostDirectAndThroughProxy) {
  const char* templ = "http://p.example:81/POST /cgi-bin/find $HTTPname=$QUERY&max=$HITS";
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
  EXPECT_EQ(Build(Job(templ, "x y", "http://p.example/")), "POST /cgi-bin/find " + headers);
  UseProxy("proxy.local", 3128);
  EXPECT_EQ(Build(Job(templ, "x y", "http://p.example/")),
            "POST http://p.example:81/cgi-bin/find " + headers);
}

TEST_F(RequestTest, PlaceholderRules) {
  const struct {
    std::string templ;
    const char* term;
    int files;
    const char* expanded;  // null: no request
  } cases[] = {
      {"http://h/?a=$QUERY2&b=$QUERY&c=$QUERY2", "t", 50, "http://h/?a=t&b=$QUERY&c=t"},
      {"http://h/?m=$HITS&n=$HITS", "t", 0, "http://h/?m=50&n=50"},  // below 1: 50
      {"http://h/?m=$HITS&n=$HITS", "t", 7, "http://h/?m=7&n=7"},
      {"http://h/?q=$QUERY", nullptr, 50, "http://h/?q=$QUERY"},
      {"http://h/?q=$QUERY", "", 50, "http://h/?q="},
      // The vendor's own addresses are sent as they are.
      {"http://www." TORVANE_VENDOR_DOMAIN "/v.txt?$QUERY&$HITS", "t", 50,
       "http://www." TORVANE_VENDOR_DOMAIN "/v.txt?$QUERY&$HITS"},
      {"", "t", 50, nullptr},
  };
  for (const auto& c : cases) {
    g_settings.files = c.files;
    const EngineEntry job = Job(c.templ, c.term);
    const std::optional<std::string> got = ExpandTemplate(&job);
    EXPECT_EQ(got.value_or("<none>"), c.expanded ? c.expanded : "<none>") << c.templ;
  }
  EXPECT_FALSE(ExpandTemplate(nullptr));
}

TEST_F(RequestTest, RefusedRequestsSayWhyAndNeverOverflow) {
  std::string reason;
  EngineEntry job = Job("http://h/?q=$QUERY", std::string(3000, 'a').c_str());
  EXPECT_FALSE(BuildRequest(job, &reason));
  EXPECT_EQ(reason, "Request refused: the search term is too long");
  EXPECT_EQ(job.request, "http://h/?q=$QUERY");  // untouched
  // 700 characters that triple in size when encoded are too long as well, and
  // repeated placeholders can push a fitting term over the limit.
  EXPECT_EQ(Build(Job("http://h/?q=$QUERY", std::string(700, '&').c_str())), "<refused>");
  EXPECT_EQ(Build(Job("http://h/?q=$QUERY&r=$QUERY", std::string(1100, 'b').c_str())), "<refused>");
  EXPECT_EQ(Build(Job("http://h/?q=$QUERY", std::string(2000, 'c').c_str())).substr(0, 20),
            "GET /?q=cccccccccccc");
  // Long home and path texts through a proxy fit in a GET...
  const std::string home = "http://home/" + std::string(3000, 'r');
  UseProxy("proxy.local", 8080);
  EXPECT_EQ(Build(Job("http://h/" + std::string(1500, 'p'), nullptr, home.c_str())),
            Get("http://h/" + std::string(1500, 'p'), home, "h"));
  // ...but in a POST the home goes into the header block, which has a limit.
  EXPECT_EQ(Build(Job("http://p/POST /f $HTTPq=$QUERY", "t", home.c_str()), &reason), "<refused>");
  EXPECT_EQ(reason, "Request refused: the request is too long");
  // A redirect to a port no socket can take is refused with its own text.
  job = Job("http://h:85036/x", nullptr);
  EXPECT_FALSE(BuildRequest(job, &reason) || ConnectTarget(job));
  EXPECT_EQ(reason, "Request refused: the port is not between 1 and 65535");
}

TEST_F(RequestTest, NothingMayEndTheRequestLineOrStartAHeader) {
  const std::string blank = "Request refused: the address holds a blank or a control character";
  const std::string shape =
      "Request refused: a template with /POST or $HTTP must read /POST target $HTTPbody";
  const struct {
    const char* templ;
    const char* home;
    std::string reason;
  } cases[] = {
      // Redirect targets and templates: the CR would start a header line.
      {"http://h/a\rX-Injected: 1", nullptr, blank},
      {"http://h/a b", nullptr, blank},
      {"http://h\t/a", nullptr, blank},
      {"http://" TORVANE_VENDOR_DOMAIN "/a\nb", nullptr, blank},
      {"http://h/POST /a b $HTTPq=$QUERY", nullptr, blank},
      {"http://h/POST /a\r\n $HTTPq=1", nullptr, blank},
      // The header block belongs to a POST with its target.
      {"http://h/find?q=$QUERY$HTTP", nullptr, shape},
      {"http://h/POST /cgi-bin/find?q=$QUERY", nullptr, shape},
      {"http://h/POSTER?q=$QUERY", nullptr, shape},
      {"http://h/POST  $HTTPq=1", nullptr, shape},
      {"http://h/POST /f$HTTPq=1", nullptr, shape},
      {"http://h/x", "http://h/\rX-Injected: 1",
       "Request refused: the home page address holds a control character"},
      {"#http://h/x", nullptr, "Request refused: the address is empty"},
      {"$QUERY", nullptr, "Request refused: the address is empty"},
  };
  for (const auto& c : cases) {
    std::string reason;
    EngineEntry job = Job(c.templ, "", c.home);
    EXPECT_FALSE(BuildRequest(job, &reason)) << c.templ;
    EXPECT_EQ(reason, c.reason) << c.templ;
    EXPECT_EQ(job.request, c.templ);
  }
  // A home beginning with "*" is never sent, so what it holds does not matter;
  // a POST body may hold anything.
  EXPECT_EQ(Build(Job("http://h/x", nullptr, "*\r\n")), Get("/x", "", "h"));
  EXPECT_NE(Build(Job("http://h/POST /f $HTTPa b\r\n", nullptr)), "<refused>");
}

}  // namespace
