#include "dbbuilder/format.h"

namespace dbbuilder {

std::string_view FormatName(FormatVersion f) {
  switch (f) {
    case FormatVersion::kJet3: return "jet3";
    case FormatVersion::kJet4: return "jet4";
    case FormatVersion::kAce12: return "ace12";
    case FormatVersion::kAce14: return "ace14";
  }
  return "?";
}

bool ParseFormat(std::string_view name, FormatVersion* out) {
  for (FormatVersion f : {FormatVersion::kJet3, FormatVersion::kJet4, FormatVersion::kAce12, FormatVersion::kAce14}) {
    if (name == FormatName(f)) {
      *out = f;
      return true;
    }
  }
  if (name == "ace") {
    *out = FormatVersion::kAce12;
    return true;
  }
  return false;
}

const Layout& LayoutFor(FormatVersion f) {
  // The version byte is the enumerator's value, and kFormats is by that byte.
  return jet::kFormats[static_cast<size_t>(f)];
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
