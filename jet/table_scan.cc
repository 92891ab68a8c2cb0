#include "jet/table_scan.h"

#include "jet/data_page.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

Result<RowPointer> LookupTarget(Bytes page, const RowSlot& slot) {
  if (slot.size() < 4) return Status::Corrupt("an overflow slot is too short for its pointer");
  return RowPointer::Decode(LoadU32(&page[slot.start]));
}

// The bytes of an overflow row: the row the pointer names, whatever flags
// its own slot carries.
Result<std::vector<uint8_t>> ReadMovedRow(Pager& pager, RowPointer at) {
  Result<PageRow> row = ReadPageRow(pager, at, false);
  if (!row.ok()) return row.status();
  Bytes b = row->bytes();
  return std::vector<uint8_t>(b.begin(), b.end());
}

}  // namespace

Result<std::vector<uint8_t>> ReadRowAt(Pager& pager, RowPointer where, std::optional<RowPointer>* moved) {
  Result<PageRow> row = ReadPageRow(pager, where, true);
  if (!row.ok()) return row.status();
  if (moved) moved->reset();
  const Bytes b = row->bytes();
  if (!row->slot.lookup()) return std::vector<uint8_t>(b.begin(), b.end());
  Result<RowPointer> target = LookupTarget(row->page, row->slot);
  if (!target.ok()) return target.status();
  if (moved) *moved = *target;
  return ReadMovedRow(pager, *target);
}

Status ScanTable(Pager& pager, const TableDefinition& def, const std::function<Status(TableRow&)>& visit) {
  Result<std::vector<uint32_t>> pages = ReadUsageMap(pager, def.used_pages);
  if (!pages.ok()) return pages.status();
  TableRow row;  // one for the whole scan: its bytes keep their storage from row to row
  for (uint32_t p : *pages) {
    Result<std::vector<uint8_t>> page = pager.ReadPage(p);
    if (!page.ok()) return page.status();
    // A map may still name pages the table gave up; only its data pages count.
    if ((*page)[0] != kPageData || LoadU32(page->data() + pager.format().data_tdef_page) != def.page()) continue;
    Result<DataPage> dp = ParseDataPage(*page, pager.format());
    if (!dp.ok()) return dp.status();
    // A row pointer has 8 bits for the row: no page can hold more.
    if (dp->slots.size() > 256) return Status::Corrupt("page " + std::to_string(p) + " lists more rows than a page can");
    for (size_t i = 0; i < dp->slots.size(); ++i) {
      const RowSlot& s = dp->slots[i];
      if (s.deleted()) continue;
      row.slot = RowPointer{p, static_cast<uint8_t>(i)};
      row.moved.reset();
      if (s.lookup()) {
        Result<RowPointer> target = LookupTarget(*page, s);
        if (!target.ok()) return target.status();
        Result<std::vector<uint8_t>> bytes = ReadMovedRow(pager, *target);
        if (!bytes.ok()) return bytes.status();
        row.moved = *target;
        row.bytes = std::move(*bytes);
      } else {
        row.bytes.assign(page->begin() + s.start, page->begin() + s.end);
      }
      JET_RETURN_IF_ERROR(visit(row));
    }
  }
  return Status::Ok();
}

}  // namespace jet
