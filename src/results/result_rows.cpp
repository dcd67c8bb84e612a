#include "results/result_rows.h"

#include <string>

#include "catalogue/catalogue.h"
#include "platform/ui.h"
#include "results/hit_list.h"
#include "util/text.h"

std::int32_t g_total_hits = 0;
int g_result_rows = 0;
int g_right_tab = 0;
bool g_list_filling = false;

namespace {

void ShowTotalHitCount() {
  using platform::ui;
  if (ui().IsOpen(platform::kStatusDialog)) {
    ui().SetText(platform::kStatusDialog, IDC_FILES_FOUND,
                 std::string("  ") + IntToText(g_total_hits));
  }
}

void DeleteRows() {
  g_list_filling = true;
  platform::ui().DeleteAllRows(IDC_RESULTS_LIST);
  g_list_filling = false;
  g_result_rows = 0;
}

}  // namespace

int InsertHitRow(int row, const FileHit* hit) {
  return platform::ui().InsertRow(IDC_RESULTS_LIST, row, platform::RowItem(hit)) ? 1 : 0;
}

int InsertCatalogueRow(int row, const SoftEntry* entry) {
  return platform::ui().InsertRow(IDC_RESULTS_LIST, row, platform::RowItem(entry)) ? 1 : 0;
}

void AppendHitRow(const FileHit* hit) {
  if (g_right_tab == 0 && InsertHitRow(g_result_rows, hit)) ++g_result_rows;
}

int DeleteHitRow(int row, const FileHit* hit) {
  if (!HoldsHit(hit)) return 0;
  const bool counted = hit->name.has_value();
  DeleteFileHit(hit);
  g_list_filling = true;
  platform::ui().DeleteRow(IDC_RESULTS_LIST, row);
  g_list_filling = false;
  if (g_result_rows > 0) --g_result_rows;
  if (counted && g_total_hits > 0) --g_total_hits;
  ShowTotalHitCount();
  return 1;
}

void EmptyResultsList() {
  DeleteRows();
  g_total_hits = 0;
  ShowTotalHitCount();
}

int FillResultsList() {
  DeleteRows();
  if (g_right_tab != 0) return FillCatalogueRows(g_right_tab);
  if (!HitCount()) return 0;
  for (const FileHit* hit : HitsInListOrder()) {
    if (hit->name && hit->location && InsertHitRow(g_result_rows, hit)) ++g_result_rows;
  }
  return 1;
}
