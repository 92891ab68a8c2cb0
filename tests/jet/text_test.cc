// Text in the file <-> UTF-8: both code pages, UCS-2 and its compression,
// and name comparison without regard to case.
#include "jet/text.h"

#include <string>
#include <vector>

#include "tests/support/support.h"

namespace {

using Bytes8 = std::vector<uint8_t>;

TEST(CodePageText, MapsTheBytesThatDifferBetweenThePages) {
  struct Case {
    uint16_t code_page;
    Bytes8 bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {jet::kCodePage1250, {0xC8, 0x65, 0x62, 0x65, 0x6C}, "Čebel"},
      {jet::kCodePage1250, {0x8A, 0x75, 0x9A, 0x74, 0x61, 0x72}, "Šuštar"},
      {jet::kCodePage1250, {0x8E, 0x61, 0x6C, 0x65, 0x63, 0x20, 0x9E}, "Žalec ž"},
      {jet::kCodePage1250, {0xA3, 0xB3, 0xF8}, "Łłř"},
      {jet::kCodePage1252, {0x80, 0x8A, 0x9E, 0xE9, 0xFF}, "€Šžéÿ"},
      {jet::kCodePage1252, {0xC8}, "È"},  // the byte that is Č in 1250
      {jet::kCodePage1252, {0x81, 0x8D}, "\u0081\u008D"},  // undefined bytes read back as themselves
  };
  for (const Case& c : cases) {
    const std::string& expected = c.utf8;
    EXPECT_EQ(jet::DecodeCodePage(c.bytes, c.code_page), expected) << c.code_page << " " << expected;
    auto back = jet::EncodeCodePage(expected, c.code_page);
    ASSERT_TRUE(back.ok()) << expected;
    EXPECT_EQ(*back, c.bytes) << c.code_page << " " << expected;
  }
}

TEST(CodePageText, RefusesCharactersThePageLacks) {
  const std::pair<uint16_t, std::string> cases[] = {
      {jet::kCodePage1252, "Č"}, {jet::kCodePage1250, "È"}, {jet::kCodePage1252, "中"}, {jet::kCodePage1250, "\xC3"}};
  for (const auto& [cp, text] : cases) {
    auto r = jet::EncodeCodePage(text, cp);
    ASSERT_FALSE(r.ok()) << cp << " " << text;
    EXPECT_EQ(r.status().code(), jet::Code::kInvalidArgument);
  }
}

TEST(Ucs2Text, ReadsPlainAndCompressedText) {
  struct Case {
    const char* what;
    Bytes8 bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"plain", {'A', 0, 'b', 0}, "Ab"},
      {"plain, odd trailing byte ignored", {'A', 0, 'b'}, "A"},
      {"compressed", {0xFF, 0xFE, 'P', 'a', 'r'}, "Par"},
      {"compressed, switch to two bytes and back",
       {0xFF, 0xFE, 'a', 0x00, 0x0D, 0x01, 0x00, 'b'}, "ačb"},
      {"compressed, ends in two-byte mode", {0xFF, 0xFE, 'x', 0x00, 0x7D, 0x01}, "xŽ"},
      {"compressed, lone last byte in two-byte mode", {0xFF, 0xFE, 'x', 0x00, 0x7D}, "x"},
      {"surrogate pair", {0x3D, 0xD8, 0x00, 0xDE}, "😀"},
      {"lone surrogate", {0x3D, 0xD8, 'a', 0}, "\uFFFDa"},
      {"lone high surrogate last", {'a', 0, 0x3D, 0xD8}, "a\uFFFD"},
      {"lone low surrogate", {0x00, 0xDE, 'b', 0}, "\uFFFDb"},
      {"high surrogate, then a pair", {0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}, "\uFFFD😀"},
      {"compressed, pair in two-byte mode", {0xFF, 0xFE, 'x', 0x00, 0x3D, 0xD8, 0x01, 0xDE}, "x😁"},
      {"empty", {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(jet::DecodeUcs2(c.bytes), c.utf8) << c.what;
}

TEST(Ucs2Text, CompressesOnlyWhenPossibleAndShorter) {
  struct Case {
    std::string utf8;
    bool compressed;
  };
  const Case cases[] = {
      {"C:\\MLQ\\PARTNER.MDB", true},
      {"C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB", true},
      {"ČŠŽ", false},        // switching would make it longer
      {"aĀb", false},        // U+0100 has a zero low byte: it would read as a switch
      {"a", false},          // the marker costs more than it saves
      {"", false},
      {"😁 smile", true},  // its low surrogate DE01 has no zero byte
  };
  for (const Case& c : cases) {
    auto packed = jet::EncodeUcs2(c.utf8, true);
    auto plain = jet::EncodeUcs2(c.utf8, false);
    ASSERT_TRUE(packed.ok() && plain.ok()) << c.utf8;
    const bool is_compressed = packed->size() >= 2 && (*packed)[0] == 0xFF && (*packed)[1] == 0xFE;
    EXPECT_EQ(is_compressed, c.compressed) << c.utf8;
    if (is_compressed) {
      EXPECT_LT(packed->size(), plain->size()) << c.utf8;
    }
    EXPECT_EQ(jet::DecodeUcs2(*packed), c.utf8);
    EXPECT_EQ(jet::DecodeUcs2(*plain), c.utf8);
    EXPECT_EQ(plain->size() % 2, 0u);
  }
}

TEST(Ucs2Text, RefusesMalformedUtf8) {
  const std::string bad[] = {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80", "a\x80"};
  for (const std::string& s : bad) {
    EXPECT_FALSE(jet::EncodeUcs2(s, true).ok());
    EXPECT_FALSE(jet::DecodeUtf8(s).ok());
  }
}

TEST(NameComparison, IgnoresCaseOfLatinGreekAndCyrillicLetters) {
  struct Case {
    std::string a, b;
    bool equal;
  };
  const Case cases[] = {
      {"Partner", "PARTNER", true},     {"MLQ.mdB", "mlq.MDB", true},   {"Čebelarstvo", "čEBELARSTVO", true},
      {"ŠUŠTAR", "šuštar", true},       {"Žalec", "žALEC", true},       {"Ĺ", "ĺ", true},
      {"Ÿ", "ÿ", true},                 {"ΑΒΓ", "αβγ", true},           {"Москва", "МОСКВА", true},
      {"Partner", "Partners", false},   {"C", "Č", false},              {"a", "b", false},
      {"\xC3", "\xC3", true},           {"\xC3", "\xC4", false},
      // Malformed text equals nothing but itself, wherever the fault is.
      {"Partner\xC3", "PARTNER", false}, {"ŽAL\xC3", "žal\xC3", false}, {"AB", "ab\x80", false},
  };
  for (const Case& c : cases) EXPECT_EQ(jet::EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " vs " << c.b;
}

}  // namespace
