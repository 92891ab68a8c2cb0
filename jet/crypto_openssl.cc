// Crypto through OpenSSL's libcrypto (POSIX).
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

#include "jet/crypto.h"

namespace jet {
namespace {

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct DigestContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

Status Failed(const char* what) { return Status::Error(Code::kIoError, std::string("libcrypto: ") + what + " failed"); }

const EVP_CIPHER* AesCbc(size_t key_size) {
  switch (key_size) {
    case 16: return EVP_aes_128_cbc();
    case 24: return EVP_aes_192_cbc();
    default: return EVP_aes_256_cbc();
  }
}

Status Aes(bool encrypt, Bytes key, Bytes iv, std::span<uint8_t> data) {
  JET_RETURN_IF_ERROR(CheckAesArguments(key, iv, data.size()));
  if (data.size() > INT_MAX) return Status::InvalidArgument("too many bytes for one AES call");
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return Failed("EVP_CIPHER_CTX_new");
  if (EVP_CipherInit_ex(ctx.get(), AesCbc(key.size()), nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1)
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
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> ctx(EVP_MD_CTX_new());
    if (!ctx) return Failed("EVP_MD_CTX_new");
    if (EVP_DigestInit_ex(ctx.get(), algorithm == HashAlgorithm::kSha1 ? EVP_sha1() : EVP_sha512(), nullptr) != 1)
      return Failed("EVP_DigestInit_ex");
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

}  // namespace jet
