// The browser: which program shows reports and pages (from torva.ini, the
// registry, a few fixed places, and under Wine the desktop's own browser
// through winebrowser), and handing it an address, through a running
// Netscape-type browser's DDE server or by starting the program.
#include <string>

#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"
#include "win32/app/browser_rules.h"
#include "win32/app/gui.h"
#include "win32/app/handles.h"

namespace gui {

BrowserCandidates g_browser_candidates;

namespace {

// Tried in this order when the registry names no browser.
constexpr const char* kFixedPaths[] = {
    "c:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe",
    "c:\\Program Files\\Netscape\\Navigator\\Program\\netscape.exe",
    "c:\\Netscape\\netscape.exe",
    "c:\\Program Files\\Internet Explorer\\iexplore.exe",
    "c:\\iexplore\\iexplore.exe",
};
constexpr char kLastResort[] = "C:\\NETSCAPE\\NETSCAPE.EXE";

constexpr DWORD kDdeTimeoutMs = 10000;

// The program a document class's DefaultIcon names, or empty.
std::string RegisteredProgram(const char* document_class) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, document_class, 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return {};
  UniqueRegKey key(raw);
  if (RegOpenKeyExA(key.get(), "DefaultIcon", 0, KEY_READ, &raw) != ERROR_SUCCESS) return {};
  UniqueRegKey icon(raw);
  char name[81];
  DWORD name_len = sizeof name;
  char data[257] = "";
  DWORD data_len = sizeof data - 1;
  DWORD type = 0;
  if (RegEnumValueA(icon.get(), 0, name, &name_len, nullptr, &type, reinterpret_cast<BYTE*>(data),
                    &data_len) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return {};
  }
  data[data_len < sizeof data ? data_len : sizeof data - 1] = '\0';
  std::string value = data;
  if (type == REG_EXPAND_SZ) {
    char expanded[MAX_PATH * 2];
    const DWORD n = ExpandEnvironmentStringsA(data, expanded, sizeof expanded);
    if (n > 0 && n <= sizeof expanded) value = expanded;
  }
  return IconProgramPath(value);
}

// A program that Wine implements itself (its iexplore.exe, say) draws no
// pages here; the file on the disk carries Wine's signature.
bool IsWineBuiltinProgram(const std::string& path) {
  UniqueFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  char head[0x80];
  DWORD got = 0;
  if (!ReadFile(f.get(), head, sizeof head, &got, nullptr)) return false;
  return IsWineBuiltinImage(head, got);
}

// Wine's own bridge to the Linux desktop's browser (xdg-open and friends).
std::string WineBrowserPath() {
  char dir[MAX_PATH] = "";
  const UINT n = GetSystemDirectoryA(dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return {};
  std::string path = std::string(dir) + "\\winebrowser.exe";
  return FileExists(path.c_str()) ? path : std::string();
}

HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

DWORD DdeInstance() {
  static DWORD inst = 0;
  if (!inst && DdeInitializeA(&inst, IgnoreDde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) inst = 0;
  return inst;
}

void DdeRequest(DWORD inst, HCONV conv, const std::string& item) {
  DdeString hsz(inst, item.c_str());
  if (!hsz.get()) return;
  HDDEDATA data = DdeClientTransaction(nullptr, 0, conv, hsz.get(), CF_TEXT, XTYP_REQUEST,
                                       kDdeTimeoutMs, nullptr);
  if (data) DdeFreeDataHandle(data);
}

// True when a running browser answered on WWW_Activate (it then has been
// asked to show the target as well).
bool OpenThroughDde(const std::string& service, const std::string& target) {
  const DWORD inst = DdeInstance();
  if (!inst) return false;
  DdeString svc(inst, service.c_str());
  {
    DdeString topic(inst, "WWW_Activate");
    DdeConversation conv(inst, svc.get(), topic.get());
    if (!conv) return false;
    DdeRequest(inst, conv.get(), kDdeActivateItem);
  }
  DdeString topic(inst, "WWW_OpenURL");
  DdeConversation conv(inst, svc.get(), topic.get());
  if (conv) DdeRequest(inst, conv.get(), DdeOpenItem(target, g_settings.newwin == 1));
  return true;
}

std::string WorkingDirectory() {
  char buf[MAX_PATH * 2] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n > 0 && n < sizeof buf ? std::string(buf) : std::string();
}

}  // namespace

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void DetectBrowser() {
  g_browser_candidates.internet_explorer = RegisteredProgram("htmlfile");
  g_browser_candidates.netscape = RegisteredProgram("NetscapeMarkup");
  const bool registry_hit =
      !g_browser_candidates.internet_explorer.empty() || !g_browser_candidates.netscape.empty();

  // A browser that torva.ini names stays, even when it has gone since.
  if (g_settings.browser && !g_settings.browser->empty()) return;
  if (!g_browser_candidates.netscape.empty()) {
    g_settings.browser = g_browser_candidates.netscape;
  } else if (!g_browser_candidates.internet_explorer.empty()) {
    g_settings.browser = g_browser_candidates.internet_explorer;
  }
  if (!registry_hit && !(g_settings.browser && !g_settings.browser->empty())) {
    g_settings.browser = std::string(kLastResort);
    for (const char* path : kFixedPaths) {
      if (FileExists(path)) {
        g_settings.browser = std::string(path);
        break;
      }
    }
  }
  // Under Wine the registry usually names Wine's own iexplore, which shows
  // nothing of the Linux desktop; winebrowser hands pages to the desktop's
  // browser instead.
  if (RunningUnderWine() &&
      (!FileExists(g_settings.browser->c_str()) || IsWineBuiltinProgram(*g_settings.browser))) {
    const std::string wine_browser = WineBrowserPath();
    if (!wine_browser.empty()) g_settings.browser = wine_browser;
  }
}

bool OpenUrl(HWND owner, const char* address) {
  // The DDE wait runs a message loop: a second call meanwhile gives up.
  static bool busy = false;
  if (busy || !address) return false;
  busy = true;
  const std::string browser = g_settings.browser ? *g_settings.browser : std::string();
  const std::string target = OpenTarget(address, WorkingDirectory());
  if (OpenThroughDde(DdeServiceName(browser), target)) {
    busy = false;
    return true;
  }
  const auto started = reinterpret_cast<INT_PTR>(ShellExecuteA(
      owner, "Open", browser.c_str(), CommandLineArgument(target).c_str(), nullptr, SW_RESTORE));
  if (started < 32) MessageBoxA(owner, LoadText(1441), LoadText(1443), MB_ICONEXCLAMATION);
  busy = false;
  return started >= 32;
}

}  // namespace gui
