// Database: an open database file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class TableDefs;
class TableDef;
struct CatalogEntry;
struct DatabaseImpl;

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

  // The full path of the file as it was resolved at open.
  const std::string& Path() const;

  // RefreshLink for several links of this database as one change: every link
  // is checked first, and the file holds either all the new links or none of
  // them, also after a crash. Throws EngineError, naming the first link that
  // fails; then nothing is written.
  void RefreshLinks(const std::vector<TableDef*>& links);

  DatabaseImpl& impl() { return *impl_; }

 private:
  friend class DBEngine;
  explicit Database(std::unique_ptr<DatabaseImpl> impl);
  std::unique_ptr<DatabaseImpl> impl_;
};

}  // namespace engine
