// The Hunt controller: hands each connection slot its next job (the vendor
// job once per program run, then every selected engine for search term 0 in
// list order, then for term 1, ...), watches the slots with the timeout
// timer, notices the end of a run and stops a run on Cancel or shut-down.
// The same machinery carries the online version check (run kind 1) and the
// download of a new report insert file that the version index orders
// (run kind 2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "platform/ids.h"

// Timers of the main window.
constexpr int kTimeoutTimer = IDT_TIMEOUT;
constexpr int kPollTimer = IDT_POLL;
constexpr long kPollPeriodMs = 50;

// What a run greys and StopHunt gives back: the query controls, and the
// menu items that would change the project under the running Hunt.
constexpr int kRunLockedControls[] = {IDC_QUERY, IDC_EXACT_MATCH, IDC_MAX_FILES};
constexpr int kRunLockedMenuItems[] = {IDM_SAVE, IDM_SAVE_AS, IDM_DELETE, IDM_VERSION_CHECK};

// Run kinds.
constexpr int kRunHunt = 0;
constexpr int kRunVersionCheck = 1;
constexpr int kRunInsertDownload = 2;

// A query is split into at most this many search terms.
constexpr int kMaxSearchTerms = 49;

// Status flags of a job.
constexpr std::uint32_t kJobFinished = 0x4;
constexpr std::uint32_t kJobFailed = 0x8;
constexpr std::uint32_t kJobHostNotFound = 0x100;
constexpr std::uint32_t kJobConnectError = 0x200;
constexpr std::uint32_t kJobTimedOut = 0x400;
// Request flags of a job.
constexpr std::uint32_t kRequestError = 0x8;
constexpr std::uint32_t kRequestSaveToFile = 0x80;
constexpr std::uint32_t kRequestVendorJob = 0x400;

// The vendor's job: its name, the address of its news (the version index;
// "cgi" in it marks the reply for the version check) and the report insert
// file that the index can order.
constexpr char kVendorJobName[] = "Kite HQ";
constexpr char kVendorNewsAddress[] = "http://www.torvane.example/cgi-bin/news.cgi";
constexpr char kInsertFileAddress[] = "http://www.torvane.example/torva.idx";

constexpr std::size_t kNoEngine = static_cast<std::size_t>(-1);

struct HuntState {
  int running = 0;          // Hunt-running flag
  int cancel_requests = 0;  // while non-zero no slot steps and NextJob gives nothing
  int run_kind = kRunHunt;
  // Index into g_engines of the next engine to consider; kNoEngine when the
  // terms are used up.
  std::size_t engine_cursor = kNoEngine;
  // The search terms of the query (indexes 0-48); has_terms tells whether a
  // query has ever been split.
  bool has_terms = false;
  std::vector<std::string> search_terms;
  std::optional<std::string> current_term;
  std::size_t next_term = 1;
  int vendor_job_sent = 0;
  int vendor_replies = 0;        // raised for every version index read
  int insert_download_sent = 0;  // run kind 2 hands its job out once
  int timeout_timer = 0;         // kTimeoutTimer while running, else 0
  int poll_timer = 0;            // kPollTimer while running, else 0
};

extern HuntState g_hunt;

// Fills the slot's job record with its next job; 1 when there is one.
int NextJob(int slot);
// Moves the current search term on to the next one and the engine cursor
// back to the list head; 0 when the terms are used up.
int NextSearchTerm();
// Clears the results of the previous Hunt: every engine's page reads "Not
// Searched", hits 0, the hit list and seen-URL tree are emptied.
void ResetHuntResults();
// The engine whose id is the job's gets the job's hit count.
void SaveJobHits(int slot);
// Starts the timers of a run (the running flag must be set).
void StartRunTimers();
// Ends a run in any state: timers killed, every slot reset, controls restored.
void StopHunt();
// Run by an idle slot that got no job: when every slot in use is idle and
// the timers run, the run is over.
void EndOfRunCheck();
// Cancel: with a run going, stops it and shows "Hunt Cancelled" everywhere.
void CancelHunt();
// Timer 181: one timeout tick for every slot in use.
void TimeoutTick();
// Number of slots in use (packcount, 1..20).
int SlotsInUse();
