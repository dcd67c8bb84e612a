// The File menu's project commands once the user has made the choice: Open
// and Save As with the path picked in the file dialog, and Delete. The file
// dialogs themselves are the window's.
#pragma once

#include <string>

// The path Save As gives the project: ".tvs" added when the chosen path
// holds no "." anywhere, its directories included.
std::string SaveAsPath(const std::string& chosen);
// Makes path the current project: the project left is saved first, then
// path is loaded into the window. A Hunt still running is cancelled in
// between: what it found so far was saved with the project it was started
// for, and its later hits must not pour into the one opened (nor its next
// requests follow the engines and options just loaded).
void OpenProject(const std::string& path);
// Reads the window into the project, moves the project to SaveAsPath(chosen),
// saves it there and names it in the title. 1 when saved.
int SaveProjectAs(const std::string& chosen);
// Asks first (Yes/No). On Yes: the hits go, the project file is deleted
// (a missing one is no error), the query is emptied and "default.tvs"
// becomes the project; Exact Match, Max Files, the engines and the history
// stay. 1 when deleted, 0 when the user said No.
int DeleteProject();
