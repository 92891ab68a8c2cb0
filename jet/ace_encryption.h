// The keys of an encrypted ACE file: the password checked against the
// descriptor's verifier and the page codec derived from it, once per open;
// and, for writers, a new descriptor for a password. Both directions share
// one derivation, so what CreateAceEncryption writes UnlockAcePages opens.
//
//   RC4 CryptoAPI: H0 = SHA-1(salt + UTF-16LE password); the verifier and
//     its SHA-1 are RC4-encrypted, one stream, under block 0's key.
//   Agile: H = hash(salt + password), then spin count times
//     H = hash(LE32(i) + H); each of the verifier input, the verifier's
//     hash and the intermediate key is AES-CBC-encrypted (IV: the
//     password's salt) under hash(H + its block key), cut to the key size
//     or padded with 0x36.
//
// Contract: the password is UTF-8 and is kept nowhere: neither in the codec,
// nor in any Status message. A wrong password is kPassword; a password the
// verifier accepts yields the codec of the file's pages.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "jet/encryption_descriptor.h"
#include "jet/env_names.h"
#include "jet/os_names.h"
#include "jet/page_codec.h"

namespace jet {

Result<std::shared_ptr<const PageCodec>> UnlockAcePages(Crypto& crypto, const EncryptionDescriptor& descriptor,
                                                        uint32_t db_key, std::string_view password);

enum class AceEncryptionKind { kAgile, kRc4CryptoApi };

struct NewAceEncryption {
  EncryptionDescriptor descriptor;
  std::shared_ptr<const PageCodec> codec;  // for the pages of a file whose header key is db_key
};

// A descriptor with fresh salts and keys from the crypto's random source:
// agile AES-256 with SHA-512 and `spin_count`, or RC4 CryptoAPI with a
// 128-bit key (version 4.2, spin_count unused).
Result<NewAceEncryption> CreateAceEncryption(Crypto& crypto, AceEncryptionKind kind, std::string_view password,
                                             uint32_t db_key, uint32_t spin_count = 100000);

}  // namespace jet
