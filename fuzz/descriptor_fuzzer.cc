// Any bytes as the header page of an encrypted ACE file: its encryption
// descriptor read (through the header's mask where the bytes are a header),
// written back and read again, and, where its spin count is small, the
// password tried. Each input must end in a descriptor or a Status: never a
// crash, a read outside a buffer, or a descriptor that does not survive its
// own writer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "jet/ace_encryption.h"
#include "jet/encryption_descriptor.h"
#include "jet/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> page(data, data + std::min<size_t>(size, 4096));
  jet::Result<jet::Header> header = jet::ParseHeader(page);
  if (header.ok()) page = jet::ToggleHeaderMask(page, header->format);
  jet::Result<jet::EncryptionDescriptor> read = jet::ParseEncryptionDescriptor(page);
  if (!read.ok()) return 0;

  jet::Result<std::vector<uint8_t>> written = jet::EncodeEncryptionDescriptor(*read);
  if (!written.ok()) return 0;
  std::vector<uint8_t> again(jet::kEncryptionDescriptor + written->size());
  std::copy(written->begin(), written->end(), again.begin() + jet::kEncryptionDescriptor);
  jet::Result<jet::EncryptionDescriptor> reread = jet::ParseEncryptionDescriptor(again);
  if (!reread.ok() || !(*reread == *read)) std::abort();

  const auto* agile = std::get_if<jet::AgileDescriptor>(&*read);
  if (!agile || agile->spin_count <= 16)
    (void)jet::UnlockAcePages(jet::Crypto::Default(), *read, header.ok() ? header->db_key : 1, "password");
  return 0;
}
