#include "dbbuilder/row_packer.h"

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/format.h"

namespace dbbuilder {

ByteVector BlankPage(const Layout& layout, uint8_t type) {
  return jet::BlankPage(layout.page_size, static_cast<jet::PageType>(type));
}

jet::Result<ByteVector> DataPage(const Layout& layout, uint32_t owner, const std::vector<ByteVector>& rows) {
  // Laid out by the engine's own page writer, as if each row were added in turn.
  std::vector<jet::SlotWrite> adds;
  adds.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) adds.push_back({static_cast<uint16_t>(i), 0, rows[i]});
  return jet::RepackDataPage(jet::EmptyDataPage(layout, owner), layout, adds);
}

RowPacker::RowPacker(PageFile& file, const Layout& layout, uint32_t owner)
    : file_(file), layout_(layout), owner_(owner) {}

size_t RowPacker::FreeBytes() const { return layout_.page_size - jet::SlotsEnd(layout_, rows_.size()) - row_bytes_; }

bool RowPacker::FitsOnOpenPage(size_t length) const {
  if (!open_) return length <= layout_.MaxRow();
  return rows_.size() < kMaxRowsPerPage && jet::RowFootprint(length) <= FreeBytes();
}

size_t RowPacker::OpenPageRoom() const {
  if (!open_ || FreeBytes() < jet::RowFootprint(0)) return 0;
  return FreeBytes() - jet::RowFootprint(0);
}

jet::Result<uint32_t> RowPacker::Add(std::span<const uint8_t> row) {
  if (row.size() > layout_.MaxRow()) return jet::Status::InvalidArgument("a row is longer than a page can hold");
  if (open_ && !FitsOnOpenPage(row.size())) JET_RETURN_IF_ERROR(ClosePage());
  if (!open_) {
    page_no_ = file_.Allocate();
    open_ = true;
  }
  rows_.emplace_back(row.begin(), row.end());
  row_bytes_ += row.size();
  ++rows_total_;
  return RowPointer(page_no_, static_cast<uint8_t>(rows_.size() - 1));
}

jet::Status RowPacker::ClosePage() {
  if (!open_) return jet::Status::Ok();
  auto page = DataPage(layout_, owner_, rows_);
  if (!page.ok()) return page.status();
  pages_.push_back(page_no_);
  if (FreeBytes() > 0) pages_with_room_.push_back(page_no_);
  open_ = false;
  rows_.clear();
  row_bytes_ = 0;
  return file_.Write(page_no_, *page);
}

}  // namespace dbbuilder
