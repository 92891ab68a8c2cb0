#include "dbbuilder/row_encoder.h"

#include <cmath>

#include "jet/row_writer.h"
#include "jet/text.h"

namespace dbbuilder {

namespace {

// Text of a Jet4 column marked compressed is stored compressed where that is
// shorter; a memo only up to jet::kMaxCompressedMemo characters, as the
// desktop engine does.
jet::Result<ByteVector> EncodeText(const Layout& layout, int code_page, const ColumnPlan& column, const std::string& text) {
  if (layout.text_encoding == jet::TextEncoding::kCodePage) {
    auto out = jet::EncodeCodePage(text, static_cast<uint16_t>(code_page));
    if (!out.ok())
      return jet::Status::InvalidArgument("code page " + std::to_string(code_page) + " cannot hold the text of " +
                                          column.column.name);
    return std::move(out.value());
  }
  auto chars = jet::DecodeUtf8(text);
  if (!chars.ok()) return jet::Status::InvalidArgument("text is not UTF-8 in " + column.column.name);
  bool may_compress = column.column.compressed &&
                      (column.column.type == ColumnType::kText || chars->size() <= jet::kMaxCompressedMemo);
  auto out = jet::EncodeUcs2(text, may_compress);
  if (!out.ok()) return out.status();
  return std::move(out.value());
}

template <typename T>
const T* As(const Value& v) {
  return std::get_if<T>(&v);
}

jet::Status Mismatch(const ColumnPlan& c) {
  return jet::Status::InvalidArgument("value does not suit column " + c.column.name);
}

ByteVector Little(uint64_t v, size_t n) {
  ByteVector b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  return b;
}

}  // namespace

jet::Result<Cell> EncodeValue(const Layout& layout, int code_page, const ColumnPlan& column, const Value& value) {
  Cell cell;
  if (std::holds_alternative<std::monostate>(value)) return cell;
  cell.present = true;
  const ColumnType type = column.column.type;
  switch (type) {
    case ColumnType::kBoolean: {
      const bool* b = As<bool>(value);
      if (!b) return Mismatch(column);
      cell.truth = *b;
      return cell;
    }
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong: {
      const int64_t* i = As<int64_t>(value);
      if (!i) return Mismatch(column);
      size_t n = FixedSize(type);
      int64_t lo = type == ColumnType::kByte ? 0 : -(int64_t{1} << (8 * n - 1));
      int64_t hi = type == ColumnType::kByte ? 255 : (int64_t{1} << (8 * n - 1)) - 1;
      if (*i < lo || *i > hi) return jet::Status::InvalidArgument("number out of range for " + column.column.name);
      cell.bytes = Little(static_cast<uint64_t>(*i), n);
      return cell;
    }
    case ColumnType::kCurrency: {
      const Currency* c = As<Currency>(value);
      if (!c) return Mismatch(column);
      cell.bytes = Little(static_cast<uint64_t>(c->ten_thousandths), 8);
      return cell;
    }
    case ColumnType::kSingle:
    case ColumnType::kDouble: {
      const double* d = As<double>(value);
      if (!d) return Mismatch(column);
      cell.bytes.resize(FixedSize(type));
      if (type == ColumnType::kSingle) {
        float f = static_cast<float>(*d);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Put32(cell.bytes, 0, bits);
      } else {
        PutDouble(cell.bytes, 0, *d);
      }
      return cell;
    }
    case ColumnType::kDateTime: {
      const DateTime* d = As<DateTime>(value);
      if (!d) return Mismatch(column);
      cell.bytes.resize(8);
      PutDouble(cell.bytes, 0, d->days);
      return cell;
    }
    case ColumnType::kGuid: {
      const ByteVector* b = As<ByteVector>(value);
      if (!b || b->size() != 16) return Mismatch(column);
      cell.bytes = *b;
      return cell;
    }
    case ColumnType::kText:
    case ColumnType::kMemo: {
      const std::string* s = As<std::string>(value);
      if (!s) return Mismatch(column);
      auto encoded = EncodeText(layout, code_page, column, *s);
      if (!encoded.ok()) return encoded.status();
      if (type == ColumnType::kText) {
        // The limit is in characters, whatever the stored form takes.
        auto chars = jet::DecodeUtf8(*s);
        size_t limit = column.column.length > 0 ? static_cast<size_t>(column.column.length) : 255;
        if (!chars.ok() || chars->size() > limit)
          return jet::Status::InvalidArgument("text is longer than column " + column.column.name + " allows");
      }
      cell.bytes = std::move(encoded.value());
      return cell;
    }
    case ColumnType::kBinary:
    case ColumnType::kOle: {
      const ByteVector* b = As<ByteVector>(value);
      if (!b) return Mismatch(column);
      if (type == ColumnType::kBinary && b->size() > column.stored_length)
        return jet::Status::InvalidArgument("bytes are longer than column " + column.column.name + " allows");
      cell.bytes = *b;
      return cell;
    }
  }
  return Mismatch(column);
}

namespace {

size_t DataEnd(const Layout& layout, const TablePlan& plan, const std::vector<Cell>& cells) {
  size_t end = static_cast<size_t>(layout.row_count_size) + plan.fixed_bytes;
  for (const auto& c : plan.columns)
    if (c.variable && cells[c.number].present) end += cells[c.number].bytes.size();
  return end;
}

}  // namespace

size_t RowLength(const Layout& layout, const TablePlan& plan, const std::vector<Cell>& cells) {
  return jet::AssembledRowSize(layout, DataEnd(layout, plan, cells), plan.variable_count, plan.variable_count > 0,
                               (plan.columns.size() + 7) / 8);
}

// The row goes through the engine's writer: one layout of the var table and
// of Jet3's jump table for rows written new and rows rewritten.
jet::Result<ByteVector> EncodeRow(const Layout& layout, const TablePlan& plan, const std::vector<Cell>& cells) {
  if (cells.size() != plan.columns.size()) return jet::Status::InvalidArgument("row has the wrong number of cells");
  ByteWriter head;
  if (layout.row_count_size == 1) head.U8(static_cast<uint8_t>(plan.columns.size()));
  else head.U16(static_cast<uint16_t>(plan.columns.size()));
  const size_t fixed_at = head.size();
  head.Fill(plan.fixed_bytes, 0);
  for (const auto& c : plan.columns) {
    const Cell& cell = cells[c.number];
    if (c.variable || !cell.present || c.column.type == ColumnType::kBoolean) continue;
    if (cell.bytes.size() != FixedSize(c.column.type)) return jet::Status::InvalidArgument("bad fixed value");
    std::copy(cell.bytes.begin(), cell.bytes.end(), head.bytes().begin() + static_cast<std::ptrdiff_t>(fixed_at + c.fixed_offset));
  }

  jet::RowParts parts;
  parts.head = head.Take();
  // Variable data in slot order; a null takes no room and shares the next start.
  parts.var_data.resize(plan.variable_count);
  for (const auto& c : plan.columns)
    if (c.variable && cells[c.number].present) parts.var_data[c.var_index] = cells[c.number].bytes;
  parts.var_table = plan.variable_count > 0;
  ByteVector mask((plan.columns.size() + 7) / 8, 0);
  for (const auto& c : plan.columns) {
    const Cell& cell = cells[c.number];
    bool bit = c.column.type == ColumnType::kBoolean ? cell.truth : cell.present;
    if (bit) mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
  }
  parts.null_mask = mask;
  return jet::AssembleRow(layout, parts);
}

}  // namespace dbbuilder
