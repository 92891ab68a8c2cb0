// Database: an open database file.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace engine {

class TableDefs;
class TableDef;
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
