// Everything the core asks of whoever shows it, beyond drawing controls
// (that is Ui): the windows it opens, the moments it reports, and the
// reading of the query controls. The Win32 program installs its own; the
// command-line tool and the tests keep the defaults or override single
// methods. Each method's default is written beside it.
#pragma once

#include <string>

struct EngineEntry;

namespace platform {

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // At start-up, behind the three loaders: finds the web browser (the
  // window reads the registry). Default: nothing (torva.ini's browser=).
  virtual void DetectBrowser() {}
  // Find pressed during a Hunt. Default: nothing (there is no dialog).
  virtual void OpenStatusDialog() {}
  // Find: the right tab goes back to Search Results. Default: nothing.
  virtual void ShowResultsPage() {}
  // A Hunt with hits ended and wrote its report (path to report.htm).
  // Default: nothing is opened.
  virtual void OpenReport(const std::string& /*path*/) {}
  // A run ended while the Online Version Check dialog is open (the window
  // posts it command 1094). Default: nothing.
  virtual void RunEnded() {}
  // A job is over, with its final flags and hits; told once per job.
  // Default: nothing.
  virtual void JobDone(int /*slot*/, const EngineEntry& /*job*/) {}
  // Reads the query controls into the project. Default: nothing to read.
  virtual void WindowToProject() {}
  // Shows the project in the query controls. Default: the core's
  // ProjectToWindow (query text, Find greyed, Max Files through Ui).
  virtual void ProjectToWindow();
  // Recounts the selected engines. Default: the core's
  // UpdateEngineCountLabel (label 1321 and Find through Ui).
  virtual void UpdateEngineCount();
};

// The front end in use; never null (the defaults until one is installed).
FrontEnd& frontend();
// Installs f (null puts the defaults back); returns the previous one.
FrontEnd* SetFrontEnd(FrontEnd* f);

}  // namespace platform
