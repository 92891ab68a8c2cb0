// Base64 (RFC 4648, with padding), as the agile encryption descriptor writes
// its salts and keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/bytes.h"

namespace jet {

std::string EncodeBase64(Bytes bytes);
// Nullopt for anything but whole groups of the alphabet with correct padding.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

}  // namespace jet
