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

namespace {

// The template with the search term and Max Files put in; "$HTTP" is still
// in it. Sets *vendor for a request to the vendor's own server, which is
// taken as it stands.
std::optional<std::string> ExpandPlaceholders(const EngineEntry* job, std::string* reason,
                                              bool* vendor) {
  *vendor = false;
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
  if (templ.find(TORVANE_VENDOR_DOMAIN) != std::string::npos) {
    *vendor = true;
    return templ;
  }

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
  return text;
}

// Puts the POST header block where the first "$HTTP" of text stands and
// the final line break behind the body. False when it would be too long.
bool InsertPostBlock(const EngineEntry& job, std::string& text, std::string* reason) {
  const std::size_t http = text.find("$HTTP");
  if (http == std::string::npos) return true;  // a GET template is complete
  const std::size_t body_length = text.size() - (http + 5);
  std::string block = "HTTP/1.0\r\n";
  block += RefererLine(job);
  block += "Connection: close\r\n";
  block += kUserAgent;
  block += "Content-Length: ";
  block += IntToText(static_cast<long>(body_length) + 2);  // the final line break
  block += "\r\n";
  block += "Pragma: No-Cache\r\n";
  block += HostLine(*job.request);
  block += "Content-type: application/x-www-form-urlencoded\r\n";
  block += kAccept;
  block += kAcceptCharset;
  block += "\r\n";
  if (block.size() > kPostHeaderLimit) {
    SetReason(reason, 1532);
    return false;
  }
  text.replace(http, 5, block);
  text += "\r\n";
  if (text.size() > kRequestTextLimit) {
    SetReason(reason, 1532);
    return false;
  }
  return true;
}

bool IsControl(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

// A blank or a control character would end the request line early or start
// a header line of its own (a redirect target "http://h/a\rX-Injected: 1").
bool FitsARequestLine(const std::string& text, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < text.size(); ++i) {
    if (text[i] == ' ' || IsControl(text[i])) return false;
  }
  return true;
}

// Where the path of an expanded text begins: at the first "/" behind the
// "//" that ends the scheme. The header block, put in later, holds "//"
// of its own, so this is taken before it goes in.
std::size_t PathStart(const std::string& text) {
  const std::size_t scheme = text.find("//");
  return text.find('/', scheme == std::string::npos ? 0 : scheme + 2);
}

bool IsPostPath(const std::string& text, std::size_t path) {
  return path != std::string::npos && text.compare(path, 5, "/POST") == 0;
}

// Why the expanded text (its "$HTTP" not yet replaced) can't be sent as a
// request of its own lines, or 0. A POST reads "/POST", a blank, the
// target, a blank, "$HTTP" and the body; any other "$HTTP" would put the
// header block into a GET address.
int MalformedRequest(const EngineEntry& job, const std::string& text, bool vendor) {
  if (job.home && !job.home->empty() && (*job.home)[0] != '*') {
    for (char c : *job.home) {
      if (IsControl(c)) return 1536;
    }
  }
  const std::size_t path = PathStart(text);
  const std::size_t http = vendor ? std::string::npos : text.find("$HTTP");
  if (!IsPostPath(text, path)) {
    if (http != std::string::npos) return 1537;
    // Through a proxy the whole address up to its "#" is the target.
    if (text.empty() || text[0] == '#') return 1538;
    return FitsARequestLine(text, 0, text.size()) ? 0 : 1535;
  }
  const std::size_t target = path + 6;
  if (http == std::string::npos || text.compare(path, 6, "/POST ") != 0 || http <= target + 1 ||
      text[http - 1] != ' ') {
    return 1537;
  }
  return FitsARequestLine(text, 0, path) && FitsARequestLine(text, target, http - 1) ? 0 : 1535;
}

}  // namespace

std::optional<std::string> ExpandTemplate(const EngineEntry* job, std::string* reason) {
  bool vendor = false;
  std::optional<std::string> text = ExpandPlaceholders(job, reason, &vendor);
  if (!text || vendor) return text;
  if (!InsertPostBlock(*job, *text, reason)) return std::nullopt;
  return text;
}

std::optional<std::string> BuildRequest(EngineEntry& job, std::string* reason) {
  bool vendor = false;
  std::optional<std::string> expanded = ExpandPlaceholders(&job, reason, &vendor);
  if (!expanded) return std::nullopt;
  if (const int malformed = MalformedRequest(job, *expanded, vendor)) {
    SetReason(reason, malformed);
    return std::nullopt;
  }
  const std::size_t path = PathStart(*expanded);
  const bool post = IsPostPath(*expanded, path);
  if (post && !InsertPostBlock(job, *expanded, reason)) return std::nullopt;
  if (UrlPort(*expanded) == kInvalidPort) {
    SetReason(reason, 1533);
    return std::nullopt;
  }
  job.request = *expanded;
  const std::string& url = *job.request;
  const bool proxy = ProxySet();

  std::string out;
  if (post) {
    // The path is the request line, header block and body: drop its "/".
    // Through a proxy the request line names the server: "POST http://h".
    out = url.substr(path + 1);
    if (proxy) out.replace(0, 5, "POST " + url.substr(0, path));
    return out;
  }

  out = "GET ";
  AppendUntil(out, proxy ? url.c_str() : UrlPath(url)->c_str(), '#');
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
