// Rewriting a data page: new contents for some of its rows, every other row
// kept byte for byte and every row keeping its number (indexes and overflow
// pointers name rows by page and number, so a number must never change).
//
// Rows lie from the end of the page downwards in slot order (see
// data_page.h), so a row that grows or shrinks shifts every row after it:
// the page is laid out again as a whole, which also keeps the free-space
// count (the gap between the slot table and the lowest row) true.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/env_names.h"

namespace jet {


// The space a row takes on a page: its bytes and its slot.
inline size_t RowFootprint(size_t row_bytes) { return row_bytes + 2; }

// How many rows of `row_bytes` each a data page takes.
inline size_t RowsPerPage(const Format& format, size_t row_bytes) {
  return std::min(kMaxRowsPerPage, (format.page_size - SlotsEnd(format, 0)) / RowFootprint(row_bytes));
}

// A data page of `owner` without rows.
std::vector<uint8_t> EmptyDataPage(const Format& format, uint32_t owner);

// A new content for one row.
struct SlotWrite {
  uint16_t row = 0;    // a row of the page, or the page's row count to add a row
  uint16_t flags = 0;  // the slot's new flags: 0; kRowLookup (the bytes are a
                       // row pointer to where the row lives now); kRowDeleted
                       // (a row only reached through such a pointer)
  std::vector<uint8_t> bytes;
};

// The page with the writes applied and every row laid out again from the
// end of the page; the other rows keep their bytes and flags, the free space
// between the slot table and the rows is zeroed, and the free-space count is
// set. kInvalidArgument when the rows do not fit (the caller then moves a
// row to another page); kCorrupt when the page is not a sound data page.
Result<std::vector<uint8_t>> RepackDataPage(Bytes page, const Format& format, std::span<const SlotWrite> writes);

// Whether a data page is sound in every way RepackDataPage relies on, which
// reading does not ask: every row's offset inside the page and past the slot
// table, the rows in slot order without overlap, a live overflow slot
// holding a pointer to a page of the file (of `page_count` pages), and the
// free-space count what the rows leave. A
// page re-laid from a table that fails this would spread the damage to every
// row after the bad one; kCorrupt says which check failed.
Status CheckRepackable(Bytes page, const Format& format, uint32_t page_count);

}  // namespace jet
