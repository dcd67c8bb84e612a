// SearchProject: the current saved search (.tvs file). The file holds the
// query with its options, the last ten queries, the ticked engines by ID and
// the hits of the last Hunt.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "settings/settings.h"

constexpr int kHistorySize = 10;
// The project a fresh start and Delete fall back to.
constexpr const char kDefaultProject[] = "default.tvs";

// The project path is g_settings.filename (torva.ini remembers it). Exact
// Match and Max Files are the same values as g_settings.exact and
// g_settings.files: one value each, shared with torva.ini and the request
// builder, so a loaded project is what the next Hunt asks for.
// The engine selection is the selected flag of g_engines; the hits are the
// result store's hit list.
struct SearchProject {
  std::optional<std::string> query;  // the query field; null until set
  int& exact = g_settings.exact;     // Exact Match, 0 or 1
  int& max_files = g_settings.files;
  // The query field's drop-down list, index 0 newest.
  std::array<std::optional<std::string>, kHistorySize> history;
};

extern SearchProject g_project;

// Writes the project to the project path. 1 when written; 0 when there is
// no path (silently) or the file can't be created or written whole
// ("Unable to write Save File"). Reads the window into the project first
// (platform::frontend().WindowToProject()).
int SaveProject();
// Reads the project path's file: hits and history are replaced, the query,
// exact, max files and engine selection only where the file has their line.
// Then the window follows (title, query controls, results list, counts).
// Returns 1 when the file was read, 0 when there is no path or the file
// can't be opened (the hits and history are gone then, and the results list
// is emptied; nothing is shown).
int LoadProject();
// The location of one line of a project's body as LoadProject reads it;
// nullopt when the line is no hit record or its location is empty.
std::optional<std::string> HitLineLocation(const std::string& line);
// "engine=3,7," (or just "3,7,"): clears every engine's selected flag, then
// selects the first engine with each listed ID. An empty item reads as 0;
// an empty list ticks nothing.
void SelectEnginesFromList(const char* text);

// ---- window <-> project ---------------------------------------------------
// The front end reads and writes the real query controls (platform/
// frontend.h); the functions below are the core's side of it.

// What the query field's drop-down list must do after WindowToProjectValues.
struct HistoryChange {
  bool entered = false;  // the query is the new entry 0: insert it as the list's first item
  // The entry pushed off the end by it: its item leaves the list.
  std::optional<std::string> dropped;
};
// The "window to project" rules on values the front end has read from the
// controls: exact from the check box, max files from its text (below 1 or
// not a number gives 50), the query (at most 2047 characters) and its place
// in the history. An entry equal to it ignoring ASCII case leaves the
// history alone; otherwise it becomes entry 0 and the entries before the
// first free one move down one, so that a full history drops entry 9, its
// oldest. (Filling the first free entry instead would put the newest query
// last, where the next query into a full history drops it.)
HistoryChange WindowToProjectValues(bool exact_ticked, const char* max_files_text,
                                    const char* query_text);
// The core's "project to window" through the seam: the query field's text,
// Find greyed when the query is empty, and the Max Files text.
void ProjectToWindow();
// " %i/%i" (selected and all engines) into label 1321; Find enabled exactly
// when an engine is selected. Returns the selected count.
int UpdateEngineCountLabel();
// "Torvane 3.01 - [name.tvs]" with the project path's last component; no
// title change without a project path.
void SetWindowTitle();
// The last path component, behind the last "\" or "/" (the whole path when
// it has none).
std::string ProjectFileName(const std::string& path);
// Frees the query (sets it to null).
void FreeQuery();
