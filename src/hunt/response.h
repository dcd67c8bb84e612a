// What a finished answer is: a redirect to follow, an error page to record,
// the vendor's reply for the version check, a file the version index
// ordered, or an engine's result page to save and read into hits.
#pragma once

#include <cstddef>

// FinishResponse results.
constexpr int kFinishConsumed = 0;   // consumed or rejected; the slot is reset
constexpr int kFinishDelivered = 1;  // a page was delivered; the slot is reset or receives on
constexpr int kFinishRedirect = 2;   // the job's request now holds the new address

// How an answer came to FinishResponse (its "more" argument).
constexpr int kAnswerWhole = 0;    // the server closed the connection
constexpr int kAnswerFollows = 1;  // the size limit or the timeout cut it; the slot receives on
constexpr int kAnswerBroken = 2;   // the connection failed after part of it

// Handles the answer in the slot's receive buffer, come as `more` says.
// With kAnswerFollows the slot goes on receiving into the same buffer. The
// slot is in SlotState::kHandlingAnswer meanwhile and leaves idle,
// receiving (kAnswerFollows) or redirecting (the caller follows the
// redirect, or the timeout ends the job).
int FinishResponse(int slot, int more);
// The engine whose id is the job's gets the job's hit count.
void SaveJobHits(int slot);

// The insert file the version index ordered, its answer come whole with
// status 200 from url: when the last path segment of url is a plain file
// name ending in ".idx" and the body is whole (headers ended, as long as a
// Content-Length says), the body is written to a temporary file that then
// replaces the report insert file in one rename. 1 when it did; 0 with the
// error box "Unable to write upgrade file" for any other name or a failed
// write, and 0 without a box for a body that is not whole.
int SaveInsertDownload(const char* answer, std::size_t length, const char* url);

// The body of an answer when it came whole: behind the first empty line,
// and as long as the Content-Length header says when there is one. Null for
// an answer cut before its body or inside it.
const char* WholeBody(const char* answer, std::size_t length, std::size_t* body_length);
