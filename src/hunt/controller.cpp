#include "hunt/controller.h"

#include <string>

#include "hunt/hunt_stats.h"
#include "hunt/response.h"
#include "hunt/slots.h"
#include "platform/frontend.h"
#include "platform/host.h"
#include "platform/ui.h"
#include "projects/project.h"
#include "reports/page_capture.h"
#include "reports/report_set.h"
#include "results/store.h"
#include "settings/settings.h"
#include "util/file.h"
#include "util/text.h"

HuntState g_hunt;

namespace {

constexpr long kDefaultTimeoutMs = 2000;

EngineEntry& RecycleJob(int slot) {
  ConnSlot& s = g_slots[slot];
  if (s.job) {
    NewEngineEntry(&*s.job);
  } else {
    s.job.emplace();
  }
  return *s.job;
}

int VendorJob(int slot, const char* address, std::uint32_t flags) {
  EngineEntry& job = RecycleJob(slot);
  job.request = address;
  job.name = std::string(kVendorJobName);
  job.request_flags = flags;
  return 1;
}

}  // namespace

int SlotsInUse() {
  int n = g_settings.packcount;
  if (n < 1) n = 1;
  if (n > kMaxSlots) n = kMaxSlots;
  return n;
}

int NextSearchTerm() {
  if (!g_hunt.has_terms || g_hunt.next_term >= g_hunt.search_terms.size()) return 0;
  g_hunt.current_term = g_hunt.search_terms[g_hunt.next_term];
  ++g_hunt.next_term;
  g_hunt.engine_cursor = 0;
  return 1;
}

int NextJob(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return 0;
  if (g_hunt.cancel_requests != 0 || !g_hunt.running) return 0;
  if (g_hunt.run_kind == kRunCatalogueDownload) {
    // The announced catalogue alone, once.
    if (g_hunt.catalogue_download_sent) return 0;
    g_hunt.catalogue_download_sent = 1;
    return VendorJob(slot, g_hunt.catalogue_address.c_str(),
                     kRequestVendorJob | kRequestSaveCatalogue);
  }
  if (g_hunt.vendor_replies == 0 && !g_hunt.vendor_job_sent) {
    g_hunt.vendor_job_sent = 1;
    return VendorJob(slot, kVendorNewsAddress, kRequestVendorJob);
  }
  if (g_hunt.run_kind == kRunHunt && g_hunt.insert_download_ordered) {
    g_hunt.insert_download_ordered = 0;
    return VendorJob(slot, kInsertFileAddress, kRequestVendorJob | kRequestSaveToFile);
  }
  if (g_hunt.run_kind == kRunVersionCheck) return 0;
  if (g_hunt.run_kind == kRunInsertDownload) {
    if (g_hunt.insert_download_sent) return 0;
    g_hunt.insert_download_sent = 1;
    return VendorJob(slot, kInsertFileAddress, kRequestVendorJob | kRequestSaveToFile);
  }
  if (g_hunt.engine_cursor == kNoEngine) return 0;
  for (;;) {
    if (g_hunt.engine_cursor >= g_engines.size()) {
      if (!NextSearchTerm()) {
        g_hunt.engine_cursor = kNoEngine;
        return 0;
      }
      continue;
    }
    if (g_engines[g_hunt.engine_cursor].selected) break;
    ++g_hunt.engine_cursor;
  }
  EngineEntry& engine = g_engines[g_hunt.engine_cursor];
  EngineEntry& job = RecycleJob(slot);
  job.name = engine.name;
  job.request = engine.request;
  job.home = engine.home;
  // The vendor's flags are given by NextJob alone, never by an engine.
  job.request_flags =
      engine.request_flags & ~(kRequestVendorJob | kRequestSaveToFile | kRequestSaveCatalogue);
  job.id = engine.id;
  job.selected = engine.selected;
  job.list_position = engine.list_position;
  job.engine_type = engine.engine_type;
  job.query = g_hunt.current_term;
  engine.status_flags = 0;
  ++g_hunt.engine_cursor;
  if (g_hunt.engine_cursor >= g_engines.size() && !NextSearchTerm()) {
    g_hunt.engine_cursor = kNoEngine;
  }
  return 1;
}

void ResetHuntResults() {
  for (EngineEntry& e : g_engines) {
    if (e.request && !e.request->empty()) SaveEngineMessagePage(&e, LoadText(1444));
    e.hits = 0;
  }
  FreeHitList();
  SeenTreeFree(g_seen_urls);
  g_total_hits = 0;
  ResetHuntStats();
  g_hunt.next_term = 1;
  g_hunt.engine_cursor = 0;
}

namespace {

long TimeoutPeriodMs() {
  return g_settings.timeout < 1 ? kDefaultTimeoutMs : g_settings.timeout;
}

// A job past kJobTickLimit ends as timed out, as the abort of a job
// without progress does, whatever it has received so far.
void EndOverlongJob(int slot) {
  ConnSlot& s = g_slots[slot];
  if (g_hunt.run_kind != kRunHunt) {
    if (s.job) s.job->status_flags |= kJobFailed | kJobTimedOut;
    StopHunt();
  }
  const std::string text = Format(LoadText(1539), kJobTickLimit * TimeoutPeriodMs() / 1000);
  SetSlotStatus(slot, "%s", text.c_str());
  ResetSlot(slot, "job ran too long");
  if (s.job) {
    s.job->status_flags |= kJobFailed | kJobTimedOut;
    SaveEngineMessagePage(&*s.job, text);
  }
  RunSlotStep(slot);
}

}  // namespace

void StartRunTimers() {
  const long period = TimeoutPeriodMs();
  auto& host = platform::host();
  host.SetTimer(kTimeoutTimer, static_cast<unsigned>(period));
  g_hunt.timeout_timer = kTimeoutTimer;
  host.SetTimer(kPollTimer, static_cast<unsigned>(kPollPeriodMs));
  g_hunt.poll_timer = kPollTimer;
}

void RunSlotStep(int slot) {
  if (slot < 0 || slot >= kMaxSlots) return;
  StepResult result = StepResult::kStepAgain;
  for (;;) {
    switch (result) {
      case StepResult::kDone:
        return;
      case StepResult::kStepAgain:
        if (g_hunt.cancel_requests != 0) return;
        result = SlotStep(slot);
        break;
      case StepResult::kNeedsJob:
        if (!NextJob(slot)) {
          EndOfRunCheck();
          return;
        }
        result = BeginJob(slot);
        break;
      case StepResult::kRedirect:
        // The same job goes on with the new address.
        result = FollowRedirect(slot);
        break;
      case StepResult::kDelivered:
        platform::host().PostMessage(platform::kMsgStartNext, 0, 0);
        return;
    }
  }
}

void StopHunt() {
  auto& ui = platform::ui();
  ui.WaitCursor(true);
  auto& host = platform::host();
  if (g_hunt.timeout_timer) {
    host.KillTimer(kTimeoutTimer);
    g_hunt.timeout_timer = 0;
  }
  if (g_hunt.poll_timer) {
    host.KillTimer(kPollTimer);
    g_hunt.poll_timer = 0;
  }
  for (int i = 0; i < kMaxSlots; ++i) ResetSlot(i, "run stopped");
  // Pages held in memory during the run go into their files now.
  ReleaseEnginePages();
  const int kind = g_hunt.run_kind;
  g_hunt.running = 0;
  g_hunt.run_kind = kRunHunt;
  // A run-over message still on its way belongs to this run.
  g_hunt.run_over_posted = 0;
  ++g_hunt.run_number;
  for (int id : kRunLockedControls) ui.Enable(platform::kMainWindow, id, true);
  for (int id : kRunLockedMenuItems) ui.EnableMenuItem(id, true);
  if (ui.IsOpen(platform::kFileDetailsPane)) {
    ui.Enable(platform::kFileDetailsPane, IDC_DETAIL_DELETE, true);
  }
  ui.SetText(platform::kMainWindow, IDC_FIND, LoadText(1454));
  ui.SetText(platform::kMainWindow, IDC_CANCEL, LoadText(1456));
  platform::frontend().UpdateEngineCount();
  ui.WaitCursor(false);
  if (ui.IsOpen(platform::kVersionDialog)) platform::frontend().RunEnded();
  // However the download ended (whole, cut, timed out, cancelled), what
  // it brought is reported and shown from the loop.
  if (kind == kRunCatalogueDownload) {
    platform::host().PostMessage(kMsgCatalogueRunOver, g_hunt.cancel_requests != 0 ? 1 : 0, 0);
  }
}

void EndOfRunCheck() {
  for (int i = 0; i < SlotsInUse(); ++i) {
    if (g_slots[i].state != SlotState::kIdle) return;
  }
  if (!g_hunt.timeout_timer || g_hunt.run_over_posted) return;
  // The report and the message box open windows: they wait for the loop.
  // Should the message not go, the next idle step tries again.
  if (!platform::host().PostMessage(kMsgRunOver, g_hunt.run_number, 0)) return;
  g_hunt.run_over_posted = 1;
  // Every engine's page is final: the files are written as soon as the
  // run is over, before the report that links to them.
  WriteHeldEnginePages();
  // Slots that went idle after their last step have not yet counted their
  // last job as finished.
  for (int i = 0; i < SlotsInUse(); ++i) NoteJobDone(i);
  SetSlotStatus(-1, "%s", LoadText(1474));
}

void OnRunOver(std::uintptr_t run_number) {
  if (!g_hunt.run_over_posted || run_number != g_hunt.run_number) return;
  const int kind = g_hunt.run_kind;
  StopHunt();
  // The version check dialog learns of the end through StopHunt.
  if (kind != kRunHunt) return;
  if (g_total_hits == 0) {
    std::string text = LoadText(1475);
    if (g_settings.exact) text += LoadText(1476);
    platform::ui().MessageBox(text, LoadText(1477), platform::kMbOk);
    return;
  }
  WriteReportSet();
  platform::frontend().OpenReport(JoinPath("reports", "report.htm"));
}

void CancelHunt() {
  if (!g_hunt.running) return;
  ++g_hunt.cancel_requests;
  StopHunt();
  SetSlotStatus(-1, "%s", LoadText(1489));
}

void TimeoutTick() {
  for (int i = 0; i < SlotsInUse(); ++i) {
    ConnSlot& s = g_slots[i];
    if (s.state == SlotState::kHandlingAnswer) continue;  // its answer is being handled right now
    if (s.state != SlotState::kIdle && ++s.job_ticks > kJobTickLimit) {
      EndOverlongJob(i);
      continue;
    }
    ++s.ticks;
    if (s.ticks == kRetryTicks) {
      SetSlotStatus(i, "%s", LoadText(1482));
      RunSlotStep(i);
    } else if (s.ticks > kAbortTicks) {
      if (g_hunt.run_kind != kRunHunt) {
        if (s.job) s.job->status_flags |= kJobFailed | kJobTimedOut;
        StopHunt();
      }
      SetSlotStatus(i, "%s", LoadText(1483));
      if (s.received != 0) {
        // What has come is delivered; a cut-off redirect is not followed:
        // the slot stays redirecting with nothing received, and the next
        // tick ends the job as timed out.
        if (FinishResponse(i, kAnswerFollows) == kFinishDelivered) {
          platform::host().PostMessage(platform::kMsgStartNext, 0, 0);
        }
      } else {
        ResetSlot(i, "timed out");
        if (s.job) {
          s.job->status_flags |= kJobFailed | kJobTimedOut;
          SaveEngineMessagePage(&*s.job, LoadText(1484));
        }
        RunSlotStep(i);
      }
    }
  }
}

void OnHostLookupDone(int slot, platform::AsyncTask task, unsigned error) {
  if (LookupDone(slot, task, error)) RunSlotStep(slot);
}

void OnConnectionEvent(platform::Socket s, unsigned error) {
  const int slot = SlotOfSocket(s);
  if (slot >= 0 && ConnectionEvent(slot, error)) RunSlotStep(slot);
}

void OnDataEvent(platform::Socket s, unsigned error) {
  const int slot = SlotOfSocket(s);
  if (slot >= 0 && DataEvent(slot, error)) RunSlotStep(slot);
}

void OnCloseEvent(platform::Socket s, unsigned error) {
  const int slot = SlotOfSocket(s);
  if (slot >= 0 && CloseEvent(slot, error)) RunSlotStep(slot);
}

void OnStartNext() {
  for (int i = 0; i < SlotsInUse(); ++i) {
    if (g_slots[i].state == SlotState::kIdle) {
      RunSlotStep(i);
      return;
    }
  }
}

void PollSlots() {
  for (int i = 0; i < SlotsInUse(); ++i) {
    if (PollWantsStep(i)) RunSlotStep(i);
  }
}
