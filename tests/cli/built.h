// Front-ends and back-ends the cli tests build for themselves, so that they
// run without ../shared, and what the tests read back from them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/schema.h"
#include "tests/support/support.h"

namespace cli_test {

namespace fs = std::filesystem;

// Writes `described` to dir/name; fails the test if the builder refuses.
fs::path Build(const dbbuilder::DatabaseSpec& described, const fs::path& dir, const std::string& name);

// A front-end whose one object is the link Partner to C:\MLQ\PARTNER.MDB.
fs::path BuildPartnerFrontEnd(const fs::path& dir, const std::string& name);

// A back-end with Partner and Artikli, without the tables named in
// `missing`, and with a table T0001... for each of `extra` links.
fs::path BuildBackEnd(const fs::path& dir, const std::string& name, dbbuilder::FormatVersion format,
                      std::vector<std::string> missing = {}, int extra = 0);

// Gives a built Jet3 or Jet4 database a database password, as the header
// keeps it (the pages stay as they are: such files are not encrypted).
void SetDatabasePassword(const fs::path& file, const std::string& password);

// Every table definition's link string, by name, as the engine reads it.
std::map<std::string, std::string> Links(const fs::path& file);

// The Database column of every link, by name, as mdb-reader reads it (empty
// when mdb-reader is not installed).
std::map<std::string, std::string> OracleDatabases(const fs::path& file);

std::string Cli();  // the program, quoted for the shell

}  // namespace cli_test
