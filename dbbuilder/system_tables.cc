#include "dbbuilder/system_tables.h"

namespace dbbuilder {

namespace {

// System text is never stored compressed.
Column Col(std::string name, ColumnType type, int length = 0) {
  Column c = MakeColumn(std::move(name), type, length);
  c.compressed = false;
  return c;
}

}  // namespace

SystemTableSchema SystemSchema(const Layout& layout, SystemTable table) {
  // Binary columns of system tables are as long in bytes as their text
  // columns: twice the characters in the two-byte families.
  const int binary = layout.text_encoding == jet::TextEncoding::kUcs2 ? 510 : 255;
  using T = ColumnType;
  SystemTableSchema s;
  switch (table) {
    case SystemTable::kObjects:
      s.name = "MSysObjects";
      s.columns = {Col("Id", T::kLong),          Col("ParentId", T::kLong),      Col("Name", T::kText, 255),
                   Col("Type", T::kInteger),     Col("DateCreate", T::kDateTime), Col("DateUpdate", T::kDateTime),
                   Col("Owner", T::kBinary, binary), Col("Flags", T::kLong),     Col("Database", T::kMemo),
                   Col("Connect", T::kMemo),     Col("ForeignName", T::kText, 255), Col("RmtInfoShort", T::kBinary, binary),
                   Col("RmtInfoLong", T::kOle),  Col("Lv", T::kOle),             Col("LvProp", T::kOle),
                   Col("LvModule", T::kOle),     Col("LvExtra", T::kOle)};
      s.extra_flags.assign(s.columns.size(), 0);
      s.extra_flags[kCatOwner] = layout.col_flag_security;
      s.indexes = {{"Id", 1, {kCatId}, layout.idx_flag_unique, true},
                   {"ParentIdName", 0, {kCatParentId, kCatName}, layout.idx_flag_unique, false}};
      break;
    case SystemTable::kAces:
      s.name = "MSysACEs";
      s.columns = {Col("ObjectId", T::kLong), Col("SID", T::kBinary, binary), Col("ACM", T::kLong),
                   Col("FInheritable", T::kBoolean)};
      s.extra_flags = {0, layout.col_flag_security, 0, 0};
      s.indexes = {{"ObjectId", 0, {0}, layout.idx_flag_required, false}};
      break;
    case SystemTable::kQueries:
      s.name = "MSysQueries";
      s.columns = {Col("ObjectId", T::kLong), Col("Attribute", T::kByte),  Col("Order", T::kBinary, binary),
                   Col("Name1", T::kText, 255), Col("Name2", T::kText, 255), Col("Expression", T::kMemo),
                   Col("Flag", T::kInteger)};
      if (layout.family != jet::Family::kJet3) s.columns.push_back(Col("LvExtra", T::kLong));
      s.indexes = {{"ObjectIdAttribute", 0, {0, 1, 2}, layout.idx_flag_unique, true}};
      break;
    case SystemTable::kRelationships:
      s.name = "MSysRelationships";
      s.columns = {Col("szRelationship", T::kText, 255), Col("grbit", T::kLong),          Col("ccolumn", T::kLong),
                   Col("icolumn", T::kLong),             Col("szObject", T::kText, 255), Col("szColumn", T::kText, 255),
                   Col("szReferencedObject", T::kText, 255), Col("szReferencedColumn", T::kText, 255)};
      s.indexes = {{"szObject", 1, {4}, layout.idx_flag_ignore_nulls, false},
                   {"szReferencedObject", 2, {6}, layout.idx_flag_ignore_nulls, false},
                   {"szRelationship", 0, {0}, layout.idx_flag_ignore_nulls, false}};
      break;
  }
  return s;
}

Sids DefaultSids(const Layout& layout) {
  if (layout.family == jet::Family::kJet3) return {{0x02, 0x03}, {0x03, 0x01}, {0x02, 0x01}, {0x02, 0x04}};
  return {{0x06, 0xEA}, {0x07, 0xE8}, {0x06, 0xE8}, {0x06, 0xED}};
}

std::vector<AceRow> DefaultAces(const Sids& s) {
  return {
      {2, &s.admin, 393216, false},
      {3, &s.admin, 393216, false},
      {4, &s.admin, 393216, false},
      {5, &s.admin, 917504, false},
      {jet::kTablesId, &s.admins, 983294, true},
      {jet::kTablesId, &s.admin, 393217, false},
      {jet::kRelationshipsId, &s.admins, 983294, true},
      {jet::kRelationshipsId, &s.admin, 393217, false},
      {jet::kDatabasesId, &s.admin, 393216, false},
      {jet::kMSysDbId, &s.admin, 393230, false},
      {jet::kMSysDbId, &s.users, 14, false},
      {4, &s.users, 20, false},
      {5, &s.users, 20, false},
      {2, &s.users, 20, false},
      {jet::kTablesId, &s.users, 1048319, true},
      {jet::kRelationshipsId, &s.users, 1048575, true},
  };
}

}  // namespace dbbuilder
