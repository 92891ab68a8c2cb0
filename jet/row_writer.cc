#include "jet/row_writer.h"

#include <optional>

#include "jet/reason.h"
#include "jet/row.h"

namespace jet {
namespace {

constexpr uint8_t kNoJump = 0xff;

void PutU16(std::vector<uint8_t>& out, size_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// Jet3 keeps one byte per offset; the jump table says where the high part
// grows: entry j is the first var entry (eod counted) at 256 * (j + 1) or
// beyond. How many entries there are depends on the row's whole size, which
// includes the table itself, so the count is settled first.
size_t Jet3JumpCount(size_t size_without_jumps) {
  size_t jumps = 0;
  for (;;) {
    const size_t size = size_without_jumps + jumps;
    const size_t needed = size == 0 ? 0 : (size - 1) / 256;
    if (needed == jumps) return jumps;
    jumps = needed;
  }
}

std::vector<uint8_t> Jet3Jumps(const std::vector<uint32_t>& offsets, size_t count) {
  std::vector<uint8_t> jumps(count, kNoJump);
  for (size_t j = 0; j < count; ++j)
    for (size_t i = 0; i < offsets.size(); ++i)
      if (offsets[i] >= 256 * (j + 1)) {
        jumps[j] = static_cast<uint8_t>(i);
        break;
      }
  return jumps;
}

}  // namespace

size_t AssembledRowSize(const Format& f, size_t data_end, size_t var_entries, bool var_table, size_t mask_len) {
  if (!var_table) return data_end + mask_len;
  const size_t size = data_end + f.row_offset_size * (var_entries + 2) + mask_len;  // eod, offsets, count
  return f.row_jump_table ? size + Jet3JumpCount(size) : size;
}

Result<std::vector<uint8_t>> AssembleRow(const Format& f, const RowParts& parts) {
  std::vector<uint8_t> out = parts.head;
  std::vector<uint32_t> offsets;
  offsets.reserve(parts.var_data.size() + 1);
  for (Bytes value : parts.var_data) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    out.insert(out.end(), value.begin(), value.end());
  }
  offsets.push_back(static_cast<uint32_t>(out.size()));  // eod
  out.insert(out.end(), parts.gap.begin(), parts.gap.end());

  if (parts.var_table) {
    if (f.row_jump_table) {
      const size_t jumps = Jet3JumpCount(out.size() + offsets.size() + 1 + parts.null_mask.size());
      const std::vector<uint8_t> jump_table = Jet3Jumps(offsets, jumps);
      for (size_t i = offsets.size(); i-- > 0;) out.push_back(static_cast<uint8_t>(offsets[i]));
      for (size_t j = jumps; j-- > 0;) out.push_back(jump_table[j]);
      out.push_back(static_cast<uint8_t>(parts.var_data.size()));
    } else {
      for (size_t i = offsets.size(); i-- > 0;) {
        if (offsets[i] > 0xffff) return Status::InvalidArgument("the row is too long");
        PutU16(out, offsets[i]);
      }
      PutU16(out, parts.var_data.size());
    }
  }
  out.insert(out.end(), parts.null_mask.begin(), parts.null_mask.end());
  return out;
}

Result<std::vector<uint8_t>> RewriteRow(Bytes row, const TableDefinition& def, const Format& f,
                                        std::span<const ColumnValue> values) {
  auto cracked = CrackRow(row, def, f);
  if (!cracked.ok()) return cracked.status();
  const size_t mask_len = (static_cast<size_t>(cracked->column_count) + 7) / 8;

  std::vector<const ColumnValue*> changed(def.columns.size(), nullptr);
  size_t var_count = cracked->var_count;
  for (const ColumnValue& v : values) {
    if (v.column >= def.columns.size()) return Status::InvalidArgument("no such column");
    if (changed[v.column]) return Status::InvalidArgument("a column is set twice");
    changed[v.column] = &v;
    const Column& c = def.columns[v.column];
    if (c.number >= cracked->column_count)
      return Status::Error(Code::kUnsupported, JET_REASON("a catalog row was stored before a column the change writes existed"));
    if (c.type == kColBool || v.null) continue;
    if (c.fixed(f)) {
      if (v.bytes.size() != c.length) return Status::InvalidArgument("a value does not fit column " + c.name);
      if (!InBounds(cracked->fixed_end, f.row_count_size + c.fixed_offset, c.length))
        return Status::Error(Code::kUnsupported, JET_REASON("a catalog row has no room for a column the change writes"));
    } else if (c.var_index >= var_count) {
      var_count = c.var_index + 1u;
    }
  }
  if (var_count > 0 && def.num_var_cols == 0) return Status::Corrupt("var data in a table without var columns");
  if (var_count > 255 && f.row_offset_size == 1) return Status::InvalidArgument("too many var columns for a row");

  // The count and the fixed data, as they were, then the changed fixed values.
  std::vector<uint8_t> out(row.begin(), row.begin() + cracked->fixed_end);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnValue* v = changed[i];
    const Column& c = def.columns[i];
    if (v && c.fixed(f) && c.type != kColBool && !v->null)
      std::copy(v->bytes.begin(), v->bytes.end(), out.begin() + static_cast<ptrdiff_t>(f.row_count_size + c.fixed_offset));
  }

  // The var data in var table order: each entry's bytes as they were (those
  // of columns the definition no longer lists included), or the new value.
  std::vector<std::optional<size_t>> column_of_entry(var_count);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const Column& c = def.columns[i];
    if (!c.fixed(f) && c.type != kColBool && c.var_index < var_count && c.number < cracked->column_count)
      column_of_entry[c.var_index] = i;
  }
  const std::vector<uint32_t>& old_offsets = cracked->var_offsets;
  RowParts parts;
  parts.head = std::move(out);
  for (size_t entry = 0; entry < var_count; ++entry) {
    const ColumnValue* v = column_of_entry[entry] ? changed[*column_of_entry[entry]] : nullptr;
    parts.var_data.push_back(v ? (v->null ? Bytes() : Bytes(v->bytes))
                             : entry < cracked->var_count
                                 ? row.subspan(old_offsets[entry], old_offsets[entry + 1] - old_offsets[entry])
                                 : Bytes());
  }
  parts.var_table = def.num_var_cols > 0;
  if (parts.var_table) parts.gap = row.subspan(cracked->var_end, cracked->trailer_start - cracked->var_end);
  std::vector<uint8_t> null_mask(row.end() - static_cast<ptrdiff_t>(mask_len), row.end());
  // The null mask: present (1) or null (0); a Bool column's value.
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnValue* v = changed[i];
    if (!v) continue;
    const Column& c = def.columns[i];
    const bool bit = c.type == kColBool ? v->flag : !v->null;
    uint8_t& byte = null_mask[c.number / 8];
    const uint8_t mask = static_cast<uint8_t>(1u << (c.number % 8));
    byte = bit ? (byte | mask) : (byte & ~mask);
  }
  parts.null_mask = null_mask;
  return AssembleRow(f, parts);
}

}  // namespace jet
