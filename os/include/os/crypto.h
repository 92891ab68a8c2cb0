// Crypto: the primitives an encrypted ACE file needs, from the system's own
// library (OpenSSL's libcrypto on POSIX, CNG's bcrypt.dll on Windows; one
// implementation per system, chosen at build time as Env's is). RC4, which
// the format also uses, is jet's own (jet/rc4.h).
//
// Contract: every call either does all it says or returns a Status that is
// not ok (kInvalidArgument for a key, IV or length the cipher cannot take,
// kIoError when the system's library fails); nothing is left half done that
// a caller could mistake for a result. AES works in place, without padding:
// the data is a whole number of 16-byte blocks. Implementations keep no state
// between calls that a caller can see, and may be used from any thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "vostrel/status.h"

namespace os {

using engine::Code;
using engine::Result;
using engine::Status;

// Bytes read, not owned (jet::Bytes is the same type).
using Bytes = std::span<const uint8_t>;

enum class HashAlgorithm { kSha1, kSha512 };

// 20 or 64.
constexpr size_t HashSize(HashAlgorithm h) { return h == HashAlgorithm::kSha1 ? 20 : 64; }

inline constexpr size_t kAesBlock = 16;

class Crypto {
 public:
  virtual ~Crypto() = default;

  // The digest of the parts, one after another.
  virtual Result<std::vector<uint8_t>> Hash(HashAlgorithm algorithm, std::initializer_list<Bytes> parts) = 0;
  // AES in CBC mode with a key of 16, 24 or 32 bytes and a 16-byte IV.
  virtual Status AesCbcEncrypt(Bytes key, Bytes iv, std::span<uint8_t> data) = 0;
  virtual Status AesCbcDecrypt(Bytes key, Bytes iv, std::span<uint8_t> data) = 0;
  // Bytes from the system's cryptographic random source.
  virtual Status Random(std::span<uint8_t> out) = 0;

  // This system's implementation.
  static Crypto& Default();
};

// The argument checks both implementations make before they call the system.
inline Status CheckAesArguments(Bytes key, Bytes iv, size_t length) {
  if (key.size() != 16 && key.size() != 24 && key.size() != 32)
    return Status::InvalidArgument("an AES key is 16, 24 or 32 bytes long");
  if (iv.size() != kAesBlock) return Status::InvalidArgument("an AES IV is one block long");
  if (length % kAesBlock != 0) return Status::InvalidArgument("AES without padding takes whole blocks");
  return Status::Ok();
}

}  // namespace os
