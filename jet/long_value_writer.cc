#include "jet/long_value_writer.h"

#include "jet/long_value.h"

namespace jet {
std::vector<uint8_t> LongValueField(uint32_t head, RowPointer first) {
  std::vector<uint8_t> field(kLongValueFieldSize, 0);
  StoreU32(field.data(), head);
  StoreU32(field.data() + 4, first.Encode());
  return field;
}

std::vector<uint8_t> LongValueChainRow(RowPointer next, Bytes piece) {
  std::vector<uint8_t> row(kLongValueChainPointer);
  StoreU32(row.data(), next.Encode());
  row.insert(row.end(), piece.begin(), piece.end());
  return row;
}

Result<std::vector<LongValueMaps>> ParseLongValueMaps(Bytes tdef, const TableDefinition& def, const Format& f) {
  ByteView v(tdef);
  // What follows the column names: the physical indexes, the logical ones and
  // the logical ones' names, before the long value maps.
  size_t pos = def.column_names_end + def.num_real_idx * f.tdef_index_columns_entry +
               def.num_idx * f.tdef_logical_index_entry;
  for (uint32_t i = 0; i < def.num_idx; ++i) {
    const size_t length = f.col_name_length_size == 1 ? v.U8(pos) : v.U16(pos);
    pos += f.col_name_length_size + length;
    if (!v.ok() || pos > tdef.size()) return Status::Corrupt("table definition ends inside its index names");
  }
  std::vector<LongValueMaps> maps;
  for (;;) {
    const uint16_t column = v.U16(pos);
    if (!v.ok()) return Status::Corrupt("table definition ends inside its long value maps");
    if (column == kNoMoreLongValueMaps) break;
    maps.push_back(LongValueMaps{column, RowPointer::Decode(v.U32(pos + 2)), RowPointer::Decode(v.U32(pos + 6))});
    pos += kLongValueMapEntry;
    if (maps.size() > def.columns.size()) return Status::Corrupt("more long value maps than columns");
  }
  if (!v.ok()) return Status::Corrupt("table definition ends inside its long value maps");
  return maps;
}

std::vector<uint8_t> InlineLongValue(Bytes value) {
  std::vector<uint8_t> field = LongValueField(kLongValueInline | static_cast<uint32_t>(value.size()), RowPointer{});
  field.insert(field.end(), value.begin(), value.end());
  return field;
}

Result<std::vector<uint8_t>> LongValueWriter::Write(Bytes value, bool out_of_row) {
  if (value.size() > kLongValueLengthMask) return Status::InvalidArgument("a long value is too long");
  const uint32_t length = static_cast<uint32_t>(value.size());
  if (value.size() <= kMaxInlineLongValue && !out_of_row) return InlineLongValue(value);
  if (value.size() <= space_.MaxRow()) {
    auto at = space_.Insert(std::vector<uint8_t>(value.begin(), value.end()), 0);
    if (!at.ok()) return at.status();
    return LongValueField(kLongValueSingle | length, *at);
  }
  // A chain: each row starts with the pointer to the next (none in the
  // last). Written from the end, so that each row knows its successor.
  const size_t piece = LongValueChainPiece(tx_.format());
  RowPointer next;
  for (size_t end = value.size(); end > 0;) {
    const size_t start = (end - 1) / piece * piece;
    auto at = space_.Insert(LongValueChainRow(next, value.subspan(start, end - start)), 0);
    if (!at.ok()) return at.status();
    next = *at;
    end = start;
  }
  return LongValueField(length, next);
}

Status LongValueWriter::Free(Bytes field) {
  auto rows = LongValueRows(tx_.pager(), field);
  if (!rows.ok()) return rows.status();
  for (RowPointer at : *rows) {
    JET_RETURN_IF_ERROR(DeleteRow(tx_, at));
    JET_RETURN_IF_ERROR(space_.HasRoom(at.page));
  }
  return Status::Ok();
}

}  // namespace jet
