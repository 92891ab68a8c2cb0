// The catalog, MSysObjects: one row per object of the database (tables,
// links, queries, containers...). Its definition is always at page 2.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/env_names.h"
#include "jet/tdef.h"

namespace jet {

inline constexpr uint32_t kCatalogPage = 2;

// Object types: the Type column, a signed 16-bit value. The desktop
// program's own objects are negative; masking off the sign would turn a
// report (-32764) into an ODBC link (4). Only 1, 4 and 6 are tables.
enum ObjectType : int {
  kObjectLocalTable = 1,
  kObjectDatabase = 2,
  kObjectContainer = 3,
  kObjectOdbcLink = 4,
  kObjectQuery = 5,
  kObjectLink = 6,
  kObjectRelationship = 8,
  kObjectForm = -32768,
  kObjectMacro = -32766,
  kObjectReport = -32764,
  kObjectModule = -32761,
  kObjectUsers = -32758,
  kObjectDatabaseDocument = -32757,
  kObjectDataAccessPage = -32756,
};

inline constexpr uint32_t kObjectSystemFlags = 0x80000002;
inline constexpr uint32_t kObjectSystem = 0x80000000;  // the flag the engine gives its own objects

// The ids of the objects every database has: the root the containers hang
// under, the containers, and the database's own object.
inline constexpr int32_t kRootId = 0x0F000000;
inline constexpr int32_t kTablesId = 0x0F000001;
inline constexpr int32_t kDatabasesId = 0x0F000002;
inline constexpr int32_t kRelationshipsId = 0x0F000003;
inline constexpr int32_t kMSysDbId = 0x10000000;

struct CatalogObject {
  int32_t id = 0;
  int32_t parent_id = 0;
  std::string name;
  int type = 0;  // the stored Type, with its sign
  uint32_t flags = 0;
  std::optional<std::string> database;
  std::optional<std::string> connect;
  std::optional<std::string> foreign_name;
  std::optional<double> date_create;
  std::optional<double> date_update;
  bool lv_null = true;

  RowPointer location;             // the catalog slot that lists the row
  std::optional<RowPointer> moved; // where its bytes are, for an overflow row

  bool system() const { return (flags & kObjectSystemFlags) != 0; }
  bool table() const { return type == kObjectLocalTable || type == kObjectOdbcLink || type == kObjectLink; }
  // A local table's definition page: the low 24 bits of its Id.
  uint32_t tdef_page() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
};

struct Catalog {
  TableDefinition def;
  std::vector<CatalogObject> objects;  // in scan order

  // The table (type 1, 4 or 6) of that name, compared without regard to case.
  const CatalogObject* FindTable(std::string_view name) const;
};

Result<Catalog> ReadCatalog(Pager& pager, uint16_t code_page);

}  // namespace jet
