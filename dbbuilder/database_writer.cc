#include "dbbuilder/database_writer.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "dbbuilder/encryption.h"
#include "dbbuilder/header_page.h"
#include "dbbuilder/index_writer.h"
#include "dbbuilder/page_file.h"
#include "dbbuilder/system_tables.h"
#include "dbbuilder/table_definition.h"
#include "dbbuilder/table_writer.h"
#include "dbbuilder/usage_maps.h"
#include "jet/data_page.h"

namespace dbbuilder {

namespace {

// Everything the definition of one table needs once its rows are written.
struct TableState {
  std::string name;
  TablePlan plan;
  std::vector<uint32_t> definition_pages;
  uint32_t used_map = 0;
  uint32_t free_map = 0;
  std::vector<TableDefinition::LongValueMaps> long_value_maps;
  std::vector<IndexDefinition> indexes;
  std::vector<std::vector<IndexEntry>> index_entries;  // per index, as rows are added
  uint32_t rows = 0;
  uint32_t autonumber = 0;
};

std::string Folded(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

class Builder {
 public:
  Builder(const DatabaseSpec& described, PageFile& file)
      : spec_(described), layout_(LayoutFor(described.format)), file_(file), maps_(file, layout_), sids_(DefaultSids(layout_)) {}

  jet::Result<BuildReport> Run();

 private:
  jet::Status Validate() const;
  jet::Status PlanSystemTables();
  jet::Status ReserveMaps(TableState& t);
  jet::Status SetMaps(TableState& t, const TableWriter& w);
  jet::Status WriteDefinition(const TableState& t);
  jet::Status WriteLocalTable(const Table& table);
  jet::Status WriteCatalog();
  jet::Status WriteAces();
  jet::Status AddLinkRow(TableWriter& catalog, const Link& link, int32_t id);
  jet::Status AddCatalogRow(TableWriter& catalog, const Row& row, const std::vector<LongValuePlacement>& placements = {});
  void IndexCatalogRow(const Row& row, uint32_t where);
  jet::Status WriteIndexes(TableState& t);
  bool CatalogKeyable() const;
  Row CatalogRow(int32_t id, int32_t parent, const std::string& name, int type, uint32_t flags,
                 const ByteVector& owner) const;
  void Report(const Row& row, uint32_t where) {
    const jet::RowPointer at = jet::RowPointer::Decode(where);
    report_.catalog.push_back(
        {std::get<std::string>(row[kCatName]), at.page, at.row, static_cast<int32_t>(std::get<int64_t>(row[kCatId]))});
  }

  const DatabaseSpec& spec_;
  const Layout& layout_;
  PageFile& file_;
  UsageMaps maps_;
  Sids sids_;
  std::vector<TableState> system_;  // by SystemTable order
  std::vector<TableState> local_;   // local tables in catalog order
  BuildReport report_;
  uint32_t next_object_id_ = kFirstObjectId;
};

jet::Status Builder::Validate() const {
  if (layout_.text_encoding == jet::TextEncoding::kCodePage && spec_.code_page != 1250 && spec_.code_page != 1252)
    return jet::Status::InvalidArgument("Jet3 text needs code page 1250 or 1252");
  std::set<std::string> names;
  for (SystemTable t : kSystemTables) names.insert(Folded(SystemSchema(layout_, t).name));
  for (const auto& object : spec_.objects) {
    const std::string& name = std::holds_alternative<Table>(object) ? std::get<Table>(object).name
                                                                     : std::get<Link>(object).name;
    if (name.empty() || name.size() > 64 * 3) return jet::Status::InvalidArgument("bad object name: " + name);
    if (!names.insert(Folded(name)).second) return jet::Status::InvalidArgument("two objects named " + name);
  }
  return jet::Status::Ok();
}

Row Builder::CatalogRow(int32_t id, int32_t parent, const std::string& name, int type, uint32_t flags,
                        const ByteVector& owner) const {
  Row row(kCatColumnCount);
  row[kCatId] = int64_t{id};
  row[kCatParentId] = int64_t{parent};
  row[kCatName] = name;
  row[kCatType] = int64_t{type};
  row[kCatDateCreate] = spec_.created;
  row[kCatDateUpdate] = spec_.created;
  row[kCatOwner] = owner;
  row[kCatFlags] = int64_t{static_cast<int32_t>(flags)};
  return row;
}

jet::Status Builder::ReserveMaps(TableState& t) {
  t.used_map = maps_.Reserve();
  t.free_map = maps_.Reserve();
  for (const auto& c : t.plan.columns)
    if (IsLongValue(c.column.type)) t.long_value_maps.push_back({c.number, maps_.Reserve(), maps_.Reserve()});
  for (auto& ix : t.indexes) ix.used_pages = jet::RowPointer::Decode(maps_.Reserve());
  t.index_entries.assign(t.indexes.size(), {});
  return jet::Status::Ok();
}

jet::Status Builder::WriteIndexes(TableState& t) {
  for (size_t i = 0; i < t.indexes.size(); ++i) {
    auto written = WriteIndex(file_, layout_, t.definition_pages[0], std::move(t.index_entries[i]));
    if (!written.ok()) return written.status();
    t.indexes[i].first_page = written->root;
    t.indexes[i].rows = t.rows;
    JET_RETURN_IF_ERROR(maps_.Set(t.indexes[i].used_pages.Encode(), written->pages));
  }
  return jet::Status::Ok();
}

jet::Status Builder::SetMaps(TableState& t, const TableWriter& w) {
  JET_RETURN_IF_ERROR(maps_.Set(t.used_map, w.data().pages()));
  JET_RETURN_IF_ERROR(maps_.Set(t.free_map, w.data().pages_with_room()));
  for (const auto& m : t.long_value_maps) {
    const LongValueWriter* lv = w.long_values(m.column);
    JET_RETURN_IF_ERROR(maps_.Set(m.used_map, lv ? lv->pages() : std::vector<uint32_t>{}));
    JET_RETURN_IF_ERROR(maps_.Set(m.free_map, lv ? lv->pages_with_room() : std::vector<uint32_t>{}));
  }
  t.rows = w.rows();
  t.autonumber = w.last_autonumber();
  return jet::Status::Ok();
}

jet::Status Builder::WriteDefinition(const TableState& t) {
  TableDefinition def;
  def.plan = &t.plan;
  def.rows = t.rows;
  def.next_autonumber = t.autonumber;
  def.used_map = t.used_map;
  def.free_map = t.free_map;
  def.long_value_maps = t.long_value_maps;
  def.indexes = t.indexes;
  def.code_page = spec_.code_page;
  auto bytes = EncodeTableDefinition(layout_, def);
  if (!bytes.ok()) return bytes.status();
  if (TableDefinitionPageCount(layout_, bytes->size()) != t.definition_pages.size())
    return jet::Status::InvalidArgument("definition of " + t.name + " changed size");
  auto pages = TableDefinitionPages(layout_, bytes.value(), t.definition_pages);
  for (size_t i = 0; i < pages.size(); ++i) JET_RETURN_IF_ERROR(file_.Write(t.definition_pages[i], pages[i]));
  return jet::Status::Ok();
}

jet::Status Builder::PlanSystemTables() {
  for (SystemTable which : kSystemTables) {
    SystemTableSchema schema = SystemSchema(layout_, which);
    auto plan = PlanTable(layout_, schema.columns, true, schema.extra_flags);
    if (!plan.ok()) return plan.status();
    TableState t;
    t.name = schema.name;
    t.plan = std::move(plan.value());
    t.definition_pages = {2 + static_cast<uint32_t>(system_.size())};
    bool keep = which != SystemTable::kObjects || CatalogKeyable();
    for (const auto& ix : schema.indexes) {
      if (!keep) continue;
      IndexDefinition& added = t.indexes.emplace_back();
      added.name = ix.name;
      added.number = ix.number;
      added.columns = ix.columns;
      added.flags = ix.flags;
      added.primary = ix.primary;
    }
    system_.push_back(std::move(t));
  }
  for (auto& t : system_) JET_RETURN_IF_ERROR(ReserveMaps(t));
  return jet::Status::Ok();
}

jet::Status Builder::WriteLocalTable(const Table& table) {
  auto plan = PlanTable(layout_, table.columns, false);
  if (!plan.ok()) return plan.status();
  TableState t;
  t.name = table.name;
  t.plan = std::move(plan.value());
  TableDefinition probe;
  probe.plan = &t.plan;
  probe.code_page = spec_.code_page;
  for (const auto& c : t.plan.columns)
    if (IsLongValue(c.column.type)) probe.long_value_maps.push_back({c.number, 0, 0});
  auto probe_bytes = EncodeTableDefinition(layout_, probe);
  if (!probe_bytes.ok()) return probe_bytes.status();
  uint32_t count = TableDefinitionPageCount(layout_, probe_bytes->size());
  for (uint32_t i = 0; i < count; ++i) t.definition_pages.push_back(file_.Allocate());
  JET_RETURN_IF_ERROR(ReserveMaps(t));

  TableWriter writer(file_, layout_, spec_.code_page, t.plan, t.definition_pages[0]);
  for (const Row& row : table.rows) {
    auto added = writer.Add(row);
    if (!added.ok()) return jet::Status::InvalidArgument(table.name + ": " + added.status().message());
  }
  if (table.source) {
    Row row;
    for (;;) {
      row.assign(t.plan.columns.size(), Value{});
      if (!table.source(row)) break;
      auto added = writer.Add(row);
      if (!added.ok()) return jet::Status::InvalidArgument(table.name + ": " + added.status().message());
    }
  }
  JET_RETURN_IF_ERROR(writer.Finish());
  JET_RETURN_IF_ERROR(SetMaps(t, writer));
  local_.push_back(std::move(t));
  return jet::Status::Ok();
}

jet::Status Builder::AddLinkRow(TableWriter& catalog, const Link& link, int32_t id) {
  Row row = CatalogRow(id, jet::kTablesId, link.name, static_cast<int>(link.kind), 0, sids_.admin);
  if (link.kind == LinkKind::kDatabase) row[kCatDatabase] = link.database;
  if (link.connect) row[kCatConnect] = *link.connect;
  row[kCatForeignName] = link.foreign_name;
  if (link.lv) row[kCatLv] = *link.lv;
  std::vector<LongValuePlacement> placements(kCatColumnCount, LongValuePlacement::kAuto);
  placements[kCatDatabase] = link.database_placement;
  auto encoded = catalog.Encode(row, placements);
  if (!encoded.ok()) return encoded.status();

  if (!link.fill_page) {
    auto where = catalog.AddEncoded(encoded.value());
    if (!where.ok()) return where.status();
    IndexCatalogRow(row, where.value());
    return jet::Status::Ok();
  }

  // Follow the link with a filler row whose Lv value takes up exactly the
  // room that is left, so that the page ends with no free space.
  Row filler = CatalogRow(static_cast<int32_t>(next_object_id_++), jet::kTablesId, kFillerLinkName, jet::kObjectLink, 0, sids_.admin);
  filler[kCatDatabase] = std::string("C:\\Polnilo.mdb");
  filler[kCatForeignName] = std::string(kFillerLinkName);
  filler[kCatLv] = ByteVector{};
  std::vector<LongValuePlacement> keep_inline(kCatColumnCount, LongValuePlacement::kInline);
  auto base = catalog.Encode(filler, keep_inline);
  if (!base.ok()) return base.status();
  // The link and the filler, with an offset entry each, must take exactly
  // the page's free bytes; start a fresh page if this one cannot manage.
  const size_t link_length = encoded->size();
  const size_t filler_min = base->size();
  auto filler_room = [&](size_t free) -> size_t {
    return free >= link_length + 4 + filler_min ? free - link_length - 4 : 0;
  };
  RowPacker& page = catalog.data();
  if (!page.page_open() || filler_room(page.OpenPageFree()) == 0 || page.OpenPageRoom() < link_length)
    JET_RETURN_IF_ERROR(page.ClosePage());
  const size_t free = page.page_open() ? page.OpenPageFree() : layout_.page_size - jet::SlotsEnd(layout_, 0);
  const size_t filler_length = filler_room(free);
  if (filler_length == 0 || filler_length > layout_.MaxRow())
    return jet::Status::InvalidArgument("link " + link.name + " leaves no room for a filler row");
  // Lv bytes add one byte each, but Jet3 rows also grow a jump-table byte
  // every 256 bytes: step towards the length; where a jump makes it
  // unreachable, lengthen the path by a character and try again.
  ByteVector filler_row;
  for (size_t longer_path = 0; longer_path < 4 && filler_row.empty(); ++longer_path) {
    filler[kCatDatabase] = "C:\\Polnilo" + std::string(longer_path, '1') + ".mdb";
    int64_t extra = static_cast<int64_t>(filler_length) - static_cast<int64_t>(filler_min);
    for (int step = 0; step < 8 && extra >= 0 && filler_row.empty(); ++step) {
      filler[kCatLv] = ByteVector(static_cast<size_t>(extra), 0x46);
      auto encoded_filler = catalog.Encode(filler, keep_inline);
      if (!encoded_filler.ok()) break;
      int64_t over = static_cast<int64_t>(encoded_filler->size()) - static_cast<int64_t>(filler_length);
      if (over == 0) filler_row = std::move(encoded_filler.value());
      extra -= over;
    }
  }
  if (filler_row.empty()) return jet::Status::InvalidArgument("no filler row fits the page of " + link.name);
  auto where = catalog.AddEncoded(encoded.value());
  if (!where.ok()) return where.status();
  IndexCatalogRow(row, where.value());
  auto filler_where = catalog.AddEncoded(filler_row);
  if (!filler_where.ok()) return filler_where.status();
  if (jet::RowPointer::Decode(*filler_where).page != jet::RowPointer::Decode(*where).page || page.OpenPageFree() != 0)
    return jet::Status::InvalidArgument("filler row did not fill the page of " + link.name);
  IndexCatalogRow(filler, filler_where.value());
  return catalog.data().ClosePage();
}

jet::Status Builder::WriteCatalog() {
  TableState& objects = system_[0];
  TableWriter catalog(file_, layout_, spec_.code_page, objects.plan, objects.definition_pages[0]);
  auto add = [&](const Row& row) { return AddCatalogRow(catalog, row); };
  JET_RETURN_IF_ERROR(add(CatalogRow(jet::kTablesId, jet::kRootId, "Tables", jet::kObjectContainer, jet::kObjectSystem, sids_.engine)));
  JET_RETURN_IF_ERROR(add(CatalogRow(jet::kDatabasesId, jet::kRootId, "Databases", jet::kObjectContainer, jet::kObjectSystem, sids_.engine)));
  JET_RETURN_IF_ERROR(
      add(CatalogRow(jet::kRelationshipsId, jet::kRootId, "Relationships", jet::kObjectContainer, jet::kObjectSystem, sids_.engine)));
  JET_RETURN_IF_ERROR(add(CatalogRow(jet::kMSysDbId, jet::kDatabasesId, "MSysDb", jet::kObjectDatabase, jet::kObjectSystem, sids_.admin)));
  for (const auto& t : system_) {
    int32_t id = static_cast<int32_t>(t.definition_pages[0]);
    JET_RETURN_IF_ERROR(add(CatalogRow(id, jet::kTablesId, t.name, jet::kObjectLocalTable, jet::kObjectSystem, sids_.engine)));
  }
  for (const Document& d : spec_.documents)
    JET_RETURN_IF_ERROR(add(CatalogRow(static_cast<int32_t>(next_object_id_++), jet::kRootId, d.name, d.type, 0, sids_.admin)));
  size_t local = 0;
  for (const auto& object : spec_.objects) {
    if (std::holds_alternative<Table>(object)) {
      const TableState& t = local_[local++];
      int32_t id = static_cast<int32_t>(t.definition_pages[0]);
      JET_RETURN_IF_ERROR(add(CatalogRow(id, jet::kTablesId, t.name, jet::kObjectLocalTable, 0, sids_.admin)));
    } else {
      JET_RETURN_IF_ERROR(AddLinkRow(catalog, std::get<Link>(object), static_cast<int32_t>(next_object_id_++)));
    }
  }
  JET_RETURN_IF_ERROR(catalog.Finish());
  JET_RETURN_IF_ERROR(SetMaps(objects, catalog));
  return WriteIndexes(objects);
}

jet::Status Builder::AddCatalogRow(TableWriter& catalog, const Row& row,
                                   const std::vector<LongValuePlacement>& placements) {
  auto where = catalog.Add(row, placements);
  if (!where.ok()) return where.status();
  IndexCatalogRow(row, where.value());
  return jet::Status::Ok();
}

void Builder::IndexCatalogRow(const Row& row, uint32_t where) {
  Report(row, where);
  TableState& objects = system_[0];
  for (size_t i = 0; i < objects.indexes.size(); ++i) {
    auto key = IndexKeyOf(layout_, objects.plan, row, objects.indexes[i].columns);
    if (key) objects.index_entries[i].push_back({std::move(*key), where});
  }
}

bool Builder::CatalogKeyable() const {
  if (!spec_.catalog_indexes) return false;
  std::vector<std::string> names = {"Tables", "Databases", "Relationships", "MSysDb", kFillerLinkName};
  for (SystemTable t : kSystemTables) names.push_back(SystemSchema(layout_, t).name);
  for (const auto& object : spec_.objects)
    names.push_back(std::holds_alternative<Table>(object) ? std::get<Table>(object).name : std::get<Link>(object).name);
  for (const Document& d : spec_.documents) names.push_back(d.name);
  for (const auto& name : names)
    if (!TextIndexKey(layout_, name)) return false;
  return true;
}

jet::Status Builder::WriteAces() {
  TableState& aces = system_[1];
  TableWriter writer(file_, layout_, spec_.code_page, aces.plan, aces.definition_pages[0]);
  for (const AceRow& ace : DefaultAces(sids_)) {
    Row row = {int64_t{ace.object_id}, *ace.sid, int64_t{ace.acm}, ace.inheritable};
    auto added = writer.Add(row);
    if (!added.ok()) return added.status();
    for (size_t i = 0; i < aces.indexes.size(); ++i)
      if (auto key = IndexKeyOf(layout_, aces.plan, row, aces.indexes[i].columns))
        aces.index_entries[i].push_back({std::move(*key), added.value()});
  }
  JET_RETURN_IF_ERROR(writer.Finish());
  JET_RETURN_IF_ERROR(SetMaps(aces, writer));
  return WriteIndexes(aces);
}

jet::Result<BuildReport> Builder::Run() {
  JET_RETURN_IF_ERROR(Validate());
  file_.AllocateRun(2 + 4);  // header, free-page map, four system definitions
  JET_RETURN_IF_ERROR(PlanSystemTables());
  for (const auto& object : spec_.objects)
    if (std::holds_alternative<Table>(object)) JET_RETURN_IF_ERROR(WriteLocalTable(std::get<Table>(object)));
  JET_RETURN_IF_ERROR(WriteCatalog());
  JET_RETURN_IF_ERROR(WriteAces());
  for (size_t i = 2; i < system_.size(); ++i) {  // no queries, no relationships
    TableWriter empty(file_, layout_, spec_.code_page, system_[i].plan, system_[i].definition_pages[0]);
    JET_RETURN_IF_ERROR(SetMaps(system_[i], empty));
    JET_RETURN_IF_ERROR(WriteIndexes(system_[i]));
  }
  for (const auto& t : system_) JET_RETURN_IF_ERROR(WriteDefinition(t));
  for (const auto& t : local_) JET_RETURN_IF_ERROR(WriteDefinition(t));
  JET_RETURN_IF_ERROR(maps_.Finish());
  auto global = GlobalUsagePage(file_, layout_);
  if (!global.ok()) return global.status();
  JET_RETURN_IF_ERROR(file_.Write(1, global.value()));
  auto header = HeaderPage(layout_, spec_.code_page, spec_.created, spec_.password);
  if (!header.ok()) return header.status();
  JET_RETURN_IF_ERROR(file_.Write(0, *header));
  JET_RETURN_IF_ERROR(file_.Finish());
  report_.page_count = file_.page_count();
  report_.catalog_indexed = !system_[0].indexes.empty();
  report_.page_size = layout_.page_size;
  return report_;
}

}  // namespace

jet::Result<BuildReport> WriteDatabase(const DatabaseSpec& described, const std::string& path, jet::Env& env) {
  const Layout& layout = LayoutFor(described.format);
  auto file = PageFile::Create(env, path, layout.page_size);
  if (!file.ok()) return file.status();
  Builder builder(described, *file.value());
  jet::Result<BuildReport> built = builder.Run();
  if (!built.ok() || !described.encryption) return built;
  file.value().reset();
  JET_RETURN_IF_ERROR(EncryptAceFile(env, path, *described.encryption));
  return built;
}

}  // namespace dbbuilder
