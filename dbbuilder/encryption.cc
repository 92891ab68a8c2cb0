#include "dbbuilder/encryption.h"

#include <cstring>
#include <vector>

#include "jet/encryption_descriptor.h"
#include "jet/header.h"

namespace dbbuilder {

jet::Status EncryptAceFile(jet::Env& env, const std::string& path, const Encryption& encryption,
                           jet::Crypto& crypto) {
  jet::Result<std::unique_ptr<jet::File>> opened = env.Open(path, jet::OpenMode::kReadWrite);
  if (!opened.ok()) return opened.status();
  jet::File& file = **opened;
  jet::Result<uint64_t> size = file.Size();
  if (!size.ok()) return size.status();
  std::vector<uint8_t> page(4096);
  if (*size < page.size()) return jet::Status::InvalidArgument("not an ACE file");
  JET_RETURN_IF_ERROR(file.ReadAt(0, page));
  jet::Result<jet::Header> header = jet::ParseHeader(page);
  if (!header.ok()) return header.status();
  if (header->format.family != jet::Family::kAce || header->format.page_size != page.size())
    return jet::Status::InvalidArgument("only ACE files are encrypted so");
  if (header->db_key != 0) return jet::Status::InvalidArgument("the file is encrypted already");

  uint32_t db_key = 0;
  while (db_key == 0) {
    uint8_t random[4];
    JET_RETURN_IF_ERROR(crypto.Random(random));
    db_key = jet::LoadU32(random);
  }
  jet::Result<jet::NewAceEncryption> made =
      jet::CreateAceEncryption(crypto, encryption.kind, encryption.password, db_key, encryption.spin_count);
  if (!made.ok()) return made.status();
  jet::Result<std::vector<uint8_t>> descriptor = jet::EncodeEncryptionDescriptor(made->descriptor);
  if (!descriptor.ok()) return descriptor.status();
  if (!jet::InBounds(page.size(), jet::kEncryptionDescriptor, descriptor->size()))
    return jet::Status::InvalidArgument("the encryption descriptor does not fit the header page");

  const uint32_t pages = static_cast<uint32_t>(*size / page.size());
  for (uint32_t p = 1; p < pages; ++p) {
    const uint64_t at = uint64_t{p} * page.size();
    JET_RETURN_IF_ERROR(file.ReadAt(at, page));
    JET_RETURN_IF_ERROR(made->codec->Encode(p, page));
    JET_RETURN_IF_ERROR(file.WriteAt(at, page));
  }
  // The header last: until it names the key, the file is no database.
  JET_RETURN_IF_ERROR(file.ReadAt(0, page));
  std::vector<uint8_t> plain = jet::ToggleHeaderMask(page, header->format);
  jet::StoreU32(&plain[jet::kHeaderDbKey], db_key);
  std::memcpy(&plain[jet::kEncryptionDescriptor], descriptor->data(), descriptor->size());
  JET_RETURN_IF_ERROR(file.WriteAt(0, jet::ToggleHeaderMask(plain, header->format)));
  return file.Sync();
}

}  // namespace dbbuilder
