// The facts of each file family that the builder needs: page size, header
// sizes, where fields sit in a table definition. One place, so that the
// writers below never test the family themselves beyond asking this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "jet/format.h"
#include "jet/tdef.h"

namespace dbbuilder {

// The header's version byte is the enumerator's value.
enum class FormatVersion : uint8_t {
  kJet3 = 0,   // Access 97: 2 KiB pages, code-page text
  kJet4 = 1,   // Access 2000-2003: 4 KiB pages, UCS-2 text
  kAce12 = 2,  // Access 2007 (often still named .mdb)
  kAce14 = 3,  // Access 2010
};

std::string_view FormatName(FormatVersion f);           // "jet3", "jet4", "ace12", "ace14"
bool ParseFormat(std::string_view name, FormatVersion* out);

// Where each family keeps its fields: the engine's own per-version table,
// so that what the builder writes and what the engine reads and rewrites
// share one description.
using Layout = jet::Format;

const Layout& LayoutFor(FormatVersion f);

// Column type codes as a table definition stores them.
enum class ColumnType : uint8_t {
  kBoolean = jet::kColBool,
  kByte = jet::kColByte,
  kInteger = jet::kColInt,
  kLong = jet::kColLong,
  kCurrency = jet::kColMoney,
  kSingle = jet::kColFloat,
  kDouble = jet::kColDouble,
  kDateTime = jet::kColDateTime,
  kBinary = jet::kColBinary,
  kText = jet::kColText,
  kOle = jet::kColOle,
  kMemo = jet::kColMemo,
  kGuid = jet::kColGuid,
};

// Bytes a fixed-length column occupies in a row; 0 for variable-length
// columns and for booleans, which live in the null mask.
size_t FixedSize(ColumnType t);
bool IsLongValue(ColumnType t);  // memo and OLE: stored through a 12-byte header
bool IsVariable(ColumnType t);   // text, binary, memo, OLE

// A row's place: page number in the high 24 bits, row number in the low 8.
inline uint32_t RowPointer(uint32_t page, uint8_t row) { return jet::RowPointer{page, row}.Encode(); }

using jet::kMaxRowsPerPage;

}  // namespace dbbuilder
