#include "engines/request.h"

#include <cstring>
#include <string>

#include "settings/settings.h"
#include "util/text.h"
#include "util/vendor.h"

namespace {

const char kUserAgent[] = "User-Agent: Mozilla/4.03 [en] (Win95; I)\r\n";
const char kAccept[] = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
const char kAcceptCharset[] = "Accept-Charset: iso-8859-1,*,utf-8\r\n";

void SetReason(std::string* reason, int id) {
  if (reason) *reason = LoadText(id);
}

// Replaces pattern by value, starting again from the front after each
// replacement until none is left. Ends because value never holds a "$" (an
// encoded term has none, a number neither), so every pass removes one.
// False, when the text grows beyond the limit.
bool ReplaceEvery(std::string& text, const char* pattern, const std::string& value) {
  const std::size_t plen = std::strlen(pattern);
  for (std::size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern)) {
    text.replace(at, plen, value);
    if (text.size() > kRequestTextLimit) return false;
  }
  return true;
}

// "Host: " line of a URL: the text behind the first "//" up to the next "/",
// port included. Empty when there is no "//".
std::string HostLine(const std::string& url) {
  const std::size_t at = url.find("//");
  if (at == std::string::npos) return std::string();
  std::string line = "Host: ";
  AppendUntil(line, url.c_str() + at + 2, '/');
  line += "\r\n";
  return line;
}

// Referer line: a home page that is set and does not begin with "*".
std::string RefererLine(const EngineEntry& job) {
  if (!job.home || (!job.home->empty() && (*job.home)[0] == '*')) return std::string();
  return "Referer: " + *job.home + "\r\n";
}

constexpr long kMaxPort = 65535;

// The port an address names, the proxy left aside: 80 when it names none.
std::int32_t AddressPort(const char* url) {
  const char* from = url ? std::strstr(url, "//") : nullptr;
  if (!from) return 80;
  from += 2;
  const char* host_end = from + std::strcspn(from, "/?#");
  const char* colon =
      static_cast<const char*>(std::memchr(from, ':', static_cast<std::size_t>(host_end - from)));
  if (colon) {
    // Digits alone up to the path: "h:80x", "h:-1" or "h:85036" name no
    // port a socket can take.
    if (colon + 1 == host_end) return 80;
    long port = 0;
    for (const char* p = colon + 1; p < host_end; ++p) {
      if (*p < '0' || *p > '9') return kInvalidPort;
      port = port * 10 + (*p - '0');
      if (port > kMaxPort) return kInvalidPort;
    }
    return port < 1 ? kInvalidPort : static_cast<std::int32_t>(port);
  }
  // A ":" in the path has always been read as the port ("h/a:8081"); that
  // reading stays, only a number beyond 65535 is refused instead of cut.
  colon = std::strchr(host_end, ':');
  if (!colon) return 80;
  const long port = TextToLong(colon + 1);
  if (port > kMaxPort) return kInvalidPort;
  return port < 1 ? 80 : static_cast<std::int32_t>(port);
}

std::int32_t MaxFiles() {
  return g_settings.files < 1 ? 50 : g_settings.files;
}

}  // namespace

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == ' ' || c == '*' || c == '.' || c == '-' || c == '_';
    if (keep) {
      out += c == ' ' ? '+' : ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::optional<std::string> ExpandTemplate(const EngineEntry* job, std::string* reason) {
  if (!job || !job->request || job->request->empty()) {
    if (reason) reason->clear();
    return std::nullopt;
  }
  const std::string& templ = *job->request;
  if (templ.size() > kRequestTextLimit) {
    SetReason(reason, 1532);
    return std::nullopt;
  }
  // Requests to the vendor's own server carry no placeholders.
  if (templ.find(TORVANE_VENDOR_DOMAIN) != std::string::npos) return templ;

  std::string text = templ;
  if (job->query) {
    const std::string term = UrlEncode(*job->query);
    if (term.size() > kEncodedTermLimit) {
      SetReason(reason, 1531);
      return std::nullopt;
    }
    const char* placeholder = text.find("$QUERY2") != std::string::npos ? "$QUERY2" : "$QUERY";
    if (!ReplaceEvery(text, placeholder, term)) {
      SetReason(reason, 1531);
      return std::nullopt;
    }
  }
  if (!ReplaceEvery(text, "$HITS", IntToText(MaxFiles()))) {
    SetReason(reason, 1532);
    return std::nullopt;
  }

  const std::size_t http = text.find("$HTTP");
  if (http == std::string::npos) return text;  // a GET template is complete

  // POST: the header block goes where "$HTTP" stands, the body follows it.
  const std::size_t body_length = text.size() - (http + 5);
  std::string block = "HTTP/1.0\r\n";
  block += RefererLine(*job);
  block += "Connection: close\r\n";
  block += kUserAgent;
  block += "Content-Length: ";
  block += IntToText(static_cast<long>(body_length) + 2);  // the final line break
  block += "\r\n";
  block += "Pragma: No-Cache\r\n";
  block += HostLine(templ);
  block += "Content-type: application/x-www-form-urlencoded\r\n";
  block += kAccept;
  block += kAcceptCharset;
  block += "\r\n";
  if (block.size() > kPostHeaderLimit) {
    SetReason(reason, 1532);
    return std::nullopt;
  }
  text.replace(http, 5, block);
  text += "\r\n";
  if (text.size() > kRequestTextLimit) {
    SetReason(reason, 1532);
    return std::nullopt;
  }
  return text;
}

std::optional<std::string> BuildRequest(EngineEntry& job, std::string* reason) {
  std::optional<std::string> expanded = ExpandTemplate(&job, reason);
  if (!expanded) return std::nullopt;
  if (UrlPort(*expanded) == kInvalidPort) {
    SetReason(reason, 1533);
    return std::nullopt;
  }
  job.request = *expanded;
  const std::string& url = *job.request;
  const std::string path = *UrlPath(url);
  const bool proxy = ProxySet();

  std::string out;
  if (path.compare(0, 5, "/POST") == 0) {
    // The path is the request line, header block and body: drop its "/".
    out = path.substr(1);
    if (proxy) {
      // Through a proxy the request line names the server: "POST http://h".
      // A path such as "/POSTER" has no "POST " to replace: it stays as it is.
      const std::size_t post = url.find("/POST");
      const std::size_t at = out.find("POST ");
      if (at != std::string::npos) out.replace(at, 5, "POST " + url.substr(0, post));
    }
    return out;
  }

  out = "GET ";
  AppendUntil(out, proxy ? url.c_str() : path.c_str(), '#');
  out += " HTTP/1.0\r\n";
  out += RefererLine(job);
  out += "Connection: close\r\n";
  out += kUserAgent;
  out += HostLine(url);
  out += "Pragma: no-cache\r\n";
  out += kAccept;
  out += kAcceptCharset;
  out += "\r\n\r\n";
  return out;
}

std::optional<std::string> UrlHost(const char* url) {
  if (!url) return std::nullopt;
  const char* from = std::strstr(url, "//");
  from = from ? from + 2 : url;
  return std::string(from, std::strcspn(from, "/:"));
}

std::optional<std::string> UrlHost(const std::string& url) {
  return UrlHost(url.c_str());
}

std::int32_t UrlPort(const char* url) {
  const std::int32_t own = AddressPort(url);
  if (own == kInvalidPort || !ProxySet()) return own;
  return g_settings.port >= 1 && g_settings.port <= kMaxPort ? g_settings.port : kInvalidPort;
}

std::int32_t UrlPort(const std::string& url) {
  return UrlPort(url.c_str());
}

std::optional<std::string> UrlPath(const char* url) {
  if (!url) return std::nullopt;
  const char* from = std::strstr(url, "//");
  from = from ? from + 2 : url;
  const char* slash = std::strchr(from, '/');
  if (!slash) return std::string("/");
  std::string path = slash;
  // A POST path carries the header block and body, colons and all.
  if (path.compare(0, 5, "/POST") != 0) path = path.substr(0, path.find(':'));
  return path;
}

std::optional<std::string> UrlPath(const std::string& url) {
  return UrlPath(url.c_str());
}

std::string& AppendUntil(std::string& dst, const char* src, char stop) {
  if (!src) return dst;
  const char* end = std::strchr(src, stop);
  dst.append(src, end ? static_cast<std::size_t>(end - src) : std::strlen(src));
  return dst;
}

std::optional<ConnectPoint> ConnectTarget(const EngineEntry& job) {
  if (!job.request || job.request->empty()) return std::nullopt;
  ConnectPoint point;
  point.port = UrlPort(*job.request);
  if (point.port == kInvalidPort) return std::nullopt;
  point.host = ProxySet() ? *g_settings.proxy : *UrlHost(*job.request);
  return point;
}
