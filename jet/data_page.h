// Data pages: a header, a table of 2-byte row offsets (slots), and the rows,
// stored from the end of the page towards its start. A slot's top bits are
// flags: 0x8000 the row is deleted, 0x4000 the slot holds a 4-byte pointer to
// where the row now lives (an overflow row).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/env_names.h"

namespace jet {

// Data, index and definition pages share their first bytes: the page type,
// then (from 2) their free bytes; data and index pages keep their owner's
// definition page at 4 (Format::data_tdef_page), definitions their next page.
inline constexpr size_t kPageFreeSpace = 2;

inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowLookup = 0x4000;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;

struct RowSlot {
  uint16_t raw = 0;    // as stored, flags included
  uint16_t start = 0;  // the row's first byte
  uint16_t end = 0;    // one past its last byte

  bool deleted() const { return (raw & kRowDeleted) != 0; }
  bool lookup() const { return (raw & kRowLookup) != 0; }
  uint16_t size() const { return static_cast<uint16_t>(end - start); }
};

struct DataPage {
  uint32_t owner = 0;  // the table definition's page ('LVAL' on long value pages)
  uint16_t free_space = 0;
  std::vector<RowSlot> slots;
};

// Parses the header and slots of a data page. kCorrupt when it is not a data
// page, its slots do not fit, or a live row's extent is impossible.
Result<DataPage> ParseDataPage(Bytes page, const Format& format);

// One row with the page that holds it.
struct PageRow {
  std::vector<uint8_t> page;
  RowSlot slot;
  Bytes bytes() const { return Bytes(page).subspan(slot.start, slot.size()); }
};

// Reads the page `where` names and finds the row's slot. With live_only, a
// deleted row is kCorrupt; rows reached through a pointer (long values,
// overflow rows) carry the deleted flag and are read all the same.
Result<PageRow> ReadPageRow(Pager& pager, RowPointer where, bool live_only);

// Where the slot table of a data page with `rows` rows ends.
inline size_t SlotsEnd(const Format& format, size_t rows) { return format.data_row_offsets + 2 * rows; }

}  // namespace jet
