// The connection slots: up to 20 conversations with engines at once, each
// moved one step at a time through a small state machine by SlotStep. A
// slot takes a job from the Hunt controller, looks the host (or the proxy)
// up, connects, sends the request and gathers the answer until the server
// closes; FinishResponse then decides what the answer is. A step never
// calls up into the controller: it reports what it needs as a StepResult.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "hunt/slot_status.h"
#include "platform/net.h"

// Slot states. The numbers are those of the slot table; it knew only one
// waiting state, 10, for three situations that differ in what may happen
// to the slot, so here they have a value each (10, 11, 12).
enum class SlotState : std::int32_t {
  kIdle = 0,
  kAddressKnown = 1,  // connecting; a pending connect ends with the connection event
  kConnected = 2,     // the request is out; the data event starts the receiving
  kReceiving = 4,
  kLookingUp = 10,       // the host look-up is under way (or could not start: the timeout ends it)
  kHandlingAnswer = 11,  // FinishResponse has the answer; nothing else may touch the slot
  kRedirecting = 12,     // the job's request holds a redirect target not yet looked up
};
// A short name for traces and test output.
const char* SlotStateName(SlotState state);

// What a step asks of the controller.
enum class StepResult {
  kDone,       // nothing more until the next event
  kNeedsJob,   // the slot is idle and its last job is over: the next job, or the end-of-run check
  kStepAgain,  // the state moved on at once (a dotted address is known): step it again
  kRedirect,   // the answer was a redirect: FollowRedirect
  kDelivered,  // a page was delivered: the first idle slot may take the next job
};

// Each read takes at most kReadChunk bytes, straight into the receive
// buffer; the buffer grows (by kGrowStep or more) whenever fewer than
// kReadChunk + kMinFree bytes are left, so a read never overflows it and a
// terminating zero always fits behind the answer. Peeks look at kPeekLimit.
constexpr int kReadChunk = 16384;
constexpr int kPeekLimit = 228;
constexpr std::size_t kGrowStep = 2048;
constexpr std::size_t kMinFree = 300;
// In a Hunt an answer longer than kPieceLimit is delivered in pieces: a
// piece ends at the first read that takes it past kPieceLimit. Reads of
// kPeekLimit bytes each put that end at kPieceEnd; larger reads are cut so
// as to stop there too, and a piece is as long whatever the read size.
constexpr std::size_t kPieceLimit = 500000;
constexpr std::size_t kPieceEnd = (kPieceLimit / kPeekLimit + 1) * kPeekLimit;
// Tick counts of the timeout timer: one retry, then abort.
constexpr std::int32_t kRetryTicks = 10;
constexpr std::int32_t kAbortTicks = 20;  // abort when above
// Every job ends, however its server behaves. Received bytes count as
// progress, so a server trickling a byte at a time never lets the tick
// counter reach kAbortTicks: a job (its redirects included) that has run
// longer than this many timeout periods ends as timed out.
constexpr std::int32_t kJobTickLimit = 60;
// And one that has received more than this many bytes in all, over every
// piece and redirect, ends as a request error. The vendor's job and the
// insert download are not cut into pieces, so this is their only bound.
constexpr std::size_t kJobByteLimit = 10 * kPieceLimit;
// A job may be redirected this often; one more redirect makes it a request
// error (a server that keeps redirecting would hold the slot for ever).
constexpr int kMaxRedirects = 10;
// Host names of jobs are cut to this many characters before the lookup.
constexpr std::size_t kJobNameLimit = 50;
// The dotted address text holds at most this many characters.
constexpr std::size_t kAddressTextLimit = 19;

struct ConnSlot {
  SlotState state = SlotState::kIdle;  // changed only by SetSlotState
  std::optional<EngineEntry> job;      // recycled for every job; none before the first
  platform::Socket socket = 0;         // 0 before the first; kInvalidSocket once closed
  std::int32_t ticks = 0;              // timeout ticks without progress
  platform::AsyncTask lookup_task = 0;
  std::string address_text;  // dotted IPv4 address to connect to
  // The answer so far: buffer.size() is the capacity, received the bytes of
  // the answer in it; an empty buffer means the slot holds none.
  std::vector<char> buffer;
  std::size_t received = 0;
  char peek[kPeekLimit + 2] = {};
  int redirects = 0;           // redirects followed for the current job
  std::int32_t job_ticks = 0;  // timeout ticks since the current job began
  std::size_t job_bytes = 0;   // bytes the current job has received in all
  bool job_reported = false;   // the front end has heard of the current job
};

extern ConnSlot g_slots[kMaxSlots];

// The one way a slot's state changes; why says what moved it (for traces).
void SetSlotState(int slot, SlotState state, const char* why);

// One recorded state change.
struct SlotTransition {
  int slot;
  SlotState from;
  SlotState to;
  const char* why;
};
// While on, every change of a slot's state is appended to the trace
// (switching it on empties it); off, nothing is recorded.
void TraceSlotStates(bool on);
const std::vector<SlotTransition>& SlotStateTrace();

// Every slot back to zero (start-up). Does not close sockets.
void ClearSlotTables();
// Frees the slot's receive buffer (received and capacity become 0).
void FreeReceiveBuffer(int slot);

// Runs the action of the slot's current state once. Only the controller
// calls it (RunSlotStep), and acts on the result.
StepResult SlotStep(int slot);
// After NextJob has filled the idle slot's job: a fresh socket and the
// lookup of the job's host. With no socket to be had the slot stays idle.
StepResult BeginJob(int slot);
// After a redirect: a new socket and the lookup of the job's new address,
// without asking for a new job.
StepResult FollowRedirect(int slot);
// The idle slot's job is over: it counts as finished (unless it timed out)
// and the front end hears of it, once.
void NoteJobDone(int slot);
// Idle, tick counter 0, socket closed, a pending look-up taken back. Keeps
// the job and the buffer (the next idle step frees it).
void ResetSlot(int slot, const char* why = "reset");
// Ends the slot's job as a request error: reason (shown as it is) becomes
// the slot's status and the engine's page, and the slot is reset.
void EndAsRequestError(int slot, const std::string& reason, const char* why);

// The slot whose socket is s, or -1.
int SlotOfSocket(platform::Socket s);

// The slot's side of the socket messages: each records the event and says
// whether the slot should now take a step.
bool LookupDone(int slot, platform::AsyncTask task, unsigned error);
bool ConnectionEvent(int slot, unsigned error);
bool DataEvent(int slot, unsigned error);
// The server has closed (or the connection broke): a connected or receiving
// slot steps at once to read what is left and finish the answer, rather
// than waiting for the poll timer to see the end.
bool CloseEvent(int slot, unsigned error);
// Timer 1330's look at a slot: an idle slot, a receiving one whose socket
// can be peeked, and a connected one whose server has closed want a step.
bool PollWantsStep(int slot);
