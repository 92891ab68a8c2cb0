// TableDefs: the collection of table definitions of a Database.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace engine {

class TableDef;

class TableDefs {
 public:
  // The definition of that name, compared without regard to case.
  // Throws EngineError 3265 when there is none.
  TableDef& Item(std::string_view name);

  size_t Count() const { return defs_.size(); }
  // In catalog order.
  TableDef& At(size_t index) { return *defs_.at(index); }

  auto begin() { return defs_.begin(); }
  auto end() { return defs_.end(); }

  explicit TableDefs(std::vector<std::unique_ptr<TableDef>> defs);
  ~TableDefs();

 private:
  std::vector<std::unique_ptr<TableDef>> defs_;
};

}  // namespace engine
