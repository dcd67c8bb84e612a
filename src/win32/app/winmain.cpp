// Program entry: the state the main window needs is loaded in a fixed
// order, then the main window runs until it is closed.
#include <stdlib.h>

#include "app/startup.h"
#include "platform/adapter.h"
#include "platform/host.h"
#include "win32/app/gui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // A failed assert must not open a box that nobody under test can close.
  _set_error_mode(_OUT_TO_STDERR);
  gui::g_gui.instance = instance;
  INITCOMMONCONTROLSEX classes{sizeof classes,
                               ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  // Before the loaders, so that their error boxes are real ones.
  gui::InstallSeams();

  StartUp();

  // Sockets and timers post to the adapter's own window on this thread;
  // the dialog's modal loop dispatches them to the core.
  if (platform::InstallOsAdapter()) {
    platform::host().SetHandler(gui::DeliverToCore);
  }
  const INT_PTR ended = gui::RunMainWindow();
  platform::host().SetHandler(nullptr);
  platform::RemoveOsAdapter();
  gui::RemoveSeams();
  if (ended == -1) return 2;  // the window could not be made at all
  return 1;
}
