#include "jet/format.h"

namespace jet {

Result<Format> FormatForVersion(uint8_t version) {
  for (const Format& f : kFormats)
    if (f.version == version) return f;
  return Status::BadFormat("unknown version byte " + std::to_string(version));
}

std::vector<uint8_t> BlankPage(uint32_t page_size, PageType type) {
  std::vector<uint8_t> page(page_size, 0);
  page[kPageTypeByte] = type;
  page[kPageMark] = kPageMarkValue;
  return page;
}

std::string ToString(RowPointer p) { return std::to_string(p.page) + ":" + std::to_string(p.row); }

}  // namespace jet
