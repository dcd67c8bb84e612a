#include "hunt/job_observer.h"

JobObserver* g_job_observer = nullptr;
