// The limits the Preferences dialog keeps its numbers in. No system header:
// the unit tests build it natively.
#pragma once

namespace gui {

constexpr int kMinConnections = 1;
constexpr int kMaxConnections = 20;  // the slot tables hold 20
constexpr long kMaxTimeoutMs = 64000;

inline int ClampConnections(int n) {
  return n < kMinConnections ? kMinConnections : n > kMaxConnections ? kMaxConnections : n;
}

// Only the top is capped: a timer period of 0 or less falls back to the
// default when a Hunt starts its timers.
inline long ClampTimeout(long ms) {
  return ms > kMaxTimeoutMs ? kMaxTimeoutMs : ms;
}

}  // namespace gui
