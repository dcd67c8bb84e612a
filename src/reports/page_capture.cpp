#include "reports/page_capture.h"

#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engines/engines.h"
#include "platform/ui.h"
#include "util/file.h"
#include "util/text.h"

namespace {

const char kHeaderEnd[] = "\r\n\r\n";
constexpr std::size_t kHeaderEndLen = 4;

// Pages held while a run goes on, by engine id.
struct HeldPages {
  bool holding = false;
  std::map<int, std::string> pages;
};
HeldPages g_held;

// Position just behind the first "\r\n\r\n" in the len bytes, or len + 1
// when there is none. Searches bytes, not C text, since pages may hold NUL.
std::size_t BodyStart(const char* text, std::size_t len) {
  if (len < kHeaderEndLen) return len + 1;
  const char* end = text + len;
  for (const char* p = text; end - p >= static_cast<std::ptrdiff_t>(kHeaderEndLen); ++p) {
    p = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
    if (!p || end - p < static_cast<std::ptrdiff_t>(kHeaderEndLen)) break;
    if (std::memcmp(p, kHeaderEnd, kHeaderEndLen) == 0) {
      return static_cast<std::size_t>(p - text) + kHeaderEndLen;
    }
  }
  return len + 1;
}

int WritePageFile(int id, const char* text, std::size_t len) {
  FileWriter f(EnginePagePath(id));
  f.Write(text, len);
  if (f.Close()) return 1;
  ErrorBox(LoadText(1457));
  return 0;
}

}  // namespace

std::string EnginePagePath(int id) {
  return JoinPath("reports", std::to_string(id) + ".htm");
}

int SaveEnginePage(const char* text, std::size_t len, const EngineEntry* engine) {
  if (!text || !engine) return 0;
  // An answer with a body keeps only the body; a bare header (nothing
  // behind the empty line) is saved whole so the user sees something.
  const std::size_t body = BodyStart(text, len);
  if (body < len) {
    text += body;
    len -= body;
  }
  if (g_held.holding) {
    g_held.pages[engine->id].assign(text, len);
    return 1;
  }
  return WritePageFile(engine->id, text, len);
}

int SaveEnginePage(const std::string& text, const EngineEntry* engine) {
  return SaveEnginePage(text.data(), text.size(), engine);
}

void HoldEnginePages() {
  g_held.holding = true;
}

int WriteHeldEnginePages() {
  // Taken out first: an error box runs the loop, which may save more pages.
  // (Moved into a vector: MinGW's GCC 12 takes a map swapped into a local
  // for a dangling pointer.)
  std::vector<std::pair<int, std::string>> pages(std::make_move_iterator(g_held.pages.begin()),
                                                 std::make_move_iterator(g_held.pages.end()));
  g_held.pages.clear();
  int ok = 1;
  for (const auto& [id, page] : pages) ok &= WritePageFile(id, page.data(), page.size());
  return ok;
}

int ReleaseEnginePages() {
  g_held.holding = false;
  int ok = 1;
  // A box shown while writing may have let more pages in.
  while (!g_held.pages.empty()) ok &= WriteHeldEnginePages();
  return ok;
}

namespace {

int SaveMessage(const EngineEntry* engine, const char* message, std::size_t len) {
  // The engine's own words stay as they are: this page shows what the
  // engine or the connection said, like the captured answers do.
  std::string page = "<HTML><HEAD><TITLE>";
  if (engine->name) page += *engine->name;
  page += " - Search Results</TITLE></HEAD><BODY>";
  // Only what fits under the limit is copied: the message may be a whole
  // answer of half a megabyte.
  const std::size_t room = page.size() < kMessagePageLimit ? kMessagePageLimit - page.size() : 0;
  page.append(message, len < room ? len : room);
  if (page.size() < kMessagePageLimit) page += "</BODY></HTML>\n";
  if (page.size() > kMessagePageLimit) page.resize(kMessagePageLimit);
  return SaveEnginePage(page, engine);
}

}  // namespace

int SaveEngineMessagePage(const EngineEntry* engine, const char* message) {
  if (!message || !engine) return 0;
  return SaveMessage(engine, message, std::strlen(message));
}

int SaveEngineMessagePage(const EngineEntry* engine, const std::string& message) {
  if (!engine) return 0;
  return SaveMessage(engine, message.data(), message.size());
}
