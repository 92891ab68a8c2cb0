// Page usage maps: which pages belong to a table. A map is a row of a data
// page. Type 0 holds a start page and a bitmap in the row; type 1 holds
// pointers to whole pages of bitmap (page type 0x05), the n-th covering the
// n-th run of (page size - 4) * 8 pages.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

inline constexpr uint8_t kUsageMapInline = 0x00;
inline constexpr uint8_t kUsageMapPages = 0x01;

// The pages a map marks, in ascending order. Pages at or past the end of the
// file are an error: a map that claims them is broken.
Result<std::vector<uint32_t>> DecodeUsageMap(Bytes map, Pager& pager);

// Reads the map stored in the row `where` points at, and decodes it.
Result<std::vector<uint32_t>> ReadUsageMap(Pager& pager, RowPointer where);

}  // namespace jet
