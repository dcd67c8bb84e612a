// Drives torvane.exe from outside, as a user would: a second Win32 program
// that finds the program's windows, types into them, clicks, posts
// commands and reads back what they show. It knows nothing of the program
// but its window titles and control ids; everything it sees it prints as
// JSON for the test script.
//
//   gui_driver wait CLASS TITLE_PREFIX TIMEOUT_MS   a visible top-level window
//   gui_driver gone HWND TIMEOUT_MS                 the window no longer exists
//   gui_driver dump HWND                            the window and its controls
//   gui_driver type HWND ID TEXT                    replace the field's text by typing
//   gui_driver click HWND ID                        a button click
//   gui_driver command HWND ID                      a menu item chosen (WM_COMMAND)
//   gui_driver notify HWND ID CODE                  a control's notification to its owner
//   gui_driver close HWND                           the close box (WM_CLOSE)
//   gui_driver resize HWND WIDTH HEIGHT             the frame dragged to this size
//   gui_driver menu EXE MENU_ID                     a menu resource, read as data
//   gui_driver clipboard-get | clipboard-set TEXT
//   gui_driver windows                              every visible top-level window
//   gui_driver startup-time EXE TITLE_PREFIX TIMEOUT_MS
//       starts EXE, prints the milliseconds until its window is shown and
//       answers messages, then closes that window as its close box would
//
// Exit status: 0 done, 1 not found in time or refused, 2 usage.
#include <windows.h>
// (the common controls header needs windows.h before it)
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- JSON output --------------------------------------------------------------

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      // The program's texts are ANSI: bytes above 127 go out as Latin-1.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Handle(HWND h) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(h));
}

HWND ParseHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text, nullptr, 10)));
}

std::string Rect(const RECT& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

std::string List(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + "]";
}

std::string WindowText(HWND h) {
  // WM_GETTEXT crosses processes; the length first so that long texts fit.
  const LRESULT n = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
  const LRESULT got = SendMessageA(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return text;
}

std::string ClassOf(HWND h) {
  char cls[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  return cls;
}

// ---- memory in the program's process -----------------------------------------
// The list view, tab and status bar messages that carry structures or
// buffers need them in the address space of the window's own process.
class Remote {
 public:
  Remote(HWND window, std::size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) {
      base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~Remote() {
    if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;

  bool ok() const { return base_ != nullptr; }
  char* at(std::size_t offset) const { return static_cast<char*>(base_) + offset; }
  LPARAM param(std::size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }

  bool Write(std::size_t offset, const void* data, std::size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && WriteProcessMemory(process_, at(offset), data, n, &done) &&
           done == n;
  }
  bool Read(std::size_t offset, void* data, std::size_t n) const {
    SIZE_T done = 0;
    return offset + n <= size_ && ReadProcessMemory(process_, at(offset), data, n, &done) &&
           done == n;
  }
  std::string ReadText(std::size_t offset, std::size_t max) const {
    std::vector<char> buf(max + 1, '\0');
    if (!Read(offset, buf.data(), max)) return {};
    buf[max] = '\0';
    return buf.data();
  }

 private:
  HANDLE process_ = nullptr;
  void* base_ = nullptr;
  std::size_t size_;
};

constexpr std::size_t kTextMax = 1024;
constexpr std::size_t kTextOffset = 256;  // behind the structure

// ---- list views ----------------------------------------------------------------

std::string ListCell(HWND list, const Remote& mem, int row, int column) {
  LVITEMA it{};
  it.iSubItem = column;
  it.pszText = mem.at(kTextOffset);
  it.cchTextMax = static_cast<int>(kTextMax);
  const char empty = '\0';
  mem.Write(kTextOffset, &empty, 1);
  if (!mem.Write(0, &it, sizeof it)) return {};
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), mem.param());
  return mem.ReadText(kTextOffset, kTextMax);
}

int ListImage(HWND list, const Remote& mem, int row) {
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = row;
  if (!mem.Write(0, &it, sizeof it)) return -1;
  if (!SendMessageA(list, LVM_GETITEMA, 0, mem.param())) return -1;
  mem.Read(0, &it, sizeof it);
  return it.iImage;
}

std::string ColumnTitle(HWND list, const Remote& mem, int column) {
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT;
  col.pszText = mem.at(kTextOffset);
  col.cchTextMax = static_cast<int>(kTextMax);
  if (!mem.Write(0, &col, sizeof col)) return {};
  if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), mem.param())) return {};
  return mem.ReadText(kTextOffset, kTextMax);
}

// A row's or a tab's rectangle in its control's client area.
std::string ItemRect(HWND control, const Remote& mem, UINT msg, int index, LONG kind) {
  RECT r{};
  r.left = kind;
  if (!mem.Write(0, &r, sizeof r)) return "null";
  if (!SendMessageA(control, msg, static_cast<WPARAM>(index), mem.param())) return "null";
  mem.Read(0, &r, sizeof r);
  return Rect(r);
}

std::string DumpListView(HWND list) {
  Remote mem(list, kTextOffset + kTextMax + 16);
  if (!mem.ok()) return "\"list\":null";
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  std::vector<std::string> titles;
  for (int c = 0; c < columns; ++c) titles.push_back(Quote(ColumnTitle(list, mem, c)));
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<std::string> rows;
  for (int r = 0; r < count; ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < (columns > 0 ? columns : 1); ++c) {
      cells.push_back(Quote(ListCell(list, mem, r, c)));
    }
    const UINT state =
        static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(r),
                                       LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED));
    rows.push_back("{\"cells\":" + List(cells) +
                   ",\"state_image\":" + std::to_string((state & LVIS_STATEIMAGEMASK) >> 12) +
                   ",\"image\":" + std::to_string(ListImage(list, mem, r)) +
                   ",\"rect\":" + ItemRect(list, mem, LVM_GETITEMRECT, r, LVIR_BOUNDS) +
                   ",\"highlighted\":" + ((state & LVIS_SELECTED) ? "true" : "false") +
                   ",\"focused\":" + ((state & LVIS_FOCUSED) ? "true" : "false") + "}");
  }
  return "\"columns\":" + List(titles) + ",\"rows\":" + List(rows);
}

// ---- tab controls and status bars ---------------------------------------------

std::string DumpTab(HWND tab) {
  Remote mem(tab, kTextOffset + kTextMax + 16);
  std::vector<std::string> pages, rects;
  const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; mem.ok() && i < count; ++i) {
    TCITEMA t{};
    t.mask = TCIF_TEXT;
    t.pszText = mem.at(kTextOffset);
    t.cchTextMax = static_cast<int>(kTextMax);
    mem.Write(0, &t, sizeof t);
    SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), mem.param());
    pages.push_back(Quote(mem.ReadText(kTextOffset, kTextMax)));
    rects.push_back(ItemRect(tab, mem, TCM_GETITEMRECT, i, 0));
  }
  const int current = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
  return "\"pages\":" + List(pages) + ",\"page_rects\":" + List(rects) +
         ",\"current\":" + std::to_string(current);
}

std::string DumpStatusBar(HWND bar) {
  Remote mem(bar, kTextOffset + kTextMax + 16);
  if (!mem.ok()) return "\"parts\":null";
  int edges[64] = {};
  const int n = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 64, mem.param()));
  mem.Read(0, edges, sizeof edges);
  std::vector<std::string> parts, texts;
  for (int i = 0; i < n && i < 64; ++i) {
    parts.push_back(std::to_string(edges[i]));
    const LRESULT len = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(i), 0);
    std::string text;
    if (LOWORD(len) < kTextMax) {
      SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(i), mem.param(kTextOffset));
      text = mem.ReadText(kTextOffset, LOWORD(len));
    }
    texts.push_back(Quote(text));
  }
  return "\"parts\":" + List(parts) + ",\"texts\":" + List(texts);
}

// ---- windows -----------------------------------------------------------------------

// A combo box's drop-down list, top to bottom. Wine hands the item texts
// across processes as wide text only: they are asked for so, and turned
// into the program's code page here.
std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring wide(static_cast<std::size_t>(len > 0 ? len : 0) + 1, L'\0');
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(&wide[0]));
    wide.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    std::string text(wide.size() * 2 + 1, '\0');
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
                            static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
    items.push_back(Quote(text));
  }
  return items;
}

std::string DumpControl(HWND parent, HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  POINT origin{0, 0};
  ClientToScreen(h, &origin);
  const std::string cls = ClassOf(h);
  std::string out = "{\"id\":" + std::to_string(GetDlgCtrlID(h)) + ",\"hwnd\":" + Handle(h) +
                    ",\"class\":" + Quote(cls) + ",\"text\":" + Quote(WindowText(h)) +
                    ",\"enabled\":" + (IsWindowEnabled(h) ? "true" : "false") +
                    ",\"visible\":" + (IsWindowVisible(h) ? "true" : "false") +
                    ",\"rect\":" + Rect(r) + ",\"client_origin\":[" + std::to_string(origin.x) +
                    "," + std::to_string(origin.y) + "]";
  if (cls == "SysListView32") {
    out += "," + DumpListView(h);
  } else if (cls == "SysTabControl32") {
    out += "," + DumpTab(h);
  } else if (cls == "msctls_statusbar32") {
    out += "," + DumpStatusBar(h);
  } else if (cls == "ComboBox") {
    out += ",\"items\":" + List(ComboItems(h));
  } else if (cls == "Button") {
    const LRESULT check = SendMessageA(h, BM_GETCHECK, 0, 0);
    out += ",\"checked\":" + std::string(check == BST_CHECKED ? "true" : "false");
  }
  return out + "}";
}

struct ChildWalk {
  HWND parent;
  std::vector<std::string> out;
};

BOOL CALLBACK AddChild(HWND h, LPARAM p) {
  auto* walk = reinterpret_cast<ChildWalk*>(p);
  // Direct children only: a combo box's edit field is part of the combo.
  if (GetParent(h) == walk->parent) walk->out.push_back(DumpControl(walk->parent, h));
  return TRUE;
}

std::string DumpWindow(HWND h) {
  RECT r{}, client{};
  GetWindowRect(h, &r);
  GetClientRect(h, &client);
  POINT origin{0, 0};
  ClientToScreen(h, &origin);
  ChildWalk walk{h, {}};
  EnumChildWindows(h, AddChild, reinterpret_cast<LPARAM>(&walk));
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return "{\"hwnd\":" + Handle(h) + ",\"pid\":" + std::to_string(pid) +
         ",\"class\":" + Quote(ClassOf(h)) + ",\"title\":" + Quote(WindowText(h)) +
         ",\"enabled\":" + (IsWindowEnabled(h) ? "true" : "false") + ",\"rect\":" + Rect(r) +
         ",\"client\":" + Rect(client) + ",\"client_origin\":[" + std::to_string(origin.x) + "," +
         std::to_string(origin.y) + "],\"controls\":" + List(walk.out) + "}";
}

struct Search {
  std::string cls, prefix;
  HWND found = nullptr;
  std::vector<HWND> all;
};

BOOL CALLBACK Visit(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  if (!IsWindowVisible(h)) return TRUE;
  if (!s->cls.empty() && ClassOf(h) != s->cls) return TRUE;
  if (WindowText(h).compare(0, s->prefix.size(), s->prefix) != 0) return TRUE;
  s->all.push_back(h);
  if (!s->found) s->found = h;
  return TRUE;
}

HWND WaitWindow(const std::string& cls, const std::string& prefix, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search s{cls, prefix, nullptr, {}};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(20);
  }
}

// Under Wine a post to another process now and then fails although the
// window is there (seen once in a hundred runs); it goes through on a retry.
int Post(HWND to, UINT msg, WPARAM w, LPARAM l) {
  for (int tries = 0; tries < 50; ++tries) {
    if (PostMessageA(to, msg, w, l)) return 0;
    if (!IsWindow(to)) break;
    Sleep(20);
  }
  std::fprintf(stderr, "cannot post message %u to window %s (error %lu)\n", msg, Handle(to).c_str(),
               GetLastError());
  return 1;
}

HWND Control(HWND window, const char* id_text) {
  HWND item = GetDlgItem(window, std::atoi(id_text));
  if (!item) std::fprintf(stderr, "no control %s in window %s\n", id_text, Handle(window).c_str());
  return item;
}

// Typing replaces the selection, so the whole field is selected first; an
// empty text is typed as one Backspace. Each character goes to the field
// as the keyboard would deliver it, and the field tells its owner.
int Type(HWND window, const char* id_text, const std::string& text) {
  HWND field = Control(window, id_text);
  if (!field) return 1;
  // A combo box types into its edit field; the extended one of the file
  // dialogs holds that inside a combo box of its own.
  if (ClassOf(field) == "ComboBoxEx32") field = FindWindowExA(field, nullptr, "ComboBox", nullptr);
  if (field && ClassOf(field) == "ComboBox") field = FindWindowExA(field, nullptr, "Edit", nullptr);
  if (!field) {
    std::fprintf(stderr, "no edit field in control %s\n", id_text);
    return 1;
  }
  SendMessageA(field, EM_SETSEL, 0, -1);
  if (text.empty()) {
    SendMessageA(field, WM_CHAR, VK_BACK, 1);
    return 0;
  }
  for (unsigned char c : text) SendMessageA(field, WM_CHAR, c, 1);
  return 0;
}

// ---- menus from the program file ------------------------------------------------

std::string DumpMenu(HMENU menu) {
  std::vector<std::string> items;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    char text[256] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = sizeof text;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    std::string item =
        "{\"id\":" + std::to_string(info.hSubMenu ? -1 : static_cast<int>(info.wID)) +
        ",\"text\":" + Quote(info.fType & MFT_SEPARATOR ? "" : text) +
        ",\"separator\":" + ((info.fType & MFT_SEPARATOR) ? "true" : "false") +
        ",\"grayed\":" + ((info.fState & MFS_GRAYED) ? "true" : "false");
    if (info.hSubMenu) item += ",\"items\":" + DumpMenu(info.hSubMenu);
    items.push_back(item + "}");
  }
  return List(items);
}

int MenuFromFile(const char* exe, int id) {
  HMODULE file = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!file) {
    std::fprintf(stderr, "cannot load %s as data\n", exe);
    return 1;
  }
  HMENU menu = LoadMenuA(file, MAKEINTRESOURCEA(id));
  if (!menu) {
    std::fprintf(stderr, "no menu %d in %s\n", id, exe);
    FreeLibrary(file);
    return 1;
  }
  std::printf("%s\n", DumpMenu(menu).c_str());
  DestroyMenu(menu);
  FreeLibrary(file);
  return 0;
}

// ---- clipboard ------------------------------------------------------------------------

bool OpenClipboardSoon() {
  for (int i = 0; i < 50; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  std::fprintf(stderr, "the clipboard stayed busy\n");
  return false;
}

int ClipboardGet() {
  if (!OpenClipboardSoon()) return 1;
  std::string text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  std::printf("%s\n", Quote(text).c_str());
  return 0;
}

int ClipboardSet(const std::string& text) {
  if (!OpenClipboardSoon()) return 1;
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (mem) {
    std::memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_TEXT, mem)) GlobalFree(mem);
  }
  CloseClipboard();
  return mem ? 0 : 1;
}

// A visible top-level dialog of the process whose title starts with prefix.
struct ProcessWindow {
  DWORD pid;
  std::string prefix;
  HWND found;
};

BOOL CALLBACK VisitOwn(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<ProcessWindow*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != s->pid || !IsWindowVisible(h)) return TRUE;
  if (WindowText(h).compare(0, s->prefix.size(), s->prefix) != 0) return TRUE;
  s->found = h;
  return FALSE;
}

int StartupTime(const char* exe, const char* prefix, DWORD timeout_ms) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER freq, start, now;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  std::string cmd = std::string("\"") + exe + "\"";
  if (!CreateProcessA(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "cannot start %s\n", exe);
    return 1;
  }
  ProcessWindow s{pi.dwProcessId, prefix, nullptr};
  double ms = -1;
  for (;;) {
    s.found = nullptr;
    EnumWindows(VisitOwn, reinterpret_cast<LPARAM>(&s));
    DWORD_PTR answer = 0;
    // Shown, and its message loop running.
    if (s.found && SendMessageTimeoutA(s.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer)) {
      QueryPerformanceCounter(&now);
      ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(freq.QuadPart);
      break;
    }
    QueryPerformanceCounter(&now);
    if (static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
                static_cast<double>(freq.QuadPart) >
            timeout_ms ||
        WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
      break;
    }
    Sleep(1);
  }
  if (s.found) PostMessageA(s.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (ms < 0) return 1;
  std::printf("%.1f\n", ms);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: gui_driver wait CLASS TITLE_PREFIX TIMEOUT_MS | gone HWND TIMEOUT_MS |\n"
               "       dump HWND | type HWND ID TEXT | click HWND ID | command HWND ID |\n"
               "       notify HWND ID CODE |\n"
               "       close HWND | resize HWND WIDTH HEIGHT | menu EXE MENU_ID |\n"
               "       clipboard-get | clipboard-set TEXT | windows |\n"
               "       startup-time EXE TITLE_PREFIX TIMEOUT_MS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  const auto need = [argc](int n) { return argc == n + 2; };

  if (cmd == "wait" && need(3)) {
    HWND h = WaitWindow(argv[2], argv[3], static_cast<DWORD>(std::atol(argv[4])));
    if (!h) return 1;
    std::printf("%s\n", DumpWindow(h).c_str());
    return 0;
  }
  if (cmd == "windows" && need(0)) {
    Search s{"", "", nullptr, {}};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    std::vector<std::string> out;
    for (HWND h : s.all) {
      RECT r{};
      GetWindowRect(h, &r);
      out.push_back("{\"hwnd\":" + Handle(h) + ",\"class\":" + Quote(ClassOf(h)) +
                    ",\"title\":" + Quote(WindowText(h)) + ",\"rect\":" + Rect(r) + "}");
    }
    std::printf("%s\n", List(out).c_str());
    return 0;
  }
  if (cmd == "gone" && need(2)) {
    HWND h = ParseHandle(argv[2]);
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(std::atol(argv[3]));
    while (IsWindow(h)) {
      if (GetTickCount() - start >= limit) return 1;
      Sleep(20);
    }
    return 0;
  }
  if (cmd == "startup-time" && need(3)) {
    return StartupTime(argv[2], argv[3], static_cast<DWORD>(std::atol(argv[4])));
  }
  if (cmd == "menu" && need(2)) return MenuFromFile(argv[2], std::atoi(argv[3]));
  if (cmd == "clipboard-get" && need(0)) return ClipboardGet();
  if (cmd == "clipboard-set" && need(1)) return ClipboardSet(argv[2]);

  if (argc < 3) return Usage();
  HWND window = ParseHandle(argv[2]);
  if (!IsWindow(window)) {
    std::fprintf(stderr, "no window %s\n", argv[2]);
    return 1;
  }
  if (cmd == "dump" && need(1)) {
    std::printf("%s\n", DumpWindow(window).c_str());
    return 0;
  }
  if (cmd == "type" && need(3)) return Type(window, argv[3], argv[4]);
  if (cmd == "click" && need(2)) {
    HWND button = Control(window, argv[3]);
    if (!button) return 1;
    // Posted: the click may open a modal window that would hold a sent one.
    return Post(button, BM_CLICK, 0, 0);
  }
  if (cmd == "command" && need(2)) {
    // Posted, as a menu would: the command may open a modal window.
    return Post(window, WM_COMMAND, MAKEWPARAM(std::atoi(argv[3]), 0), 0);
  }
  if (cmd == "notify" && need(3)) {
    HWND from = Control(window, argv[3]);
    if (!from) return 1;
    const WPARAM w = MAKEWPARAM(std::atoi(argv[3]), std::atoi(argv[4]));
    return Post(window, WM_COMMAND, w, reinterpret_cast<LPARAM>(from));
  }
  if (cmd == "close" && need(1)) return Post(window, WM_CLOSE, 0, 0);
  if (cmd == "resize" && need(3)) {
    // As a drag of the frame ends: the window gets its new size and WM_SIZE.
    return SetWindowPos(window, nullptr, 0, 0, std::atoi(argv[3]), std::atoi(argv[4]),
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : 1;
  }
  return Usage();
}
