// The result store: the hit list in name order, the report order over it,
// the seen-URL tree that keeps each location once, and the results list
// rows. Callers outside src/results include this header only.
#pragma once

#include "results/hit_list.h"
#include "results/report_order.h"
#include "results/result_rows.h"
#include "results/seen_tree.h"
