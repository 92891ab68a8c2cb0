// Crypto through Windows' CNG (bcrypt.dll, a system DLL).
#include <windows.h>
#include <bcrypt.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "os/crypto.h"

namespace os {
namespace {

Status Failed(const char* what, NTSTATUS status) {
  return Status::Error(Code::kIoError, std::string("CNG: ") + what + " failed (" + std::to_string(status) + ")");
}

// An algorithm provider, opened once for the process: opening one is the
// costly step of every CNG call.
class Provider {
 public:
  Provider(const wchar_t* algorithm, const wchar_t* chaining) {
    opened_ = BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0);
    if (opened_ >= 0 && chaining)
      opened_ = BCryptSetProperty(handle_, BCRYPT_CHAINING_MODE,
                                  reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chaining)),
                                  static_cast<ULONG>((wcslen(chaining) + 1) * sizeof(wchar_t)), 0);
  }
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE handle() const { return handle_; }
  NTSTATUS opened() const { return opened_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
  NTSTATUS opened_ = 0;
};

Provider& HashProvider(HashAlgorithm algorithm) {
  static Provider sha1(BCRYPT_SHA1_ALGORITHM, nullptr);
  static Provider sha512(BCRYPT_SHA512_ALGORITHM, nullptr);
  return algorithm == HashAlgorithm::kSha1 ? sha1 : sha512;
}

Provider& AesCbc() {
  static Provider aes(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_CBC);
  return aes;
}

struct KeyHandle {
  BCRYPT_KEY_HANDLE handle = nullptr;
  ~KeyHandle() {
    if (handle) BCryptDestroyKey(handle);
  }
};

struct HashHandle {
  BCRYPT_HASH_HANDLE handle = nullptr;
  ~HashHandle() {
    if (handle) BCryptDestroyHash(handle);
  }
};

Status Aes(bool encrypt, Bytes key, Bytes iv, std::span<uint8_t> data) {
  if (Status s = CheckAesArguments(key, iv, data.size()); !s.ok()) return s;
  if (data.size() > ULONG_MAX) return Status::InvalidArgument("too many bytes for one AES call");
  Provider& aes = AesCbc();
  if (aes.opened() < 0) return Failed("BCryptOpenAlgorithmProvider(AES)", aes.opened());
  KeyHandle k;
  NTSTATUS s = BCryptGenerateSymmetricKey(aes.handle(), &k.handle, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                          static_cast<ULONG>(key.size()), 0);
  if (s < 0) return Failed("BCryptGenerateSymmetricKey", s);
  // CNG advances the IV it is given: a copy keeps the caller's.
  uint8_t chain[kAesBlock];
  std::memcpy(chain, iv.data(), kAesBlock);
  ULONG done = 0;
  const ULONG size = static_cast<ULONG>(data.size());
  s = encrypt ? BCryptEncrypt(k.handle, data.data(), size, nullptr, chain, kAesBlock, data.data(), size, &done, 0)
              : BCryptDecrypt(k.handle, data.data(), size, nullptr, chain, kAesBlock, data.data(), size, &done, 0);
  if (s < 0) return Failed(encrypt ? "BCryptEncrypt" : "BCryptDecrypt", s);
  if (done != size) return Failed("AES length", 0);
  return Status::Ok();
}

class CngCrypto final : public Crypto {
 public:
  Result<std::vector<uint8_t>> Hash(HashAlgorithm algorithm, std::initializer_list<Bytes> parts) override {
    Provider& provider = HashProvider(algorithm);
    if (provider.opened() < 0) return Failed("BCryptOpenAlgorithmProvider(SHA)", provider.opened());
    HashHandle h;
    NTSTATUS s = BCryptCreateHash(provider.handle(), &h.handle, nullptr, 0, nullptr, 0, 0);
    if (s < 0) return Failed("BCryptCreateHash", s);
    for (Bytes part : parts) {
      if (part.size() > ULONG_MAX) return Status::InvalidArgument("too many bytes for one hash call");
      s = BCryptHashData(h.handle, const_cast<PUCHAR>(part.data()), static_cast<ULONG>(part.size()), 0);
      if (s < 0) return Failed("BCryptHashData", s);
    }
    std::vector<uint8_t> digest(HashSize(algorithm));
    s = BCryptFinishHash(h.handle, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (s < 0) return Failed("BCryptFinishHash", s);
    return digest;
  }

  Status AesCbcEncrypt(Bytes key, Bytes iv, std::span<uint8_t> data) override { return Aes(true, key, iv, data); }
  Status AesCbcDecrypt(Bytes key, Bytes iv, std::span<uint8_t> data) override { return Aes(false, key, iv, data); }

  Status Random(std::span<uint8_t> out) override {
    if (out.size() > ULONG_MAX) return Status::InvalidArgument("too many random bytes for one call");
    NTSTATUS s = BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (s < 0) return Failed("BCryptGenRandom", s);
    return Status::Ok();
  }
};

}  // namespace

Crypto& Crypto::Default() {
  static CngCrypto crypto;
  return crypto;
}

}  // namespace os
