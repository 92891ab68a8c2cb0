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

const Layout& LayoutFor(Format f) {
  // The version byte is the enumerator's value; every one is known.
  static const Layout kLayouts[] = {*jet::FormatForVersion(0), *jet::FormatForVersion(1), *jet::FormatForVersion(2),
                                    *jet::FormatForVersion(3)};
  return kLayouts[static_cast<size_t>(f)];
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
