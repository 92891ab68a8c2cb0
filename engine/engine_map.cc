// The DBEngine's path map and what it answers.
#include "vostrel/dbengine.h"
#include "vostrel/paths.h"
#include "engine/path.h"

namespace engine {

const PathMap& DBEngine::Map() {
  if (!map_) map_ = LoadPathMap(jet::Env::Default(), DefaultMapSources());
  return *map_;
}

void DBEngine::SetMap(PathMap map) { map_ = std::move(map); }

std::optional<std::string> DBEngine::LocalPath(const std::string& link_path) {
  const bool windows = IsWindowsRooted(link_path);
  const std::optional<std::string> mapped = windows ? Map().ToLocal(link_path) : std::nullopt;
  const ResolvedPath r = ResolvePath(jet::Env::Default(), mapped.value_or(link_path));
  if (windows && !mapped && r.problem == PathProblem::kInvalidPath) return std::nullopt;
  return r.full;
}

std::optional<std::string> DBEngine::WindowsFolder(const std::string& local_folder) {
  if (local_folder.empty() || local_folder[0] != '/') return std::nullopt;
  return Map().ToWindows(local_folder);
}

}  // namespace engine
