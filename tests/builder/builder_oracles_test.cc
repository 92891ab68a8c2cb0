// Independent readers (mdbtools and mdb-reader) read every family the builder
// writes as it was meant: the same tables, rows and links.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace dbbuilder;
using testing_support::HaveMdbReader;
using testing_support::HaveMdbTools;
using testing_support::MdbExport;
using testing_support::MdbReaderCatalog;
using testing_support::MdbReaderRows;
using testing_support::OracleObject;
using testing_support::Run;
using testing_support::ShellQuote;
using testing_support::TempDir;

const std::vector<std::string> kNastavitveRows = {
    R"({"Kljuc":"Naslov","Vrednost":"Osveži povezavo"})",
    R"({"Kljuc":"Jezik","Vrednost":"slovenščina"})",
    R"({"Kljuc":"Opomba","Vrednost":"čšž ČŠŽ ćđ"})",
};
const std::vector<std::string> kPartnerRows = {
    R"({"ID":1,"Kraj":"Ljubljana","Naziv":"Žito d.d."})",
    R"({"ID":2,"Kraj":"Škofja Loka","Naziv":"Čebelarstvo Šuštar"})",
    R"({"ID":3,"Kraj":"Arja vas","Naziv":"Mlekarna Celeia"})",
    R"({"ID":4,"Kraj":"Velenje","Naziv":"Gorenje"})",
    R"({"ID":5,"Kraj":"Novo mesto","Naziv":"Krka"})",
};
const std::vector<std::string> kArtikliRows = {
    R"({"Cena":"1.2900","Opis":"Moka tip 500","Sifra":"A-001"})",
    R"({"Cena":"8.5000","Opis":"Med cvetlični","Sifra":"A-002"})",
    R"({"Cena":"0.7900","Opis":"Jogurt","Sifra":"A-003"})",
};

// mdb-reader decodes Jet3 text as Windows-1252 whatever the file says; turn
// its reading of Windows-1250 bytes back into what they mean.
std::vector<std::string> As1250(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    auto r = Run("(printf '%s' " + ShellQuote(line) + " | iconv -f utf-8 -t cp1252 | iconv -f cp1250 -t utf-8)");
    out.push_back(r.status == 0 ? r.out : "iconv failed: " + line);
  }
  return out;
}

const OracleObject* FindObject(const std::vector<OracleObject>& objects, const std::string& name) {
  for (const auto& o : objects)
    if (o.name == name) return &o;
  return nullptr;
}

struct FamilyCase {
  FormatVersion format;
  int code_page;
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << FormatName(c.format) << ", code page " << c.code_page; }

class BuiltFamily : public testing_support::ReadBackTest<FamilyCase> {
 protected:
  std::vector<std::string> ReaderRows(const std::string& file, const std::string& table) {
    auto rows = MdbReaderRows(dir_ / file, table);
    return GetParam().format == FormatVersion::kJet3 && GetParam().code_page == 1250 ? As1250(rows) : rows;
  }
  std::string Export(const std::string& file, const std::string& table) {
    std::string env = GetParam().format == FormatVersion::kJet3 ? "MDB_JET3_CHARSET=cp" + std::to_string(GetParam().code_page) + " " : "";
    auto r = testing_support::Run(env + "mdb-export " + ShellQuote((dir_ / file).string()) + " " + ShellQuote(table));
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
};

TEST_P(BuiltFamily, BackEndTablesReadBackByBothReaders) {
  ASSERT_TRUE(WriteDatabase(BackEnd(GetParam().format, GetParam().code_page), (dir_ / "PARTNER.MDB").string()).ok());
  auto catalog = MdbReaderCatalog(dir_ / "PARTNER.MDB");
  std::vector<std::string> names;
  for (const auto& o : catalog) names.push_back(o.name + (o.system ? "/system" : "/user") + "/" + std::to_string(o.rows));
  EXPECT_EQ(names, (std::vector<std::string>{"MSysObjects/system/10", "MSysACEs/system/16", "MSysQueries/system/0",
                                             "MSysRelationships/system/0", "Partner/user/5", "Artikli/user/3"}));
  EXPECT_EQ(ReaderRows("PARTNER.MDB", "Partner"), kPartnerRows);
  EXPECT_EQ(ReaderRows("PARTNER.MDB", "Artikli"), kArtikliRows);
  EXPECT_EQ(Export("PARTNER.MDB", "Partner"),
            "ID,Naziv,Kraj\n1,\"Žito d.d.\",\"Ljubljana\"\n2,\"Čebelarstvo Šuštar\",\"Škofja Loka\"\n"
            "3,\"Mlekarna Celeia\",\"Arja vas\"\n4,\"Gorenje\",\"Velenje\"\n5,\"Krka\",\"Novo mesto\"\n");
  EXPECT_EQ(Export("PARTNER.MDB", "Artikli"),
            "Sifra,Opis,Cena\n\"A-001\",\"Moka tip 500\",1.2900\n\"A-002\",\"Med cvetlični\",8.5000\n"
            "\"A-003\",\"Jogurt\",0.7900\n");
}

TEST_P(BuiltFamily, FrontEndLinksReadBackByBothReaders) {
  FrontEndOptions o;
  o.format = GetParam().format;
  o.code_page = GetParam().code_page;
  o.links = {{"Partner", "C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB"}, {"Artikli", kOldBackEnd}};
  o.partner_connect = "MS Access;PWD=geslo";
  ASSERT_TRUE(WriteDatabase(FrontEnd(o), (dir_ / "MLQ.mdb").string()).ok());

  auto catalog = MdbReaderCatalog(dir_ / "MLQ.mdb");
  const OracleObject* partner = FindObject(catalog, "Partner");
  ASSERT_NE(partner, nullptr);
  EXPECT_EQ(partner->type, 6);
  EXPECT_FALSE(partner->system);
  std::string database = partner->database;
  if (GetParam().format == FormatVersion::kJet3 && GetParam().code_page == 1250) database = As1250({database})[0];
  EXPECT_EQ(database, o.links[0].database);
  EXPECT_EQ(partner->connect, "MS Access;PWD=geslo");
  EXPECT_EQ(partner->foreign_name, "Partner");
  EXPECT_TRUE(partner->lv_null);
  const OracleObject* artikli = FindObject(catalog, "Artikli");
  ASSERT_NE(artikli, nullptr);
  EXPECT_EQ(artikli->database, kOldBackEnd);
  EXPECT_TRUE(artikli->connect_null);
  const OracleObject* local = FindObject(catalog, "Nastavitve");
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->type, 1);
  EXPECT_EQ(local->rows, 3);
  EXPECT_EQ(ReaderRows("MLQ.mdb", "Nastavitve"), kNastavitveRows);

  std::string objects = Export("MLQ.mdb", "MSysObjects");
  EXPECT_NE(objects.find(",\"Partner\",6,"), std::string::npos) << objects;
  EXPECT_NE(objects.find("\"C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB\",\"MS Access;PWD=geslo\",\"Partner\""),
            std::string::npos)
      << objects;
  EXPECT_EQ(Export("MLQ.mdb", "Nastavitve"),
            "Kljuc,Vrednost\n\"Naslov\",\"Osveži povezavo\"\n\"Jezik\",\"slovenščina\"\n\"Opomba\",\"čšž ČŠŽ ćđ\"\n");
}

INSTANTIATE_TEST_SUITE_P(Families, BuiltFamily,
                         ::testing::Values(FamilyCase{FormatVersion::kJet3, 1250}, FamilyCase{FormatVersion::kJet4, 1252},
                                           FamilyCase{FormatVersion::kAce12, 1252}, FamilyCase{FormatVersion::kAce14, 1252}),
                         [](const auto& info) { return std::string(FormatName(info.param.format)); });

}  // namespace

namespace {

// Windows-1252 has "Š" and "ž" but no "č": such files get the text without
// those accents, and both readers (mdb-reader reads Jet3 as 1252) agree.
TEST(BuiltJet3In1252, TextFitsTheCodePage) {
  SKIP_WITHOUT_READERS();
  TempDir dir;
  FrontEndOptions o;
  o.format = FormatVersion::kJet3;
  o.code_page = 1252;
  ASSERT_TRUE(WriteDatabase(FrontEnd(o), (dir / "MLQ.mdb").string()).ok());
  ASSERT_TRUE(WriteDatabase(BackEnd(FormatVersion::kJet3, 1252), (dir / "PARTNER.MDB").string()).ok());
  EXPECT_EQ(MdbReaderRows(dir / "MLQ.mdb", "Nastavitve"),
            (std::vector<std::string>{R"({"Kljuc":"Naslov","Vrednost":"Osveži povezavo"})",
                                      R"({"Kljuc":"Jezik","Vrednost":"slovenšcina"})",
                                      R"({"Kljuc":"Opomba","Vrednost":"cšž CŠŽ cd"})"}));
  EXPECT_EQ(MdbReaderRows(dir / "PARTNER.MDB", "Partner")[1],
            R"({"ID":2,"Kraj":"Škofja Loka","Naziv":"Cebelarstvo Šuštar"})");
  EXPECT_NE(MdbExport(dir / "PARTNER.MDB", "Artikli").find("\"Med cvetlicni\""), std::string::npos);
}

}  // namespace
