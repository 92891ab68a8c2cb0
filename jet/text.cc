#include "jet/text.h"

#include <array>

namespace jet {
namespace {

// Bytes 0x80..0xFF. Bytes a code page leaves undefined map to the C1
// control of the same number, so that every byte reads back as itself.
constexpr std::array<char16_t, 128> kCp1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr std::array<char16_t, 128> kCp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

const std::array<char16_t, 128>& TableFor(uint16_t code_page) {
  return code_page == kCodePage1250 ? kCp1250 : kCp1252;
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// UTF-16 code units -> UTF-8, one unit at a time: a high surrogate waits
// for the unit after it, and is joined with a low one or becomes U+FFFD.
class Utf16Sink {
 public:
  explicit Utf16Sink(std::string& out) : out_(out) {}
  ~Utf16Sink() { Flush(); }

  void Put(char16_t u) {
    if (u < 0x80 && !high_) {  // most names and paths are ASCII
      out_.push_back(static_cast<char>(u));
      return;
    }
    if (high_ && u >= 0xDC00 && u <= 0xDFFF) {
      AppendUtf8(0x10000 + ((static_cast<char32_t>(high_) - 0xD800) << 10) + (u - 0xDC00), out_);
      high_ = 0;
      return;
    }
    Flush();
    if (u >= 0xD800 && u <= 0xDBFF) {
      high_ = u;
    } else {
      AppendUtf8(IsSurrogate(u) ? 0xFFFD : u, out_);
    }
  }

 private:
  void Flush() {
    if (high_) AppendUtf8(0xFFFD, out_);
    high_ = 0;
  }

  std::string& out_;
  char16_t high_ = 0;  // a high surrogate not yet followed
};

// The code point that starts at s[i]; advances i past it. False for
// malformed UTF-8 (i then is left where it was).
bool NextUtf8(std::string_view s, size_t& i, char32_t& c) {
  const uint8_t b = static_cast<uint8_t>(s[i]);
  size_t n;
  if (b < 0x80) {
    n = 1, c = b;
  } else if ((b & 0xE0) == 0xC0) {
    n = 2, c = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, c = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, c = b & 0x07;
  } else {
    return false;
  }
  if (i + n > s.size()) return false;
  for (size_t k = 1; k < n; ++k) {
    const uint8_t cont = static_cast<uint8_t>(s[i + k]);
    if ((cont & 0xC0) != 0x80) return false;
    c = (c << 6) | (cont & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[n] || c > 0x10FFFF || IsSurrogate(c)) return false;
  i += n;
  return true;
}

}  // namespace

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

Result<std::u32string> DecodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    if (!NextUtf8(s, i, c)) return Status::InvalidArgument("malformed UTF-8 text");
    out += c;
  }
  return out;
}

std::string DecodeCodePage(Bytes bytes, uint16_t code_page) {
  const auto& table = TableFor(code_page);
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      AppendUtf8(table[b - 0x80], out);
    }
  }
  return out;
}

Result<std::vector<uint8_t>> EncodeCodePage(std::string_view utf8, uint16_t code_page) {
  Result<std::u32string> cps = DecodeUtf8(utf8);
  if (!cps.ok()) return cps.status();
  const auto& table = TableFor(code_page);
  std::vector<uint8_t> out;
  out.reserve(cps->size());
  for (char32_t c : *cps) {
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
      continue;
    }
    size_t i = 0;
    while (i < table.size() && table[i] != c) ++i;
    if (i == table.size())
      return Status::InvalidArgument("a character has no byte in code page " + std::to_string(code_page));
    out.push_back(static_cast<uint8_t>(0x80 + i));
  }
  return out;
}

std::string DecodeUcs2(Bytes bytes) {
  std::string out;
  {
    Utf16Sink sink(out);
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
      out.reserve(bytes.size() - 2);
      bool one_byte = true;
      for (size_t i = 2; i < bytes.size();) {
        if (bytes[i] == 0) {
          one_byte = !one_byte;
          ++i;
        } else if (one_byte) {
          sink.Put(static_cast<char16_t>(bytes[i++]));
        } else {
          if (i + 1 >= bytes.size()) break;  // a lone trailing byte carries no character
          sink.Put(static_cast<char16_t>(LoadU16(&bytes[i])));
          i += 2;
        }
      }
    } else {
      out.reserve(bytes.size() / 2);
      for (size_t i = 0; i + 1 < bytes.size(); i += 2) sink.Put(static_cast<char16_t>(LoadU16(&bytes[i])));
    }
  }
  return out;
}

Result<std::vector<uint8_t>> EncodeUcs2(std::string_view utf8, bool allow_compression) {
  Result<std::u32string> cps = DecodeUtf8(utf8);
  if (!cps.ok()) return cps.status();
  std::u16string units;
  for (char32_t c : *cps) {
    if (c >= 0x10000) {
      c -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (c >> 10));
      units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
  }
  std::vector<uint8_t> plain(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) StoreU16(&plain[2 * i], units[i]);
  if (!allow_compression) return plain;

  // A unit whose low byte is zero would read as a mode switch: such text
  // stays uncompressed.
  for (char16_t u : units)
    if ((u & 0xFF) == 0) return plain;
  std::vector<uint8_t> packed = {0xFF, 0xFE};
  bool one_byte = true;
  for (char16_t u : units) {
    const bool small = u < 0x100;
    if (small != one_byte) {
      packed.push_back(0);
      one_byte = small;
    }
    if (small) {
      packed.push_back(static_cast<uint8_t>(u));
    } else {
      packed.push_back(static_cast<uint8_t>(u));
      packed.push_back(static_cast<uint8_t>(u >> 8));
    }
  }
  return packed.size() < plain.size() ? packed : plain;
}

std::string DecodeText(Bytes bytes, const Format& format, uint16_t code_page) {
  return format.text_encoding == TextEncoding::kUcs2 ? DecodeUcs2(bytes) : DecodeCodePage(bytes, code_page);
}

Result<std::vector<uint8_t>> EncodeText(std::string_view utf8, const Format& format, uint16_t code_page,
                                        bool allow_compression) {
  return format.text_encoding == TextEncoding::kUcs2 ? EncodeUcs2(utf8, allow_compression) : EncodeCodePage(utf8, code_page);
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  // Latin Extended-A: mostly upper/lower pairs at even/odd code points, with
  // the run U+0139..U+0148 and U+0179..U+017E pairing odd/even.
  if (c >= 0x100 && c <= 0x137) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

std::string FoldedCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c;
    if (NextUtf8(s, i, c)) {
      AppendUtf8(FoldCase(c), out);
    } else {
      out += s[i++];
    }
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Code point by code point, without building either string: names are
  // compared for every table a caller looks up. Malformed text equals only
  // itself, byte for byte.
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[j]);
    if (x < 0x80 && y < 0x80) {
      if (FoldCase(x) != FoldCase(y)) return false;
      ++i, ++j;
      continue;
    }
    char32_t ca, cb;
    if (!NextUtf8(a, i, ca) || !NextUtf8(b, j, cb) || FoldCase(ca) != FoldCase(cb)) return false;
  }
  if (i != a.size() || j != b.size()) return false;
  return true;
}

}  // namespace jet
