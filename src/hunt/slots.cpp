#include "hunt/slots.h"

#include <cstring>
#include <new>
#include <string>

#include "engines/request.h"
#include "hunt/controller.h"
#include "hunt/response.h"
#include "platform/frontend.h"
#include "platform/host.h"
#include "reports/page_capture.h"
#include "settings/settings.h"
#include "util/text.h"

ConnSlot g_slots[kMaxSlots];
int g_step_depth = 0;

namespace {

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

// Opens a fresh socket for the slot's job and starts its lookup; with no
// socket to be had the slot stays idle and its next step takes the next job.
void OpenAndLookUp(int slot) {
  ConnSlot& s = g_slots[slot];
  CloseSlotSocket(s);
  const platform::Socket sock = platform::net().OpenSocket();
  if (sock == platform::kInvalidSocket) {
    SetSlotStatus(slot, "%s", LoadText(1473));
    s.state = kSlotIdle;
    return;
  }
  s.socket = sock;
  s.state = kSlotWaiting;
  StartLookup(slot);
}

void StepIdle(int slot) {
  ConnSlot& s = g_slots[slot];
  FreeReceiveBuffer(slot);
  NoteJobDone(slot);
  if (!NextJob(slot)) {
    EndOfRunCheck();
    return;
  }
  s.redirects = 0;
  s.job_reported = false;
  OpenAndLookUp(slot);
}

void StepAddressKnown(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  const std::int32_t port = s.job && s.job->request ? UrlPort(*s.job->request) : 80;
  const platform::Ipv4 address = net.InetAddr(s.address_text);
  if (address == platform::kInaddrNone) {
    SetSlotStatus(slot, "%s", LoadText(1469));
    ResetSlot(slot);
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
      ResetSlot(slot);
      if (s.job) s.job->status_flags &= ~kJobTimedOut;
    }
  }
  // A pending connect ends with the connection event.
}

void StepConnected(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  if (!s.job) {
    ResetSlot(slot);
    return;
  }
  std::string reason;
  std::optional<std::string> request = BuildRequest(*s.job, &reason);
  if (!request) {
    // A request too long to build: the engine can't be asked.
    ShowLiteral(slot, reason);
    SaveEngineMessagePage(&*s.job, DoublePercent(reason));
    s.job->request_flags |= kRequestError;
    ResetSlot(slot);
    return;
  }
  SetSlotStatus(slot, "%s", LoadText(1463));
  const int selected = net.AsyncSelect(s.socket, platform::kMsgDataEvent, platform::kFdRead);
  if (selected != 0) {
    SetSlotStatus(slot, LoadText(1464), selected);
    return;
  }
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
    ResetSlot(slot);
    return;
  }
  // A failed send counts as sent: the data event or the timeout settles it.
  if (ProxySet()) {
    SetSlotStatus(slot, "%s", LoadText(1466));
  } else {
    SetSlotStatus(slot, LoadText(1467), LoadText(1468));
  }
}

// Returns FinishResponse's result, or 0 when the answer goes on.
int StepReceiving(int slot) {
  ConnSlot& s = g_slots[slot];
  auto& net = platform::net();
  if (s.buffer.size() < s.received + kMinFree) {
    try {
      s.buffer.resize(s.buffer.size() + kGrowStep, 0);
    } catch (const std::bad_alloc&) {
      SetSlotStatus(slot, "%s", LoadText(1458));
      return 0;  // stays receiving; the timeout ends it
    }
  }
  const int n = net.Recv(s.socket, s.peek, kPeekLimit, 0);
  if (n < 0) {
    const int error = net.LastError();
    if (error == platform::kWsaEWouldBlock) return 0;
    SetSlotStatus(slot, LoadText(1459), error);
    if (s.received == 0) {
      ResetSlot(slot);
      return 0;
    }
    return FinishResponse(slot, 0);
  }
  s.ticks = 0;
  if (s.job) s.job->status_flags &= ~kJobTimedOut;
  if (n > 0) {
    std::memcpy(s.buffer.data() + s.received, s.peek, static_cast<std::size_t>(n));
    s.received += static_cast<std::size_t>(n);
  }
  const int peeked = net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek);
  if (peeked != 0 && (s.received <= kPieceLimit || g_hunt.run_kind != kRunHunt)) {
    if (s.received > 0) SetSlotStatus(slot, LoadText(1462), static_cast<long>(s.received));
    return 0;
  }
  if (s.received == 0) {
    ResetSlot(slot);  // closed without a byte: no page
    return 0;
  }
  SetSlotStatus(slot, LoadText(1461), static_cast<long>(s.received));
  return FinishResponse(slot, peeked == 0 ? 0 : 1);
}

}  // namespace

void ClearSlotTables() {
  for (int i = 0; i < kMaxSlots; ++i) {
    g_slots[i] = ConnSlot{};
    g_slot_status[i].clear();
    g_slot_line_enabled[i] = false;
  }
  g_step_depth = 0;
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
    platform::frontend().JobDone(slot, *s.job);
  }
}

void FollowRedirect(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  OpenAndLookUp(slot);
}

void ResetSlot(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  s.state = kSlotIdle;
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

void StartLookup(int slot) {
  ConnSlot& s = g_slots[slot];
  if (!s.job || !s.job->request || s.job->request->empty()) return;  // waits for its timeout
  std::optional<std::string> host = UrlHost(*s.job->request);
  if (!host) {
    s.state = kSlotIdle;
    return;
  }
  if (s.job->name && s.job->name->size() > kJobNameLimit) s.job->name->resize(kJobNameLimit);
  const bool proxy = ProxySet();
  SetSlotStatus(slot, "%s", Format(LoadText(proxy ? 1517 : 1518), host->c_str()).c_str());
  const std::string name = proxy ? *g_settings.proxy : *host;
  if (DottedOnly(name)) {
    s.address_text = name.substr(0, kAddressTextLimit);
    s.state = kSlotAddressKnown;
    SlotStep(slot);
    return;
  }
  s.lookup_task = platform::net().AsyncGetHostByName(platform::LookupMessage(slot), name);
  if (s.lookup_task == 0) s.state = kSlotIdle;
}

int SlotStep(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return 1;
  if (g_step_depth > kMaxStepDepth || g_hunt.cancel_requests != 0) return 1;
  ConnSlot& s = g_slots[slot];
  if (s.finishing) return 1;  // its answer is being handled further up
  if (s.socket == 0 && s.state != kSlotIdle) {
    s.state = kSlotIdle;
    return 1;
  }
  ++g_step_depth;
  if (s.ticks != kRetryTicks && s.state != kSlotReceiving) s.ticks = 0;
  int finished = 0;
  switch (s.state) {
    case kSlotIdle:
      StepIdle(slot);
      break;
    case kSlotAddressKnown:
      StepAddressKnown(slot);
      break;
    case kSlotConnected:
      StepConnected(slot);
      break;
    case kSlotReceiving:
      finished = StepReceiving(slot);
      break;
    default:
      break;
  }
  // A redirect: the same job goes on with the new address.
  if (finished == kFinishRedirect) FollowRedirect(slot);
  --g_step_depth;
  return 1;
}

int SlotOfSocket(platform::Socket sock) {
  if (sock == 0 || sock == platform::kInvalidSocket) return -1;
  for (int i = 0; i < kMaxSlots; ++i) {
    if (g_slots[i].socket == sock) return i;
  }
  return -1;
}

void OnHostLookupDone(int slot, platform::AsyncTask task, unsigned error) {
  if (slot < 0 || slot >= kMaxSlots) return;
  ConnSlot& s = g_slots[slot];
  // Only the answer to the slot's own pending look-up counts.
  if (task != s.lookup_task || s.lookup_task == 0 || s.state != kSlotWaiting) return;
  s.lookup_task = 0;
  if (error == 0) {
    const std::optional<platform::Ipv4> address = platform::net().LookupResult(task);
    s.address_text = address ? platform::AddressText(*address).substr(0, kAddressTextLimit) : "";
    s.state = kSlotAddressKnown;
    SlotStep(slot);
    return;
  }
  if (s.job) SaveEngineMessagePage(&*s.job, LoadText(1481));
  SetSlotStatus(slot, "%s", LoadText(1481));
  ResetSlot(slot);
  if (s.job) s.job->status_flags |= kJobFailed | kJobHostNotFound;
}

void OnConnectionEvent(platform::Socket sock, unsigned error) {
  const int slot = SlotOfSocket(sock);
  if (slot < 0) return;
  ConnSlot& s = g_slots[slot];
  if (error == 0) {
    if (s.state == kSlotConnected) return;
    s.state = kSlotConnected;
    SlotStep(slot);
    return;
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
  ResetSlot(slot);
  if (s.job) s.job->status_flags |= kJobFailed | kJobConnectError;
}

void OnDataEvent(platform::Socket sock, unsigned error) {
  const int slot = SlotOfSocket(sock);
  if (slot < 0) return;
  ConnSlot& s = g_slots[slot];
  if (s.finishing) return;
  if (error == 0) {
    s.state = kSlotReceiving;
    SlotStep(slot);
    return;
  }
  SetSlotStatus(slot, LoadText(1480), static_cast<int>(error),
                static_cast<int>(platform::kMsgDataEvent));
  ResetSlot(slot);
}

void OnStartNext() {
  for (int i = 0; i < SlotsInUse(); ++i) {
    if (g_slots[i].state == kSlotIdle) {
      SlotStep(i);
      return;
    }
  }
}

void PollSlots() {
  auto& net = platform::net();
  for (int i = 0; i < SlotsInUse(); ++i) {
    ConnSlot& s = g_slots[i];
    if (s.state == kSlotReceiving) {
      if (net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek) != platform::kSocketError) {
        SlotStep(i);
      }
    } else if (s.state == kSlotConnected) {
      // A server that closes without a byte: Winsock posts no read event for
      // the end of a stream, so without a look here the slot would wait for
      // its timeout (and send the request again at the retry).
      if (net.Recv(s.socket, s.peek, kPeekLimit, platform::kMsgPeek) == 0) {
        s.state = kSlotReceiving;
        SlotStep(i);
      }
    } else if (s.state == kSlotIdle) {
      SlotStep(i);
    }
  }
}
