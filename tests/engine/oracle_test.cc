// An independent reader (mdb-reader, run by node) against ours, on every
// real file: the catalog, and every row of every table, column by column
// for text, memo, integer and boolean columns. This exercises row cracking
// (Jet3 jump tables, deleted and added columns), overflow and deleted rows,
// long values of all three kinds and both text encodings. Files with a
// database password are read here below the engine, which refuses them.
#include <algorithm>
#include <map>
#include <sstream>

#include "jet/catalog.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/row.h"
#include "jet/table_scan.h"
#include "jet/text.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;

struct JetFile {
  std::unique_ptr<jet::File> file;
  jet::Header header;
  std::unique_ptr<jet::Pager> pager;
};

std::unique_ptr<JetFile> OpenJet(const fs::path& path) {
  auto f = std::make_unique<JetFile>();
  auto file = jet::Env::Default().Open(path.string(), jet::OpenMode::kRead);
  if (!file.ok()) return nullptr;
  f->file = std::move(*file);
  std::vector<uint8_t> head(4096);
  if (!f->file->ReadAt(0, head).ok()) return nullptr;
  auto header = jet::ParseHeader(head);
  if (!header.ok()) return nullptr;
  f->header = *header;
  f->pager = std::make_unique<jet::Pager>(*f->file, header->format, header->pages_encrypted() ? header->db_key : 0,
                                          *f->file->Size(), nullptr);
  return f;
}

// JSON text as JSON.stringify writes it.
std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string Value(JetFile& f, const jet::Column& c, jet::Bytes row, const jet::CrackedRow& r, size_t i) {
  const jet::FieldRef& field = r.fields[i];
  if (c.type == jet::kColBool) return field.flag ? "true" : "false";
  if (field.null) return "null";
  const jet::Bytes b = r.Value(row, i);
  switch (c.type) {
    case jet::kColByte: return b.size() == 1 ? std::to_string(b[0]) : "?";
    case jet::kColInt: return b.size() == 2 ? std::to_string(static_cast<int16_t>(jet::LoadU16(b.data()))) : "?";
    case jet::kColLong: return b.size() == 4 ? std::to_string(static_cast<int32_t>(jet::LoadU32(b.data()))) : "?";
    case jet::kColText: return Json(jet::DecodeText(b, f.header.format, f.header.code_page));
    case jet::kColMemo: {
      auto value = jet::ReadLongValue(*f.pager, b);
      if (!value.ok()) return "<" + value.status().message() + ">";
      return Json(jet::DecodeText(*value, f.header.format, f.header.code_page));
    }
    default: return "?";
  }
}

struct OracleTable {
  std::vector<std::string> columns;
  std::vector<std::string> rows;
};

struct OracleView {
  std::vector<std::string> catalog;  // lines as tools/oracle/catalog_lines.mjs writes them
  std::map<std::string, OracleTable> tables;
};

OracleView ReadWithOracle(const fs::path& file) {
  RunResult r = Run("node " + ShellQuote((SourceDir() / "tools/oracle/texts.mjs").string()) + " " +
                    ShellQuote(file.string()));
  EXPECT_EQ(r.status, 0) << r.err;
  OracleView view;
  std::istringstream in(r.out);
  OracleTable* current = nullptr;
  bool header = false, in_catalog = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "#CATALOG") {
      in_catalog = true;
    } else if (in_catalog && line.rfind("#TABLE ", 0) != 0) {
      view.catalog.push_back(line);
    } else if (line.rfind("#TABLE ", 0) == 0) {
      in_catalog = false;
      current = &view.tables[line.substr(7)];
      header = true;
    } else if (current && header) {
      std::istringstream cols(line);
      for (std::string c; std::getline(cols, c, '\t');) current->columns.push_back(c);
      header = false;
    } else if (current) {
      current->rows.push_back(line);
    }
  }
  return view;
}

// Our catalog in the oracle's form.
std::vector<std::string> CatalogLines(JetFile& f, const jet::Catalog& catalog) {
  std::vector<std::string> lines;
  auto col = [](const std::optional<std::string>& v) {
    if (!v) return std::string("-");
    std::string s = "+" + *v;
    std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return s;
  };
  for (const jet::CatalogObject& o : catalog.objects) {
    if (!o.table()) continue;
    std::string rows;
    if (o.type == jet::kObjectLocalTable) {
      auto n = jet::ReadRowCount(*f.pager, o.tdef_page());
      rows = n.ok() ? std::to_string(*n) : n.status().message();
    }
    lines.push_back(o.name + "\t" + std::to_string(o.type) + "\t" + (o.system() ? "system" : "user") + "\t" +
                    col(o.database) + "\t" + col(o.connect) + "\t" + col(o.foreign_name) + "\t" +
                    (o.lv_null ? "null" : "set") + "\t" + rows);
  }
  return lines;
}

std::vector<std::string> OurRows(JetFile& f, const jet::CatalogObject& o, const std::vector<std::string>& names) {
  std::vector<std::string> rows;
  auto def = jet::ReadTableDefinition(*f.pager, o.tdef_page(), f.header.code_page);
  if (!def.ok()) {
    ADD_FAILURE() << o.name << ": " << def.status().message();
    return rows;
  }
  std::vector<int> order;
  for (const std::string& n : names) {
    order.push_back(def->IndexOf(n));
    EXPECT_GE(order.back(), 0) << o.name << " lacks column " << n;
  }
  jet::Status s = jet::ScanTable(*f.pager, *def, [&](jet::TableRow& row) {
    auto cracked = jet::CrackRow(row.bytes, *def, f.header.format);
    if (!cracked.ok()) return cracked.status();
    std::string line;
    for (size_t k = 0; k < order.size(); ++k) {
      if (k) line += '\t';
      if (order[k] >= 0) line += Value(f, def->columns[order[k]], row.bytes, *cracked, static_cast<size_t>(order[k]));
    }
    rows.push_back(line);
    return jet::Status::Ok();
  });
  EXPECT_TRUE(s.ok()) << o.name << ": " << s.message();
  return rows;
}

void CompareFolder(const std::string& folder) {
  if (!HaveMdbReader()) GTEST_SKIP() << "node or tools/oracle/node_modules/mdb-reader is missing";
  size_t files = 0, tables = 0;
  for (const auto& entry : fs::recursive_directory_iterator(SharedDir() / folder)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".mdb" && ext != ".MDB" && ext != ".accdb") continue;
    SCOPED_TRACE(entry.path().string());
    auto f = OpenJet(entry.path());
    ASSERT_TRUE(f) << "not readable";
    if (f->header.format.family == jet::Family::kAce && f->header.db_key != 0) continue;  // encrypted
    ++files;
    auto catalog = jet::ReadCatalog(*f->pager, f->header.code_page);
    ASSERT_TRUE(catalog.ok()) << catalog.status().message();

    // The catalog.
    OracleView oracle = ReadWithOracle(entry.path());
    std::vector<std::string> ours = CatalogLines(*f, *catalog);
    std::sort(ours.begin(), ours.end());
    std::sort(oracle.catalog.begin(), oracle.catalog.end());
    EXPECT_FALSE(oracle.catalog.empty());
    EXPECT_EQ(ours, oracle.catalog);

    // Every row of every local table.
    for (const auto& [name, table] : oracle.tables) {
      const jet::CatalogObject* o = catalog->FindTable(name);
      if (!o || o->type != jet::kObjectLocalTable) {
        ADD_FAILURE() << "no local table " << name;
        continue;
      }
      ++tables;
      std::vector<std::string> got = OurRows(*f, *o, table.columns), want = table.rows;
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << "table " << name;
    }
  }
  EXPECT_GT(files, 0u);
  std::cout << "compared " << files << " files, " << tables << " tables\n";
}

TEST(Oracle, CorpusReadsAsTheIndependentReaderReadsIt) {
  SKIP_WITHOUT_SHARED();
  CompareFolder("corpus");
}

TEST(Oracle, FixturesReadAsTheIndependentReaderReadsThem) {
  SKIP_WITHOUT_SHARED();
  CompareFolder("fixtures");
}

}  // namespace
