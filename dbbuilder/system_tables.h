// The system tables every new database holds, as the desktop engine creates
// them: the catalog MSysObjects (always at page 2), MSysACEs (permissions),
// MSysQueries and MSysRelationships; their columns, indexes and first rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"
#include "dbbuilder/table_definition.h"
#include "jet/catalog.h"

namespace dbbuilder {

// Catalog columns by number.
enum CatalogColumn : uint16_t {
  kCatId = 0,
  kCatParentId,
  kCatName,
  kCatType,
  kCatDateCreate,
  kCatDateUpdate,
  kCatOwner,
  kCatFlags,
  kCatDatabase,
  kCatConnect,
  kCatForeignName,
  kCatRmtInfoShort,
  kCatRmtInfoLong,
  kCatLv,
  kCatLvProp,
  kCatLvModule,
  kCatLvExtra,
  kCatColumnCount
};

// Objects without a definition page of their own (links) are numbered from here.
inline constexpr uint32_t kFirstObjectId = 0x80000000;

// The system tables, in the order of their definition pages 2, 3, 4, 5.
enum class SystemTable { kObjects, kAces, kQueries, kRelationships };
inline constexpr SystemTable kSystemTables[] = {SystemTable::kObjects, SystemTable::kAces, SystemTable::kQueries,
                                                SystemTable::kRelationships};

struct SystemTableSchema {
  std::string name;
  std::vector<Column> columns;
  std::vector<uint8_t> extra_flags;  // beyond what PlanTable derives
  struct Index {
    std::string name;
    uint32_t number;
    std::vector<uint16_t> columns;
    uint8_t flags;
    bool primary;
  };
  std::vector<Index> indexes;  // logical order
};

SystemTableSchema SystemSchema(const Layout& layout, SystemTable table);

// Security identifiers of the default workgroup as the engine stores them.
struct Sids {
  ByteVector engine;  // owner of the system objects
  ByteVector admin;   // owner of what the user creates
  ByteVector users;
  ByteVector admins;
};
Sids DefaultSids(const Layout& layout);

// The permissions a new database starts with.
struct AceRow {
  int32_t object_id;
  const ByteVector* sid;
  int32_t acm;
  bool inheritable;
};
std::vector<AceRow> DefaultAces(const Sids& sids);

}  // namespace dbbuilder
