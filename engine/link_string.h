// Link strings: what TableDef.Connect reads and takes. The catalog keeps a
// link's back-end path (its Database column) apart from the rest (its
// Connect column); a link string joins them again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/tabledef.h"

namespace engine {

// The link string of a catalog entry: empty for a local table; the Connect
// column (empty where null) + ";DATABASE=" + the Database column for a link
// to a database file; "ODBC;" + the Connect column for an ODBC link, unless
// it starts with it already.
std::string ComposeLinkString(const CatalogEntry& entry);

struct LinkString {
  std::string kind;                     // the text before the first ";"
  std::optional<std::string> database;  // the DATABASE= parameter's value
  std::optional<std::string> rest;      // everything else: what the Connect column keeps
};

// Splits a link string into the catalog's columns. The DATABASE= parameter
// (any case, right after a ";") runs to the next ";" or the end; it is taken
// out, and what is left without a trailing ";" is `rest` (none when empty).
LinkString ParseLinkString(std::string_view text);

}  // namespace engine
