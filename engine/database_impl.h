// What an open Database holds: the file, its header, the pager and the
// catalog as read at open. Internal to the engine (the writing side of the
// engine uses it too).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/tabledefs.h"
#include "jet/catalog.h"
#include "jet/env.h"
#include "jet/header.h"
#include "jet/pager.h"

namespace engine {

class TableDef;

struct DatabaseImpl {
  std::string name;       // as the caller passed it
  std::string path;       // resolved full path
  bool writable = false;  // opened for writing (false: the file is read-only to us)
  std::unique_ptr<jet::File> file;
  jet::Header header;
  std::unique_ptr<jet::Pager> pager;
  jet::Catalog catalog;
  std::unique_ptr<engine::TableDefs> tabledefs;
  bool closed = false;
  // The file system the database was opened through; changes go through it too.
  jet::Env* env = &jet::Env::Default();

  // The pager, or EngineError 3420 once the database is closed.
  jet::Pager& Pager();

  // The rows of a local table, read from its definition when asked; -1 for
  // a link. Throws EngineError.
  int64_t RowCount(const TableDef& def);

  // The catalog row behind a table definition (null if it has none).
  const jet::CatalogObject* CatalogRow(const TableDef& def) const;

  // Releases the file.
  void Close();
};

// The counters every pager of the process counts into.
jet::PageCounters& EngineCounters();

// Opens a database file with an explicit Env (tests inject faults with it).
std::unique_ptr<DatabaseImpl> OpenDatabaseImpl(jet::Env& env, const std::string& name);

}  // namespace engine
