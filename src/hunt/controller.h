// The Hunt controller: hands each connection slot its next job (the vendor
// job once per program run, then every selected engine for search term 0 in
// list order, then for term 1, ...), watches the slots with the timeout
// timer, notices the end of a run and stops a run on Cancel or shut-down.
// The same machinery carries the online version check (run kind 1), the
// download of a new report insert file that the version index orders
// (run kind 2) and the download of the Program Database it announces
// (run kind 3).
//
// Calls go down: the loop hands the controller a message, the controller
// steps slots (it alone calls SlotStep) and acts on what each step reports.
// The end of a run, which writes the report and may open windows, is posted
// and runs from the loop, never inside a socket handler.
#pragma once

#include <cstdint>

#include "engines/engines.h"
#include "hunt/hunt_state.h"
#include "platform/ids.h"
#include "platform/net.h"

// Timers of the main window.
constexpr int kTimeoutTimer = IDT_TIMEOUT;
constexpr int kPollTimer = IDT_POLL;
constexpr long kPollPeriodMs = 50;
// Posted when the last job of a run has ended; wParam the run's number.
constexpr unsigned kMsgRunOver = WM_TV_RUN_OVER;
// Posted by StopHunt when a catalogue download run stopped; wParam 1 when
// it was cancelled.
constexpr unsigned kMsgCatalogueRunOver = WM_TV_CATALOGUE_OVER;

// What a run greys and StopHunt gives back: the query controls, and the
// menu items that would change the project under the running Hunt.
constexpr int kRunLockedControls[] = {IDC_QUERY, IDC_EXACT_MATCH, IDC_MAX_FILES};
constexpr int kRunLockedMenuItems[] = {IDM_SAVE, IDM_SAVE_AS, IDM_DELETE, IDM_VERSION_CHECK};

// A query is split into at most this many search terms.
constexpr int kMaxSearchTerms = 49;

// Fills the slot's job record with its next job; 1 when there is one.
int NextJob(int slot);
// Moves the current search term on to the next one and the engine cursor
// back to the list head; 0 when the terms are used up.
int NextSearchTerm();
// Clears the results of the previous Hunt: every engine's page reads "Not
// Searched", hits 0, the hit list and seen-URL tree are emptied.
void ResetHuntResults();
// Starts the timers of a run (the running flag must be set).
void StartRunTimers();
// One step of the slot, and what its result asks for: the next job (or
// the end-of-run check when there is none), the lookup of a redirect
// target, another step at once, a step of the first idle slot after a
// delivered page. Nothing while a cancel has been requested.
void RunSlotStep(int slot);
// Ends a run in any state: timers killed, every slot reset, controls restored.
void StopHunt();
// Run by an idle slot that got no job: when every slot in use is idle and
// the timers run, the run is over; "Hunt is Complete" is shown and the
// rest of the end is posted (kMsgRunOver).
void EndOfRunCheck();
// kMsgRunOver from the loop: stops the run, then writes and opens the
// report or tells that nothing was found (a Hunt), or only stops it (the
// version check). A message for a run stopped meanwhile does nothing.
void OnRunOver(std::uintptr_t run_number);
// Cancel: with a run going, stops it and shows "Hunt Cancelled" everywhere.
void CancelHunt();
// Timer 181: one timeout tick for every slot in use.
void TimeoutTick();
// Number of slots in use (packcount, 1..20).
int SlotsInUse();

// Handlers of the socket messages, routed by the main window.
void OnHostLookupDone(int slot, platform::AsyncTask task, unsigned error);
void OnConnectionEvent(platform::Socket s, unsigned error);
void OnDataEvent(platform::Socket s, unsigned error);
void OnCloseEvent(platform::Socket s, unsigned error);
// Message 1095: one step of the first idle slot.
void OnStartNext();
// Timer 1330's polling: steps receiving slots whose socket can be peeked
// and idle slots.
void PollSlots();
