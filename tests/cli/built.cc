#include "tests/cli/built.h"

#include <algorithm>
#include <cstring>

#include "dbbuilder/database_writer.h"
#include "tests/support/built_fixtures.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/header.h"
#include "jet/text.h"

namespace cli_test {

using namespace testing_support;

fs::path Build(const dbbuilder::DatabaseSpec& described, const fs::path& dir, const std::string& name) {
  return Built(described, dir / name);
}

fs::path BuildPartnerFrontEnd(const fs::path& dir, const std::string& name) {
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.objects.resize(1);
  dbbuilder::Link l;
  l.name = "Partner";
  l.database = "C:\\MLQ\\PARTNER.MDB";
  l.foreign_name = "Partner";
  described.AddLink(l);
  return Build(described, dir, name);
}

fs::path BuildBackEnd(const fs::path& dir, const std::string& name, dbbuilder::FormatVersion format,
                      std::vector<std::string> missing, int extra) {
  dbbuilder::DatabaseSpec described = dbbuilder::BackEnd(format);
  std::erase_if(described.objects, [&](const dbbuilder::Object& o) {
    const auto* t = std::get_if<dbbuilder::Table>(&o);
    return t && std::find(missing.begin(), missing.end(), t->name) != missing.end();
  });
  for (int i = 1; i <= extra; ++i) {
    char table[16];
    std::snprintf(table, sizeof table, "T%04d", i);
    described.AddTable(dbbuilder::Table{table, {dbbuilder::MakeColumn("ID", dbbuilder::ColumnType::kLong)}, {}, {}});
  }
  return Build(described, dir, name);
}

void SetDatabasePassword(const fs::path& file, const std::string& password) {
  std::vector<uint8_t> bytes = ReadBytes(file);
  auto header = jet::ParseHeader(bytes);
  ASSERT_TRUE(header.ok());
  const jet::Format& format = header->format;
  std::vector<uint8_t> page0(bytes.begin(), bytes.begin() + format.page_size);
  std::vector<uint8_t> plain = jet::ToggleHeaderMask(page0, format);
  auto field = jet::PasswordField(password, format, header->code_page, header->creation_date);
  ASSERT_TRUE(field.ok()) << field.status().message();
  std::copy(field->begin(), field->end(), plain.begin() + jet::kHeaderPassword);
  page0 = jet::ToggleHeaderMask(plain, format);
  std::copy(page0.begin(), page0.end(), bytes.begin());
  WriteBytes(file, bytes);
}

std::map<std::string, std::string> Links(const fs::path& file) {
  std::map<std::string, std::string> links;
  auto db = engine::DBEngine::Instance().OpenDatabase(file.string());
  for (auto& def : db->TableDefs())
    if (!def->Entry().system) links[def->Name()] = def->Connect();
  db->Close();
  return links;
}

std::map<std::string, std::string> OracleDatabases(const fs::path& file) {
  std::map<std::string, std::string> databases;
  if (!CheckWithMdbReader()) return databases;
  for (const OracleObject& o : MdbReaderCatalog(file))
    if (o.type == 6) databases[o.name] = o.database;
  return databases;
}

std::string Cli() { return ShellQuote(Program("vostrel-cli").string()); }

}  // namespace cli_test
