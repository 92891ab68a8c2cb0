// Writing rows of a table: putting a new row on one of the table's pages
// with room (or on a new page the table then owns), and replacing a row's
// contents while its number stays, moving it to another page when it no
// longer fits on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/format.h"
#include "jet/page_transaction.h"
#include "jet/env_names.h"

namespace jet {

// The tag long value pages carry where data pages name their table.
inline constexpr uint32_t kLongValueOwner = 0x4c41564c;  // "LVAL"

// The pages of one owner that take new rows: a table's data pages, or the
// long value pages of one of its columns, as their pair of usage maps names
// them (the pages it owns, and those with free space).
class RowSpace {
 public:
  // owner: the table definition's page, or kLongValueOwner.
  RowSpace(PageTransaction& tx, uint32_t owner, RowPointer used_map, RowPointer free_map)
      : tx_(tx), owner_(owner), used_map_(used_map), free_map_(free_map) {
    tx.RelyOnMap(used_map);
    tx.RelyOnMap(free_map);
  }

  // Puts a row on a page of the owner with room for it, never on
  // `avoid_page`; when none has room, on a free page of the file, which the
  // owner's maps then list. Returns where the row is.
  Result<RowPointer> Insert(const std::vector<uint8_t>& row, uint16_t flags, uint32_t avoid_page = 0);

  // Notes that a page of the owner has room again (rows were freed on it).
  Status HasRoom(uint32_t page);

  // The most a row can be: one row alone on a page.
  size_t MaxRow() const;

 private:
  Status LoadPages();

  PageTransaction& tx_;
  uint32_t owner_;
  RowPointer used_map_, free_map_;
  std::optional<std::vector<uint32_t>> pages_;
};

// The page that holds the row at `at` with `row` in its place, its other
// rows as they are; none when the row does not fit there.
Result<std::optional<std::vector<uint8_t>>> RepackedInPlace(PageTransaction& tx, RowPointer at,
                                                            const std::vector<uint8_t>& row);

// Replaces the row listed in `slot` (whose bytes are at `moved` when it was
// moved before) with `row`, on its page if it fits there, else on another
// page of `space` with the slot pointing at it. Row numbers never change.
// In steps of `tx` that each leave the row whole, old or new, each ended
// here: the moved bytes (adds), then the slot that points at them (turns),
// then the old bytes dropped (releases); or the row on its page (turns).
// What the caller wrote before must be ended as a step of its own.
Status ReplaceRow(PageTransaction& tx, RowSpace& space, RowPointer slot, std::optional<RowPointer> moved,
                  const std::vector<uint8_t>& row);

// Drops a row from its page, as the desktop program does: the slot stays,
// flagged deleted, and the row's bytes are given back to the page.
Status DeleteRow(PageTransaction& tx, RowPointer where);

}  // namespace jet
