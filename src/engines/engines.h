// EngineEntry: one search service of engines.dat. The same record shape is
// the job record a connection slot works on.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

struct EngineEntry {
  std::optional<std::string> home;
  std::optional<std::string> name;
  std::optional<std::string> request;  // the template; "*..." = unavailable
  std::optional<std::string> query;    // job copies only: the search term
  std::uint32_t request_flags = 0;
  std::uint32_t status_flags = 0;
  std::int32_t engine_type = 0;
  std::int32_t id = 0;
  std::int32_t list_position = 0;
  std::int32_t selected = 0;
  std::int32_t hits = 0;
};

// The engine list in file order. A deque keeps every record where it is
// while later ones are appended, so pointers into it stay valid.
extern std::deque<EngineEntry> g_engines;

// Reads engines.dat; 1 when the list holds an engine. Does nothing and
// returns 0 when the list is already loaded. A missing file shows an error.
int LoadEngines();
// With a record: drops its texts and clears it to zeros for reuse (how the
// slots recycle their job records). With null: a new zero-filled record that
// lives as long as the program. Returns the record.
EngineEntry* NewEngineEntry(EngineEntry* e);
// Present request template that does not begin with "*".
bool EngineAvailable(const EngineEntry& e);
// The engine with this ID=, or null.
EngineEntry* FindEngineById(int id);
