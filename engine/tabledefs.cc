#include "vostrel/tabledefs.h"

#include "engine/failures.h"
#include "vostrel/tabledef.h"
#include "jet/text.h"

namespace engine {

TableDefs::TableDefs(std::vector<std::unique_ptr<TableDef>> defs) : defs_(std::move(defs)) {}
TableDefs::~TableDefs() = default;

TableDef& TableDefs::Item(std::string_view name) {
  for (auto& def : defs_)
    if (jet::EqualsIgnoreCase(def->Name(), name)) return *def;
  throw ItemNotFound();
}

}  // namespace engine
