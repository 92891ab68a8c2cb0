// The encryption descriptor of an encrypted ACE file: page 0 at 0x299, past
// the header's RC4 mask, holds its length (uint16, the bytes after it),
// then version major and minor (uint16 each) and flags (uint32), then:
//   - version 4.4, flags 0x40: the agile XML descriptor (keyData and one
//     password keyEncryptor; AES-CBC, SHA-1 or SHA-512);
//   - versions 2.2, 3.2, 4.2 with the CryptoAPI flag (0x04) and RC4:
//     a CryptoAPI EncryptionHeader (size, then flags, sizeExtra, algID,
//     algIDHash, keySize, providerType, two reserved, the provider's
//     UTF-16 name) and EncryptionVerifier (salt size 16, salt, verifier,
//     verifier hash size 20, its hash).
// A file is encrypted when the header's encoding key (0x3E) is non-zero.
//
// Contract: ParseEncryptionDescriptor never reads past the bytes it is
// given and either returns a descriptor whose every size the key
// derivation relies on was checked, or kCorrupt (the bytes are not a
// descriptor: lengths that do not fit, malformed XML, missing attributes)
// or kUnsupported (a real descriptor of a kind not read here: standard AES,
// the extensible provider, certificates only, other ciphers or hashes).
// EncodeEncryptionDescriptor's output parses back to the same descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "jet/bytes.h"
#include "jet/env_names.h"
#include "jet/os_names.h"

namespace jet {

inline constexpr size_t kEncryptionDescriptor = 0x299;
// Salts and encrypted values longer than this are refused: none is
// longer than a SHA-512 digest rounded up to whole blocks.
inline constexpr size_t kMaxEncryptionValue = 128;
// The spin count's upper bound that the encryption format sets.
inline constexpr uint32_t kMaxSpinCount = 10'000'000;

struct AgileDescriptor {
  // keyData: how pages are encrypted.
  uint32_t key_bits = 256;
  HashAlgorithm data_hash = HashAlgorithm::kSha512;
  std::vector<uint8_t> data_salt;
  // The password's keyEncryptor.
  uint32_t spin_count = 100000;
  uint32_t password_key_bits = 256;
  HashAlgorithm password_hash = HashAlgorithm::kSha512;
  std::vector<uint8_t> password_salt;
  std::vector<uint8_t> encrypted_verifier_input;
  std::vector<uint8_t> encrypted_verifier_hash;
  std::vector<uint8_t> encrypted_key;

  bool operator==(const AgileDescriptor&) const = default;
};

struct Rc4CryptoApiDescriptor {
  uint16_t version_major = 4;  // 2, 3 or 4; minor is 2
  uint32_t flags = 0x0c;       // fCryptoAPI, and what else the writer set
  uint32_t key_bits = 128;     // 40 to 128
  std::vector<uint8_t> salt;   // 16 bytes
  std::vector<uint8_t> encrypted_verifier;       // 16 bytes
  std::vector<uint8_t> encrypted_verifier_hash;  // 20 bytes

  bool operator==(const Rc4CryptoApiDescriptor&) const = default;
};

using EncryptionDescriptor = std::variant<AgileDescriptor, Rc4CryptoApiDescriptor>;

// page0: the header page with its mask undone (ToggleHeaderMask).
Result<EncryptionDescriptor> ParseEncryptionDescriptor(Bytes page0);

// The descriptor's bytes from kEncryptionDescriptor on, length first;
// kInvalidArgument if a field does not fit its format.
Result<std::vector<uint8_t>> EncodeEncryptionDescriptor(const EncryptionDescriptor& descriptor);

}  // namespace jet
