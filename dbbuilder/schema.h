// What a database to build holds: its family, local tables with typed columns
// and rows, and links. Plain values; dbbuilder/database_writer.h writes them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/encryption.h"
#include "dbbuilder/format.h"
#include "jet/catalog.h"

namespace dbbuilder {

// Money in ten-thousandths: 1.29 is {12900}.
struct Currency {
  int64_t ten_thousandths = 0;
  bool operator==(const Currency&) const = default;
};

// Days since 1899-12-30, the fraction being the time of day.
struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

// A cell: null, a boolean, an integer (byte, integer, long integer), a floating
// number (single, double), UTF-8 text (text, memo), bytes (binary, OLE), money
// or a date.
using Value = std::variant<std::monostate, bool, int64_t, double, std::string, ByteVector, Currency, DateTime>;
using Row = std::vector<Value>;

// Where a memo or OLE value is stored: in its row, in a row of its own on a
// long-value page, or split over a chain of long-value pages.
enum class LongValuePlacement { kAuto, kInline, kOnePage, kPageChain };

struct Column {
  std::string name;
  ColumnType type = ColumnType::kText;
  int length = 0;             // text: characters (0: 255); binary: bytes (0: 255)
  bool auto_number = false;   // a long integer the engine counts up
  bool compressed = true;     // Jet4/ACE text and memo: stored compressed where that is shorter
  LongValuePlacement placement = LongValuePlacement::kAuto;
};

inline Column MakeColumn(std::string name, ColumnType type, int length = 0) {
  Column c;
  c.name = std::move(name);
  c.type = type;
  c.length = length;
  return c;
}

// Yields the next row; false once there are no more. Lets a table be larger
// than memory: rows are encoded and written as they come.
using RowSource = std::function<bool(Row& row)>;

struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<Row> rows;
  RowSource source;  // when set, its rows follow `rows`
};

// A linked table: type 6 names a table in another database file, type 4 one
// reached through ODBC.
enum class LinkKind { kDatabase = jet::kObjectLink, kOdbc = jet::kObjectOdbcLink };

struct Link {
  std::string name;
  LinkKind kind = LinkKind::kDatabase;
  std::string database;                // type 6: the back-end file's path as stored
  std::optional<std::string> connect;  // type 6: e.g. "MS Access;PWD=geslo"; type 4: the ODBC text
  std::string foreign_name;            // the table's name at the other end
  std::optional<ByteVector> lv;             // the desktop program's cached copy of the remote definition
  LongValuePlacement database_placement = LongValuePlacement::kAuto;
  // Leaves no free space on the catalog page that holds this link, so that any
  // growth of the row must move it to another page.
  bool fill_page = false;
};

// A catalog entry in the order the catalog lists it.
using Object = std::variant<Table, Link>;

// A catalog row of an object that is not a table (a query, form, report,
// macro, module...): the row alone, under the root, with none of what the
// desktop program keeps elsewhere for it. Its name may be a table's too.
struct Document {
  std::string name;
  int type = 0;  // signed, as the catalog stores it (-32764 for a report)
};

struct DatabaseSpec {
  FormatVersion format = FormatVersion::kJet4;
  int code_page = 1252;                 // Jet3 text: 1250 or 1252
  DateTime created = {45292.5};         // 2024-01-01 12:00, so that builds repeat byte for byte
  // The catalog's indexes (Id, ParentIdName), which the desktop program uses
  // to find objects. Written only when every name can be keyed (see
  // index_writer.h); BuildReport::catalog_indexed says whether they were.
  bool catalog_indexes = true;
  // The database password the header keeps (Jet3, Jet4); empty: none.
  std::string password;
  std::vector<Object> objects;
  std::vector<Document> documents;  // listed before the objects
  // ACE only: the finished file is encrypted with this password.
  std::optional<Encryption> encryption;

  Table& AddTable(Table t) { return std::get<Table>(objects.emplace_back(std::move(t))); }
  Link& AddLink(Link l) { return std::get<Link>(objects.emplace_back(std::move(l))); }
};

// Where things landed, for tests that need to find them in the file.
struct BuildReport {
  uint32_t page_count = 0;
  uint32_t page_size = 0;
  bool catalog_indexed = false;
  struct CatalogRow {
    std::string name;
    uint32_t page = 0;
    uint8_t row = 0;
    int32_t id = 0;
  };
  std::vector<CatalogRow> catalog;
  const CatalogRow* Find(const std::string& name) const {
    for (const auto& c : catalog)
      if (c.name == name) return &c;
    return nullptr;
  }
};

}  // namespace dbbuilder
