#include "jet/table_writer.h"

#include <algorithm>

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

Status Rewrite(PageTransaction& tx, uint32_t page_number, const SlotWrite& write) {
  auto page = tx.Read(page_number);
  if (!page.ok()) return page.status();
  auto out = RepackDataPage(*page, tx.format(), std::span<const SlotWrite>(&write, 1));
  if (!out.ok()) return out.status();
  return tx.Write(page_number, std::move(*out));
}

std::vector<uint8_t> Pointer(RowPointer to) {
  std::vector<uint8_t> bytes(4);
  StoreU32(bytes.data(), to.Encode());
  return bytes;
}

}  // namespace

size_t RowSpace::MaxRow() const { return tx_.format().MaxRow(); }

Status RowSpace::LoadPages() {
  if (pages_) return Status::Ok();
  auto pages = ReadUsageMap(tx_.pager(), used_map_);
  if (!pages.ok()) return pages.status();
  pages_ = std::move(*pages);
  return Status::Ok();
}

Status RowSpace::HasRoom(uint32_t page) {
  Status s = SetUsageMapBit(tx_, free_map_, page, true);
  // A map that cannot reach the page cannot list it; the page keeps its rows all the same.
  return s.code() == Code::kUnsupported ? Status::Ok() : s;
}

Result<RowPointer> RowSpace::Insert(const std::vector<uint8_t>& row, uint16_t flags, uint32_t avoid_page) {
  if (row.size() > MaxRow()) return Status::InvalidArgument("a row is longer than a page can hold");
  JET_RETURN_IF_ERROR(LoadPages());
  const SlotWrite add_to = {0, flags, row};
  auto try_page = [&](uint32_t number, std::vector<uint8_t> page) -> Result<std::optional<RowPointer>> {
    auto dp = ParseDataPage(page, tx_.format());
    if (!dp.ok() || dp->owner != owner_ || dp->slots.size() >= kMaxRowsPerPage) return std::optional<RowPointer>();
    if (dp->free_space < RowFootprint(row.size())) return std::optional<RowPointer>();
    SlotWrite w = add_to;
    w.row = static_cast<uint16_t>(dp->slots.size());
    auto out = RepackDataPage(page, tx_.format(), std::span<const SlotWrite>(&w, 1));
    if (!out.ok()) return out.status().code() == Code::kInvalidArgument ? Result<std::optional<RowPointer>>(std::optional<RowPointer>()) : out.status();
    JET_RETURN_IF_ERROR(tx_.Write(number, std::move(*out)));
    return std::optional<RowPointer>(RowPointer{number, static_cast<uint8_t>(w.row)});
  };
  for (uint32_t number : *pages_) {
    if (number == avoid_page) continue;
    auto page = tx_.Read(number);
    if (!page.ok()) return page.status();
    auto placed = try_page(number, std::move(*page));
    if (!placed.ok()) return placed.status();
    if (*placed) return **placed;
  }
  auto number = TakeFreePage(tx_, [&](uint32_t page) -> Result<bool> {
    auto used = UsageMapCanMark(tx_, used_map_, page);
    if (!used.ok() || !*used) return used;
    return UsageMapCanMark(tx_, free_map_, page);
  });
  if (!number.ok()) return number.status();
  JET_RETURN_IF_ERROR(SetUsageMapBit(tx_, used_map_, *number, true));
  JET_RETURN_IF_ERROR(SetUsageMapBit(tx_, free_map_, *number, true));
  pages_->push_back(*number);
  auto placed = try_page(*number, EmptyDataPage(tx_.format(), owner_));
  if (!placed.ok()) return placed.status();
  if (!*placed) return Status::InvalidArgument("a row does not fit on an empty page");
  return **placed;
}

Status DeleteRow(PageTransaction& tx, RowPointer where) {
  return Rewrite(tx, where.page, SlotWrite{where.row, kRowDeleted | kRowLookup, {}});
}

Result<std::optional<std::vector<uint8_t>>> RepackedInPlace(PageTransaction& tx, RowPointer at,
                                                            const std::vector<uint8_t>& row) {
  auto page = tx.Read(at.page);
  if (!page.ok()) return page.status();
  auto dp = ParseDataPage(*page, tx.format());
  if (!dp.ok()) return dp.status();
  if (at.row >= dp->slots.size()) return Status::Corrupt("row " + ToString(at) + " does not exist");
  const uint16_t flags = dp->slots[at.row].raw & static_cast<uint16_t>(~kRowOffsetMask);
  const SlotWrite in_place = {at.row, flags, row};
  auto out = RepackDataPage(*page, tx.format(), std::span<const SlotWrite>(&in_place, 1));
  if (out.ok()) return std::optional<std::vector<uint8_t>>(std::move(*out));
  if (out.status().code() != Code::kInvalidArgument) return out.status();
  return std::optional<std::vector<uint8_t>>();
}

Status ReplaceRow(PageTransaction& tx, RowSpace& space, RowPointer slot, std::optional<RowPointer> moved,
                  const std::vector<uint8_t>& row) {
  const RowPointer at = moved.value_or(slot);
  auto out = RepackedInPlace(tx, at, row);
  if (!out.ok()) return out.status();
  if (*out) {
    JET_RETURN_IF_ERROR(tx.Write(at.page, std::move(**out)));
    tx.EndStep(PageTransaction::Step::kTurns);
    return Status::Ok();
  }

  // An overflow row: the bytes go to another page, where they carry the
  // deleted flag so that a scan of that page passes them by; the slot keeps
  // its number and holds a pointer to them instead.
  // The bytes reach the file before the slot points at them, and the row
  // they replace is dropped only once nothing points at it.
  auto target = space.Insert(row, kRowDeleted, at.page);
  if (!target.ok()) return target.status();
  tx.EndStep(PageTransaction::Step::kAdds);
  JET_RETURN_IF_ERROR(Rewrite(tx, slot.page, SlotWrite{slot.row, kRowLookup, Pointer(*target)}));
  tx.EndStep(PageTransaction::Step::kTurns);
  if (!moved) return Status::Ok();
  JET_RETURN_IF_ERROR(DeleteRow(tx, *moved));
  tx.EndStep(PageTransaction::Step::kReleases);
  return Status::Ok();
}

}  // namespace jet
