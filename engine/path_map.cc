#include "vostrel/path_map.h"

#include <algorithm>

#include "jet/text.h"

namespace engine {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDrive(std::string_view s) {
  return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

// The components of a path between separators, empty ones left out.
std::vector<std::string_view> Split(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (at < path.size()) {
    while (at < path.size() && IsSeparator(path[at])) ++at;
    size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end;
  }
  return parts;
}

// A Windows path as components to match: a share's path starts with a
// marker component that no drive path has, so "\\Z:" never matches "Z:".
// Empty where the path is neither a drive nor a share path.
std::vector<std::string_view> WindowsComponents(std::string_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::vector<std::string_view> parts = Split(path);
    parts.insert(parts.begin(), "\\\\");
    return parts.size() >= 3 ? parts : std::vector<std::string_view>{};  // a server and a share at least
  }
  // "Z:" alone or followed by a separator: "Z:x" is relative to the drive's
  // working folder, which no map can know.
  if (!IsDrive(path) || (path.size() > 2 && !IsSeparator(path[2]))) return {};
  return Split(path);
}

bool CoversComponents(const std::vector<std::string_view>& prefix, const std::vector<std::string_view>& path) {
  if (prefix.empty() || prefix.size() > path.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (!jet::EqualsIgnoreCase(prefix[i], path[i])) return false;
  return true;
}

std::string WithoutTrailingSeparators(std::string_view s) {
  while (s.size() > 1 && s.back() == '/') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

bool IsWindowsRooted(std::string_view path) {
  return IsDrive(path) || (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

std::string WindowsRoot(std::string_view path) {
  std::vector<std::string_view> parts = WindowsComponents(path);
  if (parts.empty()) return IsDrive(path) ? std::string(path.substr(0, 2)) : std::string();
  if (parts[0] == "\\\\") return "\\\\" + std::string(parts[1]) + "\\" + std::string(parts[2]);
  return std::string(parts[0]);
}

bool PathMap::Add(PathMapEntry entry) {
  const std::vector<std::string_view> prefix = WindowsComponents(entry.prefix);
  if (prefix.empty() || entry.local.empty()) return false;
  for (const PathMapEntry& e : entries_) {
    const std::vector<std::string_view> other = WindowsComponents(e.prefix);
    if (other.size() == prefix.size() && CoversComponents(other, prefix)) return true;  // the earlier one stays
  }
  entry.local = WithoutTrailingSeparators(entry.local);
  entries_.push_back(std::move(entry));
  return true;
}

std::optional<std::string> PathMap::ToLocal(std::string_view windows_path) const {
  const std::vector<std::string_view> path = WindowsComponents(windows_path);
  const PathMapEntry* best = nullptr;
  size_t best_size = 0;
  for (const PathMapEntry& e : entries_) {
    const std::vector<std::string_view> prefix = WindowsComponents(e.prefix);
    if (prefix.size() > best_size && CoversComponents(prefix, path)) {
      best = &e;
      best_size = prefix.size();
    }
  }
  if (!best) return std::nullopt;
  std::string local = best->local;
  for (size_t i = best_size; i < path.size(); ++i) {
    if (local.empty() || local.back() != '/') local += '/';
    local += path[i];
  }
  // "Z:\dir\" names a folder: keep what says so.
  if (IsSeparator(windows_path.back()) && best_size < path.size()) local += '/';
  return local;
}

std::optional<std::string> PathMap::ToWindows(std::string_view local_folder) const {
  const std::vector<std::string_view> folder = Split(local_folder);
  const PathMapEntry* best = nullptr;
  size_t best_size = 0;
  for (const PathMapEntry& e : entries_) {
    const std::vector<std::string_view> local = Split(e.local);
    // A drive for the whole file system (Wine's Z:) says nothing of how the
    // clients name a folder.
    if (local.empty() || (best && local.size() <= best_size)) continue;
    if (local.size() > folder.size() || !std::equal(local.begin(), local.end(), folder.begin())) continue;
    best = &e;
    best_size = local.size();
  }
  if (!best) return std::nullopt;
  std::string windows = best->prefix;
  while (windows.size() > 2 && IsSeparator(windows.back())) windows.pop_back();
  for (char& c : windows)
    if (c == '/') c = '\\';
  for (size_t i = best_size; i < folder.size(); ++i) windows += "\\" + std::string(folder[i]);
  return windows;
}

}  // namespace engine
