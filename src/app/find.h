// Find and Cancel from the user's side: the query becomes search terms, the
// network is started, the results are reset, the timers start and every
// slot in use takes its first job.
#pragma once

#include <string>
#include <vector>

// Splits query at its commas into at most 49 search terms: white space at
// the start of the query and behind each comma is skipped, a term keeps its
// trailing white space, and two commas in a row give an empty term. An
// empty query gives one empty term; null leaves the terms as they are.
// Fills g_hunt's terms and makes the current search term a copy of term 0.
void SplitQuery(const char* query);
// The same rule as a plain function.
std::vector<std::string> SplitSearchTerms(const char* query);

// Command 1008. During a Hunt it only opens the status dialog. Returns 1
// when a Hunt was started.
int Find();
// Command 130: stops a running Hunt ("Hunt Cancelled" on every slot).
void Cancel();
