// Small owners for the system handles the front end holds: each closes its
// handle once, when it goes out of scope or is reset.
#pragma once

// windows.h must come before the headers that build on it.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <ddeml.h>
#include <shellapi.h>
// clang-format on
// The core's Ui has a MessageBox of its own; this code calls MessageBoxA by name.
#undef MessageBox

#include <utility>

namespace gui {

// One handle of type H, released by Free when it is not Null.
template <typename H, typename Traits>
class Unique {
 public:
  Unique() = default;
  explicit Unique(H h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, Traits::Null())) {}
  Unique& operator=(Unique&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Traits::Null()));
    return *this;
  }

  H get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Null(); }
  void reset(H h = Traits::Null()) {
    if (h_ != Traits::Null()) Traits::Free(h_);
    h_ = h;
  }
  H release() { return std::exchange(h_, Traits::Null()); }

 private:
  H h_ = Traits::Null();
};

struct MenuTraits {
  static HMENU Null() { return nullptr; }
  static void Free(HMENU h) { DestroyMenu(h); }
};
struct ImageListTraits {
  static HIMAGELIST Null() { return nullptr; }
  static void Free(HIMAGELIST h) { ImageList_Destroy(h); }
};
struct IconTraits {
  static HICON Null() { return nullptr; }
  static void Free(HICON h) { DestroyIcon(h); }
};
struct RegKeyTraits {
  static HKEY Null() { return nullptr; }
  static void Free(HKEY h) { RegCloseKey(h); }
};
struct GlobalTraits {
  static HGLOBAL Null() { return nullptr; }
  static void Free(HGLOBAL h) { GlobalFree(h); }
};
struct FileTraits {
  static HANDLE Null() { return INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { CloseHandle(h); }
};

using UniqueMenu = Unique<HMENU, MenuTraits>;
using UniqueImageList = Unique<HIMAGELIST, ImageListTraits>;
using UniqueIcon = Unique<HICON, IconTraits>;
using UniqueRegKey = Unique<HKEY, RegKeyTraits>;
using UniqueGlobal = Unique<HGLOBAL, GlobalTraits>;
using UniqueFile = Unique<HANDLE, FileTraits>;

// DDE handles belong to one client instance, so they carry it along.
class DdeString {
 public:
  DdeString(DWORD inst, const char* text)
      : inst_(inst), h_(DdeCreateStringHandleA(inst, text, CP_WINANSI)) {}
  ~DdeString() {
    if (h_) DdeFreeStringHandle(inst_, h_);
  }
  DdeString(const DdeString&) = delete;
  DdeString& operator=(const DdeString&) = delete;
  HSZ get() const { return h_; }

 private:
  DWORD inst_;
  HSZ h_;
};

class DdeConversation {
 public:
  DdeConversation(DWORD inst, HSZ service, HSZ topic)
      : h_(service && topic ? DdeConnect(inst, service, topic, nullptr) : nullptr) {}
  ~DdeConversation() {
    if (h_) DdeDisconnect(h_);
  }
  DdeConversation(const DdeConversation&) = delete;
  DdeConversation& operator=(const DdeConversation&) = delete;
  HCONV get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HCONV h_;
};

// The clipboard, open for one owner until the end of the scope.
class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != 0) {}
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

}  // namespace gui
