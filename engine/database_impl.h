// What an open Database holds: the file, its header, the pager and the
// catalog as read at open. Internal to the engine: the window and the cli
// see engine/database.h only; tests include this one to open a database
// through a fault-injecting Env and reach its parts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vostrel/database.h"
#include "vostrel/paths.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/catalog.h"
#include "jet/env_names.h"
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
  // The file system the database was opened through; changes go through it
  // too, and so do the checks for sessions and the lookups of back-ends.
  jet::Env* env = &jet::Env::Default();
  // The path map its links' back-ends are found through: the engine's map
  // as it was when the database was opened, kept after a SetMap; where the
  // engine had none yet, the default sources' map, read through `env` when
  // a Windows path first needs it (Map).
  std::shared_ptr<const PathMap> map;

  // The map above, read now if it has not been. Throws EngineError 3001 for
  // a bad entry.
  const PathMap& Map();

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

// Opens a database file through `env`, front-end and back-end alike: the
// name resolved, a crashed writer's journal played back, the file opened
// for writing where it may be (else for reading) with its lock probed, the
// header checked and, where the file has a database password, `password`
// checked against it (none, or another: 3031). An encrypted ACE file's
// password is checked against its descriptor's verifier and its page key
// derived once, here; an encryption not read here is 3388. Throws
// EngineError.
std::unique_ptr<DatabaseImpl> OpenDatabaseImpl(jet::Env& env, const std::string& name,
                                               const std::optional<std::string>& password = std::nullopt);

// The catalog row as the engine's entry. FillEntry assigns rather than
// constructs, so that an entry refilled row after row keeps its strings'
// storage.
CatalogEntry EntryOf(const jet::CatalogObject& o);
void FillEntry(const jet::CatalogObject& o, CatalogEntry& e);

// What a Database holds (tests, and the engine's own files).
DatabaseImpl& ImplOf(Database& db);

}  // namespace engine
