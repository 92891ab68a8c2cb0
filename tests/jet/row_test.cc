// Cracking rows: hand-built rows of both layouts, the columns a row lacks,
// and rows whose own offsets lie.
#include "jet/row.h"

#include <optional>
#include <string>

#include "tests/jet/family_param.h"
#include "tests/support/support.h"

namespace {

using jet::Column;
using jet::TableDefinition;

Column Col(const jet::Format& f, const char* name, uint8_t type, uint16_t number, bool fixed, uint16_t fixed_offset,
           uint16_t var_index, uint16_t length) {
  Column c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.flags = fixed ? f.col_flag_fixed : 0;
  c.fixed_offset = fixed_offset;
  c.var_index = var_index;
  c.length = length;
  return c;
}

// Id (long), Flag (bool), Name and Note (text), Added (long, added last).
TableDefinition Table(const jet::Format& f) {
  TableDefinition d;
  d.columns = {Col(f, "Id", jet::kColLong, 0, true, 0, 0, 4), Col(f, "Flag", jet::kColBool, 1, true, 0, 0, 0),
               Col(f, "Name", jet::kColText, 2, false, 0, 0, 50), Col(f, "Note", jet::kColText, 3, false, 0, 1, 50),
               Col(f, "Added", jet::kColLong, 4, true, 4, 0, 4)};
  d.num_cols = 5;
  d.num_var_cols = 2;
  return d;
}

struct RowSpec {
  uint16_t num_cols = 5;
  std::vector<uint8_t> fixed;                  // fixed data as stored
  std::vector<std::optional<std::string>> vars;  // stored var columns; nullopt = null (zero length)
  uint8_t present_bits = 0x1f;                 // null mask (bit per column number)
};

// Builds a row in the layout of `format`: count, fixed, var data, eod, var
// table (last entry first), [jump table,] var count, null mask.
std::vector<uint8_t> BuildRow(const RowSpec& s, const jet::Format& f) {
  const size_t w = f.family == jet::Family::kJet3 ? 1 : 2;
  std::vector<uint8_t> row;
  auto put = [&](std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    if (w == 2) out.push_back(static_cast<uint8_t>(v >> 8));
  };
  put(row, s.num_cols);
  row.insert(row.end(), s.fixed.begin(), s.fixed.end());
  std::vector<uint32_t> offsets;
  for (const auto& v : s.vars) {
    offsets.push_back(static_cast<uint32_t>(row.size()));
    if (v) row.insert(row.end(), v->begin(), v->end());
  }
  offsets.push_back(static_cast<uint32_t>(row.size()));  // eod
  const size_t mask_len = (s.num_cols + 7) / 8;
  std::vector<uint8_t> trailer;
  size_t jumps = 0;
  if (f.family == jet::Family::kJet3) {
    // The jump table's size follows from the row's, which includes it.
    const size_t base = row.size() + offsets.size() + 1 + mask_len;
    while ((base + jumps - 1) / 256 > jumps) ++jumps;
  }
  put(trailer, offsets.back() & (w == 1 ? 0xff : 0xffff));
  for (size_t i = offsets.size() - 1; i-- > 0;) put(trailer, offsets[i] & (w == 1 ? 0xff : 0xffff));
  for (size_t j = jumps; j-- > 0;) {
    // The first var entry (eod counts as the last) at or past 256 * (j + 1).
    uint8_t first = 0xff;
    for (size_t i = 0; i < offsets.size(); ++i)
      if (offsets[i] >= 256 * (j + 1)) {
        first = static_cast<uint8_t>(i);
        break;
      }
    trailer.push_back(first);
  }
  put(trailer, static_cast<uint32_t>(s.vars.size()));
  row.insert(row.end(), trailer.begin(), trailer.end());
  for (size_t i = 0; i < mask_len; ++i) row.push_back(i == 0 ? s.present_bits : 0);
  return row;
}

std::vector<uint8_t> Fixed(uint32_t id, std::optional<uint32_t> added) {
  std::vector<uint8_t> b(added ? 8 : 4);
  jet::StoreU32(b.data(), id);
  if (added) jet::StoreU32(b.data() + 4, *added);
  return b;
}

std::optional<std::string> Text(jet::Bytes row, const jet::CrackedRow& r, size_t col) {
  if (r.fields[col].null) return std::nullopt;
  jet::Bytes b = r.Value(row, col);
  return std::string(b.begin(), b.end());
}

struct Case {
  const char* what;
  RowSpec layout;
  std::optional<std::string> name, note;
  bool flag;
  bool added_null;
};

class CrackRowTest : public ::testing::TestWithParam<jet_test::Family> {};

TEST_P(CrackRowTest, ReadsEveryColumnOfHandBuiltRows) {
  const jet::Format f = *jet::FormatForVersion(GetParam().version);
  const std::string long_name(260, 'n');  // pushes the next offsets past 255 (Jet3's jump table)
  const Case cases[] = {
      {"all present", {5, Fixed(7, 9), {"ab", "xyz"}, 0x1f}, "ab", "xyz", true, false},
      {"flag false, name null", {5, Fixed(7, 9), {std::nullopt, "xyz"}, 0x19}, std::nullopt, "xyz", false, false},
      {"written before Added existed", {4, Fixed(7, std::nullopt), {"ab", "xyz"}, 0x0f}, "ab", "xyz", true, true},
      {"Note not stored", {5, Fixed(7, 9), {"ab"}, 0x17}, "ab", std::nullopt, true, false},
      {"long row", {5, Fixed(7, 9), {long_name, "xyz"}, 0x1f}, long_name, "xyz", true, false},
      {"longer row", {5, Fixed(7, 9), {long_name, long_name + long_name}, 0x1f}, long_name, long_name + long_name,
       true, false},
  };
  const TableDefinition def = Table(f);
  for (const Case& c : cases) {
    const std::vector<uint8_t> row = BuildRow(c.layout, f);
    auto r = jet::CrackRow(row, def, f);
    ASSERT_TRUE(r.ok()) << c.what << ": " << r.status().message();
    EXPECT_EQ(r->column_count, c.layout.num_cols) << c.what;
    ASSERT_FALSE(r->fields[0].null) << c.what;
    EXPECT_EQ(jet::LoadU32(r->Value(row, 0).data()), 7u) << c.what;
    EXPECT_FALSE(r->fields[1].null) << c.what;
    EXPECT_EQ(r->fields[1].flag, c.flag) << c.what;
    EXPECT_EQ(Text(row, *r, 2), c.name) << c.what;
    EXPECT_EQ(Text(row, *r, 3), c.note) << c.what;
    EXPECT_EQ(r->fields[4].null, c.added_null) << c.what;
    if (!c.added_null) {
      EXPECT_EQ(jet::LoadU32(r->Value(row, 4).data()), 9u) << c.what;
    }
  }
}

TEST_P(CrackRowTest, RejectsRowsWhoseOffsetsLie) {
  const jet::Format f = *jet::FormatForVersion(GetParam().version);
  const TableDefinition def = Table(f);
  const std::vector<uint8_t> good = BuildRow({5, Fixed(7, 9), {"ab", "xyz"}, 0x1f}, f);
  const size_t w = f.family == jet::Family::kJet3 ? 1 : 2;
  const size_t var_len_at = good.size() - 1 - w;  // one mask byte, then the var count
  struct Broken {
    const char* what;
    std::vector<uint8_t> row;
  };
  std::vector<Broken> broken;
  auto with = [&](const char* what, size_t at, uint8_t value) {
    std::vector<uint8_t> r = good;
    r[at] = value;
    broken.push_back({what, r});
  };
  with("var count larger than the row", var_len_at, 200);
  with("first var entry after the second", var_len_at - w, 0xF0);   // var entry 0
  with("eod past the trailer", var_len_at - 3 * w, 0xFE);           // eod
  with("column count beyond the row's mask", 0, 0xFF);
  broken.push_back({"empty row", {}});
  broken.push_back({"one byte", {5}});
  for (const Broken& b : broken) {
    auto r = jet::CrackRow(b.row, def, f);
    EXPECT_FALSE(r.ok()) << b.what;
    if (!r.ok()) {
      EXPECT_EQ(r.status().code(), jet::Code::kCorrupt) << b.what;
    }
  }
}

TEST_P(CrackRowTest, FixedColumnMustFitBeforeTheVarData) {
  const jet::Format f = *jet::FormatForVersion(GetParam().version);
  TableDefinition def = Table(f);
  def.columns[4].fixed_offset = 6;  // Added would overlap Name's bytes
  const std::vector<uint8_t> row = BuildRow({5, Fixed(7, 9), {"", "xyz"}, 0x1f}, f);
  auto r = jet::CrackRow(row, def, f);
  ASSERT_FALSE(r.ok());
}

INSTANTIATE_TEST_SUITE_P(Families, CrackRowTest, ::testing::Values(jet_test::kJet3Family, jet_test::kJet4Family),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
