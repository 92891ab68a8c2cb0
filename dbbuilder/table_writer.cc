#include "dbbuilder/table_writer.h"

#include <algorithm>

namespace dbbuilder {

TableWriter::TableWriter(PageFile& file, const Layout& layout, int code_page, const TablePlan& plan,
                         uint32_t definition_page)
    : file_(file), layout_(layout), code_page_(code_page), plan_(plan), data_(file, layout, definition_page) {}

LongValueWriter& TableWriter::LongValuesFor(uint16_t column) {
  auto& slot = long_values_[column];
  if (!slot) slot = std::make_unique<LongValueWriter>(file_, layout_);
  return *slot;
}

const LongValueWriter* TableWriter::long_values(uint16_t column) const {
  auto it = long_values_.find(column);
  return it == long_values_.end() ? nullptr : it->second.get();
}

LongValuePlacement TableWriter::OutOfRow(const ByteVector& payload) const {
  return payload.size() <= layout_.MaxRow() ? LongValuePlacement::kOnePage : LongValuePlacement::kPageChain;
}

jet::Result<ByteVector> TableWriter::Encode(const Row& row, const std::vector<LongValuePlacement>& placements) {
  if (row.size() != plan_.columns.size())
    return jet::Status::InvalidArgument("a row needs one value per column");
  std::vector<Cell> cells;
  cells.reserve(row.size());
  for (const auto& c : plan_.columns) {
    Value value = row[c.number];
    if (c.column.auto_number) {
      if (std::holds_alternative<std::monostate>(value)) value = int64_t{last_autonumber_} + 1;
      if (const int64_t* n = std::get_if<int64_t>(&value))
        last_autonumber_ = std::max<uint32_t>(last_autonumber_, static_cast<uint32_t>(*n));
    }
    auto cell = EncodeValue(layout_, code_page_, c, value);
    if (!cell.ok()) return cell.status();
    cells.push_back(std::move(cell.value()));
  }

  // Decide where each long value goes: first as asked, then move the largest
  // undecided ones out until the row fits a page.
  const size_t inline_limit = layout_.page_size / 4;
  std::vector<LongValuePlacement> where(plan_.columns.size(), LongValuePlacement::kAuto);
  std::vector<ByteVector> payload(plan_.columns.size());
  for (const auto& c : plan_.columns) {
    if (!IsLongValue(c.column.type) || !cells[c.number].present) continue;
    LongValuePlacement p = placements.empty() ? c.column.placement : placements[c.number];
    payload[c.number] = std::move(cells[c.number].bytes);
    if (p == LongValuePlacement::kAuto && payload[c.number].size() > inline_limit) p = OutOfRow(payload[c.number]);
    where[c.number] = p;
    // Out of row, only the header stays: it has the same length whatever it holds.
    cells[c.number].bytes = p == LongValuePlacement::kAuto || p == LongValuePlacement::kInline
                                ? InlineLongValue(payload[c.number])
                                : ByteVector(kLongValueHeader, 0);
  }
  for (;;) {
    if (RowLength(layout_, plan_, cells) <= layout_.MaxRow()) break;
    int largest = -1;
    for (const auto& c : plan_.columns) {
      if (where[c.number] != LongValuePlacement::kAuto || !IsLongValue(c.column.type) || !cells[c.number].present)
        continue;
      if (largest < 0 || payload[c.number].size() > payload[largest].size()) largest = c.number;
    }
    if (largest < 0) return jet::Status::InvalidArgument("a row is too long for a page");
    where[largest] = OutOfRow(payload[largest]);
    cells[largest].bytes.assign(kLongValueHeader, 0);
  }
  for (const auto& c : plan_.columns) {
    LongValuePlacement p = where[c.number];
    if (!IsLongValue(c.column.type) || !cells[c.number].present || p == LongValuePlacement::kAuto ||
        p == LongValuePlacement::kInline)
      continue;
    auto header = LongValuesFor(c.number).Store(payload[c.number], p);
    if (!header.ok()) return header.status();
    cells[c.number].bytes = std::move(header.value());
  }
  return EncodeRow(layout_, plan_, cells);
}

jet::Result<uint32_t> TableWriter::Add(const Row& row, const std::vector<LongValuePlacement>& placements) {
  auto encoded = Encode(row, placements);
  if (!encoded.ok()) return encoded.status();
  return data_.Add(encoded.value());
}

jet::Result<uint32_t> TableWriter::AddEncoded(const ByteVector& row) { return data_.Add(row); }

jet::Status TableWriter::Finish() {
  JET_RETURN_IF_ERROR(data_.ClosePage());
  for (auto& [column, writer] : long_values_) JET_RETURN_IF_ERROR(writer->Finish());
  return jet::Status::Ok();
}

}  // namespace dbbuilder
