#include "hunt/slots.h"

#include <cstring>
#include <new>
#include <string>

#include "engines/request.h"
#include "hunt/hunt_state.h"
#include "hunt/hunt_stats.h"
#include "hunt/job_observer.h"
#include "hunt/response.h"
#include "platform/frontend.h"
#include "reports/page_capture.h"
#include "settings/settings.h"
#include "util/text.h"

ConnSlot g_slots[kMaxSlots];

namespace {

bool g_trace_on = false;
std::vector<SlotTransition> g_trace;

bool HasOpenSocket(const ConnSlot& s) {
  return s.socket != 0 && s.socket != platform::kInvalidSocket;
}

void CloseSlotSocket(ConnSlot& s) {
  if (HasOpenSocket(s)) platform::net().Close(s.socket);
  s.socket = platform::kInvalidSocket;
}

// Text that may hold "%" shown as it is.
void ShowLiteral(int slot, const std::string& text) {
  SetSlotStatus(slot, "%s", text.c_str());
}

bool DottedOnly(const std::string& name) {
  for (char c : name) {
    if (!(c >= '0' && c <= '9') && c != '.') return false;
  }
  return true;
}

// Begins the host lookup of the slot's job; a dotted address is known at
// once and the slot steps again.
StepResult StartLookup(int slot) {
  ConnSlot& s = g_slots[slot];
  // No address to look up: the slot waits for its timeout.
  if (!s.job || !s.job->request || s.job->request->empty()) return StepResult::kDone;
  std::optional<std::string> host = UrlHost(*s.job->request);
  if (!host) {
    SetSlotState(slot, SlotState::kIdle, "no host in the address");
    return StepResult::kDone;
  }
  // A port beyond 65535 (a redirect can name one) is refused here, before
  // a look-up, rather than connected to as the number cut to 16 bits.
  if (UrlPort(*s.job->request) == kInvalidPort) {
    EndAsRequestError(slot, LoadText(1533), "port out of range");
    return StepResult::kDone;
  }
  if (s.job->name && s.job->name->size() > kJobNameLimit) s.job->name->resize(kJobNameLimit);
  const bool proxy = ProxySet();
  SetSlotStatus(slot, "%s", Format(LoadText(proxy ? 1517 : 1518), host->c_str()).c_str());
  const std::string name = proxy ? *g_settings.proxy : *host;
  if (DottedOnly(name)) {
    s.address_text = name.substr(0, kAddressTextLimit);
    SetSlotState(slot, SlotState::kAddressKnown, "dotted address");
    return StepResult::kStepAgain;
  }
  s.lookup_task = platform::net().AsyncGetHostByName(platform::LookupMessage(slot), name);
  if (s.lookup_task == 0) SetSlotState(slot, SlotState::kIdle, "look-up not started");
  return StepResult::kDone;
}

// Opens a fresh socket for the slot's job and starts its lookup; with no
// socket to be had the slot stays idle and its next step takes the next job.
StepResult OpenAndLookUp(int slot) {
  ConnSlot& s = g_slots[slot];
  CloseSlotSocket(s);
  const platform::Socket sock = platform::net().OpenSocket();
  if (sock == platform::kInvalidSocket) {
    SetSlotStatus(slot, "%s", LoadText(1473));
    SetSlotState(slot, SlotState::kIdle, "no socket");
    return StepResult::kDone;
  }
  s.socket = sock;
  SetSlotState(slot, SlotState::kLookingUp, "socket opened");
  return StartLookup(slot);
}

StepResult StepIdle(int slot) {
  FreeReceiveBuffer(slot);
  NoteJobDone(slot);
  return StepResult::kNeedsJob;
}

void StepAddressKnown(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  const std::int32_t port = s.job && s.job->request ? UrlPort(*s.job->request) : 80;
  if (port == kInvalidPort) {
    EndAsRequestError(slot, LoadText(1533), "port out of range");
    return;
  }
  const platform::Ipv4 address = net.InetAddr(s.address_text);
  if (address == platform::kInaddrNone) {
    SetSlotStatus(slot, "%s", LoadText(1469));
    ResetSlot(slot, "not an address");
    return;
  }
  if (net.AsyncSelect(s.socket, platform::kMsgConnectionEvent, platform::kFdConnect) != 0) {
    SetSlotStatus(slot, LoadText(1470), net.LastError(), static_cast<int>(s.socket));
    return;  // the timeout retries or aborts it
  }
  if (net.Connect(s.socket, address, static_cast<std::uint16_t>(port)) != 0) {
    const int error = net.LastError();
    if (error != platform::kWsaEWouldBlock) {
      SetSlotStatus(slot, LoadText(1471), error);
      net.AsyncSelect(s.socket, 0, 0);
      if (s.job) SaveEngineMessagePage(&*s.job, LoadText(1472));
      ResetSlot(slot, "connect failed");
      if (s.job) s.job->status_flags &= ~kJobTimedOut;
    }
  }
  // A pending connect ends with the connection event.
}

void StepConnected(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  if (!s.job) {
    ResetSlot(slot, "no job");
    return;
  }
  std::string reason;
  std::optional<std::string> request = BuildRequest(*s.job, &reason);
  if (!request) {
    EndAsRequestError(slot, reason, "request not built");
    return;
  }
  SetSlotStatus(slot, "%s", LoadText(1463));
  // The close is asked for as well: the end of the answer is then seen at
  // once rather than at the next poll.
  const int selected =
      net.AsyncSelect(s.socket, platform::kMsgDataEvent, platform::kFdRead | platform::kFdClose);
  if (selected != 0) {
    SetSlotStatus(slot, LoadText(1464), selected);
    return;
  }
  if (g_job_observer) g_job_observer->RequestSent(slot, *request);
  // send may take fewer bytes than offered; the rest follows at once.
  const char* data = request->data();
  int left = static_cast<int>(request->size());
  int result = 0;
  while (left > 0) {
    result = net.Send(s.socket, data, left);
    if (result <= 0) break;
    data += result;
    left -= result;
  }
  if (result == 0) {
    SetSlotStatus(slot, LoadText(1465), result);
    ResetSlot(slot, "send failed");
    return;
  }
  // A failed send counts as sent: the data event or the timeout settles it.
  if (ProxySet()) {
    SetSlotStatus(slot, "%s", LoadText(1466));
  } else {
    SetSlotStatus(slot, LoadText(1467), LoadText(1468));
  }
}

StepResult Finished(int result) {
  if (result == kFinishRedirect) return StepResult::kRedirect;
  if (result == kFinishDelivered) return StepResult::kDelivered;
  return StepResult::kDone;
}

StepResult StepReceiving(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  const std::size_t room = kReadChunk + kMinFree;
  if (s.buffer.size() < s.received + room) {
    const std::size_t steps = (s.received + room - s.buffer.size() + kGrowStep - 1) / kGrowStep;
    try {
      s.buffer.resize(s.buffer.size() + steps * kGrowStep, 0);
    } catch (const std::bad_alloc&) {
      SetSlotStatus(slot, "%s", LoadText(1458));
      return StepResult::kDone;  // stays receiving; the timeout ends it
    }
  }
  std::size_t want = kReadChunk;
  // Only an engine's page of a Hunt is read in pieces; a file is whole or nothing.
  const bool pieces =
      g_hunt.run_kind == kRunHunt && !(s.job && (s.job->request_flags & kRequestSaveToFile));
  if (pieces && s.received <= kPieceLimit && kPieceEnd - s.received < want) {
    want = kPieceEnd - s.received;
  }
  const int n = net.Recv(s.socket, s.buffer.data() + s.received, static_cast<int>(want), 0);
  if (n < 0) {
    const int error = net.LastError();
    if (error == platform::kWsaEWouldBlock) return StepResult::kDone;
    SetSlotStatus(slot, LoadText(1459), error);
    if (s.received == 0) {
      ResetSlot(slot, "receive failed");
      return StepResult::kDone;
    }
    return Finished(FinishResponse(slot, kAnswerBroken));
  }
  s.ticks = 0;
  if (s.job) s.job->status_flags &= ~kJobTimedOut;
  if (n > 0) {
    JobTimingBytes(slot);
    s.received += static_cast<std::size_t>(n);
    s.job_bytes += static_cast<std::size_t>(n);
    if (s.job_bytes > kJobByteLimit) {
      EndAsRequestError(slot, Format(LoadText(1540), static_cast<long>(kJobByteLimit)),
                        "too many bytes");
      return StepResult::kDone;
    }
  }
  const int peeked = net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek);
  if (peeked != 0 && (s.received <= kPieceLimit || !pieces)) {
    if (s.received > 0) SetSlotStatus(slot, LoadText(1462), static_cast<long>(s.received));
    return StepResult::kDone;
  }
  if (s.received == 0) {
    ResetSlot(slot, "closed without a byte");  // no page
    return StepResult::kDone;
  }
  SetSlotStatus(slot, LoadText(1461), static_cast<long>(s.received));
  return Finished(FinishResponse(slot, peeked == 0 ? kAnswerWhole : kAnswerFollows));
}

}  // namespace

const char* SlotStateName(SlotState state) {
  switch (state) {
    case SlotState::kIdle:
      return "idle";
    case SlotState::kAddressKnown:
      return "address known";
    case SlotState::kConnected:
      return "connected";
    case SlotState::kReceiving:
      return "receiving";
    case SlotState::kLookingUp:
      return "looking up";
    case SlotState::kHandlingAnswer:
      return "handling answer";
    case SlotState::kRedirecting:
      return "redirecting";
  }
  return "?";
}

void SetSlotState(int slot, SlotState state, const char* why) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  if (g_trace_on && s.state != state) g_trace.push_back({slot, s.state, state, why});
  s.state = state;
}

void TraceSlotStates(bool on) {
  g_trace_on = on;
  if (on) g_trace.clear();
}

const std::vector<SlotTransition>& SlotStateTrace() {
  return g_trace;
}

void ClearSlotTables() {
  for (int i = 0; i < kMaxSlots; ++i) {
    SetSlotState(i, SlotState::kIdle, "tables cleared");
    g_slots[i] = ConnSlot{};
    g_slot_status[i].clear();
    g_slot_line_enabled[i] = false;
  }
}

void FreeReceiveBuffer(int slot) {
  ConnSlot& s = g_slots[slot];
  s.received = 0;
  std::vector<char>().swap(s.buffer);
}

void NoteJobDone(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  if (!s.job) return;
  if (!(s.job->status_flags & kJobFinished) && !(s.job->status_flags & kJobTimedOut)) {
    s.job->status_flags |= kJobFinished;
  }
  if (!s.job_reported) {
    s.job_reported = true;
    CountJobStats(slot, *s.job, s.job_bytes, s.redirects);
    platform::frontend().JobDone(slot, *s.job);
  }
}

StepResult BeginJob(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return StepResult::kDone;
  ConnSlot& s = g_slots[slot];
  s.redirects = 0;
  s.job_ticks = 0;
  s.job_bytes = 0;
  s.job_reported = false;
  JobTimingBegin(slot);
  return OpenAndLookUp(slot);
}

StepResult FollowRedirect(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return StepResult::kDone;
  return OpenAndLookUp(slot);
}

void ResetSlot(int slot, const char* why) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  SetSlotState(slot, SlotState::kIdle, why);
  s.ticks = 0;
  // A look-up still under way would later hand its address to whatever job
  // the slot has taken by then.
  if (s.lookup_task != 0) {
    platform::net().CancelAsyncRequest(s.lookup_task);
    s.lookup_task = 0;
  }
  if (HasOpenSocket(s)) {
    platform::net().Close(s.socket);
    s.socket = platform::kInvalidSocket;
  }
}

void EndAsRequestError(int slot, const std::string& reason, const char* why) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  ShowLiteral(slot, reason);
  if (s.job) {
    SaveEngineMessagePage(&*s.job, DoublePercent(reason));
    s.job->request_flags |= kRequestError;
  }
  ResetSlot(slot, why);
}

StepResult SlotStep(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return StepResult::kDone;
  ConnSlot& s = g_slots[slot];
  // Its answer is being handled further up (FinishResponse may show a
  // message box that runs the loop meanwhile).
  if (s.state == SlotState::kHandlingAnswer) return StepResult::kDone;
  if (s.socket == 0 && s.state != SlotState::kIdle) {
    SetSlotState(slot, SlotState::kIdle, "never had a socket");
    return StepResult::kDone;
  }
  // Any step outside receiving counts as progress; the retry step doesn't.
  if (s.ticks != kRetryTicks && s.state != SlotState::kReceiving) s.ticks = 0;
  switch (s.state) {
    case SlotState::kIdle:
      return StepIdle(slot);
    case SlotState::kAddressKnown:
      StepAddressKnown(slot);
      return StepResult::kDone;
    case SlotState::kConnected:
      StepConnected(slot);
      return StepResult::kDone;
    case SlotState::kReceiving:
      return StepReceiving(slot);
    case SlotState::kLookingUp:
    case SlotState::kHandlingAnswer:
    case SlotState::kRedirecting:
      break;  // waiting: the event (or the timeout) moves it on
  }
  return StepResult::kDone;
}

int SlotOfSocket(platform::Socket sock) {
  if (sock == 0 || sock == platform::kInvalidSocket) return -1;
  for (int i = 0; i < kMaxSlots; ++i) {
    if (g_slots[i].socket == sock) return i;
  }
  return -1;
}

bool LookupDone(int slot, platform::AsyncTask task, unsigned error) {
  if (slot < 0 || slot >= kMaxSlots) return false;
  ConnSlot& s = g_slots[slot];
  // Only the answer to the slot's own pending look-up counts.
  if (task != s.lookup_task || s.lookup_task == 0 || s.state != SlotState::kLookingUp) {
    return false;
  }
  s.lookup_task = 0;
  if (error == 0) {
    const std::optional<platform::Ipv4> address = platform::net().LookupResult(task);
    s.address_text = address ? platform::AddressText(*address).substr(0, kAddressTextLimit) : "";
    SetSlotState(slot, SlotState::kAddressKnown, "address found");
    return true;
  }
  if (s.job) SaveEngineMessagePage(&*s.job, LoadText(1481));
  SetSlotStatus(slot, "%s", LoadText(1481));
  ResetSlot(slot, "host not found");
  if (s.job) s.job->status_flags |= kJobFailed | kJobHostNotFound;
  return false;
}

bool ConnectionEvent(int slot, unsigned error) {
  if (slot < 0 || slot >= kMaxSlots) return false;
  ConnSlot& s = g_slots[slot];
  if (error == 0) {
    if (s.state == SlotState::kConnected) return false;
    SetSlotState(slot, SlotState::kConnected, "connected");
    return true;
  }
  std::string text;
  if (error == platform::kWsaEConnRefused) {
    text = LoadText(1478);
  } else if (error == platform::kWsaETimedOut) {
    text = LoadText(1479);
  } else {
    text = Format(LoadText(1480), static_cast<int>(error),
                  static_cast<int>(platform::kMsgConnectionEvent));
  }
  if (s.job) SaveEngineMessagePage(&*s.job, text);
  ShowLiteral(slot, text);
  ResetSlot(slot, "connect error");
  if (s.job) s.job->status_flags |= kJobFailed | kJobConnectError;
  return false;
}

bool DataEvent(int slot, unsigned error) {
  if (slot < 0 || slot >= kMaxSlots) return false;
  ConnSlot& s = g_slots[slot];
  if (s.state == SlotState::kHandlingAnswer) return false;
  if (error == 0) {
    SetSlotState(slot, SlotState::kReceiving, "data arrived");
    return true;
  }
  SetSlotStatus(slot, LoadText(1480), static_cast<int>(error),
                static_cast<int>(platform::kMsgDataEvent));
  ResetSlot(slot, "data event error");
  return false;
}

bool CloseEvent(int slot, unsigned /*error*/) {
  if (slot < 0 || slot >= kMaxSlots) return false;
  // Whatever broke the connection, the read tells, and shows it as the poll
  // would have found it.
  const SlotState state = g_slots[slot].state;
  if (state != SlotState::kConnected && state != SlotState::kReceiving) return false;
  SetSlotState(slot, SlotState::kReceiving, "server closed");
  return true;
}

bool PollWantsStep(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return false;
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  switch (s.state) {
    case SlotState::kIdle:
      return true;
    case SlotState::kReceiving:
      return net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek) != platform::kSocketError;
    case SlotState::kConnected:
      // A server that closes without a byte: Winsock posts no read event for
      // the end of a stream, so without a look here the slot would wait for
      // its timeout (and send the request again at the retry).
      if (net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek) == 0) {
        SetSlotState(slot, SlotState::kReceiving, "closed before answering");
        return true;
      }
      return false;
    default:
      return false;
  }
}
