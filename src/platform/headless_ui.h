// A Ui without a screen: it records every call as one line of text, so
// tests can assert on what was shown, and answers message boxes with a
// preset button.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace platform {

class HeadlessUi : public Ui {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void SetText(Window w, int control, const std::string& text) override;
  void Enable(Window w, int control, bool on) override;
  void EnableMenuItem(int command, bool on) override;
  bool IsOpen(Window w) const override;
  void SlotStatus(int slot, const std::string& text) override;
  void StatusBar(int part, const std::string& text) override;
  bool InsertRow(int list, int row, RowItem item) override;
  void DeleteRow(int list, int row) override;
  void DeleteAllRows(int list) override;
  void SetTitle(const std::string& title) override;
  void WaitCursor(bool on) override;
  void EndMainWindow() override;

  // Every call, in order, e.g. "box Error|Unable to ...|0", "text 101:1321|
  // 2/5", "enable 101:1008|1", "menu 174|0" or "status 3|text".
  std::vector<std::string> log;
  // Current texts by (dialog, control) and rows by list.
  std::map<std::pair<int, int>, std::string> texts;
  std::map<int, std::vector<RowItem>> rows;
  std::vector<std::string> slot_status = std::vector<std::string>(20);
  std::string status_bar[2];
  // Dialogs other than the main window that count as open (IDD_*).
  std::set<int> open_dialogs;
  bool main_window_ended = false;
  int answer = kIdOk;  // what every message box answers
  bool refuse_rows = false;
};

}  // namespace platform
