// Streams one table's rows into data pages, and its memo and OLE values into
// long-value pages, keeping only the page being filled in memory.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "dbbuilder/format.h"
#include "dbbuilder/long_values.h"
#include "dbbuilder/page_file.h"
#include "dbbuilder/row_encoder.h"
#include "dbbuilder/row_packer.h"
#include "dbbuilder/schema.h"
#include "dbbuilder/table_definition.h"

namespace dbbuilder {

class TableWriter {
 public:
  TableWriter(PageFile& file, const Layout& layout, int code_page, const TablePlan& plan, uint32_t definition_page);

  // Encodes a row: long values are kept in the row when small (up to a quarter
  // page) and the row still fits, otherwise stored out of it. `placements`,
  // when not empty, overrides the columns' placements, one per column.
  jet::Result<ByteVector> Encode(const Row& row, const std::vector<LongValuePlacement>& placements = {});
  // Encodes and adds a row; returns where it landed.
  jet::Result<uint32_t> Add(const Row& row, const std::vector<LongValuePlacement>& placements = {});
  jet::Result<uint32_t> AddEncoded(const ByteVector& row);

  jet::Status Finish();

  RowPacker& data() { return data_; }
  const RowPacker& data() const { return data_; }
  const TablePlan& plan() const { return plan_; }
  uint32_t rows() const { return static_cast<uint32_t>(data_.rows()); }
  uint32_t last_autonumber() const { return last_autonumber_; }
  // The long-value pages of a memo or OLE column (none if it stored nothing out of row).
  const LongValueWriter* long_values(uint16_t column) const;

 private:
  LongValueWriter& LongValuesFor(uint16_t column);
  // Where a value that leaves its row goes: one page if it fits one.
  LongValuePlacement OutOfRow(const ByteVector& payload) const;

  PageFile& file_;
  const Layout& layout_;
  int code_page_;
  const TablePlan& plan_;
  RowPacker data_;
  std::map<uint16_t, std::unique_ptr<LongValueWriter>> long_values_;
  uint32_t last_autonumber_ = 0;
};

}  // namespace dbbuilder
