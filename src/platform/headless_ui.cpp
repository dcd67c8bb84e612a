#include "platform/headless_ui.h"

#include <string>

#include "util/text.h"

namespace platform {

int HeadlessUi::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  log.push_back("box " + caption + "|" + text + "|" + std::to_string(style));
  return answer;
}

void HeadlessUi::SetText(Window w, int control, const std::string& text) {
  texts[{w.dialog, control}] = text;
  log.push_back("text " + std::to_string(w.dialog) + ":" + std::to_string(control) + "|" + text);
}

void HeadlessUi::Enable(Window w, int control, bool on) {
  log.push_back("enable " + std::to_string(w.dialog) + ":" + std::to_string(control) + "|" +
                (on ? "1" : "0"));
}

void HeadlessUi::EnableMenuItem(int command, bool on) {
  log.push_back("menu " + std::to_string(command) + "|" + (on ? "1" : "0"));
}

bool HeadlessUi::IsOpen(Window w) const {
  if (w == kMainWindow) return !main_window_ended;
  return open_dialogs.count(w.dialog) != 0;
}

void HeadlessUi::SlotStatus(int slot, const std::string& text) {
  if (slot < 0) {
    for (auto& s : slot_status) s = text;
  } else if (slot < static_cast<int>(slot_status.size())) {
    slot_status[static_cast<std::size_t>(slot)] = text;
  }
  log.push_back("status " + std::to_string(slot) + "|" + text);
}

void HeadlessUi::StatusBar(int part, const std::string& text) {
  if (part == 0 || part == 1) status_bar[part] = text;
}

bool HeadlessUi::InsertRow(int list, int row, RowItem item) {
  if (refuse_rows) return false;
  auto& r = rows[list];
  if (row < 0 || row > static_cast<int>(r.size())) row = static_cast<int>(r.size());
  r.insert(r.begin() + row, item);
  return true;
}

void HeadlessUi::DeleteRow(int list, int row) {
  auto& r = rows[list];
  if (row >= 0 && row < static_cast<int>(r.size())) r.erase(r.begin() + row);
}

void HeadlessUi::DeleteAllRows(int list) {
  rows[list].clear();
}

void HeadlessUi::SetTitle(const std::string& title) {
  log.push_back("title " + title);
}

void HeadlessUi::WaitCursor(bool on) {
  log.push_back(on ? "wait on" : "wait off");
}

void HeadlessUi::EndMainWindow() {
  main_window_ended = true;
  log.push_back("end main window");
}

namespace {
HeadlessUi& QuietUi() {
  static HeadlessUi quiet;
  // The default keeps no history: it would only grow in a long run.
  quiet.log.clear();
  return quiet;
}
Ui* g_ui = nullptr;
}  // namespace

Ui& ui() {
  return g_ui ? *g_ui : QuietUi();
}

Ui* SetUi(Ui* u) {
  Ui* old = g_ui;
  g_ui = u;
  return old;
}

}  // namespace platform

void ErrorBox(const std::string& text) {
  platform::ui().MessageBox(text, LoadText(1451), platform::kMbOk);
}
