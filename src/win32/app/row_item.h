// A list row's record as the row's item data, and the texts of its cells.
// No system header: the unit tests build it natively.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/catalogue.h"
#include "engines/engines.h"
#include "platform/ui.h"
#include "results/store.h"

namespace gui {

// The records are aligned to more than four bytes, so the row's kind rides
// in the two low bits of the pointer: one value per row, nothing to free
// when the row goes.
static_assert(alignof(FileHit) >= 4 && alignof(SoftEntry) >= 4 && alignof(EngineEntry) >= 4,
              "row records must leave two pointer bits free");

inline std::intptr_t PackRow(const platform::RowItem& item) {
  const void* p = nullptr;
  switch (platform::KindOf(item)) {
    case platform::RowKind::kHit:
      p = std::get<const FileHit*>(item);
      break;
    case platform::RowKind::kCatalogue:
      p = std::get<const SoftEntry*>(item);
      break;
    case platform::RowKind::kEngine:
      p = std::get<const EngineEntry*>(item);
      break;
  }
  return reinterpret_cast<std::intptr_t>(p) | static_cast<std::intptr_t>(item.index());
}

// False for a value that carries no record (a row the program did not make).
inline bool UnpackRow(std::intptr_t value, platform::RowItem* out) {
  const auto kind = static_cast<int>(value & 3);
  const std::intptr_t bits = value & ~static_cast<std::intptr_t>(3);
  if (!bits) return false;
  switch (kind) {
    case 0:
      *out = reinterpret_cast<const FileHit*>(bits);
      return true;
    case 1:
      *out = reinterpret_cast<const SoftEntry*>(bits);
      return true;
    case 2:
      *out = reinterpret_cast<const EngineEntry*>(bits);
      return true;
    default:
      return false;
  }
}

// The text of one cell: hits show name, size, URL; catalogue entries show
// program, file name, size, download URL; engines their name.
inline const std::string* CellText(const platform::RowItem& item, int column,
                                   std::string& scratch) {
  const auto field = [](const std::optional<std::string>& v) { return v ? &*v : nullptr; };
  switch (platform::KindOf(item)) {
    case platform::RowKind::kHit: {
      const FileHit& h = *std::get<const FileHit*>(item);
      if (column == 0) return field(h.name);
      if (column == 1) return field(h.size);
      if (column == 2) return field(h.location);
      return nullptr;
    }
    case platform::RowKind::kCatalogue: {
      const SoftEntry& e = *std::get<const SoftEntry*>(item);
      if (column == 0) return field(e.name);
      if (column == 1) {
        if (!e.download) return nullptr;
        scratch = SoftFileName(e);
        return &scratch;
      }
      if (column == 2) return field(e.size);
      if (column == 3) return field(e.download);
      return nullptr;
    }
    case platform::RowKind::kEngine: {
      const EngineEntry& e = *std::get<const EngineEntry*>(item);
      return column == 0 ? field(e.name) : nullptr;
    }
  }
  return nullptr;
}

}  // namespace gui
