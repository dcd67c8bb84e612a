// The generated report pages in reports/: the summary results.htm (every
// hit in name order), intro.htm (welcome and hit count) and menu.htm (links
// to the summary and to each selected engine's captured page). report.htm,
// the frameset that shows them, and its images ship with the program.
#pragma once

#include "util/file.h"

// Writes the three pages. When results.htm can't be created nothing is
// written (after an error box); a failed intro or menu page does not stop
// the summary. A page that can't be created or written whole shows its
// error box ("Unable to open file 'results.htm'" and so on). Returns 1 when
// all three pages were written, else 0; the window's callers ignore it
// (each failure has shown its own box), the command-line tool turns it into
// its exit status.
int WriteReportSet();
// One page each; 1 on success, 0 (after an error box) when the file can't
// be created or written.
int WriteIntroPage();
int WriteMenuPage();
// The DOCTYPE and head lines shared by the three pages.
void WriteReportHead(FileWriter& f, const char* title);
// The header row of the summary table.
void WriteResultsTableHeader(FileWriter& f);
