// Memo and OLE values. A row holds a 12-byte header per long value: its length
// with two flag bits (0x80000000 the value follows in the row, 0x40000000 it
// is one row of a long-value page), then the row pointer of the value or of
// the first piece of a chain whose pieces start with the pointer of the next.
#pragma once

#include <span>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/page_file.h"
#include "dbbuilder/row_packer.h"
#include "dbbuilder/schema.h"
#include "jet/long_value.h"

namespace dbbuilder {

inline constexpr size_t kLongValueHeader = jet::kLongValueFieldSize;

// The header with the value after it, for a value kept in its row.
ByteVector InlineLongValue(std::span<const uint8_t> payload);

// The long-value pages of one column.
class LongValueWriter {
 public:
  LongValueWriter(PageFile& file, const Layout& layout);

  // Stores the value out of its row and returns the header for the row.
  // kOnePage needs a value that fits one page; kAuto picks by size.
  jet::Result<ByteVector> Store(std::span<const uint8_t> payload, LongValuePlacement placement);
  jet::Status Finish();

  std::vector<uint32_t> pages() const;
  std::vector<uint32_t> pages_with_room() const { return packer_.pages_with_room(); }

 private:
  PageFile& file_;
  const Layout& layout_;
  RowPacker packer_;
  std::vector<uint32_t> chain_pages_;
};

}  // namespace dbbuilder
