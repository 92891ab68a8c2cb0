#include "vostrel/paths.h"

#include <algorithm>

#include "jet/text.h"
#include "jet/windows_path.h"

namespace engine {
namespace {

using jet::WindowsRootKind;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A drive path or a share path, "." and ".." resolved; none for others.
// "Z:" alone is the drive; "Z:x" is relative to the drive's working folder,
// which no map can know.
std::optional<jet::WindowsPath> MappablePath(std::string_view path) {
  std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(path);
  if (!p) return std::nullopt;
  if (p->root == WindowsRootKind::kDriveRelative && p->components.empty() && !p->verbatim) {
    p->root = WindowsRootKind::kDrive;
  } else if (p->root != WindowsRootKind::kDrive && p->root != WindowsRootKind::kShare) {
    return std::nullopt;
  }
  return p->Normalized();
}

// The keys of a path's prefixes: [0] its root, [k] the root and its first k
// components, each folded so that names equal to Windows have one key. A
// share's root is written with its leading "\\", which no drive's has.
std::vector<std::string> PrefixKeys(const jet::WindowsPath& p) {
  std::string key = p.root == WindowsRootKind::kShare ? "\\\\" + jet::FoldedCase(p.server) + "\\" + jet::FoldedCase(p.share)
                                                      : jet::FoldedCase(p.drive) + ":";
  std::vector<std::string> keys{key};
  for (const std::string& c : p.components) keys.push_back(key += "\\" + jet::FoldedCase(c));
  return keys;
}

std::string WithoutTrailingSeparators(std::string_view s) {
  while (s.size() > 1 && s.back() == '/') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

bool IsWindowsRooted(std::string_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
  const std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(path);
  return p && (p->root == WindowsRootKind::kDrive || p->root == WindowsRootKind::kDriveRelative);
}

std::string WindowsRoot(std::string_view path) {
  const std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(path);
  if (!p) return {};
  if (p->root == WindowsRootKind::kShare) return "\\\\" + p->server + "\\" + p->share;
  if (p->root == WindowsRootKind::kDrive || p->root == WindowsRootKind::kDriveRelative) return p->drive + ":";
  return {};
}

bool PathMap::Add(PathMapEntry entry) { return Insert(std::move(entry)); }

bool PathMap::Insert(PathMapEntry entry) const {
  const std::optional<jet::WindowsPath> prefix = MappablePath(entry.prefix);
  if (!prefix || entry.local.empty()) return false;
  // The earlier entry for the same prefix stays.
  if (!by_prefix_.emplace(PrefixKeys(*prefix).back(), entries_.size()).second) return true;
  entry.local = WithoutTrailingSeparators(entry.local);
  entries_.push_back(std::move(entry));
  return true;
}

void PathMap::Defer(std::function<std::vector<PathMapEntry>()> later) {
  Settle();
  deferred_ = std::move(later);
  deferred_at_ = entries_.size();
}

void PathMap::Settle() const {
  if (!deferred_) return;
  const std::function<std::vector<PathMapEntry>()> later = std::move(deferred_);
  deferred_ = nullptr;
  std::vector<PathMapEntry> added = later();
  // Added again in rank order, so that of two entries for one prefix the
  // earlier source's stays, as Add keeps it.
  std::vector<PathMapEntry> all = std::move(entries_);
  entries_.clear();
  by_prefix_.clear();
  for (size_t i = 0; i < deferred_at_; ++i) Insert(std::move(all[i]));
  for (PathMapEntry& e : added) Insert(std::move(e));
  for (size_t i = deferred_at_; i < all.size(); ++i) Insert(std::move(all[i]));
}

std::optional<std::string> PathMap::ToLocal(std::string_view windows_path) const {
  const std::optional<jet::WindowsPath> path = MappablePath(windows_path);
  if (!path) return std::nullopt;
  // A drive's path meets no deferred entry (those are shares): it asks for none.
  if (path->root == jet::WindowsRootKind::kShare) Settle();
  const std::vector<std::string> keys = PrefixKeys(*path);
  const PathMapEntry* best = nullptr;
  size_t covered = 0;  // components of the path the entry's prefix covers
  for (size_t k = keys.size(); k-- > 0 && !best;) {
    const auto found = by_prefix_.find(keys[k]);
    if (found == by_prefix_.end()) continue;
    best = &entries_[found->second];
    covered = k;
  }
  if (!best) return std::nullopt;
  std::string local = best->local;
  for (size_t i = covered; i < path->components.size(); ++i) {
    if (local.empty() || local.back() != '/') local += '/';
    local += path->components[i];
  }
  // "Z:\dir\" names a folder: keep what says so.
  if (path->trailing_separator && covered < path->components.size()) local += '/';
  return local;
}

std::optional<std::string> PathMap::ToWindows(std::string_view local_folder) const {
  Settle();
  const std::vector<std::string> folder = jet::SplitPathComponents(local_folder);
  const PathMapEntry* best = nullptr;
  size_t best_size = 0;
  for (const PathMapEntry& e : entries_) {
    const std::vector<std::string> local = jet::SplitPathComponents(e.local);
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
  for (size_t i = best_size; i < folder.size(); ++i) windows += "\\" + folder[i];
  return windows;
}

}  // namespace engine
