// Storing a new link: TableDef::RefreshLink and Database::RefreshLinks.
#include "engine/relink.h"

#include <ctime>
#include <set>

#include "engine/backend.h"
#include "vostrel/database.h"
#include "vostrel/error.h"
#include "engine/failures.h"
#include "vostrel/link_string.h"
#include "engine/lock_file.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/catalog_writer.h"
#include "jet/journal.h"
#include "jet/page_transaction.h"
#include "jet/text.h"

namespace engine {
namespace {

constexpr double kUnixEpochInCatalogDays = 25569;  // 1970-01-01 counted from 1899-12-30

// The data source an ODBC link names (its DSN= parameter), or its whole text.
std::string DataSource(const std::optional<std::string>& connect) {
  const std::string text = connect.value_or("");
  for (size_t at = 0; at < text.size(); at = text.find(';', at) + 1) {
    if (jet::EqualsIgnoreCase(std::string_view(text).substr(at, 4), "DSN=")) {
      const size_t end = text.find(';', at);
      return text.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
    }
    if (text.find(';', at) == std::string::npos) break;
  }
  return text;
}

// What a failure while writing the front-end means to the user.
EngineError WriteFailure(const jet::Status& s, const DatabaseImpl& db) {
  switch (s.code()) {
    case jet::Code::kReadOnly: return ReadOnly();
    case jet::Code::kIoError: return DiskOrNetworkError();
    case jet::Code::kNotFound:  // the row is gone or changed since the file was opened
      return ItemNotFound();
    case jet::Code::kInvalidArgument:
      return LinkStringUnstorable();
    case jet::Code::kUnsupported:  // a layout of the file this engine does not change
      return CannotStoreLink(db.path, s.message());
    default: return FromStatus(s, db.name, db.path);
  }
}

// A link ready to be stored: checked, with its catalog columns.
struct CheckedLink {
  const jet::CatalogObject* object;
  LinkString parts;
};

// The checks of one link, in the order the user meets them: the table must
// be a link to a database file, the link string of a kind we open and naming
// a file, and that file a database that holds the table (but for a link
// put back as it stood: LinkRequest::restore).
CheckedLink Check(DatabaseImpl& db, jet::Env& env, const LinkRequest& request) {
  const jet::CatalogObject* object = db.catalog.FindTable(request.table);
  if (!object) throw ItemNotFound();
  if (object->type == jet::kObjectOdbcLink) throw OdbcConnectionFailed(DataSource(object->connect));
  if (object->type != jet::kObjectLink) throw InvalidOperation();

  LinkString parts = ParseLinkString(request.link);
  if (!OfDatabaseFileKind(parts)) throw InstallableIsamNotFound();
  if (request.link.empty())
    throw LinkStringEmpty();
  if (!parts.database || parts.database->empty())
    throw LinkStringWithoutDatabase();
  // What is checked below must be what every reader of the stored link opens.
  if (parts.repeated) throw LinkStringNamesTwice(request.link, *parts.repeated);
  if (const auto back = ReadsBackOtherwise(parts)) throw LinkStringReadsBackOtherwise(request.link, *back);
  if (request.restore) return CheckedLink{object, std::move(parts)};

  std::unique_ptr<DatabaseImpl> backend = OpenBackEnd(env, db.map, *parts.database, parts.password);
  const std::string foreign = object->foreign_name.value_or(object->name);
  if (!backend->catalog.FindTable(foreign)) throw CouldNotFindObject(foreign);
  return CheckedLink{object, std::move(parts)};
}

// Holds the database's lock for as long as a change is being made.
class LockHolder {
 public:
  explicit LockHolder(jet::File& file) : file_(file) {}
  ~LockHolder() {
    if (held_) (void)file_.Unlock();
  }
  jet::Status Lock() {
    jet::Status s = file_.Lock();
    held_ = s.ok();
    return s;
  }

 private:
  jet::File& file_;
  bool held_ = false;
};

}  // namespace

void CheckLink(DatabaseImpl& db, jet::Env& env, const LinkRequest& request) { (void)Check(db, env, request); }

double CatalogNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  // The local wall-clock time read as if it were UTC: seconds of local days.
#ifdef _WIN32
  localtime_s(&local, &now);
  const double seconds = static_cast<double>(_mkgmtime(&local));
#else
  localtime_r(&now, &local);
  const double seconds = static_cast<double>(timegm(&local));
#endif
  return kUnixEpochInCatalogDays + seconds / 86400.0;
}

std::vector<CatalogEntry> StoreLinks(DatabaseImpl& db, jet::Env& env, const std::vector<LinkRequest>& requests,
                                     double now) {
  if (db.closed || !db.file) throw ObjectInvalid();
  std::set<std::string> seen;
  for (const LinkRequest& r : requests) {
    const jet::CatalogObject* o = db.catalog.FindTable(r.table);
    if (o && !seen.insert(o->name).second)
      throw TableGivenTwice(o->name);
  }

  // Everything is checked before anything is written.
  std::vector<CheckedLink> checked;
  for (const LinkRequest& r : requests) checked.push_back(Check(db, env, r));
  if (checked.empty()) return {};
  if (!db.writable) throw ReadOnly();
  // Held until the change is synced: a session that starts meanwhile is
  // kept out by the system, not missed by the probe.
  const SessionLocks sessions_kept_out = ShutOutSessions(db, env);

  LockHolder lock(*db.file);
  if (jet::Status s = lock.Lock(); !s.ok()) throw WriteFailure(s, db);
  // Under the lock the file is ours alone; what it holds now is what the
  // change is made to, whatever another process did since it was opened.
  std::optional<jet::SetAsideJournal> set_aside;
  if (jet::Status s = jet::RecoverJournalLocked(env, *db.file, db.path, &set_aside); !s.ok()) throw WriteFailure(s, db);
  if (set_aside) Notice(JournalSetAside(*set_aside).localized);
  jet::Pager& pager = db.Pager();
  if (jet::Status s = pager.RefreshSize(); !s.ok()) throw WriteFailure(s, db);
  auto catalog = jet::ReadCatalog(pager, db.header.code_page);
  if (!catalog.ok()) throw FromStatus(catalog.status(), db.name, db.path);

  for (const LinkRequest& r : requests) {
    if (!r.expected) continue;
    const jet::CatalogObject* now = catalog->FindTable(r.table);
    if (!now || ComposeLinkString(EntryOf(*now)) != *r.expected) throw ChangedMeanwhile(now ? now->name : r.table);
  }
  std::vector<jet::StoredLink> links;
  for (const CheckedLink& c : checked)
    links.push_back(jet::StoredLink{c.object->name, *c.parts.database, c.parts.rest, now});
  jet::PageTransaction tx(pager);
  auto stored = jet::WriteLinks(tx, *catalog, db.header.code_page, links);
  if (!stored.ok()) throw WriteFailure(stored.status(), db);
  if (jet::Status s = tx.Commit(env, db.path); !s.ok()) {
    (void)pager.RefreshSize();
    throw WriteFailure(s, db);
  }
  if (jet::Status s = pager.RefreshSize(); !s.ok()) throw WriteFailure(s, db);

  db.catalog = std::move(*catalog);
  std::vector<CatalogEntry> entries;
  for (const jet::CatalogObject& now_stored : *stored) {
    for (jet::CatalogObject& o : db.catalog.objects)
      if (o.name == now_stored.name && o.type == now_stored.type) o = now_stored;
    entries.push_back(EntryOf(now_stored));
  }
  return entries;
}

}  // namespace engine
