// The DBEngine's path map and what it answers.
#include "vostrel/dbengine.h"
#include "vostrel/paths.h"
#include "engine/backend.h"
#include "engine/path.h"

namespace engine {

const PathMap& DBEngine::Map(Env& env) { return LoadedMap(env, map_); }

const PathMap& DBEngine::Map() { return Map(Env::Default()); }

void DBEngine::SetMap(PathMap map) { map_ = std::make_shared<const PathMap>(std::move(map)); }

std::optional<std::string> DBEngine::LocalPath(Env& env, const std::string& link_path) {
  const bool windows = IsWindowsRooted(link_path);
  const std::optional<std::string> mapped = windows ? Map(env).ToLocal(link_path) : std::nullopt;
  const ResolvedPath r = ResolvePath(env, mapped.value_or(link_path));
  if (windows && !mapped && r.problem == PathProblem::kInvalidPath) return std::nullopt;
  return r.full;
}

std::optional<std::string> DBEngine::LocalPath(const std::string& link_path) {
  return LocalPath(Env::Default(), link_path);
}

std::optional<std::string> DBEngine::WindowsFolder(const std::string& local_folder) {
  if (local_folder.empty() || local_folder[0] != '/') return std::nullopt;
  return Map().ToWindows(local_folder);
}

}  // namespace engine
