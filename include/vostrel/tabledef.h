// TableDef: one table definition of the catalog, as the window sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

class Database;

// The catalog's object types that make a table definition.
enum class TableType : int { kLocal = 1, kOdbcLink = 4, kLink = 6 };

// The catalog row behind a table definition, as stored.
struct CatalogEntry {
  std::string name;
  int type = 0;                 // 1, 4 or 6 for a table (see ObjectKindName)
  bool system = false;          // flag 0x80000000 or 0x00000002
  uint32_t flags = 0;
  std::optional<std::string> database;     // `Database` column
  std::optional<std::string> connect;      // `Connect` column
  std::optional<std::string> foreign_name; // `ForeignName` column
  int64_t row_count = -1;       // rows of a local table; -1 for links
};

class TableDef {
 public:
  TableDef(Database& owner, CatalogEntry entry);

  const std::string& Name() const { return entry_.name; }

  // The link string: empty for a local table; for a link to a database file,
  // the stored Connect (empty where null) + ";DATABASE=" + the stored path;
  // for an ODBC link, "ODBC;" + the stored Connect unless it has it already.
  // After SetConnect, the value set (until RefreshLink stores it or fails).
  std::string Connect() const;

  // Holds a new link string; nothing is written until RefreshLink.
  void SetConnect(std::string link);

  // Checks the link string set with SetConnect (or the current one), checks
  // that the back-end opens and holds the foreign table, and stores the link
  // durably in the file. On failure the file is unchanged. Throws EngineError.
  void RefreshLink();

  const CatalogEntry& Entry() const { return entry_; }
  bool HasPendingConnect() const { return pending_connect_.has_value(); }
  const std::optional<std::string>& PendingConnect() const { return pending_connect_; }
  Database& Owner() { return owner_; }

  // Called by the engine when a new link was stored.
  void Stored(CatalogEntry entry);

 private:
  Database& owner_;
  CatalogEntry entry_;
  std::optional<std::string> pending_connect_;
};

}  // namespace engine
