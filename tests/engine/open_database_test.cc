// DBEngine::OpenDatabase with DAO's arguments after the name: the connect
// text's password, its kind, exclusive and read-only.
#include <gtest/gtest.h>

#include "dbbuilder/cases.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/link_string.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

namespace {

using testing_support::TempDir;

TEST(OpenDatabase, ConnectTextExclusiveAndReadOnly) {
  TempDir dir;
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.password = "Skriv-no7";
  const std::string file = testing_support::Built(described, dir.path() / "MLQ.mdb");
  testing_support::Built(dbbuilder::BackEnd(dbbuilder::FormatVersion::kJet4), dir.path() / "PARTNER.MDB");
  engine::DBEngine& dbe = engine::DBEngine::Instance();
  struct Case {
    const char* connect;
    bool exclusive;
    int error;
  };
  const Case cases[] = {
      {"", false, engine::kErrNotValidPassword},
      {";PWD=narobe", false, engine::kErrNotValidPassword},
      {";pwd=Skriv-no7", false, 0},  // the parameter's name in any case
      {"MS Access;PWD=Skriv-no7;DATABASE=x", false, 0},
      {";PWD=Skriv-no7", true, engine::kErrInvalidArgument},
      {"ODBC;PWD=Skriv-no7", false, engine::kErrInstallableIsam},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connect);
    EXPECT_EQ(testing_support::ErrorNumber([&] { dbe.OpenDatabase(file, c.exclusive, false, c.connect); }), c.error);
  }
  auto db = dbe.OpenDatabase(file, false, true, engine::PasswordConnect("Skriv-no7"));
  engine::TableDef& partner = db->TableDefs().Item("Partner");
  partner.SetConnect(";DATABASE=" + (dir.path() / "PARTNER.MDB").string());
  EXPECT_EQ(testing_support::ErrorNumber([&] { partner.RefreshLink(); }), engine::kErrReadOnly);
}

}  // namespace
