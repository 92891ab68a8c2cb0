#include "jet/page_codec.h"

#include <utility>

#include "jet/rc4.h"

namespace jet {
namespace {

class Jet4Codec final : public PageCodec {
 public:
  explicit Jet4Codec(uint32_t db_key) : db_key_(db_key) {}
  Status Decode(uint32_t page, std::span<uint8_t> data) const override {
    uint8_t key[4];
    StoreU32(key, db_key_ ^ page);
    Rc4Apply(key, data);
    return Status::Ok();
  }
  Status Encode(uint32_t page, std::span<uint8_t> data) const override { return Decode(page, data); }

 private:
  uint32_t db_key_;
};

class Rc4CryptoApiCodec final : public PageCodec {
 public:
  Rc4CryptoApiCodec(Crypto& crypto, std::vector<uint8_t> h0, size_t key_bytes, uint32_t db_key)
      : crypto_(crypto), h0_(std::move(h0)), key_bytes_(key_bytes), db_key_(db_key) {}
  Status Decode(uint32_t page, std::span<uint8_t> data) const override {
    Result<std::vector<uint8_t>> key = Rc4CryptoApiBlockKey(crypto_, h0_, db_key_ ^ page, key_bytes_);
    if (!key.ok()) return key.status();
    Rc4Apply(*key, data);
    return Status::Ok();
  }
  Status Encode(uint32_t page, std::span<uint8_t> data) const override { return Decode(page, data); }

 private:
  Crypto& crypto_;
  std::vector<uint8_t> h0_;
  size_t key_bytes_;
  uint32_t db_key_;
};

class AgileCodec final : public PageCodec {
 public:
  AgileCodec(Crypto& crypto, std::vector<uint8_t> key, std::vector<uint8_t> salt, HashAlgorithm hash, uint32_t db_key)
      : crypto_(crypto), key_(std::move(key)), salt_(std::move(salt)), hash_(hash), db_key_(db_key) {}
  Status Decode(uint32_t page, std::span<uint8_t> data) const override {
    Result<std::vector<uint8_t>> iv = Iv(page);
    if (!iv.ok()) return iv.status();
    return crypto_.AesCbcDecrypt(key_, *iv, data);
  }
  Status Encode(uint32_t page, std::span<uint8_t> data) const override {
    Result<std::vector<uint8_t>> iv = Iv(page);
    if (!iv.ok()) return iv.status();
    return crypto_.AesCbcEncrypt(key_, *iv, data);
  }

 private:
  Result<std::vector<uint8_t>> Iv(uint32_t page) const {
    uint8_t block[4];
    StoreU32(block, db_key_ ^ page);
    Result<std::vector<uint8_t>> iv = crypto_.Hash(hash_, {salt_, block});
    if (iv.ok()) iv->resize(kAesBlock);  // both hashes are longer than a block
    return iv;
  }

  Crypto& crypto_;
  std::vector<uint8_t> key_;
  std::vector<uint8_t> salt_;
  HashAlgorithm hash_;
  uint32_t db_key_;
};

}  // namespace

std::shared_ptr<const PageCodec> Jet4PageCodec(uint32_t db_key) {
  if (db_key == 0) return nullptr;
  return std::make_shared<Jet4Codec>(db_key);
}

std::shared_ptr<const PageCodec> Rc4CryptoApiPageCodec(Crypto& crypto, std::vector<uint8_t> h0, size_t key_bytes,
                                                       uint32_t db_key) {
  return std::make_shared<Rc4CryptoApiCodec>(crypto, std::move(h0), key_bytes, db_key);
}

std::shared_ptr<const PageCodec> AgilePageCodec(Crypto& crypto, std::vector<uint8_t> key, std::vector<uint8_t> salt,
                                                HashAlgorithm hash, uint32_t db_key) {
  return std::make_shared<AgileCodec>(crypto, std::move(key), std::move(salt), hash, db_key);
}

Result<std::vector<uint8_t>> Rc4CryptoApiBlockKey(Crypto& crypto, Bytes h0, uint32_t block, size_t key_bytes) {
  uint8_t le[4];
  StoreU32(le, block);
  Result<std::vector<uint8_t>> key = crypto.Hash(HashAlgorithm::kSha1, {h0, le});
  if (!key.ok()) return key;
  key->resize(key_bytes);
  if (key_bytes == 5) key->resize(16, 0);
  return key;
}

}  // namespace jet
