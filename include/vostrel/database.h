// Database: an open database file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TableDefs;
class TableDef;
struct CatalogEntry;
struct DatabaseImpl;

// One link to store: the table definition's name and its new link string.
struct LinkRequest {
  std::string table;
  std::string link;
  // The link string the change was made from: where given, the link is
  // stored only while the file, under its lock, still holds exactly that
  // (else 3197 and nothing is written), so that a link another process
  // changed meanwhile is never overwritten by a change made from its past.
  std::optional<std::string> expected = std::nullopt;
  // A link put back as it stood before (relink --undo): its back-end is not
  // opened, for the state put back may name one that no longer opens; the
  // table and the link string are checked as for any link. Nothing else
  // asks for this.
  bool restore = false;
};

// A session of the desktop program, as its lock file names it.
struct SessionUser {
  std::string machine;
  std::string user;
};

class Database {
 public:
  ~Database();  // closes the file if Close was not called
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Releases the file. The object and its table definitions are not used again.
  void Close();

  // The table definitions of the catalog: local tables, links and ODBC links,
  // system tables included. Throws EngineError once closed.
  engine::TableDefs& TableDefs();

  // Calls `visit` with the catalog row and the link string of each table
  // definition, in catalog order, the system tables included. Unless
  // TableDefs was called, no TableDef is built: a reader that goes through a
  // long catalog once would spend more on those copies than on reading the
  // file. Where TableDefs was called, it visits them as they stand (a link
  // string set and not yet stored included). The arguments are valid during
  // the call only. Throws EngineError once closed.
  void ForEachTable(const std::function<void(const CatalogEntry& entry, const std::string& connect)>& visit);

  // The catalog row of the table definition of that name, compared without
  // regard to case, as stored; none when there is none. Throws EngineError
  // once closed.
  std::optional<CatalogEntry> FindTable(std::string_view name);

  // The rows of a local table, read from its definition when asked; -1 for
  // a link. Throws EngineError.
  int64_t RowCount(const TableDef& def);

  // Calls `visit` with every row of the catalog, in catalog order: the tables
  // as ForEachTable gives them (from the catalog as stored), and every other
  // object (queries, forms, reports, containers...) with an empty link string.
  void ForEachObject(const std::function<void(const CatalogEntry& entry, const std::string& connect)>& visit);

  // The full path of the file as it was resolved at open.
  const std::string& Path() const;

  // RefreshLink for several links of this database as one change: every link
  // is checked first, and the file holds either all the new links or none of
  // them, also after a crash. Throws EngineError, naming the first link that
  // fails; then nothing is written.
  void RefreshLinks(const std::vector<TableDef*>& links);

  // The checks RefreshLink makes of one link before it writes, alone: the
  // table is a link to a database file, the link string one we open, the
  // back-end opens and holds the table. Throws the EngineError RefreshLink
  // would throw. Writes nothing (a checker, a dry run).
  void CheckLink(const LinkRequest& request);

  // RefreshLinks by table name, without TableDefs: stores every link as one
  // change, `now` becoming their DateUpdate. Table definitions already built
  // take the stored links. Returns the catalog rows as now stored, in the
  // order of the requests. Throws EngineError; then the file is as it was.
  std::vector<CatalogEntry> StoreLinks(const std::vector<LinkRequest>& requests, double now);

  // The sessions of the desktop program that have the file open now, as
  // its lock file names them; empty where none has (a stale lock file's
  // entries are no sessions). A relink meanwhile is refused with 3260.
  std::vector<SessionUser> OpenBy();

 private:
  friend class DBEngine;
  friend DatabaseImpl& ImplOf(Database& db);
  explicit Database(std::unique_ptr<DatabaseImpl> impl);
  std::unique_ptr<DatabaseImpl> impl_;
};

// Today's date and time in the catalog's form: local days since 1899-12-30.
double CatalogNow();

}  // namespace engine
