// Storing links: what TableDef::RefreshLink, Database::RefreshLinks and
// Database::StoreLinks do, on the database's internals. Internal to the
// engine; tests run it on a database opened with a fault-injecting Env.
#pragma once

#include <string>
#include <vector>

#include "engine/database_impl.h"
#include "vostrel/tabledef.h"
#include "jet/env_names.h"

namespace engine {

// Checks every request (the table is a link to a database file, the link
// string is one we can open, the back-end opens and holds the table, unless
// the request restores a link as it stood), then
// stores them all as one change through `env`: all of them or none, also
// after a crash. Back-ends are opened through `env`, a Windows path found
// through the database's map (DatabaseImpl::map); Database passes the Env
// it was opened through, as do the tests that cut a change off. Returns the catalog entries as now stored, in the order of
// the requests. Throws EngineError; then the file is as it was.
// `now` is what DateUpdate becomes.
std::vector<CatalogEntry> StoreLinks(DatabaseImpl& db, jet::Env& env, const std::vector<LinkRequest>& requests,
                                     double now);

// The checks StoreLinks makes of one request before it writes, alone: throws
// the EngineError StoreLinks would throw for it. Writes nothing; a checker
// (vostrel-cli check, a dry run) reports links without changing them.
void CheckLink(DatabaseImpl& db, jet::Env& env, const LinkRequest& request);

}  // namespace engine
