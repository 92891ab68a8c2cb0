// Encrypting a finished ACE file with a password, as the desktop program
// does when a database password is set on an .accdb: a fresh encoding key
// in the header, the encryption descriptor at 0x299, and every page but
// page 0 encrypted through the descriptor's page codec. The descriptor and
// the codec come from jet (ace_encryption.h), which reads them back.
#pragma once

#include <cstdint>
#include <string>

#include "jet/ace_encryption.h"
#include "jet/env_names.h"

namespace dbbuilder {

struct Encryption {
  std::string password;  // UTF-8
  jet::AceEncryptionKind kind = jet::AceEncryptionKind::kAgile;
  uint32_t spin_count = 100000;  // agile: the desktop program's default
};

// Rewrites the plain ACE file at `path` in place, page by page (a file of
// any size); kInvalidArgument for a file that is not ACE or is encrypted
// already.
jet::Status EncryptAceFile(jet::Env& env, const std::string& path, const Encryption& encryption,
                           jet::Crypto& crypto = jet::Crypto::Default());

}  // namespace dbbuilder
