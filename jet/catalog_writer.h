// Storing links in the catalog: the Database, Connect and DateUpdate columns
// of a link's catalog row (and its Lv column, see catalog_writer.cc), every
// other column and every other row left as they are.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/catalog.h"
#include "jet/page_transaction.h"
#include "jet/env_names.h"

namespace jet {

// A new link for one catalog row.
struct StoredLink {
  std::string name;                    // the row's Name: a link to a table of another database file
  std::string database;                // the back-end's path, as given
  std::optional<std::string> connect;  // what the Connect column keeps (null: nothing)
  double date_update = 0;              // days since 1899-12-30
};

// Writes the links into their catalog rows within `tx`. `catalog` is the
// catalog as it is on the disk now (read under the lock that the commit is
// made under). Returns the rows as they now read. kNotFound when a name is
// not a link in the catalog; kInvalidArgument for text the file cannot hold
// (a character outside a Jet3 file's code page).
Result<std::vector<CatalogObject>> WriteLinks(PageTransaction& tx, const Catalog& catalog, uint16_t code_page,
                                              std::span<const StoredLink> links);

}  // namespace jet
