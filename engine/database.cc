#include "vostrel/database.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/database_impl.h"
#include "engine/failures.h"
#include "vostrel/link_string.h"
#include "engine/lock_file.h"
#include "engine/path.h"
#include "engine/relink.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/ace_encryption.h"
#include "jet/journal.h"
#include "jet/tdef.h"

namespace engine {

using jet::Result;

namespace {

// Visits the catalog's rows in order; an object that is not a table has an
// empty link string.
void VisitCatalog(const jet::Catalog& catalog, bool tables_only,
                  const std::function<void(const CatalogEntry&, const std::string&)>& visit) {
  CatalogEntry e;
  std::string connect;
  for (const jet::CatalogObject& o : catalog.objects) {
    if (tables_only && !o.table()) continue;
    FillEntry(o, e);
    connect.clear();
    if (o.table()) connect = ComposeLinkString(e);
    visit(e, connect);
  }
}

// Opens the file for reading and writing, or for reading where writing is
// not allowed. Another process holding the file's lock refuses the open.
// A file without its owner's write bit is read-only to everyone, root too:
// that bit is the read-only attribute of a file on a share, which stops an
// administrator as well, while root's open would ignore it.
std::unique_ptr<jet::File> OpenFile(jet::Env& env, const std::string& name, const std::string& path, bool* writable) {
  Result<jet::FileInfo> info = env.Stat(path);
  const bool marked_read_only = info.ok() && !info->owner_writable;
  Result<std::unique_ptr<jet::File>> file =
      env.Open(path, marked_read_only ? jet::OpenMode::kRead : jet::OpenMode::kReadWrite);
  *writable = file.ok() && !marked_read_only;
  if (!file.ok() && file.status().code() == jet::Code::kReadOnly) file = env.Open(path, jet::OpenMode::kRead);
  if (!file.ok()) throw FromStatus(file.status(), name, path);
  if (*writable) {
    // Probe only: the lock is taken for real while a change is written.
    jet::Status locked = (*file)->Lock();
    if (locked.ok()) {
      (void)(*file)->Unlock();  // if it fails, the lock goes when the file is closed
    } else if (locked.code() != jet::Code::kLocked || !HeldBySession(**file)) {
      // A session of the desktop program does not keep us from reading;
      // a write is refused with who has it open (3260).
      throw FromStatus(locked, name, path);
    }
  }
  return std::move(*file);
}

// A reader that overlaps another process's commit reads some pages from
// before it and some from after, which may not fit together, and would call a
// sound file corrupt. So a read that finds the file unsound is made again,
// this time holding the file's lock, which a writer holds for the whole of
// its change: what is read then is the file as it is. While a writer holds
// the lock, wait for it (a commit takes milliseconds). Where the lock cannot
// be taken (a read-only file, or a desktop session holds it), the read is
// made once more after a pause.
jet::Status ReadAgain(jet::File& file, const std::function<jet::Status()>& read) {
  constexpr auto kPause = std::chrono::milliseconds(5);
  constexpr int kWaits = 400;  // two seconds
  jet::Status last;
  for (int wait = 0; wait < kWaits; ++wait) {
    const jet::Status locked = file.Lock();
    if (locked.ok()) {
      last = read();
      (void)file.Unlock();
      return last;
    }
    std::this_thread::sleep_for(kPause);
    last = read();
    if (last.ok() || locked.code() != jet::Code::kLocked || HeldBySession(file)) return last;
  }
  return jet::Status::Error(jet::Code::kLocked, last.message());
}

// The page codec of an encrypted ACE file, derived once for its header:
// a read made again (ReadAgain) finds the same header and pays no second
// key derivation, whose spin count costs a tenth of a second.
class AceUnlock {
 public:
  std::shared_ptr<const jet::PageCodec> Pages(jet::Bytes head, const jet::Header& header,
                                              const std::optional<std::string>& password, const std::string& path) {
    std::vector<uint8_t> plain = jet::ToggleHeaderMask(head, header.format);
    if (codec_ && plain == unlocked_header_) return codec_;
    Result<jet::EncryptionDescriptor> descriptor = jet::ParseEncryptionDescriptor(plain);
    if (!descriptor.ok()) throw UnsupportedEncryption(path, descriptor.status().message());
    if (!password) throw NotValidPassword();
    Result<std::shared_ptr<const jet::PageCodec>> codec =
        jet::UnlockAcePages(jet::Crypto::Default(), *descriptor, header.db_key, *password);
    if (!codec.ok()) throw FromStatus(codec.status(), path, path);
    codec_ = std::move(*codec);
    unlocked_header_ = std::move(plain);
    return codec_;
  }

 private:
  std::shared_ptr<const jet::PageCodec> codec_;
  std::vector<uint8_t> unlocked_header_;
};

}  // namespace

void FillEntry(const jet::CatalogObject& o, CatalogEntry& e) {
  e.name = o.name;
  e.type = o.type;
  e.system = o.system();
  e.flags = o.flags;
  e.database = o.database;
  e.connect = o.connect;
  e.foreign_name = o.foreign_name;
  e.row_count = -1;
}

CatalogEntry EntryOf(const jet::CatalogObject& o) {
  CatalogEntry e;
  FillEntry(o, e);
  return e;
}

DatabaseImpl& ImplOf(Database& db) { return *db.impl_; }

std::unique_ptr<DatabaseImpl> OpenDatabaseImpl(jet::Env& env, const std::string& name,
                                               const std::optional<std::string>& password) {
  auto impl = std::make_unique<DatabaseImpl>();
  impl->name = name;
  impl->env = &env;
  impl->path = ResolveExistingFile(env, name);
  const std::string& path = impl->path;
  auto fail = [&](const jet::Status& s) { return FromStatus(s, name, path); };

  // A journal of another file found beside this one is set aside, and said
  // once: in the failure if the file cannot be opened, else as a notice.
  std::optional<jet::SetAsideJournal> set_aside;
  // A folder, a FIFO or a device at the journal's name would stop every
  // change to the file and every recovery of one: named before anything else.
  const std::string journal = jet::JournalPathFor(env, path);
  if (Result<jet::FileInfo> info = env.Stat(journal); info.ok() && info->kind != jet::FileKind::kFile)
    throw JournalNameTaken(path, journal);
  try {
    jet::Status recovered = jet::RecoverJournal(env, path, &set_aside);
    if (!recovered.ok()) throw fail(recovered);
    impl->file = OpenFile(env, name, path, &impl->writable);
    AceUnlock unlock;

    auto read = [&]() -> jet::Status {
      Result<uint64_t> size = impl->file->Size();
      if (!size.ok()) return size.status();
      std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(*size, 4096)));
      JET_RETURN_IF_ERROR(impl->file->ReadAt(0, head));
      EngineCounters().pages_read.fetch_add(1, std::memory_order_relaxed);  // the header page, read before the pager exists
      Result<jet::Header> header = jet::ParseHeader(head);
      if (!header.ok()) return header.status();
      if (*size < header->format.page_size * uint64_t{3}) throw UnrecognizedFormat(path);  // no room for the catalog
      std::shared_ptr<const jet::PageCodec> codec;
      if (header->format.family == jet::Family::kAce && header->db_key != 0) {
        // The verifier decides: the header's password field is not consulted.
        codec = unlock.Pages(head, *header, password, path);
      } else {
        if (header->needs_password() && (!password || jet::DatabasePassword(head, *header) != *password))
          throw NotValidPassword();
        if (header->pages_encrypted()) codec = jet::Jet4PageCodec(header->db_key);
      }
      impl->header = *header;

      impl->pager = std::make_unique<jet::Pager>(*impl->file, header->format, std::move(codec), *size, &EngineCounters());
      Result<jet::Catalog> catalog = jet::ReadCatalog(*impl->pager, header->code_page);
      if (!catalog.ok()) return catalog.status();
      impl->catalog = std::move(*catalog);
      return jet::Status::Ok();
    };
    jet::Status s = read();
    if (s.code() == jet::Code::kCorrupt) s = ReadAgain(*impl->file, read);
    if (!s.ok()) throw fail(s);
  } catch (const EngineError& e) {
    if (!set_aside) throw;
    const Phrase said = JournalSetAside(*set_aside);
    throw EngineError(e.number(), e.description() + " " + said.english, e.localized() + " " + said.localized);
  }
  if (set_aside) Notice(JournalSetAside(*set_aside).localized);
  return impl;
}

jet::Pager& DatabaseImpl::Pager() {
  if (closed || !pager) throw ObjectInvalid();
  return *pager;
}

const jet::CatalogObject* DatabaseImpl::CatalogRow(const TableDef& def) const {
  return catalog.FindTable(def.Name());
}

int64_t DatabaseImpl::RowCount(const TableDef& def) {
  if (def.Entry().type != static_cast<int>(TableType::kLocal)) return -1;
  const jet::CatalogObject* row = CatalogRow(def);
  if (!row) throw ItemNotFound();
  Result<uint32_t> rows = jet::ReadRowCount(Pager(), row->tdef_page());
  if (!rows.ok()) throw FromStatus(rows.status(), name, path);
  return *rows;
}

void DatabaseImpl::Close() {
  closed = true;
  pager.reset();
  file.reset();
}

Database::Database(std::unique_ptr<DatabaseImpl> impl) : impl_(std::move(impl)) {}

Database::~Database() {
  if (impl_) impl_->Close();
}

void Database::Close() { impl_->Close(); }

engine::TableDefs& Database::TableDefs() {
  if (impl_->closed) throw ObjectInvalid();
  if (!impl_->tabledefs) {
    std::vector<std::unique_ptr<TableDef>> defs;
    defs.reserve(static_cast<size_t>(std::count_if(impl_->catalog.objects.begin(), impl_->catalog.objects.end(),
                                                   [](const jet::CatalogObject& o) { return o.table(); })));
    for (const jet::CatalogObject& o : impl_->catalog.objects)
      if (o.table()) defs.push_back(std::make_unique<TableDef>(*this, EntryOf(o)));
    impl_->tabledefs = std::make_unique<engine::TableDefs>(std::move(defs));
  }
  return *impl_->tabledefs;
}

void Database::ForEachTable(const std::function<void(const CatalogEntry&, const std::string&)>& visit) {
  if (impl_->closed) throw ObjectInvalid();
  if (impl_->tabledefs) {
    for (auto& def : *impl_->tabledefs) visit(def->Entry(), def->Connect());
    return;
  }
  VisitCatalog(impl_->catalog, /*tables_only=*/true, visit);
}

void Database::ForEachObject(const std::function<void(const CatalogEntry&, const std::string&)>& visit) {
  if (impl_->closed) throw ObjectInvalid();
  VisitCatalog(impl_->catalog, /*tables_only=*/false, visit);
}

std::optional<CatalogEntry> Database::FindTable(std::string_view name) {
  if (impl_->closed) throw ObjectInvalid();
  const jet::CatalogObject* o = impl_->catalog.FindTable(name);
  if (!o) return std::nullopt;
  return EntryOf(*o);
}

int64_t Database::RowCount(const TableDef& def) { return impl_->RowCount(def); }

const std::string& Database::Path() const { return impl_->path; }

void TableDef::RefreshLink() { Owner().RefreshLinks({this}); }

void Database::RefreshLinks(const std::vector<TableDef*>& links) {
  std::vector<LinkRequest> requests;
  for (TableDef* def : links) {
    if (&def->Owner() != this) throw InvalidOperation();
    requests.push_back(LinkRequest{def->Name(), def->Connect()});
  }
  StoreLinks(requests, CatalogNow());
}

std::vector<CatalogEntry> Database::StoreLinks(const std::vector<LinkRequest>& requests, double now) {
  std::vector<CatalogEntry> entries = engine::StoreLinks(*impl_, *impl_->env, requests, now);
  if (impl_->tabledefs) {
    for (const CatalogEntry& stored : entries) {
      for (auto& def : *impl_->tabledefs) {
        if (def->Name() != stored.name) continue;
        CatalogEntry e = stored;
        e.row_count = def->Entry().row_count;
        def->Stored(std::move(e));
      }
    }
  }
  return entries;
}

void Database::CheckLink(const LinkRequest& request) { engine::CheckLink(*impl_, *impl_->env, request); }

}  // namespace engine
