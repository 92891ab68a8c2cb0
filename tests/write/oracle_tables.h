// Whole databases as the independent readers see them, to prove that a
// change touched what it should and nothing else.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/support.h"

namespace write_test {

namespace fs = std::filesystem;

// One row: column name -> value as the reader prints it.
using Row = std::map<std::string, std::string>;
// Every table the reader lists (local and system tables): name -> rows.
using Tables = std::map<std::string, std::vector<Row>>;

// Every table of the file as mdb-reader reads it (values as JSON).
Tables MdbReaderTables(const fs::path& file);

// Every table of the file as mdbtools' mdb-export reads it (binary values in
// hex, NULL for null). `jet3_code_page`: the code page mdbtools should read
// Jet3 text in (it assumes 1252).
Tables MdbToolsTables(const fs::path& file, int jet3_code_page = 1252);

// The row of MSysObjects whose Name is `name` (case as stored); null if none.
const Row* CatalogRow(const Tables& tables, const std::string& name, const std::string& quote = "");

// Expects `after` to equal `before`, except for the link columns (Database,
// Connect, DateUpdate, Lv) of the catalog rows named in `changed`. `who`
// names the reader.
void ExpectOnlyLinkColumnsChanged(const Tables& before, const Tables& after, const std::set<std::string>& changed,
                                  const std::string& who);
inline void ExpectOnlyLinkColumnsChanged(const Tables& before, const Tables& after, const std::string& changed,
                                         const std::string& who) {
  ExpectOnlyLinkColumnsChanged(before, after, std::set<std::string>{changed}, who);
}

}  // namespace write_test
