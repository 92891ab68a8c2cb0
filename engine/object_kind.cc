#include "vostrel/object_kind.h"

#include "jet/catalog.h"

namespace engine {

const char* ObjectKindName(int type) {
  switch (type) {
    case jet::kObjectLocalTable: return "local";
    case jet::kObjectLink: return "linked";
    case jet::kObjectOdbcLink: return "odbc";
    case jet::kObjectDatabase: return "database";
    case jet::kObjectContainer: return "container";
    case jet::kObjectQuery: return "query";
    case jet::kObjectRelationship: return "relationship";
    case jet::kObjectForm: return "form";
    case jet::kObjectMacro: return "macro";
    case jet::kObjectReport: return "report";
    case jet::kObjectModule: return "module";
    case jet::kObjectUsers: return "users";
    case jet::kObjectDatabaseDocument: return "database document";
    case jet::kObjectDataAccessPage: return "data access page";
    default: return "other";
  }
}

}  // namespace engine
