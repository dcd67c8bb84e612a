// The program-wide state of a run (a Hunt, the version check, the insert
// download or the catalogue download) and the flags of its jobs: data that
// the controller changes and the slots and the response handling read, so
// that they need not include the controller above them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Run kinds.
constexpr int kRunHunt = 0;
constexpr int kRunVersionCheck = 1;
constexpr int kRunInsertDownload = 2;
// The Program Database the version index announced, fetched on the user's
// order (the database "Upgrade >" of the version check).
constexpr int kRunCatalogueDownload = 3;

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
// The answer is the announced Program Database, to replace soft.dat.
constexpr std::uint32_t kRequestSaveCatalogue = 0x1000;

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
  // An insert file ordered by the index a Hunt read: one more job of that
  // Hunt (or of the next), which keeps its engines and its report.
  int insert_download_ordered = 0;
  // Run kind 3: the address of the announced catalogue, handed out once.
  std::string catalogue_address;
  int catalogue_download_sent = 0;
  int timeout_timer = 0;  // kTimeoutTimer while running, else 0
  int poll_timer = 0;     // kPollTimer while running, else 0
  // The end of a run is handled from the loop: the "run over" message is
  // on its way and carries run_number. StopHunt raises run_number, so a
  // message for a run stopped meanwhile (Cancel) is known to be stale.
  int run_over_posted = 0;
  std::uintptr_t run_number = 0;
};

extern HuntState g_hunt;
