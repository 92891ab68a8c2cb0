#include "engine/backend.h"

#include "jet/text.h"

namespace engine {
namespace {

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && jet::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

std::optional<std::string> LinkPassword(const std::optional<std::string>& connect) {
  if (!connect) return std::nullopt;
  std::string_view rest = *connect;
  for (size_t at = rest.find(';'); at != std::string_view::npos; at = rest.find(';', at + 1)) {
    std::string_view param = rest.substr(at + 1);
    if (!StartsWithIgnoreCase(param, "PWD=")) continue;
    param.remove_prefix(4);
    return std::string(param.substr(0, param.find(';')));
  }
  return std::nullopt;
}

std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password) {
  return OpenDatabaseImpl(env, name, password);
}

}  // namespace engine
