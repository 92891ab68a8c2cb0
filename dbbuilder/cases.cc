#include "dbbuilder/cases.h"

#include <cstdio>
#include <memory>

#include "dbbuilder/row_encoder.h"
#include "dbbuilder/table_definition.h"
#include "jet/data_page_writer.h"
#include "jet/text.h"

namespace dbbuilder {

namespace {

// The text as the code page can hold it: Slovenian letters Windows-1252
// lacks become their base letters. Other code pages leave it as it is.
std::string Fit(std::string text, int code_page) {
  if (code_page != 1252) return text;
  static const std::pair<const char*, const char*> kPlain[] = {
      {"\xC4\x8D", "c"}, {"\xC4\x8C", "C"}, {"\xC4\x87", "c"}, {"\xC4\x86", "C"}, {"\xC4\x91", "d"}, {"\xC4\x90", "D"}};
  for (const auto& [from, to] : kPlain)
    for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, 2, to);
  return text;
}

// Fits every text value of a table.
void FitRows(Table& t, int code_page) {
  for (auto& row : t.rows)
    for (auto& v : row)
      if (auto* s = std::get_if<std::string>(&v)) *s = Fit(*s, code_page);
}

}  // namespace

Table NastavitveTable(int fit_code_page) {
  Table t;
  t.name = "Nastavitve";
  t.columns = {MakeColumn("Kljuc", ColumnType::kText, 50), MakeColumn("Vrednost", ColumnType::kMemo)};
  t.rows = {{std::string("Naslov"), std::string("Osveži povezavo")},
            {std::string("Jezik"), std::string("slovenščina")},
            {std::string("Opomba"), std::string("čšž ČŠŽ ćđ")}};
  FitRows(t, fit_code_page);
  return t;
}

Table PartnerTable(int fit_code_page) {
  Table t;
  t.name = "Partner";
  Column id = MakeColumn("ID", ColumnType::kLong);
  id.auto_number = true;
  t.columns = {id, MakeColumn("Naziv", ColumnType::kText, 100), MakeColumn("Kraj", ColumnType::kText, 50)};
  const char* rows[][2] = {{"Žito d.d.", "Ljubljana"},
                           {"Čebelarstvo Šuštar", "Škofja Loka"},
                           {"Mlekarna Celeia", "Arja vas"},
                           {"Gorenje", "Velenje"},
                           {"Krka", "Novo mesto"}};
  int64_t n = 0;
  for (auto& r : rows) t.rows.push_back({++n, std::string(r[0]), std::string(r[1])});
  FitRows(t, fit_code_page);
  return t;
}

Table ArtikliTable(int fit_code_page) {
  Table t;
  t.name = "Artikli";
  t.columns = {MakeColumn("Sifra", ColumnType::kText, 20), MakeColumn("Opis", ColumnType::kMemo), MakeColumn("Cena", ColumnType::kCurrency)};
  t.rows = {{std::string("A-001"), std::string("Moka tip 500"), Currency{12900}},
            {std::string("A-002"), std::string("Med cvetlični"), Currency{85000}},
            {std::string("A-003"), std::string("Jogurt"), Currency{7900}}};
  FitRows(t, fit_code_page);
  return t;
}

ByteVector DesktopStyleLv(const std::string& database, const std::string& foreign_name) {
  ByteWriter w;
  w.U32(0xFFFFFFFF);
  w.U32(0x537B9643);
  auto put = [&](uint8_t tag, const std::string& text) {
    auto encoded = jet::EncodeUcs2(text, false);
    ByteVector b = encoded.ok() ? std::move(encoded.value()) : ByteVector{};
    w.U8(tag);
    w.U8(static_cast<uint8_t>(b.size() + 1));
    w.Append(b);
  };
  put(0x85, database);
  put(0x87, foreign_name);
  w.Fill(16, 0xFF);
  return w.Take();
}

Table SizedTable(const std::string& name, FormatVersion format, uint64_t bytes) {
  Table t;
  t.name = name;
  Column id = MakeColumn("ID", ColumnType::kLong);
  id.auto_number = true;
  t.columns = {id, MakeColumn("Naziv", ColumnType::kText, 100), MakeColumn("Znesek", ColumnType::kCurrency),
               MakeColumn("Datum", ColumnType::kDateTime), MakeColumn("Opomba", ColumnType::kMemo)};
  // Every row has the same length, so the row count follows from the size.
  auto make = [](uint64_t i, Row& row) {
    char naziv[64];
    std::snprintf(naziv, sizeof naziv, "Partner %010llu d.o.o., Ljubljana", static_cast<unsigned long long>(i));
    char opomba[32];
    std::snprintf(opomba, sizeof opomba, "Vrstica %010llu", static_cast<unsigned long long>(i));
    row = {int64_t(i), std::string(naziv), Currency{int64_t(i % 100000) * 100}, DateTime{45000.0 + double(i % 3650)},
           std::string(opomba)};
  };
  const Layout& layout = LayoutFor(format);
  auto plan = PlanTable(layout, t.columns, false);
  size_t row_length = 64;
  if (plan.ok()) {
    Row sample;
    make(1, sample);
    std::vector<Cell> cells;
    for (const auto& c : plan->columns) {
      auto cell = EncodeValue(layout, 1252, c, sample[c.number]);
      if (!cell.ok()) break;
      if (IsLongValue(c.column.type)) cell->bytes.insert(cell->bytes.begin(), 12, 0);
      cells.push_back(std::move(cell.value()));
    }
    if (cells.size() == plan->columns.size()) row_length = RowLength(layout, plan.value(), cells);
  }
  const uint64_t per_page = jet::RowsPerPage(layout, row_length);
  const uint64_t total = bytes / layout.page_size * per_page;
  auto next = std::make_shared<uint64_t>(0);
  t.source = [next, total, make](Row& row) {
    if (*next >= total) return false;
    make(++*next, row);
    return true;
  };
  return t;
}

DatabaseSpec BackEnd(FormatVersion format, int code_page) {
  DatabaseSpec described;
  described.format = format;
  described.code_page = code_page;
  const int fit = LayoutFor(format).text_encoding == jet::TextEncoding::kCodePage ? code_page : 0;
  described.AddTable(PartnerTable(fit));
  described.AddTable(ArtikliTable(fit));
  return described;
}

DatabaseSpec FrontEnd(const FrontEndOptions& o) {
  DatabaseSpec described;
  described.format = o.format;
  described.code_page = o.code_page;
  described.encryption = o.encryption;
  described.AddTable(
      NastavitveTable(LayoutFor(o.format).text_encoding == jet::TextEncoding::kCodePage ? o.code_page : 0));
  if (o.local_table_bytes > 0) described.AddTable(SizedTable("Podatki", o.format, o.local_table_bytes));

  auto make_link = [&](const std::string& name, const std::string& database) {
    Link l;
    l.name = name;
    l.database = database;
    l.foreign_name = name;
    if (o.database_out_of_row) l.database_placement = LongValuePlacement::kOnePage;
    if (o.desktop_lv) l.lv = DesktopStyleLv(database, name);
    if (name == "Partner") {
      l.connect = o.partner_connect;
      l.fill_page = o.partner_fills_page;
    }
    return l;
  };
  const std::string extra_target = o.links.empty() ? kOldBackEnd : o.links.front().database;
  bool partner_placed = false;
  auto place_named_links = [&](bool partner_only) {
    for (const auto& l : o.links) {
      bool is_partner = l.name == "Partner";
      if (partner_only != is_partner) continue;
      if (is_partner && partner_placed) continue;
      described.AddLink(make_link(l.name, l.database));
      if (is_partner) partner_placed = true;
    }
  };
  for (int i = 1; i <= o.extra_links; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "T%04d", i);
    described.AddLink(make_link(name, extra_target));
    if (i == o.partner_after) place_named_links(true);
  }
  place_named_links(true);
  place_named_links(false);
  return described;
}

Link OdbcLink(std::string name, std::string connect, std::string foreign_name) {
  Link l;
  l.name = std::move(name);
  l.kind = LinkKind::kOdbc;
  l.connect = std::move(connect);
  l.foreign_name = std::move(foreign_name);
  return l;
}

}  // namespace dbbuilder
