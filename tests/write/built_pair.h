// A front-end and a back-end built in a fresh folder: what most write tests
// start from.
#pragma once

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "tests/support/support.h"

namespace write_test {

struct BuiltPair {
  testing_support::TempDir dir;
  std::filesystem::path front, back;  // MLQ.mdb and PARTNER.MDB
  explicit BuiltPair(dbbuilder::FrontEndOptions options = {}) {
    front = dir / "MLQ.mdb";
    back = dir / "PARTNER.MDB";
    EXPECT_TRUE(dbbuilder::WriteDatabase(dbbuilder::FrontEnd(options), front.string()).ok());
    EXPECT_TRUE(dbbuilder::WriteDatabase(dbbuilder::BackEnd(options.format, options.code_page), back.string()).ok());
  }
};

}  // namespace write_test
