#include "engines/engines.h"

#include <cstring>
#include <deque>
#include <string>

#include "platform/ui.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"

std::deque<EngineEntry> g_engines;

namespace {

const char kEnginesFile[] = "engines.dat";

// Records asked for without an owner: a deque keeps each one in place.
std::deque<EngineEntry>& SpareEntries() {
  static std::deque<EngineEntry> spare;
  return spare;
}

bool StartsWith(const char* line, const char* key) {
  return std::strncmp(line, key, std::strlen(key)) == 0;
}

}  // namespace

EngineEntry* NewEngineEntry(EngineEntry* e) {
  if (!e) return &SpareEntries().emplace_back();
  *e = EngineEntry{};
  return e;
}

bool EngineAvailable(const EngineEntry& e) {
  return e.request && !e.request->empty() && (*e.request)[0] != '*';
}

EngineEntry* FindEngineById(int id) {
  for (EngineEntry& e : g_engines) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

int LoadEngines() {
  if (!g_engines.empty()) return 0;
  FileHandle f = FileOpenRead(kEnginesFile);
  if (!f) {
    ErrorBox(LoadText(1445));
    return 0;
  }
  EngineEntry* current = nullptr;
  // The reading stops at a line over the bound: the tail of a long NAME=
  // line must not become a request of its own.
  LineReader reader(f, kEnginesFile, kLineLimit);
  std::string text;
  while (reader.Next(text)) {
    TrimRight(text);
    const char* line = text.c_str();
    const char* eq = std::strchr(line, '=');
    if (!eq) continue;
    const char* value = eq + 1;
    if (StartsWith(line, "NAME=")) {
      current = NewEngineEntry(&g_engines.emplace_back());
      current->name = std::string(value);
    } else if (!current) {
      continue;  // keys before the first NAME= belong to no engine
    } else if (StartsWith(line, "REQ=")) {
      current->request = std::string(value);
    } else if (StartsWith(line, "HOME=")) {
      current->home = std::string(value);
    } else if (StartsWith(line, "ENGINE=")) {
      current->engine_type = TextToInt(value);
    } else if (StartsWith(line, "ID=")) {
      current->id = TextToInt(value);
    }
  }
  FileClose(f);
  if (reader.TooLong()) ErrorBox(reader.TooLongText());
  return g_engines.empty() ? 0 : 1;
}
