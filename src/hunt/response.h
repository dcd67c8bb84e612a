// What a finished answer is: a redirect to follow, an error page to record,
// the vendor's reply for the version check, a file the version index
// ordered, or an engine's result page to save and read into hits.
#pragma once

#include <cstddef>

// FinishResponse results.
constexpr int kFinishConsumed = 0;   // consumed or rejected; the slot is reset
constexpr int kFinishDelivered = 1;  // a page was delivered; the slot is reset or receives on
constexpr int kFinishRedirect = 2;   // the job's request now holds the new address

// Handles the answer in the slot's receive buffer. more is 0 when the
// server closed (or recv failed), 1 when the slot stopped at its size limit
// or the timeout cut the answer off; with 1 the slot goes on receiving into
// the same buffer. The slot is in SlotState::kHandlingAnswer meanwhile and
// leaves idle, receiving (more 1) or redirecting (the caller follows the
// redirect, or the timeout ends the job).
int FinishResponse(int slot, int more);
// The engine whose id is the job's gets the job's hit count.
void SaveJobHits(int slot);

// The insert-file download: saves the body of answer (behind its first
// empty line) to the file named by the last path segment of url in the
// working directory. 1 when saved; 0 after the error box otherwise.
int SaveDownloadedFile(const char* answer, std::size_t length, const char* url);
