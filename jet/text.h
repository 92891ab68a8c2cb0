// Text as stored in the file <-> UTF-8. Jet3 stores text in the database's
// code page (Windows-1250 and Windows-1252 are known; others are read as
// 1252). Jet4 and ACE store UCS-2, optionally "compressed": after the
// marker FF FE, characters below U+0100 take one byte, and a 0x00 byte
// switches between one-byte and two-byte mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/env_names.h"

namespace jet {

inline constexpr uint16_t kCodePage1250 = 1250;
inline constexpr uint16_t kCodePage1252 = 1252;

// Code points of UTF-8 text; kInvalidArgument for malformed UTF-8.
Result<std::u32string> DecodeUtf8(std::string_view utf8);
void AppendUtf8(char32_t cp, std::string& out);

std::string DecodeCodePage(Bytes bytes, uint16_t code_page);
// kInvalidArgument when a character has no byte in the code page.
Result<std::vector<uint8_t>> EncodeCodePage(std::string_view utf8, uint16_t code_page);

// UCS-2 text, compressed or not. Surrogate pairs are joined; a lone
// surrogate becomes U+FFFD.
std::string DecodeUcs2(Bytes bytes);
// A memo value of at most this many characters may be stored compressed
// (a text column's are short enough always); a longer one never is.
inline constexpr size_t kMaxCompressedMemo = 1024;

// UCS-2 little-endian; with allow_compression, the compressed form where it
// is possible and shorter. kInvalidArgument for malformed UTF-8.
Result<std::vector<uint8_t>> EncodeUcs2(std::string_view utf8, bool allow_compression);

// The text of a value in the given format.
std::string DecodeText(Bytes bytes, const Format& format, uint16_t code_page);
Result<std::vector<uint8_t>> EncodeText(std::string_view utf8, const Format& format, uint16_t code_page,
                                        bool allow_compression);

// Names are compared as the desktop program compares them: without regard to
// case (for the Latin, Greek and Cyrillic letters).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
char32_t FoldCase(char32_t c);
// The text with each letter folded as EqualsIgnoreCase folds it: names that
// compare equal fold to the same text (for keys of a lookup; the bytes of
// malformed text are kept as they are).
std::string FoldedCase(std::string_view s);

}  // namespace jet
