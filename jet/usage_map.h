// Page usage maps: which pages belong to a table. A map is a row of a data
// page. Type 0 holds a start page and a bitmap in the row; type 1 holds
// pointers to whole pages of bitmap (page type 0x05), the n-th covering the
// n-th run of (page size - 4) * 8 pages.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/env_names.h"

namespace jet {

inline constexpr uint8_t kUsageMapInline = 0x00;
inline constexpr uint8_t kUsageMapPages = 0x01;

// Bit i of a bitmap is bit i % 8 of its byte i / 8. An inline map's bit i
// stands for the page `first + i`; the bitmap page its n-th pointer names
// covers the n-th run of Format::PagesPerMapPage() pages.
inline bool UsageBit(Bytes bitmap, uint64_t bit) { return (bitmap[bit / 8] >> (bit % 8)) & 1; }
inline void SetUsageBit(std::span<uint8_t> bitmap, uint64_t bit, bool on) {
  const auto mask = static_cast<uint8_t>(1u << (bit % 8));
  bitmap[bit / 8] = on ? static_cast<uint8_t>(bitmap[bit / 8] | mask) : static_cast<uint8_t>(bitmap[bit / 8] & ~mask);
}
// Where a paged map row keeps its n-th pointer.
inline size_t PagedMapPointer(size_t n) { return kUsageMapFirst + 4 * n; }

// A new inline map row with a bitmap of `bitmap_bytes` whose window starts at
// `first`, marking `pages` (each inside the window).
std::vector<uint8_t> InlineUsageMapRow(uint32_t first, std::span<const uint32_t> pages, size_t bitmap_bytes);
// A new paged map row of `row_bytes` naming `bitmap_pages` in order (0: no
// page for that run); the row holds (row_bytes - 1) / 4 of them at most, and
// the caller gives no more.
std::vector<uint8_t> PagedUsageMapRow(std::span<const uint32_t> bitmap_pages, size_t row_bytes);

// The pages a map marks, in ascending order. Pages at or past the end of the
// file are an error: a map that claims them is broken.
Result<std::vector<uint32_t>> DecodeUsageMap(Bytes map, Pager& pager);

// Reads the map stored in the row `where` points at, and decodes it.
Result<std::vector<uint32_t>> ReadUsageMap(Pager& pager, RowPointer where);

}  // namespace jet
