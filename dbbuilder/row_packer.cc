#include "dbbuilder/row_packer.h"

#include "jet/data_page.h"
#include "jet/format.h"

namespace dbbuilder {

ByteVector BlankPage(const Layout& layout, uint8_t type) {
  ByteVector page(layout.page_size, 0);
  page[0] = type;
  page[1] = 0x01;
  return page;
}

namespace {

// Stamps the free-space field of a data page.
void SetFreeSpace(ByteVector& page, size_t free) { Put16(page, jet::kPageFreeSpace, static_cast<uint16_t>(free)); }

}  // namespace

ByteVector DataPage(const Layout& layout, uint32_t owner, const std::vector<ByteVector>& rows) {
  ByteVector page = BlankPage(layout, jet::kPageData);
  Put32(page, layout.data_tdef_page, owner);
  Put16(page, layout.data_row_count, static_cast<uint16_t>(rows.size()));
  size_t high = layout.page_size;
  for (size_t i = 0; i < rows.size(); ++i) {
    high -= rows[i].size();
    std::copy(rows[i].begin(), rows[i].end(), page.begin() + static_cast<std::ptrdiff_t>(high));
    Put16(page, layout.data_row_offsets + 2 * i, static_cast<uint16_t>(high));
  }
  SetFreeSpace(page, high - (layout.data_row_offsets + 2 * rows.size()));
  return page;
}

RowPacker::RowPacker(PageFile& file, const Layout& layout, uint32_t owner)
    : file_(file), layout_(layout), owner_(owner) {}

void RowPacker::OpenPage() {
  page_ = BlankPage(layout_, jet::kPageData);
  Put32(page_, layout_.data_tdef_page, owner_);
  page_no_ = file_.Allocate();
  rows_ = 0;
  low_ = layout_.data_row_offsets;
  high_ = layout_.page_size;
  open_ = true;
}

bool RowPacker::FitsOnOpenPage(size_t length) const {
  if (!open_) return length <= layout_.MaxRow();
  return rows_ < kMaxRowsPerPage && length + 2 <= FreeBytes();
}

size_t RowPacker::OpenPageRoom() const {
  if (!open_ || FreeBytes() < 2) return 0;
  return FreeBytes() - 2;
}

jet::Result<uint32_t> RowPacker::Add(std::span<const uint8_t> row) {
  if (row.size() > layout_.MaxRow()) return jet::Status::InvalidArgument("a row is longer than a page can hold");
  if (open_ && !FitsOnOpenPage(row.size())) JET_RETURN_IF_ERROR(ClosePage());
  if (!open_) OpenPage();
  high_ -= row.size();
  std::copy(row.begin(), row.end(), page_.begin() + static_cast<std::ptrdiff_t>(high_));
  Put16(page_, low_, static_cast<uint16_t>(high_));
  low_ += 2;
  uint8_t number = static_cast<uint8_t>(rows_++);
  Put16(page_, layout_.data_row_count, rows_);
  ++rows_total_;
  return RowPointer(page_no_, number);
}

jet::Status RowPacker::ClosePage() {
  if (!open_) return jet::Status::Ok();
  SetFreeSpace(page_, FreeBytes());
  pages_.push_back(page_no_);
  if (FreeBytes() > 0) pages_with_room_.push_back(page_no_);
  open_ = false;
  return file_.Write(page_no_, page_);
}

}  // namespace dbbuilder
