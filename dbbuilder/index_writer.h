// Index pages: leaf pages (type 4) hold every row's key with the row's
// pointer, in the order of their bytes; when the leaves are more than one,
// node pages (type 3) above them hold the last entry of each child with the
// child's page number. Pages of one level are chained both ways.
//
// Keys: each column is a flag byte (0x7F ascending) and its value. A long
// integer is its four bytes big-endian with the sign bit flipped, so that the
// bytes sort as the numbers do. Text is the desktop engine's "General" sort
// weights, one byte a letter or digit, then an end mark; only the characters
// whose weights are known from real files can be keyed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/page_file.h"
#include "dbbuilder/schema.h"
#include "dbbuilder/table_definition.h"
#include "jet/env_names.h"

namespace dbbuilder {

ByteVector LongIndexKey(int32_t value);
// Empty when a character has no known weight.
std::optional<ByteVector> TextIndexKey(const Layout& layout, std::string_view utf8);

// The key of a row for an index over the given columns (long integers and
// text); empty when a value cannot be keyed.
std::optional<ByteVector> IndexKeyOf(const Layout& layout, const TablePlan& plan, const Row& row,
                                const std::vector<uint16_t>& columns);

struct IndexEntry {
  ByteVector key;            // the columns' flag bytes and values
  uint32_t row = 0;     // row pointer of the row it stands for
};

struct WrittenIndex {
  uint32_t root = 0;            // the page the definition points at
  std::vector<uint32_t> pages;  // every page of the index
};

// Sorts the entries and writes the pages of one index of the table whose
// definition is at `table_page`. An index without entries is one empty leaf.
jet::Result<WrittenIndex> WriteIndex(PageFile& file, const Layout& layout, uint32_t table_page,
                                     std::vector<IndexEntry> entries);

}  // namespace dbbuilder
