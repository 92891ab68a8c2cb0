// The rows of a table: the data pages its usage map names, each page's live
// rows, and for a slot that points elsewhere (an overflow row) the row it
// points at. The pointed-at row carries the deleted flag on its own page, so
// a scan never meets it twice.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "jet/format.h"
#include "jet/pager.h"
#include "jet/env_names.h"
#include "jet/tdef.h"

namespace jet {

struct TableRow {
  RowPointer slot;                  // the slot that lists the row
  std::optional<RowPointer> moved;  // where its bytes are, for an overflow row
  std::vector<uint8_t> bytes;
  RowPointer physical() const { return moved ? *moved : slot; }
};

// The bytes of the row `where` names, following one overflow pointer.
// `moved` receives the row's physical place when it was followed.
Result<std::vector<uint8_t>> ReadRowAt(Pager& pager, RowPointer where, std::optional<RowPointer>* moved);

// Visits each live row of the table whose definition starts at tdef_page.
// A visitor's error ends the scan and is returned.
Status ScanTable(Pager& pager, const TableDefinition& def, const std::function<Status(TableRow&)>& visit);

}  // namespace jet
