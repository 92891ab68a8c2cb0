// The header page (page 0): which family the file is, its code page, and
// whether it is protected. The area from 0x18 is RC4-masked with a fixed key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/env_names.h"

namespace jet {

inline constexpr size_t kHeaderMaskStart = 0x18;
inline constexpr size_t kHeaderVersion = 0x14;
inline constexpr size_t kHeaderCodePage = 0x3c;   // in the unmasked area
inline constexpr size_t kHeaderDbKey = 0x3e;
inline constexpr size_t kHeaderPassword = 0x42;
// The engine's name (Format::header_name), with its terminating zero byte.
inline constexpr size_t kHeaderName = 4;
// The fields of unknown meaning every file fills alike are the Format
// table's (header_unknown ...): where they are differs by version.

struct Header {
  Format format{};
  uint16_t code_page = 0;
  // The encoding key. Jet3/Jet4: non-zero means every page but page 0 is
  // RC4-encrypted with (key XOR page number); no password is needed.
  // ACE: non-zero means the file is encrypted with a password.
  uint32_t db_key = 0;
  bool has_password = false;
  double creation_date = 0;  // Jet4/ACE: days since 1899-12-30

  // Whether the file cannot be read without a password we do not have.
  bool needs_password() const { return has_password || (format.family == Family::kAce && db_key != 0); }
  // Whether Jet3/Jet4 pages must be decrypted with the key.
  bool pages_encrypted() const { return format.family != Family::kAce && db_key != 0; }
};

// Parses the start of page 0 (at least kHeaderMaskStart + the masked area).
// kBadFormat when the bytes are not a database header of a known version.
Result<Header> ParseHeader(Bytes page0);

// Page 0 with its masked area unmasked (or masked again: the pass is its
// own inverse).
std::vector<uint8_t> ToggleHeaderMask(Bytes page0, const Format& format);

// The 4-byte mask Jet4/ACE lay over the password: the creation date,
// truncated to an integer.
uint32_t PasswordMask(double creation_date);

// The database password page 0 keeps, as UTF-8: Jet3 in the code page,
// Jet4 and ACE as UCS-2 further masked with the creation date; a zero
// character ends it. Empty when there is none.
std::string DatabasePassword(Bytes page0, const Header& header);

// DatabasePassword's inverse: the password field's bytes as page 0 keeps
// them before the header mask goes over them (Jet3 in the code page, Jet4
// and ACE as UCS-2 masked with the creation date; zeros after it). An empty
// password gives the field of a file that has none. kInvalidArgument where
// it does not fit the field or its text cannot be encoded.
Result<std::vector<uint8_t>> PasswordField(std::string_view password, const Format& format, uint16_t code_page,
                                           double creation_date);

}  // namespace jet
