#include "reports/page_capture.h"

#include <cstring>
#include <string>

#include "engines/engines.h"
#include "platform/ui.h"
#include "util/file.h"
#include "util/text.h"

namespace {

const char kHeaderEnd[] = "\r\n\r\n";
constexpr std::size_t kHeaderEndLen = 4;

// Position just behind the first "\r\n\r\n" in the len bytes, or len + 1
// when there is none. Searches bytes, not C text, since pages may hold NUL.
std::size_t BodyStart(const char* text, std::size_t len) {
  if (len < kHeaderEndLen) return len + 1;
  for (std::size_t i = 0; i + kHeaderEndLen <= len; ++i) {
    if (std::memcmp(text + i, kHeaderEnd, kHeaderEndLen) == 0) return i + kHeaderEndLen;
  }
  return len + 1;
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
  FileWriter f(EnginePagePath(engine->id));
  f.Write(text, len);
  if (f.Close()) return 1;
  ErrorBox(LoadText(1457));
  return 0;
}

int SaveEnginePage(const std::string& text, const EngineEntry* engine) {
  return SaveEnginePage(text.data(), text.size(), engine);
}

namespace {

int SaveMessage(const EngineEntry* engine, const char* message, std::size_t len) {
  // The engine's own words stay as they are: this page shows what the
  // engine or the connection said, like the captured answers do.
  std::string page = "<HTML><HEAD><TITLE>";
  if (engine->name) page += *engine->name;
  page += " - Search Results</TITLE></HEAD><BODY>";
  page.append(message, len);
  page += "</BODY></HTML>\n";
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
