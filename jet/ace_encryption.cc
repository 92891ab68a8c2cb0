#include "jet/ace_encryption.h"

#include <algorithm>
#include <utility>

#include "jet/rc4.h"
#include "jet/text.h"

namespace jet {
namespace {

// The block keys that tell the three values of an agile password key apart.
constexpr uint8_t kVerifierInputBlock[8] = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr uint8_t kVerifierHashBlock[8] = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr uint8_t kKeyValueBlock[8] = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

Status WrongPassword() { return Status::Error(Code::kPassword, "the password does not open the file"); }

// Compares without stopping at the first difference.
bool SameBytes(Bytes a, Bytes b) {
  if (a.size() != b.size()) return false;
  uint8_t diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= a[i] ^ b[i];
  return diff == 0;
}

// Text that is not UTF-8 is no password of the file: kPassword (3031), not
// the caller's argument error.
Result<std::vector<uint8_t>> Utf16(std::string_view password) {
  Result<std::vector<uint8_t>> utf16 = EncodeUcs2(password, false);
  if (!utf16.ok()) return Status::Error(Code::kPassword, "the password is not UTF-8 text");
  return utf16;
}

Result<std::vector<uint8_t>> Rc4H0(Crypto& crypto, Bytes salt, std::string_view password) {
  Result<std::vector<uint8_t>> utf16 = Utf16(password);
  if (!utf16.ok()) return utf16.status();
  return crypto.Hash(HashAlgorithm::kSha1, {salt, *utf16});
}

// The agile password hash after the spin count's rounds.
Result<std::vector<uint8_t>> AgilePasswordHash(Crypto& crypto, const AgileDescriptor& d, std::string_view password) {
  Result<std::vector<uint8_t>> utf16 = Utf16(password);
  if (!utf16.ok()) return utf16.status();
  Result<std::vector<uint8_t>> h = crypto.Hash(d.password_hash, {d.password_salt, *utf16});
  uint8_t round[4];
  for (uint32_t i = 0; i < d.spin_count && h.ok(); ++i) {
    StoreU32(round, i);
    h = crypto.Hash(d.password_hash, {round, *h});
  }
  return h;
}

Result<std::vector<uint8_t>> AgileBlockKey(Crypto& crypto, const AgileDescriptor& d, Bytes h, Bytes block) {
  Result<std::vector<uint8_t>> key = crypto.Hash(d.password_hash, {h, block});
  if (key.ok()) key->resize(d.password_key_bits / 8, 0x36);
  return key;
}

// One value of the password key, decrypted (or, encrypting, encrypted) in place.
Status AgileValue(Crypto& crypto, const AgileDescriptor& d, Bytes h, Bytes block, std::vector<uint8_t>& value,
                  bool encrypt) {
  Result<std::vector<uint8_t>> key = AgileBlockKey(crypto, d, h, block);
  if (!key.ok()) return key.status();
  return encrypt ? crypto.AesCbcEncrypt(*key, d.password_salt, value)
                 : crypto.AesCbcDecrypt(*key, d.password_salt, value);
}

Result<std::shared_ptr<const PageCodec>> UnlockAgile(Crypto& crypto, const AgileDescriptor& d, uint32_t db_key,
                                                     std::string_view password) {
  Result<std::vector<uint8_t>> h = AgilePasswordHash(crypto, d, password);
  if (!h.ok()) return h.status();
  std::vector<uint8_t> input = d.encrypted_verifier_input;
  std::vector<uint8_t> hash = d.encrypted_verifier_hash;
  std::vector<uint8_t> key = d.encrypted_key;
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kVerifierInputBlock, input, false));
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kVerifierHashBlock, hash, false));
  input.resize(d.password_salt.size());
  Result<std::vector<uint8_t>> expected = crypto.Hash(d.password_hash, {input});
  if (!expected.ok()) return expected.status();
  hash.resize(HashSize(d.password_hash));
  if (!SameBytes(*expected, hash)) return WrongPassword();
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kKeyValueBlock, key, false));
  key.resize(d.key_bits / 8);
  return AgilePageCodec(crypto, std::move(key), d.data_salt, d.data_hash, db_key);
}

// The verifier and its hash, one RC4 stream under block 0's key.
Status Rc4Verifier(Crypto& crypto, const Rc4CryptoApiDescriptor& d, Bytes h0, std::vector<uint8_t>& both) {
  Result<std::vector<uint8_t>> key = Rc4CryptoApiBlockKey(crypto, h0, 0, d.key_bits / 8);
  if (!key.ok()) return key.status();
  Rc4Apply(*key, both);
  return Status::Ok();
}

Result<std::shared_ptr<const PageCodec>> UnlockRc4(Crypto& crypto, const Rc4CryptoApiDescriptor& d, uint32_t db_key,
                                                   std::string_view password) {
  Result<std::vector<uint8_t>> h0 = Rc4H0(crypto, d.salt, password);
  if (!h0.ok()) return h0.status();
  std::vector<uint8_t> both = d.encrypted_verifier;
  both.insert(both.end(), d.encrypted_verifier_hash.begin(), d.encrypted_verifier_hash.end());
  JET_RETURN_IF_ERROR(Rc4Verifier(crypto, d, *h0, both));
  const Bytes verifier = Bytes(both).first(d.encrypted_verifier.size());
  Result<std::vector<uint8_t>> expected = crypto.Hash(HashAlgorithm::kSha1, {verifier});
  if (!expected.ok()) return expected.status();
  if (!SameBytes(*expected, Bytes(both).subspan(verifier.size()))) return WrongPassword();
  return Rc4CryptoApiPageCodec(crypto, std::move(*h0), d.key_bits / 8, db_key);
}

Result<std::vector<uint8_t>> RandomBytes(Crypto& crypto, size_t n) {
  std::vector<uint8_t> out(n);
  JET_RETURN_IF_ERROR(crypto.Random(out));
  return out;
}

Result<NewAceEncryption> CreateAgile(Crypto& crypto, std::string_view password, uint32_t db_key, uint32_t spin) {
  AgileDescriptor d;
  d.spin_count = spin;
  Result<std::vector<uint8_t>> data_salt = RandomBytes(crypto, 16);
  Result<std::vector<uint8_t>> password_salt = RandomBytes(crypto, 16);
  Result<std::vector<uint8_t>> input = RandomBytes(crypto, 16);
  Result<std::vector<uint8_t>> key = RandomBytes(crypto, d.key_bits / 8);
  for (const Status* s : {&data_salt.status(), &password_salt.status(), &input.status(), &key.status()})
    if (!s->ok()) return *s;
  d.data_salt = std::move(*data_salt);
  d.password_salt = std::move(*password_salt);
  Result<std::vector<uint8_t>> h = AgilePasswordHash(crypto, d, password);
  if (!h.ok()) return h.status();
  Result<std::vector<uint8_t>> hash = crypto.Hash(d.password_hash, {*input});
  if (!hash.ok()) return hash.status();
  d.encrypted_verifier_input = *input;
  d.encrypted_verifier_hash = *hash;  // SHA-512: whole blocks already
  d.encrypted_key = *key;
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kVerifierInputBlock, d.encrypted_verifier_input, true));
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kVerifierHashBlock, d.encrypted_verifier_hash, true));
  JET_RETURN_IF_ERROR(AgileValue(crypto, d, *h, kKeyValueBlock, d.encrypted_key, true));
  std::shared_ptr<const PageCodec> codec = AgilePageCodec(crypto, std::move(*key), d.data_salt, d.data_hash, db_key);
  return NewAceEncryption{std::move(d), std::move(codec)};
}

Result<NewAceEncryption> CreateRc4(Crypto& crypto, std::string_view password, uint32_t db_key) {
  Rc4CryptoApiDescriptor d;
  Result<std::vector<uint8_t>> salt = RandomBytes(crypto, 16);
  Result<std::vector<uint8_t>> verifier = RandomBytes(crypto, 16);
  if (!salt.ok()) return salt.status();
  if (!verifier.ok()) return verifier.status();
  d.salt = std::move(*salt);
  Result<std::vector<uint8_t>> h0 = Rc4H0(crypto, d.salt, password);
  if (!h0.ok()) return h0.status();
  Result<std::vector<uint8_t>> hash = crypto.Hash(HashAlgorithm::kSha1, {*verifier});
  if (!hash.ok()) return hash.status();
  std::vector<uint8_t> both = *verifier;
  both.insert(both.end(), hash->begin(), hash->end());
  JET_RETURN_IF_ERROR(Rc4Verifier(crypto, d, *h0, both));
  d.encrypted_verifier.assign(both.begin(), both.begin() + 16);
  d.encrypted_verifier_hash.assign(both.begin() + 16, both.end());
  std::shared_ptr<const PageCodec> codec = Rc4CryptoApiPageCodec(crypto, std::move(*h0), d.key_bits / 8, db_key);
  return NewAceEncryption{std::move(d), std::move(codec)};
}

}  // namespace

Result<std::shared_ptr<const PageCodec>> UnlockAcePages(Crypto& crypto, const EncryptionDescriptor& descriptor,
                                                        uint32_t db_key, std::string_view password) {
  if (const auto* agile = std::get_if<AgileDescriptor>(&descriptor))
    return UnlockAgile(crypto, *agile, db_key, password);
  return UnlockRc4(crypto, std::get<Rc4CryptoApiDescriptor>(descriptor), db_key, password);
}

Result<NewAceEncryption> CreateAceEncryption(Crypto& crypto, AceEncryptionKind kind, std::string_view password,
                                             uint32_t db_key, uint32_t spin_count) {
  if (kind == AceEncryptionKind::kAgile) return CreateAgile(crypto, password, db_key, spin_count);
  return CreateRc4(crypto, password, db_key);
}

}  // namespace jet
