// Link strings: composed from the catalog's columns, split back into them.
#include "vostrel/link_string.h"

#include "tests/support/support.h"

namespace {

engine::CatalogEntry Entry(int type, std::optional<std::string> database, std::optional<std::string> connect) {
  engine::CatalogEntry e;
  e.name = "Partner";
  e.type = type;
  e.database = std::move(database);
  e.connect = std::move(connect);
  return e;
}

TEST(LinkString, ComposedFromTheCatalogsColumns) {
  struct Case {
    engine::CatalogEntry entry;
    std::string link;
  };
  const Case cases[] = {
      {Entry(1, std::nullopt, std::nullopt), ""},
      {Entry(1, "C:\\ignored.mdb", "ignored"), ""},
      {Entry(6, "C:\\MLQ\\PARTNER.MDB", std::nullopt), ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {Entry(6, "C:\\MLQ\\PARTNER.MDB", ""), ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {Entry(6, "C:\\MLQ\\PARTNER.MDB", "MS Access;PWD=geslo"), "MS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {Entry(6, "C:\\x.xls", "Excel 8.0;HDR=YES;IMEX=2"), "Excel 8.0;HDR=YES;IMEX=2;DATABASE=C:\\x.xls"},
      {Entry(6, std::nullopt, std::nullopt), ";DATABASE="},
      {Entry(4, std::nullopt, "DSN=Magnapinna;UID=x"), "ODBC;DSN=Magnapinna;UID=x"},
      {Entry(4, std::nullopt, "ODBC;DSN=Magnapinna"), "ODBC;DSN=Magnapinna"},
      {Entry(4, std::nullopt, "odbc;DSN=Magnapinna"), "odbc;DSN=Magnapinna"},
      {Entry(4, std::nullopt, std::nullopt), "ODBC;"},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::ComposeLinkString(c.entry), c.link);
}

TEST(LinkString, ParsedIntoKindPathAndTheRest) {
  struct Case {
    std::string text;
    std::string kind;
    std::optional<std::string> database, rest;
    bool round_trips;
  };
  const Case cases[] = {
      {";DATABASE=D:\\Data\\PARTNER.MDB", "", "D:\\Data\\PARTNER.MDB", std::nullopt, true},
      {"MS Access;PWD=geslo;DATABASE=X", "MS Access", "X", "MS Access;PWD=geslo", true},
      {";database=d:\\x.mdb", "", "d:\\x.mdb", std::nullopt, false},  // composes as ";DATABASE="
      {";DATABASE=D:\\My Data\\PARTNER.MDB", "", "D:\\My Data\\PARTNER.MDB", std::nullopt, true},
      {";DATABASE=", "", "", std::nullopt, true},
      {"MS Access;DATABASE=X;PWD=geslo", "MS Access", "X", "MS Access;PWD=geslo", false},
      {"Excel 8.0;HDR=YES;IMEX=2;DATABASE=C:\\x.xls", "Excel 8.0", "C:\\x.xls", "Excel 8.0;HDR=YES;IMEX=2", true},
      {"", "", std::nullopt, std::nullopt, false},
      {"DATABASE=X", "DATABASE=X", std::nullopt, "DATABASE=X", false},  // not after a ";"
      {"ODBC;DSN=x;", "ODBC", std::nullopt, "ODBC;DSN=x", false},
  };
  for (const Case& c : cases) {
    const engine::LinkString p = engine::ParseLinkString(c.text);
    EXPECT_EQ(p.kind, c.kind) << c.text;
    EXPECT_EQ(p.database, c.database) << c.text;
    EXPECT_EQ(p.rest, c.rest) << c.text;
    if (c.round_trips) {
      EXPECT_EQ(engine::ComposeLinkString(Entry(6, p.database, p.rest)), c.text);
    }
  }
}

}  // namespace

namespace {

// Every password a reader of the link would take is masked, and nothing
// else: the name in any case, a value holding "=", a repeated PWD, an ODBC
// value in braces holding ";"; "PWD" that is no parameter name stays.
TEST(LinkString, PasswordsMasked) {
  struct Case {
    std::string link;
    std::string masked;
  };
  const Case cases[] = {
      {"MS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB", "MS Access;PWD=***;DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {";DATABASE=C:\\P.MDB;pwd=a=b==", ";DATABASE=C:\\P.MDB;pwd=***"},
      {";Pwd=;DATABASE=C:\\P.MDB", ";Pwd=***;DATABASE=C:\\P.MDB"},
      {";PWD=one;PWD=two", ";PWD=***;PWD=***"},
      {"ODBC;DSN=x;UID=u;PWD={se;cr}}et};APP=y", "ODBC;DSN=x;UID=u;PWD=***;APP=y"},
      {"ODBC;DSN=x;PWD={never closed;APP=y", "ODBC;DSN=x;PWD=***"},
      {";DATABASE=C:\\PWD=x\\P.MDB;APWD=x; PWD=x", ";DATABASE=C:\\PWD=x\\P.MDB;APWD=x; PWD=x"},
      {"PWD=x;DATABASE=C:\\P.MDB", "PWD=x;DATABASE=C:\\P.MDB"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(engine::MaskPasswords(c.link), c.masked) << c.link;
    // What the engine takes as the password is what was masked.
    const std::optional<std::string> password = engine::ParseLinkString(c.masked).password;
    if (password && c.link.find('{') == std::string::npos) {
      EXPECT_EQ(*password, "***") << c.link;
    }
  }
}

}  // namespace
