// The accessors of the net and host seams, the absent network that stands in
// until an adapter is installed, and the clockless ManualHost for tests.
#include <chrono>
#include <string>
#include <utility>

#include "platform/host.h"
#include "platform/net.h"

namespace platform {

std::string AddressText(Ipv4 address) {
  // Network order: the first byte in memory is the first number.
  const auto* b = reinterpret_cast<const unsigned char*>(&address);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

namespace {

// No adapter installed: sockets are not there, and say so.
class AbsentNet : public Net {
 public:
  int Startup() override { return kWsaSysNotReady; }
  void Cleanup() override {}
  Socket OpenSocket() override { return kInvalidSocket; }
  int Connect(Socket, Ipv4, std::uint16_t) override { return kSocketError; }
  int Send(Socket, const char*, int) override { return kSocketError; }
  int Recv(Socket, char*, int, int) override { return kSocketError; }
  int Close(Socket) override { return kSocketError; }
  int AsyncSelect(Socket, unsigned, long) override { return kSocketError; }
  AsyncTask AsyncGetHostByName(unsigned, const std::string&) override { return 0; }
  int CancelAsyncRequest(AsyncTask) override { return kSocketError; }
  std::optional<Ipv4> LookupResult(AsyncTask) override { return std::nullopt; }
  Ipv4 InetAddr(const std::string&) override { return kInaddrNone; }
  int LastError() override { return kWsaNotInitialised; }
};

AbsentNet g_absent_net;
Net* g_net = nullptr;

ManualHost g_default_host;
Host* g_host = nullptr;

}  // namespace

Net& net() {
  return g_net ? *g_net : g_absent_net;
}

Net* SetNet(Net* n) {
  Net* old = g_net;
  g_net = n;
  return old;
}

Host& host() {
  return g_host ? *g_host : g_default_host;
}

Host* SetHost(Host* h) {
  Host* old = g_host;
  g_host = h;
  return old;
}

std::uint64_t Host::NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void ManualHost::SetHandler(MessageHandler handler) {
  handler_ = std::move(handler);
}

bool ManualHost::PostMessage(unsigned msg, std::uintptr_t w, std::intptr_t l) {
  queue.push_back({msg, w, l});
  return true;
}

bool ManualHost::SetTimer(unsigned id, unsigned period_ms) {
  timers[id] = period_ms;
  return true;
}

void ManualHost::KillTimer(unsigned id) {
  timers.erase(id);
}

bool ManualHost::Run(unsigned /*timeout_ms*/) {
  Pump();
  bool was_quit = quit;
  quit = false;
  return was_quit;
}

void ManualHost::Quit() {
  quit = true;
}

int ManualHost::Pump() {
  int n = 0;
  while (!quit && !queue.empty()) {
    Message m = queue.front();
    queue.pop_front();
    ++n;
    MessageHandler h = handler_;  // the handler may replace itself
    if (h) h(m.msg, m.w, m.l);
  }
  return n;
}

bool ManualHost::FireTimer(unsigned id) {
  if (timers.find(id) == timers.end()) return false;
  MessageHandler h = handler_;
  if (h) h(kWmTimer, id, 0);
  return true;
}

}  // namespace platform
