// Crypto through OpenSSL's libcrypto (POSIX).
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

#include "os/crypto.h"

namespace os {
namespace {

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

Status Failed(const char* what) { return Status::Error(Code::kIoError, std::string("libcrypto: ") + what + " failed"); }

// The algorithms fetched once for the process: OpenSSL 3 looks an
// algorithm up in its providers at every init it is named by the old
// EVP_aes_...() handles, which costs more than hashing a page, and the spin
// count makes 100,000 inits at every open of an agile file. Kept to the end
// of the process.
const EVP_CIPHER* AesCbc(size_t key_size) {
  static EVP_CIPHER* const aes128 = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
  static EVP_CIPHER* const aes192 = EVP_CIPHER_fetch(nullptr, "AES-192-CBC", nullptr);
  static EVP_CIPHER* const aes256 = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
  return key_size == 16 ? aes128 : key_size == 24 ? aes192 : aes256;
}

const EVP_MD* Digest(HashAlgorithm algorithm) {
  static EVP_MD* const sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  static EVP_MD* const sha512 = EVP_MD_fetch(nullptr, "SHA512", nullptr);
  return algorithm == HashAlgorithm::kSha1 ? sha1 : sha512;
}

Status Aes(bool encrypt, Bytes key, Bytes iv, std::span<uint8_t> data) {
  if (Status s = CheckAesArguments(key, iv, data.size()); !s.ok()) return s;
  if (data.size() > INT_MAX) return Status::InvalidArgument("too many bytes for one AES call");
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return Failed("EVP_CIPHER_CTX_new");
  const EVP_CIPHER* cipher = AesCbc(key.size());
  if (!cipher) return Failed("EVP_CIPHER_fetch");
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1)
    return Failed("EVP_CipherInit_ex");
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  int out = 0;
  int tail = 0;
  // In place: OpenSSL allows the output to be the input exactly.
  if (EVP_CipherUpdate(ctx.get(), data.data(), &out, data.data(), static_cast<int>(data.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), data.data() + out, &tail) != 1 || static_cast<size_t>(out + tail) != data.size())
    return Failed("AES");
  return Status::Ok();
}

class OpenSslCrypto final : public Crypto {
 public:
  Result<std::vector<uint8_t>> Hash(HashAlgorithm algorithm, std::initializer_list<Bytes> parts) override {
    const EVP_MD* md = Digest(algorithm);
    if (!md) return Failed("EVP_MD_fetch");
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> ctx(EVP_MD_CTX_new());
    if (!ctx) return Failed("EVP_MD_CTX_new");
    if (EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return Failed("EVP_DigestInit_ex");
    for (Bytes part : parts)
      if (EVP_DigestUpdate(ctx.get(), part.data(), part.size()) != 1) return Failed("EVP_DigestUpdate");
    std::vector<uint8_t> digest(HashSize(algorithm));
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &size) != 1 || size != digest.size())
      return Failed("EVP_DigestFinal_ex");
    return digest;
  }

  Status AesCbcEncrypt(Bytes key, Bytes iv, std::span<uint8_t> data) override { return Aes(true, key, iv, data); }
  Status AesCbcDecrypt(Bytes key, Bytes iv, std::span<uint8_t> data) override { return Aes(false, key, iv, data); }

  Status Random(std::span<uint8_t> out) override {
    if (out.size() > INT_MAX) return Status::InvalidArgument("too many random bytes for one call");
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1) return Failed("RAND_bytes");
    return Status::Ok();
  }
};

}  // namespace

Crypto& Crypto::Default() {
  static OpenSslCrypto crypto;
  return crypto;
}

}  // namespace os
