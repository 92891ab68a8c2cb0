// Changing page usage maps (see usage_map.h for their two kinds): marking a
// page as belonging to a table or a long value column, and taking a page
// for new rows. Maps are changed in place, bit by bit, inside a
// PageTransaction; a map is never made larger, but an inline map may move
// its window.
#pragma once

#include <cstdint>
#include <functional>

#include "jet/format.h"
#include "jet/page_transaction.h"
#include "jet/env_names.h"

namespace jet {

// The map of free pages of the whole file: the first row of page 1. A set
// bit means the page is free; pages past the end of the file are marked
// free up to the map's reach.
inline constexpr RowPointer kFreePageMap{1, 0};

// Sets or clears the bit of `page` in the map stored in the row `where`. An
// inline map whose window does not reach the page moves its window when all
// it marks still fits; kUnsupported when a page cannot be marked. Clearing a
// page the map does not reach does nothing: it was not marked.
Status SetUsageMapBit(PageTransaction& tx, RowPointer where, uint32_t page, bool on);

// Whether SetUsageMapBit could mark `page` in the map at `where`.
Result<bool> UsageMapCanMark(PageTransaction& tx, RowPointer where, uint32_t page);

// A page for new rows that `usable` accepts (its owner's maps can list it):
// a free page inside the file if the free-page map names one, else a new
// page at the end of the file. Either way it is taken off the free-page map
// (a page the map does not reach is not listed as free, so there is nothing
// to take off). The page's bytes are the caller's to write. kUnsupported
// when no page will do.
Result<uint32_t> TakeFreePage(PageTransaction& tx, const std::function<Result<bool>(uint32_t)>& usable);

}  // namespace jet
