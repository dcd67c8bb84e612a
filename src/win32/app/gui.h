// The Win32 front end's program-wide values and the functions its files
// offer each other. Everything here runs on the one thread of the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ids.h"
#include "win32/app/handles.h"

struct EngineEntry;
struct FileHit;
struct SoftEntry;

namespace gui {

struct GuiState {
  HINSTANCE instance = nullptr;
  HWND main = nullptr;        // the main window, while it exists
  HMENU menu = nullptr;       // its menu bar (menu 100)
  HWND status_bar = nullptr;  // made at run time, not by the template
  bool ready = false;         // creation is far enough for the layout to run
  bool destroying = false;    // the main window is being torn down
};
extern GuiState g_gui;

inline HWND Item(int id) {
  return g_gui.main ? GetDlgItem(g_gui.main, id) : nullptr;
}

// ---- windows the core addresses by template (win32_ui.cpp) ----------------
void RememberWindow(int dialog, HWND hwnd);
void ForgetWindow(int dialog);
HWND WindowOf(int dialog);
// Installs the Ui and the front end the core talks to; Remove puts the
// quiet defaults back.
void InstallSeams();
void RemoveSeams();
// Lists hold their drawing while rows go in; this draws them again.
void ResumeRedraw();
constexpr UINT kMsgResumeRedraw = WM_APP + 21;
// Shows the status bar texts the core set since the last time.
void FlushStatusBar();
constexpr UINT kMsgFlushStatusBar = WM_APP + 22;
// A right click that arrived inside a delivery, shown from the dialog's loop.
constexpr UINT kMsgDeferredRightClick = WM_APP + 20;
// Modal dialogs show themselves at once: the dialog manager would wait for
// an empty queue, which a Hunt in full swing never has.
inline void ShowDialogNow(HWND dlg) {
  ShowWindow(dlg, SW_SHOW);
}

// ---- deliveries to the core (responsive.cpp) --------------------------------
// Hands one message to the core, then lets waiting input and painting in.
void DeliverToCore(unsigned msg, std::uintptr_t w, std::intptr_t l);
// True while a delivery runs: a modal window opened now would hold the
// Hunt until it closes, so commands are posted to run after it.
bool InsideDelivery();

// ---- main window (main_window.cpp) ------------------------------------------
INT_PTR RunMainWindow();

// ---- layout (main_layout.cpp) -----------------------------------------------
void CreateStatusBar(HWND main);
// Moves and sizes the controls for the client area and the page shown;
// false when the batch of moves failed.
bool LayoutMainWindow(HWND main);

// ---- engine list (engine_list.cpp) ------------------------------------------
bool CreateEngineList();
void FillEngineList();
void DestroyEngineImages();
void SelectAllEngines();
void ClearAllEngines();
void DefaultEngines();
// Every row's check mark drawn again from the engines' selected flags.
void ShowEngineSelection();
// Popup codes: 4 open, 5 copy, 9 select, 2 clear.
constexpr int kEngineOpen = 4;
constexpr int kEngineCopy = 5;
constexpr int kEngineSelect = 9;
constexpr int kEngineClear = 2;
void EnginePopupAction(int code);
void OnEngineListNotify(const NMHDR* hdr);
// The row's state image and image from the entry's availability and flag.
void ShowEngineState(HWND list, int row, const EngineEntry& e);

// ---- results list and right tab (results_list.cpp) -------------------------
bool InsertRightTabPages();
bool InsertResultColumns();
bool InsertCatalogueColumns();
void OnRightTabChanged();
// Back to "Search Results" the way a click on its tab would go there.
void ShowResultsPage();
void OnResultsListNotify(const NMHDR* hdr);
// Answers a list view's text request for a row of either list.
void AnswerTextRequest(NMHDR* hdr);

// ---- hit and catalogue actions (item_actions.cpp) ---------------------------
// On the focused row of "Search Results" (delete: every highlighted row).
constexpr int kHitDelete = 2;
constexpr int kHitOpen = 3;
constexpr int kHitCopy = 5;
constexpr int kHitView = 6;
// Returns the number of rows deleted, or 1 when the action was done.
int HitAction(int action);
// On the focused row of a catalogue page.
constexpr int kSoftDownload = 3;
constexpr int kSoftHome = 4;
constexpr int kSoftCopy = 5;
constexpr int kSoftView = 6;
constexpr int kSoftReview = 7;
constexpr int kSoftSelected = 8;  // the selection changed
void SoftAction(int action);
// The file names of the highlighted catalogue rows joined by ",", as much
// as the query field takes.
std::string SelectedFileNames();
// Version, size and the three buttons as with no entry chosen.
void ClearCatalogueFields();
// Opens an ftp or web address in the browser; any other address is
// refused with a message, an empty one opens nothing.
bool OpenAddress(HWND owner, const std::optional<std::string>& address);
// True while e is an entry of the catalogue.
bool HoldsSoftEntry(const SoftEntry* e);

// ---- detail panes (panes.cpp) ------------------------------------------------
void ShowFileDetails(const FileHit* hit);
void ShowSoftwareInfo(const SoftEntry* entry);
// The entry last focused; an open software pane shows it.
void SetCurrentSoftEntry(const SoftEntry* entry);
// False when no file details pane was open.
bool CloseFileDetails();
// An open file details pane checks that its hit is still there (posted:
// it looks once the handler that deletes hits has finished).
void AfterHitsDeleted();

// ---- popups (popups.cpp) ----------------------------------------------------
enum class PopupKind { kHit = 0, kCatalogue = 1, kEngine = 2, kEngineOffRows = 3 };
bool ShowPopup(HWND owner, POINT screen, PopupKind kind);

// ---- commands (main_commands.cpp) -------------------------------------------
// WM_COMMAND of the main window; false for what it does not handle.
bool OnMainCommand(HWND main, int id);

// ---- project commands (project_commands.cpp) ---------------------------------
void OpenProjectCommand();
void SaveProjectCommand();
void SaveProjectAsCommand();
void DeleteProjectCommand();

// ---- dialogs -----------------------------------------------------------------
void RunStatusDialog();
void RunPreferences();
void RunAboutBox();
// The Online Version Check dialog, and the upgrade its buttons order.
void RunVersionCheck();

// ---- browser (browser.cpp) --------------------------------------------------
struct BrowserCandidates {
  std::string netscape;           // the program registered for NetscapeMarkup
  std::string internet_explorer;  // the program registered for htmlfile
};
extern BrowserCandidates g_browser_candidates;
// Reads the candidates and fills in the browser setting when it is empty.
void DetectBrowser();
// Shows address (a URL, or a file below the working directory) in the
// browser; true when a browser took it.
bool OpenUrl(HWND owner, const char* address);
bool RunningUnderWine();

// ---- desktop helpers (desktop.cpp) ------------------------------------------
bool CopyToClipboard(HWND owner, const std::string& text);
bool WaitCursorOn();
bool WaitCursorOff();

}  // namespace gui
