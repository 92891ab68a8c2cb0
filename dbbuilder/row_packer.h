// Packs rows into data pages, a page written out as soon as the next row does
// not fit. Data pages of tables, long-value (LVAL) pages and the pages that
// hold usage maps all have this shape; the engine's page writer lays them out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/page_file.h"
#include "jet/table_writer.h"

namespace dbbuilder {

using jet::kLongValueOwner;

class RowPacker {
 public:
  RowPacker(PageFile& file, const Layout& layout, uint32_t owner);

  // Whether a row of this length still fits on the open page (a closed packer
  // opens a fresh page, where any row up to Layout::MaxRow fits).
  bool FitsOnOpenPage(size_t length) const;
  // Free bytes left on the open page after one more offset entry; 0 when no
  // page is open.
  size_t OpenPageRoom() const;
  // Free bytes on the open page (rows and offset entries both take from them).
  size_t OpenPageFree() const { return open_ ? FreeBytes() : 0; }
  bool page_open() const { return open_; }

  // Adds a row and returns where it landed.
  jet::Result<uint32_t> Add(std::span<const uint8_t> row);
  // Writes the open page (if any); the next row starts a fresh page.
  jet::Status ClosePage();

  const std::vector<uint32_t>& pages() const { return pages_; }
  // Pages written with room left for more rows.
  const std::vector<uint32_t>& pages_with_room() const { return pages_with_room_; }
  uint64_t rows() const { return rows_total_; }

 private:
  size_t FreeBytes() const;

  PageFile& file_;
  const Layout& layout_;
  uint32_t owner_;
  bool open_ = false;
  uint32_t page_no_ = 0;
  std::vector<ByteVector> rows_;  // of the open page
  size_t row_bytes_ = 0;
  std::vector<uint32_t> pages_;
  std::vector<uint32_t> pages_with_room_;
  uint64_t rows_total_ = 0;
};

// A page of one type with the usual two-byte prefix (type, 0x01) and zeros.
ByteVector BlankPage(const Layout& layout, uint8_t type);

// A data page holding exactly the given rows, first row at the page's end;
// kInvalidArgument when they do not fit.
jet::Result<ByteVector> DataPage(const Layout& layout, uint32_t owner, const std::vector<ByteVector>& rows);

}  // namespace dbbuilder
