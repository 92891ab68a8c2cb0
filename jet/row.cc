#include "jet/row.h"

namespace jet {
namespace {

// The var table of a row: var_count + 1 offsets, the last being eod. The
// offsets go straight into the cracked row, whose storage a scan reuses.
struct VarTable {
  uint16_t count = 0;
  std::vector<uint32_t>& offsets;
  size_t trailer_start = 0;  // first byte of the trailer (eod/var table/...)
};

Status ReadVarTableJet4(ByteView& v, size_t mask_start, VarTable& t) {
  if (mask_start < 4) return Status::Corrupt("row too short for its var table");
  t.count = v.U16(mask_start - 2);
  const size_t table_bytes = 2 * (static_cast<size_t>(t.count) + 1);
  if (mask_start - 2 < table_bytes + 2) return Status::Corrupt("row too short for its var table");
  t.trailer_start = mask_start - 2 - table_bytes;
  t.offsets.resize(t.count + 1);
  for (size_t i = 0; i < t.count; ++i) t.offsets[i] = v.U16(mask_start - 4 - 2 * i);
  t.offsets[t.count] = v.U16(t.trailer_start);
  return Status::Ok();
}

Status ReadVarTableJet3(ByteView& v, size_t row_size, size_t mask_start, VarTable& t) {
  if (mask_start < 2) return Status::Corrupt("row too short for its var table");
  t.count = v.U8(mask_start - 1);
  const size_t jumps = (row_size - 1) / 256;
  const size_t trailer = 1 + jumps + static_cast<size_t>(t.count) + 1;
  if (mask_start < trailer + 1) return Status::Corrupt("row too short for its var table");
  t.trailer_start = mask_start - trailer;
  t.offsets.resize(t.count + 1);
  for (size_t i = 0; i <= t.count; ++i) {
    uint32_t offset = v.U8(mask_start - 2 - jumps - i);
    for (size_t j = 0; j < jumps; ++j)
      if (v.U8(mask_start - 2 - j) <= i) offset += 256;
    t.offsets[i] = offset;
  }
  return Status::Ok();
}

}  // namespace

Result<CrackedRow> CrackRow(Bytes row, const TableDefinition& def, const Format& f) {
  CrackedRow out;
  JET_RETURN_IF_ERROR(CrackRow(row, def, f, out));
  return out;
}

Status CrackRow(Bytes row, const TableDefinition& def, const Format& f, CrackedRow& out) {
  ByteView v(row);
  const size_t head = f.row_count_size;
  if (row.size() < head) return Status::Corrupt("empty row");
  out.column_count = f.row_count_size == 1 ? v.U8(0) : v.U16(0);
  const size_t mask_len = (static_cast<size_t>(out.column_count) + 7) / 8;
  if (row.size() < head + mask_len) return Status::Corrupt("row too short for its null mask");
  const size_t mask_start = row.size() - mask_len;

  out.var_offsets.clear();
  VarTable vt{0, out.var_offsets, mask_start};
  if (def.num_var_cols > 0) {
    JET_RETURN_IF_ERROR(f.row_jump_table ? ReadVarTableJet3(v, row.size(), mask_start, vt) : ReadVarTableJet4(v, mask_start, vt));
    // Offsets must rise from the end of the count to eod, and eod must stay
    // before the trailer.
    uint32_t prev = static_cast<uint32_t>(head);
    for (uint32_t o : vt.offsets) {
      if (o < prev) return Status::Corrupt("a row's var offsets are out of order");
      prev = o;
    }
    if (prev > vt.trailer_start) return Status::Corrupt("a row's var data runs into its trailer");
  }
  if (!v.ok()) return Status::Corrupt("row too short");
  out.var_count = vt.count;
  out.trailer_start = static_cast<uint32_t>(vt.trailer_start);
  out.fixed_end = vt.count > 0 ? vt.offsets[0] : (vt.offsets.empty() ? static_cast<uint32_t>(vt.trailer_start) : vt.offsets.back());
  out.var_end = vt.offsets.empty() ? out.fixed_end : vt.offsets.back();

  out.fields.assign(def.columns.size(), FieldRef{});
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const Column& c = def.columns[i];
    FieldRef& field = out.fields[i];
    if (c.number >= out.column_count) continue;  // added after this row was written
    const bool present = (row[mask_start + c.number / 8] >> (c.number % 8)) & 1;
    if (c.type == kColBool) {
      field.null = false;
      field.flag = present;
      continue;
    }
    if (!present) continue;
    if (c.fixed(f)) {
      const size_t start = head + c.fixed_offset;
      if (!InBounds(out.fixed_end, start, c.length)) return Status::Corrupt("a fixed column lies outside its row");
      field = FieldRef{false, false, static_cast<uint32_t>(start), c.length};
    } else {
      if (c.var_index >= vt.count) continue;  // not stored: null
      const uint32_t start = vt.offsets[c.var_index];
      field = FieldRef{false, false, start, vt.offsets[c.var_index + 1] - start};
    }
  }
  return Status::Ok();
}

}  // namespace jet
