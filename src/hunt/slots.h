// The connection slots: up to 20 conversations with engines at once, each
// moved one step at a time through a small state machine by SlotStep. A
// slot takes a job from the Hunt controller, looks the host (or the proxy)
// up, connects, sends the request and gathers the answer until the server
// closes; FinishResponse then decides what the answer is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "hunt/slot_status.h"
#include "platform/net.h"

// Slot states.
constexpr std::int32_t kSlotIdle = 0;
constexpr std::int32_t kSlotAddressKnown = 1;
constexpr std::int32_t kSlotConnected = 2;
constexpr std::int32_t kSlotReceiving = 4;
constexpr std::int32_t kSlotWaiting = 10;  // lookup, connect or a finished answer

// Each read takes at most this many bytes; the buffer grows by kGrowStep
// whenever fewer than kMinFree bytes are left, so a read never overflows it
// and a terminating zero always fits behind the answer.
constexpr int kPeekLimit = 228;
constexpr std::size_t kGrowStep = 2048;
constexpr std::size_t kMinFree = 300;
// In a Hunt an answer longer than this is delivered in pieces.
constexpr std::size_t kPieceLimit = 500000;
// Nested SlotStep calls beyond this depth do nothing.
constexpr int kMaxStepDepth = 20;
// Tick counts of the timeout timer: one retry, then abort.
constexpr std::int32_t kRetryTicks = 10;
constexpr std::int32_t kAbortTicks = 20;  // abort when above
// A job may be redirected this often; one more redirect makes it a request
// error (a server that keeps redirecting would hold the slot for ever).
constexpr int kMaxRedirects = 10;
// Host names of jobs are cut to this many characters before the lookup.
constexpr std::size_t kJobNameLimit = 50;
// The dotted address text holds at most this many characters.
constexpr std::size_t kAddressTextLimit = 19;

struct ConnSlot {
  std::int32_t state = kSlotIdle;
  std::optional<EngineEntry> job;  // recycled for every job; none before the first
  platform::Socket socket = 0;     // 0 before the first; kInvalidSocket once closed
  std::int32_t ticks = 0;          // timeout ticks without progress
  platform::AsyncTask lookup_task = 0;
  std::string address_text;  // dotted IPv4 address to connect to
  // The answer so far: buffer.size() is the capacity, received the bytes of
  // the answer in it; an empty buffer means the slot holds none.
  std::vector<char> buffer;
  std::size_t received = 0;
  char peek[kPeekLimit + 2] = {};
  int redirects = 0;  // redirects followed for the current job
  // FinishResponse is working on the buffer (it may open message boxes
  // that run the loop meanwhile); nothing else may touch the answer then.
  bool finishing = false;
  bool job_reported = false;  // the front end has heard of the current job
};

extern ConnSlot g_slots[kMaxSlots];
// How many SlotStep calls are active.
extern int g_step_depth;

// Every slot back to zero (start-up). Does not close sockets.
void ClearSlotTables();
// Frees the slot's receive buffer (received and capacity become 0).
void FreeReceiveBuffer(int slot);

// Runs the action of the slot's current state once; returns 1.
int SlotStep(int slot);
// Starts the host lookup of the slot's job (or uses a dotted address).
void StartLookup(int slot);
// The idle slot's job is over: it counts as finished (unless it timed out)
// and the front end hears of it, once.
void NoteJobDone(int slot);
// After FinishResponse gave a redirect: a new socket and the lookup of the
// job's new address, without asking for a new job.
void FollowRedirect(int slot);
// Idle, tick counter 0, socket closed. Keeps the job and the buffer (the
// next idle step frees it).
void ResetSlot(int slot);

// The slot whose socket is s, or -1.
int SlotOfSocket(platform::Socket s);

// Handlers of the socket messages (routed by the main window).
void OnHostLookupDone(int slot, platform::AsyncTask task, unsigned error);
void OnConnectionEvent(platform::Socket s, unsigned error);
void OnDataEvent(platform::Socket s, unsigned error);
// Message 1095: one step of the first idle slot.
void OnStartNext();
// Timer 1330's polling: steps receiving slots whose socket can be peeked
// and idle slots.
void PollSlots();
