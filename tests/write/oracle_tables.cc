#include "tests/write/oracle_tables.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace write_test {

using testing_support::Run;
using testing_support::ShellQuote;
using testing_support::SourceDir;

namespace {

// Prints "table <TAB> row <TAB> column <TAB> JSON value" for every value.
const char kDumpScript[] = R"(
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";
const reader = new MDBReader(readFileSync(process.argv[1]));
const plain = (v) => v instanceof Date ? { date: v.toISOString() }
  : v instanceof Uint8Array ? { hex: Buffer.from(v).toString("hex") }
  : typeof v === "bigint" ? v.toString() : v;
for (const name of reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: false })) {
  let rows;
  try {
    rows = reader.getTable(name).getData();
  } catch (e) {
    console.log([name, -1, "error", JSON.stringify(String(e))].join("\t"));
    continue;
  }
  console.log([name, -1, "", ""].join("\t"));
  rows.forEach((row, i) => {
    for (const k of Object.keys(row).sort()) console.log([name, i, k, JSON.stringify(plain(row[k]))].join("\t"));
  });
}
)";

// The link columns a relink may change in its catalog row.
const std::set<std::string> kLinkColumns = {"Database", "Connect", "DateUpdate", "Lv"};

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, sep)) out.push_back(field);
  if (!line.empty() && line.back() == sep) out.emplace_back();
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

Tables MdbReaderTables(const fs::path& file) {
  auto r = Run("node --input-type=module -e " + ShellQuote(kDumpScript) + " " + ShellQuote(file.string()),
               SourceDir() / "tools" / "oracle");
  EXPECT_EQ(r.status, 0) << r.err;
  Tables tables;
  for (const std::string& line : Lines(r.out)) {
    auto f = Split(line, '\t');
    if (f.size() != 4) {
      ADD_FAILURE() << "mdb-reader line: " << line;
      continue;
    }
    auto& rows = tables[f[0]];
    const long row = std::stol(f[1]);
    if (row < 0) {
      if (f[2] == "error") rows.push_back(Row{{"(error)", f[3]}});  // a table this reader cannot read
      continue;
    }
    if (rows.size() <= static_cast<size_t>(row)) rows.resize(static_cast<size_t>(row) + 1);
    rows[static_cast<size_t>(row)][f[2]] = f[3];
  }
  return tables;
}

Tables MdbToolsTables(const fs::path& file, int jet3_code_page) {
  const std::string charset = "MDB_JET3_CHARSET=cp" + std::to_string(jet3_code_page) + " ";
  Tables tables;
  auto names = Run("mdb-tables -1 -S " + ShellQuote(file.string()));
  EXPECT_EQ(names.status, 0) << names.err;
  for (const std::string& table : Lines(names.out)) {
    if (table.empty()) continue;
    auto r = Run(charset + "mdb-export -b hex -e -Q -d \"$(printf '\\t')\" -0 NULL -T '%Y-%m-%d %H:%M:%S' " +
                 ShellQuote(file.string()) + " " + ShellQuote(table));
    EXPECT_EQ(r.status, 0) << table << ": " << r.err;
    auto lines = Lines(r.out);
    auto& rows = tables[table];
    if (lines.empty()) continue;
    const auto header = Split(lines[0], '\t');
    for (size_t i = 1; i < lines.size(); ++i) {
      auto f = Split(lines[i], '\t');
      EXPECT_EQ(f.size(), header.size()) << table << " line " << i;
      Row row;
      for (size_t k = 0; k < header.size() && k < f.size(); ++k) row[header[k]] = f[k];
      rows.push_back(row);
    }
  }
  return tables;
}

const Row* CatalogRow(const Tables& tables, const std::string& name, const std::string& quote) {
  auto it = tables.find("MSysObjects");
  if (it == tables.end()) return nullptr;
  for (const Row& row : it->second) {
    auto n = row.find("Name");
    if (n != row.end() && n->second == quote + name + quote) return &row;
  }
  return nullptr;
}

void ExpectOnlyLinkColumnsChanged(const Tables& before, const Tables& after, const std::set<std::string>& changed,
                                  const std::string& who) {
  ASSERT_EQ(before.size(), after.size()) << who << ": the tables differ";
  auto changed_name = [&](const Row& row) -> std::string {
    auto name = row.find("Name");
    if (name == row.end()) return {};
    for (const std::string& c : changed)
      if (name->second == c || name->second == "\"" + c + "\"") return c;
    return {};
  };
  for (const auto& [table, rows] : before) {
    auto it = after.find(table);
    ASSERT_NE(it, after.end()) << who << ": table " << table << " is gone";
    ASSERT_EQ(rows.size(), it->second.size()) << who << ": rows of " << table;
    // A row that moved to another page may be met elsewhere in a scan: the
    // rows are compared as sets, the changed one on its own.
    std::vector<Row> b, a;
    std::map<std::string, const Row*> b_changed, a_changed;
    for (const Row& row : rows) {
      const std::string c = table == "MSysObjects" ? changed_name(row) : "";
      c.empty() ? b.push_back(row) : void(b_changed[c] = &row);
    }
    for (const Row& row : it->second) {
      const std::string c = table == "MSysObjects" ? changed_name(row) : "";
      c.empty() ? a.push_back(row) : void(a_changed[c] = &row);
    }
    std::sort(b.begin(), b.end());
    std::sort(a.begin(), a.end());
    EXPECT_EQ(a, b) << who << ": the rows of " << table;
    ASSERT_EQ(a_changed.size(), b_changed.size()) << who << ": the changed rows";
    for (const auto& [name, was] : b_changed) {
      ASSERT_TRUE(a_changed.count(name)) << who << ": " << name << " is gone";
      const Row& now = *a_changed[name];
      ASSERT_EQ(now.size(), was->size()) << who << ": columns of " << name;
      for (const auto& [column, value] : *was) {
        if (!kLinkColumns.count(column)) {
          EXPECT_EQ(now.at(column), value) << who << ": " << name << "." << column;
        }
      }
    }
  }
}

}  // namespace write_test
