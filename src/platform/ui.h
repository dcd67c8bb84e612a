// The seam to the screen: everything the core shows goes through Ui. The
// Win32 front end draws on real controls; the headless Ui records what was
// shown so tests can assert on it and torvane-cli can print it.
#pragma once

#include <string>
#include <variant>

#include "platform/ids.h"

struct FileHit;
struct SoftEntry;
struct EngineEntry;

namespace platform {

// A window of the program, named by its dialog template (IDD_* of ids.h),
// so any dialog the program opens can be addressed without a new name here.
struct Window {
  int dialog;
  bool operator==(const Window& o) const { return dialog == o.dialog; }
  bool operator!=(const Window& o) const { return dialog != o.dialog; }
};
constexpr Window kMainWindow{IDD_MAIN};
constexpr Window kStatusDialog{IDD_STATUS};
constexpr Window kVersionDialog{IDD_VERSION_CHECK};
constexpr Window kFileDetailsPane{IDD_FILE_DETAILS};

// Message box styles and answers, with the Win32 values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconStop = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// SetText with this control id sets the window's own title bar text (for
// the dialogs; the main window's title goes through SetTitle).
constexpr int kWindowTitle = 0;

// The core record behind a row of a list view; which alternative it holds
// says what kind of row it is, so the front end never guesses it from the
// tab shown.
using RowItem = std::variant<const FileHit*, const SoftEntry*, const EngineEntry*>;
enum class RowKind { kHit = 0, kCatalogue = 1, kEngine = 2 };
inline RowKind KindOf(const RowItem& item) {
  return static_cast<RowKind>(item.index());
}

class Ui {
 public:
  virtual ~Ui() = default;

  // Modal message box; returns the button pressed (kIdOk, kIdYes, ...).
  // It may re-enter the message loop, so callers must be ready for that.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
  // A control's text; ignored when that window is not open.
  virtual void SetText(Window w, int control, const std::string& text) = 0;
  virtual void Enable(Window w, int control, bool on) = 0;
  // An item of the main window's menu bar (IDM_*), greyed or not.
  virtual void EnableMenuItem(int command, bool on) = 0;
  virtual bool IsOpen(Window w) const = 0;
  // A connection slot's status text changed (-1: every slot in use).
  virtual void SlotStatus(int slot, const std::string& text) = 0;
  // Part 0 or 1 of the main window's status bar.
  virtual void StatusBar(int part, const std::string& text) = 0;
  // Rows of a list view (IDC_RESULTS_LIST, IDC_ENGINE_LIST); the front end
  // reads the cell texts from the record on demand. InsertRow returns false
  // when the control refuses the row.
  virtual bool InsertRow(int list, int row, RowItem item) = 0;
  virtual void DeleteRow(int list, int row) = 0;
  virtual void DeleteAllRows(int list) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void WaitCursor(bool on) = 0;
  virtual void EndMainWindow() = 0;
};

// The Ui in use; never null (a quiet headless Ui until one is installed).
Ui& ui();
// Installs u (null puts the quiet default back); returns the previous one.
Ui* SetUi(Ui* u);

}  // namespace platform

// Modal error message with the caption "Error" and an OK button.
void ErrorBox(const std::string& text);
