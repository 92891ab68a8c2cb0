// Rewriting rows: unchanged rows come out byte for byte, changed ones crack
// back to the new values with every other column as it was.
#include "jet/row_writer.h"

#include "jet/catalog.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/row.h"
#include "jet/table_scan.h"
#include "jet/text.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using jet::Bytes;
using jet::ColumnValue;

struct OpenFile {
  std::unique_ptr<jet::File> file;
  jet::Header header;
  std::unique_ptr<jet::Pager> pager;
};

std::optional<OpenFile> Open(const fs::path& path) {
  OpenFile o;
  auto f = jet::Env::Default().Open(path.string(), jet::OpenMode::kRead);
  if (!f.ok()) return std::nullopt;
  o.file = std::move(*f);
  std::vector<uint8_t> page0(4096);
  const uint64_t size = *o.file->Size();
  page0.resize(std::min<uint64_t>(size, 4096));
  if (!o.file->ReadAt(0, page0).ok()) return std::nullopt;
  auto h = jet::ParseHeader(page0);
  if (!h.ok() || h->needs_password()) return std::nullopt;
  o.header = *h;
  o.pager = std::make_unique<jet::Pager>(*o.file, h->format, h->pages_encrypted() ? h->db_key : 0, size, nullptr);
  return o;
}

// Every row of every table: the tdef, the row.
template <typename Visit>
int ForEachRow(OpenFile& o, Visit visit) {
  auto catalog = jet::ReadCatalog(*o.pager, o.header.code_page);
  EXPECT_TRUE(catalog.ok()) << catalog.status().message();
  if (!catalog.ok()) return 0;
  int rows = 0;
  std::vector<std::pair<std::string, jet::TableDefinition>> tables = {{"MSysObjects", catalog->def}};
  for (const auto& obj : catalog->objects) {
    if (obj.type != jet::kObjectLocalTable || obj.name == "MSysObjects") continue;
    auto def = jet::ReadTableDefinition(*o.pager, obj.tdef_page(), o.header.code_page);
    if (def.ok()) tables.emplace_back(obj.name, *def);
  }
  for (const auto& table : tables) {
    jet::Status s = jet::ScanTable(*o.pager, table.second, [&](jet::TableRow& row) {
      ++rows;
      visit(table.first, table.second, row);
      return jet::Status::Ok();
    });
    EXPECT_TRUE(s.ok()) << table.first << ": " << s.message();
  }
  return rows;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) s += {kDigits[b >> 4], kDigits[b & 15], ' '};
  return s;
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const char* family : {"jet3", "jet4", "ace"})
    for (const auto& e : fs::directory_iterator(SharedDir() / "corpus" / family)) files.push_back(e.path().string());
  for (const auto& e : fs::directory_iterator(SharedDir() / "fixtures"))
    if (e.is_directory()) files.push_back((e.path() / "MLQ.mdb").string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RewriteRow, UnchangedRowsOfEveryTableComeOutByteForByte) {
  SKIP_WITHOUT_SHARED();
  int total = 0;
  for (const auto& path : CorpusFiles()) {
    auto o = Open(path);
    if (!o) continue;  // protected files
    total += ForEachRow(*o, [&](const std::string& table, const jet::TableDefinition& def, jet::TableRow& row) {
      auto out = jet::RewriteRow(row.bytes, def, o->header.format, {});
      ASSERT_TRUE(out.ok()) << path << " " << table << ": " << out.status().message();
      EXPECT_EQ(*out, row.bytes) << path << " " << table << " row " << jet::ToString(row.slot) << "\n"
                                 << Hex(*out) << "\n" << Hex(row.bytes);
    });
  }
  EXPECT_GT(total, 1000);
}

// Each column's bytes, to compare rows column by column.
std::vector<std::optional<std::vector<uint8_t>>> Columns(Bytes row, const jet::TableDefinition& def,
                                                        const jet::Format& f) {
  auto c = jet::CrackRow(row, def, f);
  EXPECT_TRUE(c.ok()) << c.status().message();
  std::vector<std::optional<std::vector<uint8_t>>> out(def.columns.size());
  if (!c.ok()) return out;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const auto& field = c->fields[i];
    if (def.columns[i].type == jet::kColBool) out[i] = std::vector<uint8_t>{field.flag};
    else if (!field.null) {
      Bytes v = c->Value(row, i);
      out[i] = std::vector<uint8_t>(v.begin(), v.end());
    }
  }
  return out;
}

// The catalog rows of real files with the columns a relink changes set to
// values of many sizes: the row cracks to exactly those values and every
// other column is as before. Jet3 rows that grow past 256 bytes get a jump
// table.
TEST(RewriteRow, ChangedCatalogRowsCrackToTheNewValues) {
  SKIP_WITHOUT_SHARED();
  for (const char* name : {"corpus/jet3/testV1997.mdb", "corpus/jet4/V2003_no-password.mdb",
                           "corpus/ace/linkerTestV2007.accdb", "fixtures/v2003-basic/MLQ.mdb"}) {
    auto o = Open(SharedDir() / name);
    ASSERT_TRUE(o);
    const jet::Format& f = o->header.format;
    auto catalog = jet::ReadCatalog(*o->pager, o->header.code_page);
    ASSERT_TRUE(catalog.ok());
    const jet::TableDefinition& def = catalog->def;
    const int database = def.IndexOf("Database"), connect = def.IndexOf("Connect"), date = def.IndexOf("DateUpdate"),
              lv = def.IndexOf("Lv");
    ASSERT_TRUE(database >= 0 && connect >= 0 && date >= 0 && lv >= 0);
    int rows = 0;
    ForEachRow(*o, [&](const std::string& table, const jet::TableDefinition&, jet::TableRow& row) {
      if (table != "MSysObjects" || ++rows > 12) return;
      for (size_t size : {size_t{0}, size_t{1}, size_t{40}, size_t{255}, size_t{300}, size_t{700}}) {
        std::vector<uint8_t> field(jet::kLongValueFieldSize, 0);
        jet::StoreU32(field.data(), static_cast<uint32_t>(size) | 0x80000000u);
        for (size_t k = 0; k < size; ++k) field.push_back(static_cast<uint8_t>('a' + k % 26));
        std::vector<uint8_t> when(8, 0x11);
        const std::vector<ColumnValue> values = {
            {static_cast<size_t>(database), false, false, field},
            {static_cast<size_t>(connect), size % 2 == 0, false, size % 2 ? field : std::vector<uint8_t>{}},
            {static_cast<size_t>(date), false, false, when},
            {static_cast<size_t>(lv), true, false, {}},
        };
        const std::string where = std::string(name) + " row " + jet::ToString(row.slot) + " size " + std::to_string(size);
        auto out = jet::RewriteRow(row.bytes, def, f, values);
        ASSERT_TRUE(out.ok()) << where << ": " << out.status().message();
        auto before = Columns(row.bytes, def, f);
        auto after = Columns(*out, def, f);
        for (const auto& v : values) before[v.column] = v.null ? std::nullopt : std::optional(v.bytes);
        EXPECT_EQ(after, before) << where;
        // And once more unchanged: stable.
        auto again = jet::RewriteRow(*out, def, f, {});
        ASSERT_TRUE(again.ok()) << where;
        EXPECT_EQ(*again, *out) << where;
      }
    });
    EXPECT_GT(rows, 0) << name;
  }
}

}  // namespace
