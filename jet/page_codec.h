// PageCodec: how a file's pages are stored, turned into their plain bytes
// and back. Page 0 (the header) is never passed through a codec: every kind
// leaves it as it is. Kinds:
//   - Jet3/Jet4 with an encoding key: RC4 keyed with LE32(key XOR page);
//   - ACE, RC4 CryptoAPI: RC4 keyed with SHA-1(H0 + LE32(key XOR page)),
//     cut to the descriptor's key size;
//   - ACE, agile: AES-CBC with the file's intermediate key and the IV
//     hash(key salt + LE32(key XOR page)) cut to one block.
// A codec holds only what it derived at open: Encode and Decode cost one
// page's cipher, never a key derivation.
//
// Contract: Decode(p, Encode(p, x)) == x for every page p > 0 and every
// whole page x (a multiple of the AES block for AES); both work in place and
// fail only when the system's crypto does (the data is then unspecified).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "jet/bytes.h"
#include "jet/env_names.h"
#include "jet/os_names.h"

namespace jet {

class PageCodec {
 public:
  virtual ~PageCodec() = default;
  // Stored bytes of `page` to plain bytes.
  virtual Status Decode(uint32_t page, std::span<uint8_t> data) const = 0;
  // Plain bytes of `page` to the bytes stored.
  virtual Status Encode(uint32_t page, std::span<uint8_t> data) const = 0;
};

// Null when db_key is 0 (the pages are plain).
std::shared_ptr<const PageCodec> Jet4PageCodec(uint32_t db_key);

// h0: SHA-1(salt + UTF-16LE password); key_bytes: 5 to 16.
std::shared_ptr<const PageCodec> Rc4CryptoApiPageCodec(Crypto& crypto, std::vector<uint8_t> h0, size_t key_bytes,
                                                       uint32_t db_key);

// key: the intermediate key (16, 24 or 32 bytes); salt and hash: the
// descriptor's keyData.
std::shared_ptr<const PageCodec> AgilePageCodec(Crypto& crypto, std::vector<uint8_t> key, std::vector<uint8_t> salt,
                                                HashAlgorithm hash, uint32_t db_key);

// The RC4 key of one block (a page, or block 0 for the verifier) under
// RC4 CryptoAPI: SHA-1(h0 + LE32(block)) cut to key_bytes; a 40-bit key is
// padded with zeros to 16 bytes, as CryptoAPI does.
Result<std::vector<uint8_t>> Rc4CryptoApiBlockKey(Crypto& crypto, Bytes h0, uint32_t block, size_t key_bytes);

}  // namespace jet
