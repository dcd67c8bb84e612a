// Told what each job does on its way, for explaining one engine to whoever
// writes its entry (torvane-cli probe). No Hunt installs one: each hook is
// one pointer test per request, answer and anchor.
#pragma once

#include <cstddef>
#include <string>

#include "results/parser.h"

class JobObserver : public ParseObserver {
 public:
  // The slot has sent this request (again after each redirect).
  virtual void RequestSent(int /*slot*/, const std::string& /*request*/) {}
  // The slot's answer (or a piece of it) has come: status is the status
  // line's code (0 when the answer begins with none); followed_to is the
  // address the job goes on to when the answer was taken as a redirect and
  // followed, null otherwise; too_many when it was one redirect too many.
  virtual void AnswerRead(int /*slot*/, const char* /*answer*/, std::size_t /*length*/,
                          int /*status*/, const std::string* /*followed_to*/, bool /*too_many*/) {}
};

// Null unless someone explains a job.
extern JobObserver* g_job_observer;
