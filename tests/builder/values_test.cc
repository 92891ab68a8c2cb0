// Every column type, null patterns, long rows (with Jet3's jump tables) and
// memo and OLE values in each of their placements, read back by mdb-reader
// and mdbtools.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbbuilder/database_writer.h"
#include "tests/builder/format_param.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace dbbuilder;
using testing_support::HaveMdbReader;
using testing_support::HaveMdbTools;
using testing_support::MdbExport;
using testing_support::MdbReaderRows;
using testing_support::TempDir;

class Values : public testing_support::ReadBackTest<FormatVersion> {
 protected:
  // Builds a database with one table and returns mdb-reader's rows of it.
  std::vector<std::string> RoundTrip(const Table& table) {
    DatabaseSpec described;
    described.format = GetParam();
    described.code_page = 1252;
    described.AddTable(table);
    path_ = Build(described, "values.mdb");
    return MdbReaderRows(path_, table.name);
  }
  std::string path_;
};

TEST_P(Values, EveryColumnTypeAndNull) {
  Table t;
  t.name = "Vrednosti";
  t.columns = {MakeColumn("Da", ColumnType::kBoolean),    MakeColumn("Bajt", ColumnType::kByte),
               MakeColumn("Celo", ColumnType::kInteger),  MakeColumn("Dolgo", ColumnType::kLong),
               MakeColumn("Enojno", ColumnType::kSingle), MakeColumn("Dvojno", ColumnType::kDouble),
               MakeColumn("Datum", ColumnType::kDateTime), MakeColumn("Denar", ColumnType::kCurrency),
               MakeColumn("Bin", ColumnType::kBinary, 16), MakeColumn("Besedilo", ColumnType::kText, 40),
               MakeColumn("Opomba", ColumnType::kMemo),   MakeColumn("Ole", ColumnType::kOle)};
  t.rows = {
      {true, int64_t{255}, int64_t{-32768}, int64_t{2147483647}, 1.5, -0.125, DateTime{36526.5}, Currency{-12345},
       ByteVector{0x00, 0xFF, 0x10}, std::string("Ljubljana"), std::string("Kratka opomba"), ByteVector{0xDE, 0xAD}},
      {false, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}},
      {true, int64_t{0}, int64_t{1}, int64_t{-1}, 0.0, 1e300, DateTime{0}, Currency{0}, ByteVector{}, std::string(""),
       std::string(""), ByteVector{}},
  };
  auto rows = RoundTrip(t);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0],
            R"({"Bajt":255,"Besedilo":"Ljubljana","Bin":{"hex":"00ff10"},"Celo":-32768,"Da":true,"Datum":{"date":"2000-01-01T12:00:00.000Z"},)"
            R"("Denar":"-1.2345","Dolgo":2147483647,"Dvojno":-0.125,"Enojno":1.5,"Ole":{"hex":"dead"},"Opomba":"Kratka opomba"})");
  EXPECT_EQ(rows[1],
            R"({"Bajt":null,"Besedilo":null,"Bin":null,"Celo":null,"Da":false,"Datum":null,"Denar":null,"Dolgo":null,)"
            R"("Dvojno":null,"Enojno":null,"Ole":null,"Opomba":null})");
  EXPECT_EQ(rows[2],
            R"({"Bajt":0,"Besedilo":"","Bin":{"hex":""},"Celo":1,"Da":true,"Datum":{"date":"1899-12-30T00:00:00.000Z"},)"
            R"("Denar":"0.0000","Dolgo":-1,"Dvojno":1e+300,"Enojno":0,"Ole":{"hex":""},"Opomba":""})");
  std::string exported = MdbExport(path_, "Vrednosti");
  EXPECT_NE(exported.find("\"Ljubljana\",\"Kratka opomba\""), std::string::npos) << exported;
}

// Rows whose variable data crosses 256-byte steps at different columns, with
// nulls between: Jet3 keeps one-byte offsets and a jump table for them.
TEST_P(Values, LongRowsWithNullsBetween) {
  Table t;
  t.name = "Dolge";
  t.columns.push_back(MakeColumn("ID", ColumnType::kLong));
  for (int i = 0; i < 8; ++i) t.columns.push_back(MakeColumn("T" + std::to_string(i), ColumnType::kText, 255));
  struct Shape {
    std::vector<int> lengths;  // -1: null
  };
  const std::vector<Shape> shapes = {
      {{10, 20, 30, -1, -1, -1, -1, -1}},        // short
      {{250, 5, -1, -1, -1, -1, -1, -1}},        // eod just past 256
      {{255, 255, 255, 255, 200, -1, -1, -1}},   // several steps
      {{-1, 255, -1, 255, -1, 255, -1, 255}},    // nulls between long values
      {{255, 255, 255, 255, 255, 255, 255, 180}}, // about the longest a Jet3 page holds
      {{1, 255, 255, 255, 255, 255, 255, 0}},    // ends with an empty text
      {{-1, -1, -1, -1, -1, -1, -1, 240}},       // one long value at the end
  };
  std::vector<std::string> expected;
  int id = 0;
  for (const auto& shape : shapes) {
    Row row = {int64_t{++id}};
    std::string json = "{\"ID\":" + std::to_string(id);
    for (int i = 0; i < 8; ++i) {
      int n = shape.lengths[i];
      std::string text;
      for (int k = 0; k < n; ++k) text += static_cast<char>('a' + (k + i) % 26);
      row.push_back(n < 0 ? Value{} : Value{text});
      json += ",\"T" + std::to_string(i) + "\":" + (n < 0 ? "null" : "\"" + text + "\"");
    }
    t.rows.push_back(row);
    expected.push_back(json + "}");
  }
  EXPECT_EQ(RoundTrip(t), expected);
  std::string exported = MdbExport(path_, "Dolge");
  EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 1 + static_cast<long>(shapes.size()));
  for (const auto& row : t.rows)
    for (const auto& v : row) {
      if (const auto* s = std::get_if<std::string>(&v); s && !s->empty()) {
        EXPECT_NE(exported.find("\"" + *s + "\""), std::string::npos) << *s;
      }
    }
}

TEST_P(Values, LongValuesInEveryPlacement) {
  struct Case {
    size_t length;
    LongValuePlacement placement;
  };
  const std::vector<Case> cases = {
      {0, LongValuePlacement::kAuto},        {7, LongValuePlacement::kAuto},
      {300, LongValuePlacement::kAuto},      {1100, LongValuePlacement::kAuto},
      {1500, LongValuePlacement::kAuto},     {5000, LongValuePlacement::kAuto},
      {20000, LongValuePlacement::kAuto},    {40, LongValuePlacement::kOnePage},
      {40, LongValuePlacement::kPageChain},  {900, LongValuePlacement::kInline},
      {9000, LongValuePlacement::kPageChain},
  };
  int id = 0;
  std::vector<Table> tables;
  for (const auto& c : cases) {
    // One table per placement, so the column can carry it.
    Table table;
    table.name = "D" + std::to_string(++id);
    Column memo = MakeColumn("Memo", ColumnType::kMemo);
    memo.placement = c.placement;
    Column ole = MakeColumn("Ole", ColumnType::kOle);
    ole.placement = c.placement;
    table.columns = {MakeColumn("ID", ColumnType::kLong), memo, ole};
    std::string text;
    for (size_t k = 0; k < c.length; ++k) text += static_cast<char>('A' + k % 23);
    ByteVector blob(c.length);
    for (size_t k = 0; k < c.length; ++k) blob[k] = static_cast<uint8_t>(k * 7);
    table.rows = {{int64_t{id}, text, blob}, {int64_t{-id}, Value{}, Value{}}};
    tables.push_back(table);
  }
  DatabaseSpec described;
  described.format = GetParam();
  for (const auto& table : tables) described.AddTable(table);
  std::string path = (dir_ / "long.mdb").string();
  auto built = WriteDatabase(described, path);
  ASSERT_TRUE(built.ok()) << built.status().message();
  for (size_t i = 0; i < tables.size(); ++i) {
    SCOPED_TRACE(tables[i].name + " of " + std::to_string(cases[i].length) + " bytes");
    auto rows = MdbReaderRows(path, tables[i].name);
    ASSERT_EQ(rows.size(), 2u);
    const auto& text = std::get<std::string>(tables[i].rows[0][1]);
    std::string hex;
    for (uint8_t b : std::get<ByteVector>(tables[i].rows[0][2])) {
      static const char* digits = "0123456789abcdef";
      hex += digits[b >> 4];
      hex += digits[b & 15];
    }
    EXPECT_EQ(rows[0], "{\"ID\":" + std::to_string(i + 1) + ",\"Memo\":\"" + text + "\",\"Ole\":{\"hex\":\"" + hex + "\"}}");
    EXPECT_EQ(rows[1], "{\"ID\":-" + std::to_string(i + 1) + ",\"Memo\":null,\"Ole\":null}");
    std::string exported = MdbExport(path, tables[i].name);
    EXPECT_NE(exported.find("\"" + text + "\""), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, Values, ::testing::Values(FormatVersion::kJet3, FormatVersion::kJet4, FormatVersion::kAce12),
                         [](const auto& info) { return std::string(FormatName(info.param)); });

}  // namespace
