// Usage maps: bitmaps of pages. Each table has one of the pages it owns and
// one of those with room for more rows; each long-value column and each index
// has a pair too; page 1 holds the database's map of free pages.
//
// A type 0 map is inline: a start page and a bitmap. A type 1 map lists the
// pages (type 5) that hold the bitmap, each covering a fixed run of pages;
// large tables need it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/page_file.h"
#include "jet/env_names.h"

namespace dbbuilder {

// A type 0 map of the given pages with a bitmap of `bitmap_bytes`, or nothing
// when they span more pages than the bitmap has bits. The start page is the
// lowest page rounded down to a multiple of 8 (0 when all pages fit from 0).
std::optional<ByteVector> InlineUsageMap(const std::vector<uint32_t>& pages, size_t bitmap_bytes);

// A type 1 map; writes the type 5 pages it needs (allocating them from file).
// Its row has the length of a table's type 0 map row.
jet::Result<ByteVector> PagedUsageMap(PageFile& file, const Layout& layout, const std::vector<uint32_t>& pages);

// Maps whose rows are reserved before their pages are known and filled in
// afterwards. The rows sit on data pages of owner 0, all of one fixed length.
class UsageMaps {
 public:
  UsageMaps(PageFile& file, const Layout& layout);
  // A row pointer for a map filled by Set.
  uint32_t Reserve();
  jet::Status Set(uint32_t map, const std::vector<uint32_t>& pages);
  jet::Status Finish();

 private:
  struct MapPage {
    uint32_t number;
    std::vector<ByteVector> rows;
  };
  PageFile& file_;
  const Layout& layout_;
  std::vector<MapPage> pages_;
};

// Page 1, written last: the map of free pages (none inside the file; every
// page past its end counts as free), then a second map, empty in every file
// the desktop engine writes. Large files get a type 1 map, whose type 5 pages
// this allocates at the file's end.
jet::Result<ByteVector> GlobalUsagePage(PageFile& file, const Layout& layout);

}  // namespace dbbuilder
