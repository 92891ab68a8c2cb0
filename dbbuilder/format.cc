#include "dbbuilder/format.h"

namespace dbbuilder {

std::string_view FormatName(Format f) {
  switch (f) {
    case Format::kJet3: return "jet3";
    case Format::kJet4: return "jet4";
    case Format::kAce12: return "ace12";
    case Format::kAce14: return "ace14";
  }
  return "?";
}

bool ParseFormat(std::string_view name, Format* out) {
  for (Format f : {Format::kJet3, Format::kJet4, Format::kAce12, Format::kAce14}) {
    if (name == FormatName(f)) {
      *out = f;
      return true;
    }
  }
  if (name == "ace") {
    *out = Format::kAce12;
    return true;
  }
  return false;
}

namespace {

constexpr Layout kJet3Layout{
    .format = Format::kJet3,
    .jet3 = true,
    .page_size = 2048,
    .data_header = 10,
    .row_count_offset = 8,
    .map_bitmap_bytes = 128,
    .tdef_block = 43,
    .tdef_column = 18,
    .tdef_real_index = 8,
    .tdef_index_columns = 39,
    .tdef_logical_index = 20,
    .name_length_bytes = 1,
    .header_mask_bytes = 126,
    .password_bytes = 20,
};

constexpr Layout Jet4Like(Format f) {
  return Layout{
      .format = f,
      .jet3 = false,
      .page_size = 4096,
      .data_header = 14,
      .row_count_offset = 12,
      .map_bitmap_bytes = 64,
      .tdef_block = 63,
      .tdef_column = 25,
      .tdef_real_index = 12,
      .tdef_index_columns = 52,
      .tdef_logical_index = 28,
      .name_length_bytes = 2,
      .header_mask_bytes = 128,
      .password_bytes = 40,
  };
}

constexpr Layout kJet4Layout = Jet4Like(Format::kJet4);
constexpr Layout kAce12Layout = Jet4Like(Format::kAce12);
constexpr Layout kAce14Layout = Jet4Like(Format::kAce14);

}  // namespace

const Layout& LayoutFor(Format f) {
  switch (f) {
    case Format::kJet3: return kJet3Layout;
    case Format::kJet4: return kJet4Layout;
    case Format::kAce12: return kAce12Layout;
    case Format::kAce14: return kAce14Layout;
  }
  return kJet4Layout;
}

size_t FixedSize(ColumnType t) {
  switch (t) {
    case ColumnType::kByte: return 1;
    case ColumnType::kInteger: return 2;
    case ColumnType::kLong: return 4;
    case ColumnType::kSingle: return 4;
    case ColumnType::kCurrency:
    case ColumnType::kDouble:
    case ColumnType::kDateTime: return 8;
    case ColumnType::kGuid: return 16;
    default: return 0;
  }
}

bool IsLongValue(ColumnType t) { return t == ColumnType::kMemo || t == ColumnType::kOle; }

bool IsVariable(ColumnType t) {
  return t == ColumnType::kText || t == ColumnType::kBinary || IsLongValue(t);
}

}  // namespace dbbuilder
