// Writes a whole new database file from a DatabaseSpec.
//
// Page order: 0 header, 1 free-page map, 2-5 the definitions of the system
// tables, then usage-map pages, each local table's definition, rows and long
// values, then the catalog's rows. Tables are streamed: a table with a
// RowSource can be far larger than memory.
#pragma once

#include <string>

#include "dbbuilder/schema.h"
#include "jet/env_names.h"

namespace dbbuilder {

jet::Result<BuildReport> WriteDatabase(const DatabaseSpec& described, const std::string& path,
                                       jet::Env& env = jet::Env::Default());

// The name of the link that fills a catalog page behind a link marked
// fill_page; its Lv value is sized to leave the page exactly full.
inline constexpr const char* kFillerLinkName = "Polnilo";

}  // namespace dbbuilder
