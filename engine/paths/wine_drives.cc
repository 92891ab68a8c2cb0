// Wine's drive letters: the prefix's dosdevices folder holds a symbolic
// link "x:" per drive, to the folder the drive is.
#include "engine/paths/sources.h"

#include <algorithm>

#include "engine/paths/source_text.h"

namespace engine::paths {

void AddWineDrives(jet::Env& env, PathMap& map, const std::string& dosdevices) {
  if (dosdevices.empty()) return;
  auto names = env.ListDir(dosdevices);
  if (!names.ok()) return;
  std::vector<std::string> drives;
  for (const std::string& n : *names) {
    if (n.size() == 2 && n[1] == ':' && ((n[0] >= 'a' && n[0] <= 'z') || (n[0] >= 'A' && n[0] <= 'Z')))
      drives.push_back(n);
  }
  std::sort(drives.begin(), drives.end());
  for (const std::string& d : drives) {
    const std::string link = dosdevices + "/" + d;
    auto info = env.Stat(link);
    if (!info.ok() || info->kind != jet::FileKind::kDirectory) continue;
    auto target = env.RealPath(link);
    if (!target.ok()) continue;
    map.Add(PathMapEntry{Upper(d), *target, "wine " + link});
  }
}

}  // namespace engine::paths
