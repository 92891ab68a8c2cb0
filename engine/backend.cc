#include "engine/backend.h"

#include <algorithm>

#include "engine/failures.h"
#include "engine/path.h"
#include "jet/header.h"
#include "jet/text.h"

namespace engine {
namespace {

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && jet::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The database password as the header keeps it: Jet3 in the code page,
// Jet4 and ACE as UCS-2 further masked with the creation date; a zero
// character ends it.
std::string StoredPassword(jet::Bytes page0, const jet::Header& h) {
  std::vector<uint8_t> plain = jet::ToggleHeaderMask(page0, h.format);
  std::vector<uint8_t> bytes(plain.begin() + jet::kHeaderPassword,
                             plain.begin() + static_cast<ptrdiff_t>(jet::kHeaderPassword + h.format.password_length));
  if (h.format.jet3()) {
    bytes.erase(std::find(bytes.begin(), bytes.end(), 0), bytes.end());
    return jet::DecodeCodePage(bytes, h.code_page);
  }
  uint8_t mask[4];
  jet::StoreU32(mask, jet::PasswordMask(h.creation_date));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= mask[i % 4];
  size_t end = 0;
  while (end + 1 < bytes.size() && (bytes[end] | bytes[end + 1]) != 0) end += 2;
  bytes.resize(end);
  return jet::DecodeUcs2(bytes);
}

}  // namespace

std::optional<std::string> LinkPassword(const std::optional<std::string>& connect) {
  if (!connect) return std::nullopt;
  std::string_view rest = *connect;
  for (size_t at = rest.find(';'); at != std::string_view::npos; at = rest.find(';', at + 1)) {
    std::string_view param = rest.substr(at + 1);
    if (!StartsWithIgnoreCase(param, "PWD=")) continue;
    param.remove_prefix(4);
    return std::string(param.substr(0, param.find(';')));
  }
  return std::nullopt;
}

std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password) {
  try {
    return OpenDatabaseImpl(env, name);
  } catch (const EngineError& e) {
    if (e.number() != kErrNotValidPassword || !password) throw;
  }
  // A database password: the file opens with the link's password alone.
  auto db = std::make_unique<DatabaseImpl>();
  db->name = name;
  db->path = ResolveExistingFile(env, name);
  auto fail = [&](const jet::Status& s) { return FromStatus(s, name, db->path); };
  auto file = env.Open(db->path, jet::OpenMode::kRead);
  if (!file.ok()) throw fail(file.status());
  db->file = std::move(*file);
  auto size = db->file->Size();
  if (!size.ok()) throw fail(size.status());
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(*size, 4096)));
  if (jet::Status s = db->file->ReadAt(0, head); !s.ok()) throw fail(s);
  auto header = jet::ParseHeader(head);
  if (!header.ok()) throw fail(header.status());
  // An encrypted ACE file cannot be read here, whatever the password.
  if (header->format.family == jet::Family::kAce && header->db_key != 0) throw NotValidPassword();
  if (StoredPassword(head, *header) != *password) throw NotValidPassword();
  db->header = *header;
  db->pager = std::make_unique<jet::Pager>(*db->file, header->format, header->pages_encrypted() ? header->db_key : 0,
                                           *size, &EngineCounters());
  auto catalog = jet::ReadCatalog(*db->pager, header->code_page);
  if (!catalog.ok()) throw fail(catalog.status());
  db->catalog = std::move(*catalog);
  return db;
}

}  // namespace engine
