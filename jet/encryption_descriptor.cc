#include "jet/encryption_descriptor.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "jet/base64.h"
#include "jet/xml.h"

namespace jet {
namespace {

constexpr uint32_t kFlagCryptoApi = 0x04;
constexpr uint32_t kFlagExternal = 0x10;
constexpr uint32_t kFlagAes = 0x20;
constexpr uint32_t kFlagAgile = 0x40;
constexpr uint32_t kAlgRc4 = 0x6801;
constexpr uint32_t kAlgSha1 = 0x8004;
constexpr uint32_t kProviderRc4 = 1;
constexpr size_t kHeaderFixed = 32;  // EncryptionHeader up to the provider's name
constexpr size_t kRc4Salt = 16;
constexpr size_t kRc4VerifierHash = 20;
constexpr std::u16string_view kRc4Provider = u"Microsoft Enhanced Cryptographic Provider v1.0";

constexpr std::string_view kPasswordUri = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

Status Bad(const std::string& what) { return Status::Corrupt("encryption descriptor: " + what); }
Status NotRead(const std::string& what) { return Status::Error(Code::kUnsupported, what); }

std::optional<HashAlgorithm> HashNamed(std::string_view name) {
  if (name == "SHA1") return HashAlgorithm::kSha1;
  if (name == "SHA512") return HashAlgorithm::kSha512;
  return std::nullopt;
}
const char* NameOf(HashAlgorithm h) { return h == HashAlgorithm::kSha1 ? "SHA1" : "SHA512"; }

// The attributes of one element, each read once and checked.
class Attributes {
 public:
  explicit Attributes(const XmlElement& e) : e_(e) {}

  Result<std::string_view> Text(std::string_view name) const {
    const std::string* v = e_.Attribute(name);
    if (!v) return Bad(e_.name + " has no " + std::string(name));
    return std::string_view(*v);
  }
  Result<uint32_t> Number(std::string_view name, uint32_t most) const {
    Result<std::string_view> t = Text(name);
    if (!t.ok()) return t.status();
    uint32_t n = 0;
    auto [end, ec] = std::from_chars(t->data(), t->data() + t->size(), n);
    if (ec != std::errc() || end != t->data() + t->size() || t->empty() || n > most)
      return Bad(e_.name + "'s " + std::string(name) + " is not a number up to " + std::to_string(most));
    return n;
  }
  Result<std::vector<uint8_t>> Binary(std::string_view name) const {
    Result<std::string_view> t = Text(name);
    if (!t.ok()) return t.status();
    if (t->size() > (kMaxEncryptionValue + 2) / 3 * 4) return Bad(e_.name + "'s " + std::string(name) + " is too long");
    std::optional<std::vector<uint8_t>> b = DecodeBase64(*t);
    if (!b || b->empty()) return Bad(e_.name + "'s " + std::string(name) + " is not base64");
    return std::move(*b);
  }
  // An encrypted value: whole AES blocks, at least `least` bytes.
  Result<std::vector<uint8_t>> Encrypted(std::string_view name, size_t least) const {
    Result<std::vector<uint8_t>> b = Binary(name);
    if (b.ok() && (b->size() % kAesBlock != 0 || b->size() < least))
      return Bad(e_.name + "'s " + std::string(name) + " has " + std::to_string(b->size()) + " bytes");
    return b;
  }

  // The cipher, key size, hash and salt that keyData and encryptedKey share.
  Status Cipher(uint32_t& key_bits, HashAlgorithm& hash, std::vector<uint8_t>& salt) const {
    Result<std::string_view> cipher = Text("cipherAlgorithm");
    Result<std::string_view> chaining = Text("cipherChaining");
    Result<std::string_view> hash_name = Text("hashAlgorithm");
    if (!cipher.ok()) return cipher.status();
    if (!chaining.ok()) return chaining.status();
    if (!hash_name.ok()) return hash_name.status();
    if (*cipher != "AES") return NotRead("agile encryption with the cipher " + std::string(*cipher));
    if (*chaining != "ChainingModeCBC") return NotRead("agile encryption chained by " + std::string(*chaining));
    std::optional<HashAlgorithm> h = HashNamed(*hash_name);
    if (!h) return NotRead("agile encryption with the hash " + std::string(*hash_name));
    hash = *h;
    Result<uint32_t> bits = Number("keyBits", 1024);
    Result<uint32_t> block = Number("blockSize", 1024);
    Result<uint32_t> hash_size = Number("hashSize", 1024);
    Result<uint32_t> salt_size = Number("saltSize", kMaxEncryptionValue);
    Result<std::vector<uint8_t>> salt_value = Binary("saltValue");
    for (const Status* s : {&bits.status(), &block.status(), &hash_size.status(), &salt_size.status(),
                            &salt_value.status()})
      if (!s->ok()) return *s;
    if (*bits != 128 && *bits != 192 && *bits != 256) return Bad(e_.name + "'s keyBits is not an AES key size");
    if (*block != kAesBlock) return Bad(e_.name + "'s blockSize is not AES's");
    if (*hash_size != HashSize(hash)) return Bad(e_.name + "'s hashSize does not fit its hashAlgorithm");
    if (*salt_size != salt_value->size()) return Bad(e_.name + "'s saltSize does not fit its saltValue");
    key_bits = *bits;
    salt = std::move(*salt_value);
    return Status::Ok();
  }

 private:
  const XmlElement& e_;
};

Result<EncryptionDescriptor> ParseAgile(Bytes xml) {
  Result<XmlElement> root = ParseXml(std::string_view(reinterpret_cast<const char*>(xml.data()), xml.size()));
  if (!root.ok()) return root.status();
  if (root->name != "encryption") return Bad("the root element is not encryption");
  const XmlElement* key_data = root->Child("keyData");
  const XmlElement* encryptors = root->Child("keyEncryptors");
  if (!key_data || !encryptors) return Bad("no keyData or no keyEncryptors");
  const XmlElement* password = nullptr;
  for (const XmlElement& e : encryptors->children) {
    const std::string* uri = e.Attribute("uri");
    if (e.name == "keyEncryptor" && uri && *uri == kPasswordUri) password = e.Child("p:encryptedKey");
  }
  if (!password) return NotRead("agile encryption without a password key (certificates only)");

  AgileDescriptor d;
  JET_RETURN_IF_ERROR(Attributes(*key_data).Cipher(d.key_bits, d.data_hash, d.data_salt));
  Attributes p(*password);
  JET_RETURN_IF_ERROR(p.Cipher(d.password_key_bits, d.password_hash, d.password_salt));
  if (d.password_salt.size() != kAesBlock) return Bad("the password's salt is not one block (its IV)");
  Result<uint32_t> spin = p.Number("spinCount", kMaxSpinCount);
  Result<std::vector<uint8_t>> input = p.Encrypted("encryptedVerifierHashInput", d.password_salt.size());
  Result<std::vector<uint8_t>> hash = p.Encrypted("encryptedVerifierHashValue", HashSize(d.password_hash));
  Result<std::vector<uint8_t>> key = p.Encrypted("encryptedKeyValue", d.key_bits / 8);
  for (const Status* s : {&spin.status(), &input.status(), &hash.status(), &key.status()})
    if (!s->ok()) return *s;
  d.spin_count = *spin;
  d.encrypted_verifier_input = std::move(*input);
  d.encrypted_verifier_hash = std::move(*hash);
  d.encrypted_key = std::move(*key);
  return EncryptionDescriptor(std::move(d));
}

Result<EncryptionDescriptor> ParseRc4(ByteView v, uint16_t major, uint32_t flags) {
  // v starts at the version; the EncryptionHeader's size is at 8.
  const uint32_t header_size = v.U32(8);
  if (!v.ok() || header_size < kHeaderFixed || !v.Has(12, header_size)) return Bad("the header size does not fit");
  const uint32_t alg = v.U32(12 + 8);
  const uint32_t alg_hash = v.U32(12 + 12);
  uint32_t key_bits = v.U32(12 + 16);
  const uint32_t provider = v.U32(12 + 20);
  if (alg != kAlgRc4) {
    if (alg >= 0x660E && alg <= 0x6610) return NotRead("standard AES encryption");
    return NotRead("CryptoAPI encryption with the algorithm 0x" + std::to_string(alg));
  }
  if (alg_hash != kAlgSha1 && alg_hash != 0) return NotRead("CryptoAPI RC4 with a hash other than SHA-1");
  if (provider != kProviderRc4 && provider != 0) return NotRead("CryptoAPI RC4 of another provider type");
  if (key_bits == 0) key_bits = 40;
  if (key_bits < 40 || key_bits > 128 || key_bits % 8 != 0) return Bad("the RC4 key size is not 40 to 128 bits");
  const size_t at = 12 + size_t{header_size};
  Rc4CryptoApiDescriptor d;
  d.version_major = major;
  d.flags = flags;
  d.key_bits = key_bits;
  if (v.U32(at) != kRc4Salt) return Bad("the salt is not 16 bytes");
  Bytes salt = v.Sub(at + 4, kRc4Salt);
  Bytes verifier = v.Sub(at + 4 + kRc4Salt, kRc4Salt);
  const uint32_t hash_size = v.U32(at + 4 + 2 * kRc4Salt);
  Bytes hash = v.Sub(at + 8 + 2 * kRc4Salt, kRc4VerifierHash);
  if (!v.ok()) return Bad("the verifier does not fit");
  if (hash_size != kRc4VerifierHash) return Bad("the verifier hash is not 20 bytes");
  d.salt.assign(salt.begin(), salt.end());
  d.encrypted_verifier.assign(verifier.begin(), verifier.end());
  d.encrypted_verifier_hash.assign(hash.begin(), hash.end());
  return EncryptionDescriptor(std::move(d));
}

std::string AgileXml(const AgileDescriptor& d) {
  auto cipher = [](uint32_t bits, HashAlgorithm h, Bytes salt) {
    return "saltSize=\"" + std::to_string(salt.size()) + "\" blockSize=\"16\" keyBits=\"" + std::to_string(bits) +
           "\" hashSize=\"" + std::to_string(HashSize(h)) +
           "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" + NameOf(h) +
           "\" saltValue=\"" + EncodeBase64(salt) + "\"";
  };
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
         "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\" "
         "xmlns:c=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\">"
         "<keyData " + cipher(d.key_bits, d.data_hash, d.data_salt) + "/>"
         "<keyEncryptors><keyEncryptor uri=\"" + std::string(kPasswordUri) + "\">"
         "<p:encryptedKey spinCount=\"" + std::to_string(d.spin_count) + "\" " +
         cipher(d.password_key_bits, d.password_hash, d.password_salt) +
         " encryptedVerifierHashInput=\"" + EncodeBase64(d.encrypted_verifier_input) +
         "\" encryptedVerifierHashValue=\"" + EncodeBase64(d.encrypted_verifier_hash) +
         "\" encryptedKeyValue=\"" + EncodeBase64(d.encrypted_key) +
         "\"/></keyEncryptor></keyEncryptors></encryption>";
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  StoreU32(&out[out.size() - 4], v);
}

}  // namespace

Result<EncryptionDescriptor> ParseEncryptionDescriptor(Bytes page0) {
  ByteView head(page0);
  const uint16_t length = head.U16(kEncryptionDescriptor);
  if (!head.ok() || !head.Has(kEncryptionDescriptor + 2, length))
    return Bad("its length (" + std::to_string(length) + ") runs past the header page");
  if (length < 8) return Bad("too short for a version");
  ByteView v(page0.subspan(kEncryptionDescriptor + 2, length));
  const uint16_t major = v.U16(0);
  const uint16_t minor = v.U16(2);
  const uint32_t flags = v.U32(4);
  const std::string version = std::to_string(major) + "." + std::to_string(minor);
  if (major == 4 && minor == 4) {
    if (flags != kFlagAgile) return NotRead("agile encryption with the flags " + std::to_string(flags));
    return ParseAgile(v.bytes().subspan(8));
  }
  if ((major == 3 || major == 4) && minor == 3) return NotRead("extensible encryption");
  if (major < 2 || major > 4 || minor != 2) return NotRead("encryption version " + version);
  if (flags & kFlagExternal) return NotRead("extensible encryption");
  if (flags & kFlagAes) return NotRead("standard AES encryption");
  if (!(flags & kFlagCryptoApi)) return NotRead("encryption version " + version + " without CryptoAPI");
  return ParseRc4(v, major, flags);
}

Result<std::vector<uint8_t>> EncodeEncryptionDescriptor(const EncryptionDescriptor& descriptor) {
  std::vector<uint8_t> out(2);
  if (const auto* agile = std::get_if<AgileDescriptor>(&descriptor)) {
    out.insert(out.end(), {4, 0, 4, 0});
    Put32(out, kFlagAgile);
    const std::string xml = AgileXml(*agile);
    out.insert(out.end(), xml.begin(), xml.end());
  } else {
    const auto& rc4 = std::get<Rc4CryptoApiDescriptor>(descriptor);
    if (rc4.salt.size() != kRc4Salt || rc4.encrypted_verifier.size() != kRc4Salt ||
        rc4.encrypted_verifier_hash.size() != kRc4VerifierHash)
      return Status::InvalidArgument("an RC4 CryptoAPI verifier has a 16-byte salt and a 20-byte hash");
    out.insert(out.end(), {static_cast<uint8_t>(rc4.version_major), 0, 2, 0});
    Put32(out, rc4.flags);
    Put32(out, static_cast<uint32_t>(kHeaderFixed + (kRc4Provider.size() + 1) * 2));
    for (uint32_t field : {rc4.flags, 0u, kAlgRc4, kAlgSha1, rc4.key_bits, kProviderRc4, 0u, 0u}) Put32(out, field);
    for (char16_t c : kRc4Provider) out.insert(out.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    out.insert(out.end(), {0, 0});
    Put32(out, kRc4Salt);
    out.insert(out.end(), rc4.salt.begin(), rc4.salt.end());
    out.insert(out.end(), rc4.encrypted_verifier.begin(), rc4.encrypted_verifier.end());
    Put32(out, kRc4VerifierHash);
    out.insert(out.end(), rc4.encrypted_verifier_hash.begin(), rc4.encrypted_verifier_hash.end());
  }
  if (out.size() - 2 > UINT16_MAX) return Status::InvalidArgument("the encryption descriptor is too long");
  StoreU16(out.data(), static_cast<uint16_t>(out.size() - 2));
  return out;
}

}  // namespace jet
