// The system's crypto as jet uses it, against published answers (FIPS 180
// for the hashes, SP 800-38A for AES-CBC): the same test runs on libcrypto
// and, under Wine, on CNG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/env_names.h"
#include "jet/os_names.h"

namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

jet::Bytes Text(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

TEST(Crypto, HashesGiveThePublishedDigests) {
  jet::Crypto& c = jet::Crypto::Default();
  struct Case {
    jet::HashAlgorithm algorithm;
    std::vector<std::string> parts;
    std::string digest;
  };
  const std::string sha512_abc =
      "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f";
  const Case cases[] = {
      {jet::HashAlgorithm::kSha1, {"abc"}, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {jet::HashAlgorithm::kSha1, {"a", "", "bc"}, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {jet::HashAlgorithm::kSha1, {}, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {jet::HashAlgorithm::kSha512, {"abc"}, sha512_abc},
      {jet::HashAlgorithm::kSha512, {"ab", "c"}, sha512_abc},
  };
  for (const Case& k : cases) {
    jet::Result<std::vector<uint8_t>> d =
        k.parts.empty()   ? c.Hash(k.algorithm, {})
        : k.parts.size() == 1 ? c.Hash(k.algorithm, {Text(k.parts[0])})
        : k.parts.size() == 2 ? c.Hash(k.algorithm, {Text(k.parts[0]), Text(k.parts[1])})
                              : c.Hash(k.algorithm, {Text(k.parts[0]), Text(k.parts[1]), Text(k.parts[2])});
    ASSERT_TRUE(d.ok()) << d.status().message();
    EXPECT_EQ(*d, Hex(k.digest)) << k.digest;
  }
}

TEST(Crypto, AesCbcGivesThePublishedBlocksAndRefusesWhatItCannotTake) {
  jet::Crypto& c = jet::Crypto::Default();
  const std::vector<uint8_t> iv = Hex("000102030405060708090a0b0c0d0e0f");
  const std::vector<uint8_t> plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  struct Case {
    std::string key, cipher;
  };
  for (const Case& k : {Case{"2b7e151628aed2a6abf7158809cf4f3c",
                             "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
                        Case{"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
                             "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"}}) {
    std::vector<uint8_t> data = plain;
    ASSERT_TRUE(c.AesCbcEncrypt(Hex(k.key), iv, data).ok());
    EXPECT_EQ(data, Hex(k.cipher)) << k.key;
    ASSERT_TRUE(c.AesCbcDecrypt(Hex(k.key), iv, data).ok());
    EXPECT_EQ(data, plain);
  }
  std::vector<uint8_t> odd(15);
  EXPECT_EQ(c.AesCbcEncrypt(Hex("2b7e151628aed2a6abf7158809cf4f3c"), iv, odd).code(), jet::Code::kInvalidArgument);
  std::vector<uint8_t> block(16);
  EXPECT_EQ(c.AesCbcEncrypt(std::vector<uint8_t>(15), iv, block).code(), jet::Code::kInvalidArgument);
  std::vector<uint8_t> a(16), b(16);
  ASSERT_TRUE(c.Random(a).ok() && c.Random(b).ok());
  EXPECT_NE(a, b);
}

}  // namespace
