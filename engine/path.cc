#include "engine/path.h"

#include <optional>
#include <vector>

#include "engine/failures.h"
#include "jet/env_names.h"
#include "vostrel/paths.h"
#include "jet/text.h"
#include "jet/windows_path.h"

namespace engine {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
constexpr char kSeparator = '\\';
#else
constexpr bool kWindows = false;
constexpr char kSeparator = '/';
#endif

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::vector<std::string> Components(std::string_view name) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : name) {
    if (IsSeparator(c)) {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);  // the last one may be empty: "dir\" names no file
  return parts;
}

// An absolute place: a root ("/" here; "C:\" or "\\server\share\" on
// Windows) and folders beneath it. The folders named need not exist.
struct Place {
  std::string root;
  std::vector<std::string> folders;

  // "." and ".." are folded away as text; ".." stops at the root.
  Place Plus(const std::string& name) const {
    Place out = *this;
    if (name == "..") {
      if (!out.folders.empty()) out.folders.pop_back();
    } else if (!name.empty() && name != ".") {
      out.folders.push_back(name);
    }
    return out;
  }

  std::string Text() const {
    std::string out = root;
    for (size_t i = 0; i < folders.size(); ++i) {
      if (i > 0) out += kSeparator;
      out += folders[i];
    }
    return out;
  }
};

// The root a name starts with and the rest of it, or nothing when the name
// does not start at a root. On Windows a root is a drive or a share, written
// verbatim ("\\?\C:\", "\\?\UNC\server\share\") or not.
std::optional<std::pair<std::string, std::string>> SplitRoot(const std::string& name) {
  if constexpr (kWindows) {
    const std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(name);
    if (!p || !p->Absolute()) return std::nullopt;
    std::string rest;
    for (size_t i = 0; i < p->components.size(); ++i) rest += (i > 0 ? "\\" : "") + p->components[i];
    if (p->trailing_separator) rest += '\\';  // "dir\" names a folder, never a file
    return std::pair{p->RootText(), rest};
  } else {
    if (!name.empty() && IsSeparator(name[0])) return std::pair{std::string("/"), name.substr(1)};
    return std::nullopt;
  }
}

std::optional<Place> Absolute(const std::string& path) {
  auto split = SplitRoot(path);
  if (!split) return std::nullopt;
  Place place{split->first, {}};
  for (const std::string& part : Components(split->second)) place = place.Plus(part);
  return place;
}

// Where a name's first component is looked up, and the components.
// Drive letters and UNC shares are the platform's own on Windows and name
// places that do not exist anywhere else.
std::optional<std::pair<Place, std::string>> Start(const std::string& name, const std::string& cwd) {
  if (!kWindows && IsWindowsRooted(name)) return std::nullopt;
  if (auto split = SplitRoot(name)) return std::pair{Place{split->first, {}}, split->second};
  // "C:Data\x.mdb", relative to a drive's own working folder, is not taken.
  if (IsWindowsRooted(name)) return std::nullopt;
  std::optional<Place> here = Absolute(cwd);
  if (!here) return std::nullopt;
  // "\Data\x.mdb": the root of the working folder's drive or share.
  if (IsSeparator(name[0])) return std::pair{Place{here->root, {}}, name.substr(1)};
  return std::pair{*here, name};
}

bool IsKind(jet::Env& env, const std::string& path, bool want_dir) {
  jet::Result<jet::FileInfo> info = env.Stat(path);
  return info.ok() && info->kind == (want_dir ? jet::FileKind::kDirectory : jet::FileKind::kFile);
}

// The entry of `at` called `name`, or the only one whose name differs from
// it only in case; empty when there is none or more than one. On Windows
// the file system itself ignores case; the name is given its case on disk.
std::string Match(jet::Env& env, const Place& at, const std::string& name, bool want_dir) {
  if (name == "." || name == "..") return want_dir ? name : std::string();
  const std::string dir = at.Text();
  const bool exact = IsKind(env, at.Plus(name).Text(), want_dir);
  if (exact && !kWindows) return name;
  if (!exact && kWindows) return {};
  jet::Result<std::vector<std::string>> entries = env.ListDir(dir);
  if (!entries.ok()) return exact ? name : std::string();
  std::string found;
  for (const std::string& entry : *entries) {
    if (!jet::EqualsIgnoreCase(entry, name)) continue;
    if (kWindows) return entry;
    if (!IsKind(env, at.Plus(entry).Text(), want_dir)) continue;
    if (!found.empty()) return {};  // two candidates: neither is the file
    found = entry;
  }
  return found.empty() && exact ? name : found;
}

}  // namespace

ResolvedPath ResolvePath(jet::Env& env, const std::string& name, const std::string& cwd) {
  ResolvedPath r;
  r.full = name;
  r.problem = PathProblem::kInvalidPath;
  if (name.empty() || name.find('\0') != std::string::npos) return r;
  std::string current = cwd;
  if (current.empty() && !SplitRoot(name)) {
    jet::Result<std::string> dir = env.CurrentDir();
    if (!dir.ok()) return r;
    current = *dir;
  }
  std::optional<std::pair<Place, std::string>> start = Start(name, current);
  if (!start) return r;
  Place at = start->first;
  // A drive that is not there, or a share that cannot be reached.
  if (kWindows && !IsKind(env, at.root, true)) return r;
  const std::vector<std::string> parts = Components(start->second);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    const std::string dir = Match(env, at, parts[i], true);
    if (dir.empty()) {
      r.full = at.Plus(parts[i]).Text();
      return r;
    }
    at = at.Plus(dir);
  }
  const std::string& last = parts.back();
  if (last.empty()) {  // "dir\" names a folder, never a file
    const std::string dir = at.Text();
    r.full = at.folders.empty() ? dir : dir + kSeparator;
    return r;
  }
  const std::string file = Match(env, at, last, false);
  r.full = at.Plus(file.empty() ? last : file).Text();
  r.problem = file.empty() ? PathProblem::kMissingFile : PathProblem::kNone;
  return r;
}

std::string ResolveExistingFile(jet::Env& env, const std::string& name) {
  ResolvedPath r = ResolvePath(env, name);
  switch (r.problem) {
    case PathProblem::kNone: return r.full;
    case PathProblem::kMissingFile: throw CouldNotFindFile(r.full);
    case PathProblem::kInvalidPath: break;
  }
  throw NotValidPath(name);
}

}  // namespace engine
