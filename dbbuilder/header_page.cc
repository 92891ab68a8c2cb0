#include "dbbuilder/header_page.h"

#include <cmath>
#include <string_view>

#include "jet/header.h"

namespace dbbuilder {

ByteVector HeaderPage(const Layout& layout, int code_page, DateTime created) {
  ByteVector page(layout.page_size, 0);
  page[1] = 0x01;
  const std::string_view magic = FormatOf(layout) >= Format::kAce12 ? "Standard ACE DB" : "Standard Jet DB";
  std::copy(magic.begin(), magic.end(), page.begin() + 4);
  page[jet::kHeaderVersion] = layout.version;

  // The masked area, before masking. Its first 24 bytes are the same in every
  // file the desktop engine writes.
  static constexpr uint8_t kLead[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                      0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  std::copy(std::begin(kLead), std::end(kLead), page.begin() + jet::kHeaderMaskStart);
  Put16(page, jet::kHeaderCodePage, static_cast<uint16_t>(layout.jet3() ? code_page : 1252));
  Put32(page, jet::kHeaderDbKey, 0);  // encoding key: none
  if (layout.jet3()) {
    Put16(page, 0x38, 0x0001);
    Put16(page, 0x3A, 0x0409);  // General sort order
  } else {
    // No password: the field holds only its mask, the creation date's whole
    // days repeated.
    uint32_t days = static_cast<uint32_t>(static_cast<int64_t>(std::floor(created.days)));
    for (size_t i = 0; i < layout.password_length; i += 4) Put32(page, jet::kHeaderPassword + i, days);
    Put16(page, 0x6A, 0x11A6);
    Put32(page, 0x6E, 0x0409);
    PutDouble(page, jet::kHeaderCreationDate, created.days);
    // Past the masked area: a field and the engine's version text.
    Put16(page, 0x98, 0x0654);
    static constexpr std::string_view kVersion = "4.0";
    std::copy(kVersion.begin(), kVersion.end(), page.begin() + 0x9C);
  }
  page = jet::ToggleHeaderMask(page, layout);

  // The page's tail repeats a two-byte pattern in every file seen.
  const size_t tail = layout.jet3() ? 0x600 : 0xE00;
  for (size_t at = tail; at + 1 < layout.page_size; at += 2) Put16(page, at, 0x0100);
  Put16(page, tail, 0x0101);
  return page;
}

}  // namespace dbbuilder
