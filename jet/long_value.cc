#include "jet/long_value.h"

#include <algorithm>
#include <set>

#include "jet/data_page.h"

namespace jet {
namespace {

// Walks a value's rows, handing each piece of data to `take`.
template <typename Take>
Status Walk(Pager& pager, Bytes field, Take take) {
  Result<LongValueRef> ref = ParseLongValueField(field);
  if (!ref.ok()) return ref.status();
  if (ref->kind == LongValueKind::kInline) {
    if (field.size() - kLongValueFieldSize < ref->length) return Status::Corrupt("an inline long value is longer than its row");
    take(RowPointer{}, field.subspan(kLongValueFieldSize, ref->length));
    return Status::Ok();
  }
  // No value can be longer than the file that holds it.
  if (ref->length > static_cast<uint64_t>(pager.page_count()) * pager.page_size())
    return Status::Corrupt("a long value is longer than its file");
  if (ref->kind == LongValueKind::kSingle) {
    Result<PageRow> row = ReadPageRow(pager, ref->first, false);
    if (!row.ok()) return row.status();
    if (row->slot.size() < ref->length) return Status::Corrupt("a long value row is shorter than its value");
    take(ref->first, row->bytes().first(ref->length));
    return Status::Ok();
  }
  std::set<RowPointer> seen;
  uint64_t remaining = ref->length;
  for (RowPointer at = ref->first; remaining > 0;) {
    if (at.null()) return Status::Corrupt("a long value chain ends before its value does");
    if (!seen.insert(at).second) return Status::Corrupt("a long value chain loops at " + ToString(at));
    Result<PageRow> row = ReadPageRow(pager, at, false);
    if (!row.ok()) return row.status();
    const Bytes bytes = row->bytes();
    // Every row of a chain carries some of the value: a chain can then be no
    // longer than its value, however its pointers are laid.
    if (bytes.size() <= 4) return Status::Corrupt("a long value chain row carries no data");
    const RowPointer next = RowPointer::Decode(LoadU32(bytes.data()));
    const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, bytes.size() - 4u));
    take(at, bytes.subspan(4, n));
    remaining -= n;
    at = next;
  }
  return Status::Ok();
}

}  // namespace

Result<LongValueRef> ParseLongValueField(Bytes field) {
  if (field.size() < kLongValueFieldSize) return Status::Corrupt("a long value field is too short");
  const uint32_t head = LoadU32(field.data());
  LongValueRef ref;
  ref.length = head & kLongValueLengthMask;
  ref.kind = (head & kLongValueInline) ? LongValueKind::kInline
             : (head & kLongValueSingle) ? LongValueKind::kSingle
                                         : LongValueKind::kChain;
  ref.first = RowPointer::Decode(LoadU32(field.data() + 4));
  return ref;
}

Result<std::vector<RowPointer>> LongValueRows(Pager& pager, Bytes field) {
  std::vector<RowPointer> rows;
  JET_RETURN_IF_ERROR(Walk(pager, field, [&](RowPointer at, Bytes) {
    if (!at.null()) rows.push_back(at);
  }));
  return rows;
}

Result<std::vector<uint8_t>> ReadLongValue(Pager& pager, Bytes field) {
  std::vector<uint8_t> value;
  JET_RETURN_IF_ERROR(ReadLongValue(pager, field, value));
  return value;
}

Status ReadLongValue(Pager& pager, Bytes field, std::vector<uint8_t>& value) {
  value.clear();
  return Walk(pager, field, [&](RowPointer, Bytes piece) { value.insert(value.end(), piece.begin(), piece.end()); });
}

}  // namespace jet
