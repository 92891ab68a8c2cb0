#include "engine/backend.h"

namespace engine {

std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password) {
  return OpenDatabaseImpl(env, name, password);
}

}  // namespace engine
