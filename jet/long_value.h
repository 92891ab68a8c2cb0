// Long values (memo and OLE columns). The row holds a 12-byte field: a
// 4-byte length whose top two bits are flags, a row pointer, and 4 unused
// bytes. Flag 0x80 (in the length's top byte): the value follows the field
// in the row. 0x40: the value is the whole row the pointer names (on a
// 'LVAL' page). Neither: the value is a chain of rows, each starting with
// the pointer to the next.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/env_names.h"

namespace jet {

inline constexpr size_t kLongValueFieldSize = 12;
inline constexpr uint32_t kLongValueInline = 0x80000000;
inline constexpr uint32_t kLongValueSingle = 0x40000000;
inline constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;

enum class LongValueKind { kInline, kSingle, kChain };

struct LongValueRef {
  LongValueKind kind = LongValueKind::kInline;
  uint32_t length = 0;
  RowPointer first;  // kSingle, kChain
};

// Decodes the 12-byte field; kCorrupt when it is too short.
Result<LongValueRef> ParseLongValueField(Bytes field);

// The rows a long value occupies outside its row, in order (empty for an
// inline value). Loops and rows past the file are kCorrupt.
Result<std::vector<RowPointer>> LongValueRows(Pager& pager, Bytes field);

// The whole value.
Result<std::vector<uint8_t>> ReadLongValue(Pager& pager, Bytes field);
// The same into `value`, replacing what it held and keeping its storage.
Status ReadLongValue(Pager& pager, Bytes field, std::vector<uint8_t>& value);

}  // namespace jet
