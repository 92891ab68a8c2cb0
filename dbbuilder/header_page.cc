#include "dbbuilder/header_page.h"

#include <algorithm>
#include <string_view>

#include "jet/header.h"

namespace dbbuilder {

jet::Result<ByteVector> HeaderPage(const Layout& layout, int code_page, DateTime created, const std::string& password) {
  if (!password.empty() && layout.family == jet::Family::kAce)
    return jet::Status::Error(jet::Code::kUnsupported, "an ACE file keeps no password in its header: its pages are encrypted");
  ByteVector page = jet::BlankPage(layout.page_size, jet::kPageHeader);
  std::copy(layout.header_name.begin(), layout.header_name.end(), page.begin() + jet::kHeaderName);
  page[jet::kHeaderVersion] = layout.version;

  // The masked area, before masking. Its first 24 bytes are the same in every
  // file the desktop engine writes.
  static constexpr uint8_t kLead[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                      0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
  std::copy(std::begin(kLead), std::end(kLead), page.begin() + jet::kHeaderMaskStart);
  const bool code_page_text = layout.text_encoding == jet::TextEncoding::kCodePage;
  const uint16_t text_code_page = static_cast<uint16_t>(code_page_text ? code_page : 1252);
  Put16(page, jet::kHeaderCodePage, text_code_page);
  Put32(page, jet::kHeaderDbKey, 0);  // encoding key: none
  jet::Result<ByteVector> field = jet::PasswordField(password, layout, text_code_page, created.days);
  if (!field.ok()) return field.status();
  std::copy(field->begin(), field->end(), page.begin() + jet::kHeaderPassword);
  if (layout.header_sort_order_size == 2) Put16(page, layout.header_sort_order, jet::kGeneralSortOrder);
  else Put32(page, layout.header_sort_order, jet::kGeneralSortOrder);
  if (layout.header_creation_date) PutDouble(page, *layout.header_creation_date, created.days);
  Put16(page, layout.header_unknown, layout.header_unknown_word);
  if (layout.header_unknown2) Put16(page, *layout.header_unknown2, *layout.header_unknown2_word);
  if (layout.header_engine_version)
    std::copy(layout.header_engine_version_text.begin(), layout.header_engine_version_text.end(),
              page.begin() + static_cast<std::ptrdiff_t>(*layout.header_engine_version));
  page = jet::ToggleHeaderMask(page, layout);

  // The page's tail repeats a two-byte pattern in every file seen.
  for (size_t at = layout.header_tail; at + 1 < layout.page_size; at += 2) Put16(page, at, 0x0100);
  Put16(page, layout.header_tail, 0x0101);
  return page;
}

}  // namespace dbbuilder
