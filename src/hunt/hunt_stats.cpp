#include "hunt/hunt_stats.h"

#include <algorithm>
#include <optional>

#include "engines/engines.h"
#include "hunt/hunt_state.h"
#include "hunt/slot_status.h"
#include "platform/host.h"

std::vector<EngineStats> g_hunt_stats;

namespace {

struct JobTiming {
  std::uint64_t start = 0;
  std::optional<std::uint64_t> first_byte;
  std::uint64_t last_byte = 0;
};
JobTiming g_timing[kMaxSlots];

// A slot's last status text as an outcome: without its leading blank, and
// without the count a text such as "3 files found" begins with, so that
// jobs of one kind are counted together.
std::string OutcomeText(const std::string& status) {
  std::size_t i = status.find_first_not_of(' ');
  if (i == std::string::npos) return std::string();
  std::size_t j = i;
  while (j < status.size() && status[j] >= '0' && status[j] <= '9') ++j;
  if (j > i && j < status.size() && status[j] == ' ') i = j + 1;
  return status.substr(i);
}

}  // namespace

void ResetHuntStats() {
  g_hunt_stats.clear();
  for (JobTiming& t : g_timing) t = JobTiming{};
}

void JobTimingBegin(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  g_timing[slot] = JobTiming{};
  g_timing[slot].start = platform::host().NowMs();
}

void JobTimingBytes(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  JobTiming& t = g_timing[slot];
  t.last_byte = platform::host().NowMs();
  if (!t.first_byte) t.first_byte = t.last_byte;
}

void CountJobStats(int slot, const EngineEntry& job, std::uint64_t bytes, int redirects) {
  if (slot < 0 || slot >= kMaxSlots || (job.request_flags & kRequestVendorJob)) return;
  auto it = std::find_if(g_hunt_stats.begin(), g_hunt_stats.end(),
                         [&job](const EngineStats& s) { return s.engine_id == job.id; });
  if (it == g_hunt_stats.end()) {
    EngineStats s;
    s.engine_id = job.id;
    if (const EngineEntry* e = FindEngineById(job.id)) s.name = e->name.value_or("");
    it = g_hunt_stats.insert(g_hunt_stats.end(), std::move(s));
  }
  EngineStats& s = *it;
  ++s.jobs;
  const std::string outcome = OutcomeText(g_slot_status[slot]);
  auto o = std::find_if(s.outcomes.begin(), s.outcomes.end(),
                        [&outcome](const auto& p) { return p.first == outcome; });
  if (o == s.outcomes.end()) {
    s.outcomes.emplace_back(outcome, 1);
  } else {
    ++o->second;
  }
  s.hits += job.hits;
  s.bytes += bytes;
  s.redirects += redirects;
  const JobTiming& t = g_timing[slot];
  if (t.first_byte) {
    s.first_byte_ms.push_back(*t.first_byte - t.start);
    s.end_ms.push_back(t.last_byte - t.start);
  }
}

std::uint64_t MedianOf(std::vector<std::uint64_t> values) {
  if (values.empty()) return 0;
  const std::size_t mid = (values.size() - 1) / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  return values[mid];
}

std::uint64_t MaxOf(const std::vector<std::uint64_t>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}
