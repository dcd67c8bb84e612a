// The File menu's project commands: the system's file dialogs and the
// confirmation, then the core's Open, Save As and Delete.
#include "projects/project_commands.h"

#include <string>

#include "projects/project.h"
#include "util/text.h"
#include "win32/app/gui.h"

// (commdlg.h needs windows.h, which gui.h brings in)
#include <commdlg.h>

namespace gui {

namespace {

// Path, file title and working directory buffers of the dialogs.
constexpr DWORD kPathBytes = 256;

// The dialogs start in the working directory, where the projects live; one
// too long for the buffer leaves the dialog its own choice.
struct StartDirectory {
  char path[kPathBytes] = "";
  StartDirectory() {
    const DWORD n = GetCurrentDirectoryA(kPathBytes, path);
    if (n == 0 || n >= kPathBytes) path[0] = '\0';
  }
  const char* get() const { return path[0] ? path : nullptr; }
};

// Save, Save As and Delete are greyed during a Hunt; a command that comes
// anyway (posted, or from an accelerator) is ignored as the menu shows.
bool Greyed(int command) {
  const UINT state = GetMenuState(g_gui.menu, static_cast<UINT>(command), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

// The Open or Save As dialog on the file buffer (kPathBytes) with the
// settings both share; false when the user cancelled.
bool AskFileName(bool save, const char* filter, int title_id, const char* default_ext,
                 DWORD extra_flags, char* file) {
  char title[kPathBytes] = "";
  const StartDirectory dir;
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = g_gui.main;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kPathBytes;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = kPathBytes;
  ofn.lpstrInitialDir = dir.get();
  ofn.lpstrTitle = LoadText(title_id);
  ofn.lpstrDefExt = default_ext;
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_SHOWHELP | OFN_NOCHANGEDIR |
              extra_flags;
  return (save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)) != 0;
}

}  // namespace

void OpenProjectCommand() {
  char file[kPathBytes] = "*.tvs";
  if (!AskFileName(false, "*.tvs\0*.tvs\0", 1506, nullptr, OFN_FILEMUSTEXIST, file)) return;
  OpenProject(file);
  // The check marks follow the loaded selection at once.
  ShowEngineSelection();
}

void SaveProjectCommand() {
  if (!Greyed(IDM_SAVE)) SaveProject();
}

void SaveProjectAsCommand() {
  if (Greyed(IDM_SAVE_AS)) return;
  if (!g_settings.filename) return;
  char file[kPathBytes] = "";
  if (!AskFileName(true, "Torvane Search (*.tvs)\0*.tvs\0", 1508, "tvs", 0, file)) return;
  SaveProjectAs(file);
}

void DeleteProjectCommand() {
  if (!Greyed(IDM_DELETE)) DeleteProject();
}

}  // namespace gui
