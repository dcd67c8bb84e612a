// What each engine's jobs of the last Hunt came to: counts, bytes and
// times, kept for whoever shows them after the Hunt (torvane-cli hunt
// --stats; the window may show them too). Times are measured on the
// host's clock (platform::Host::NowMs), so tests can set them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct EngineEntry;

struct EngineStats {
  int engine_id = 0;
  std::string name;  // the engine's name in engines.dat
  int jobs = 0;      // jobs ended (one per search term that was asked)
  // Jobs by the status text their slot last showed ("Connection Refused",
  // "files found" with the count left out...), in the order first seen.
  std::vector<std::pair<std::string, int>> outcomes;
  long hits = 0;            // links accepted on the engine's pages
  std::uint64_t bytes = 0;  // received over every job, redirects and pieces included
  int redirects = 0;        // redirects followed
  // Per job that received a byte: milliseconds from the job's start to its
  // first byte and to its last one (the end of its answer).
  std::vector<std::uint64_t> first_byte_ms;
  std::vector<std::uint64_t> end_ms;
};

// The engines of the last Hunt in the order their first job ended; the
// vendor's job is no engine's and is left out. Emptied when a Hunt starts.
extern std::vector<EngineStats> g_hunt_stats;

void ResetHuntStats();
// The slot has begun a new job.
void JobTimingBegin(int slot);
// The slot's job has received bytes.
void JobTimingBytes(int slot);
// The slot's job is over with these final values: counted for its engine.
void CountJobStats(int slot, const EngineEntry& job, std::uint64_t bytes, int redirects);

// The middle value (the lower of the two middle ones for an even count)
// and the largest; both 0 for none.
std::uint64_t MedianOf(std::vector<std::uint64_t> values);
std::uint64_t MaxOf(const std::vector<std::uint64_t>& values);
