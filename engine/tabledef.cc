#include "vostrel/tabledef.h"

#include "vostrel/link_string.h"

namespace engine {

TableDef::TableDef(Database& owner, CatalogEntry entry) : owner_(owner), entry_(std::move(entry)) {}

std::string TableDef::Connect() const { return pending_connect_ ? *pending_connect_ : ComposeLinkString(entry_); }

void TableDef::SetConnect(std::string link) { pending_connect_ = std::move(link); }

void TableDef::Stored(CatalogEntry entry) {
  entry_ = std::move(entry);
  pending_connect_.reset();
}

}  // namespace engine
