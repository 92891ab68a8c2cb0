#include "jet/header.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "jet/rc4.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr uint8_t kMaskKey[] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr uint8_t kMagic[] = {0x00, 0x01, 0x00, 0x00};

// Whether page 0 holds the name, with its zero byte (the caller has checked
// that the page is long enough).
bool HasName(Bytes page0, std::string_view name) {
  return std::equal(name.begin(), name.end(), page0.begin() + kHeaderName) && page0[kHeaderName + name.size()] == 0;
}

}  // namespace

std::vector<uint8_t> ToggleHeaderMask(Bytes page0, const Format& format) {
  std::vector<uint8_t> out(page0.begin(), page0.end());
  if (out.size() > kHeaderMaskStart) {
    size_t n = std::min(format.header_mask_length, out.size() - kHeaderMaskStart);
    Rc4Apply(kMaskKey, std::span<uint8_t>(out).subspan(kHeaderMaskStart, n));
  }
  return out;
}

uint32_t PasswordMask(double creation_date) {
  // A hostile date may be NaN or huge: converting those is undefined.
  if (!std::isfinite(creation_date) || std::fabs(creation_date) >= 2147483648.0) return 0;
  return static_cast<uint32_t>(static_cast<int32_t>(creation_date));
}

Result<Header> ParseHeader(Bytes page0) {
  if (page0.size() < kHeaderMaskStart + 128 || std::memcmp(page0.data(), kMagic, sizeof kMagic) != 0)
    return Status::BadFormat("no database header");
  if (!HasName(page0, kJetHeaderName) && !HasName(page0, kAceHeaderName)) return Status::BadFormat("no database header");
  Result<Format> format = FormatForVersion(page0[kHeaderVersion]);
  if (!format.ok()) return format.status();
  if (!HasName(page0, format->header_name)) return Status::BadFormat("header name does not match its version");

  Header h;
  h.format = *format;
  std::vector<uint8_t> plain = ToggleHeaderMask(page0, h.format);
  ByteView v{Bytes(plain)};
  h.code_page = v.U16(kHeaderCodePage);
  h.db_key = v.U32(kHeaderDbKey);
  Bytes password = v.Sub(kHeaderPassword, h.format.password_length);
  if (!h.format.header_creation_date) {
    h.has_password = std::any_of(password.begin(), password.end(), [](uint8_t b) { return b != 0; });
  } else {
    h.creation_date = v.F64(*h.format.header_creation_date);
    uint8_t mask[4];
    StoreU32(mask, PasswordMask(h.creation_date));
    for (size_t i = 0; i < password.size(); ++i)
      if ((password[i] ^ mask[i % 4]) != 0) h.has_password = true;
  }
  if (!v.ok()) return Status::BadFormat("header too short");
  return h;
}

std::string DatabasePassword(Bytes page0, const Header& h) {
  std::vector<uint8_t> plain = ToggleHeaderMask(page0, h.format);
  std::vector<uint8_t> bytes(plain.begin() + kHeaderPassword,
                             plain.begin() + static_cast<ptrdiff_t>(kHeaderPassword + h.format.password_length));
  if (!h.format.header_creation_date) {
    bytes.erase(std::find(bytes.begin(), bytes.end(), 0), bytes.end());
    return DecodeCodePage(bytes, h.code_page);
  }
  uint8_t mask[4];
  StoreU32(mask, PasswordMask(h.creation_date));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= mask[i % 4];
  size_t end = 0;
  while (end + 1 < bytes.size() && (bytes[end] | bytes[end + 1]) != 0) end += 2;
  bytes.resize(end);
  return DecodeUcs2(bytes);
}

Result<std::vector<uint8_t>> PasswordField(std::string_view password, const Format& format, uint16_t code_page,
                                           double creation_date) {
  const bool jet3 = !format.header_creation_date;
  Result<std::vector<uint8_t>> text = jet3 ? EncodeCodePage(password, code_page) : EncodeUcs2(password, false);
  if (!text.ok()) return Status::InvalidArgument("the password cannot be written in the file's text");
  if (text->size() > format.password_length) return Status::InvalidArgument("the password is too long for the file");
  std::vector<uint8_t> field(format.password_length, 0);
  std::copy(text->begin(), text->end(), field.begin());
  if (!jet3) {
    uint8_t mask[4];
    StoreU32(mask, PasswordMask(creation_date));
    for (size_t i = 0; i < field.size(); ++i) field[i] ^= mask[i % 4];
  }
  return field;
}

}  // namespace jet
