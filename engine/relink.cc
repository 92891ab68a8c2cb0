// Storing a new link: TableDef::RefreshLink and Database::RefreshLinks.
#include "engine/database.h"
#include "engine/error.h"
#include "engine/tabledef.h"

namespace engine {

void TableDef::RefreshLink() { Owner().RefreshLinks({this}); }

void Database::RefreshLinks(const std::vector<TableDef*>&) {
  throw EngineError(kErrInvalidOperation, "Storing a link is not available yet.");
}

}  // namespace engine
