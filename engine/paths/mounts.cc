// The CIFS mounts of the mount table: a share mounted here is a share the
// clients name.
#include "engine/paths/sources.h"

#include "engine/paths/source_text.h"
#include "jet/windows_path.h"

namespace engine::paths {
namespace {

// The mount table writes a space as \040 and so on.
std::string Unescape(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        field.substr(i + 1, 3).find_first_not_of("01234567") == std::string_view::npos) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
    const size_t end = line.find_first_of(" \t", at);
    fields.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return fields;
}

}  // namespace

void AddMounts(jet::Env& env, PathMap& map, const std::string& mounts) {
  if (mounts.empty()) return;
  const std::optional<std::string> text = ReadText(env, mounts).text;
  if (!text) return;
  for (const std::string& line : Lines(*text)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 3 || (f[2] != "cifs" && f[2] != "smb3" && f[2] != "smbfs")) continue;
    // "//server/share" or a folder of it, as a client names it.
    std::optional<jet::WindowsPath> remote = jet::ParseWindowsPath(Unescape(f[0]));
    if (!remote || remote->root != jet::WindowsRootKind::kShare || remote->verbatim) continue;
    jet::WindowsPath place = remote->Normalized();
    place.trailing_separator = false;
    std::string share = place.Text();
    if (place.components.empty()) share.pop_back();  // a share's root ends in a separator; a prefix does not
    const std::string mount_point = Unescape(f[1]);
    map.Add(PathMapEntry{share, mount_point, "mount " + mount_point + " in " + mounts});
  }
}

}  // namespace engine::paths
