#include "engine/path.h"

#include <vector>

#include "engine/failures.h"
#include "jet/env.h"
#include "jet/text.h"

namespace engine {
namespace {

// Drive letters ("C:") and UNC shares ("\\server\share") name places that
// do not exist on this system.
bool ForeignRoot(const std::string& name) {
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
    return true;
  auto sep = [](char c) { return c == '/' || c == '\\'; };
  return name.size() >= 2 && sep(name[0]) && sep(name[1]);
}

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : name) {
    if (c == '/' || c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);  // the last one may be empty: "dir\" names no file
  return parts;
}

// Joins a folder and a name with "/" and folds "." and ".." away, as the
// path is text only: the folders named need not exist.
std::string Join(const std::string& dir, const std::string& name) {
  std::vector<std::string> kept;
  for (const std::string& part : Components(dir + "/" + name)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::string out;
  for (const std::string& part : kept) out += "/" + part;
  return out.empty() ? "/" : out;
}

bool IsKind(jet::Env& env, const std::string& path, bool want_dir) {
  jet::Result<jet::FileInfo> info = env.Stat(path);
  return info.ok() && info->kind == (want_dir ? jet::FileKind::kDirectory : jet::FileKind::kFile);
}

// The entry of `dir` called `name`, or the only one whose name differs from
// it only in case; empty when there is none or more than one.
std::string Match(jet::Env& env, const std::string& dir, const std::string& name, bool want_dir) {
  if (name == "." || name == "..") return want_dir ? name : std::string();
  if (IsKind(env, Join(dir, name), want_dir)) return name;
  jet::Result<std::vector<std::string>> entries = env.ListDir(dir);
  if (!entries.ok()) return {};
  std::string found;
  for (const std::string& entry : *entries) {
    if (!jet::EqualsIgnoreCase(entry, name) || !IsKind(env, Join(dir, entry), want_dir)) continue;
    if (!found.empty()) return {};  // two candidates: neither is the file
    found = entry;
  }
  return found;
}

}  // namespace

ResolvedPath ResolvePath(jet::Env& env, const std::string& name, const std::string& cwd) {
  ResolvedPath r;
  if (name.empty() || name.find('\0') != std::string::npos || ForeignRoot(name)) {
    r.full = name;
    r.problem = PathProblem::kInvalidPath;
    return r;
  }
  std::string at;
  if (name[0] == '/' || name[0] == '\\') {
    at = "/";
  } else if (!cwd.empty()) {
    at = cwd;
  } else {
    jet::Result<std::string> current = env.CurrentDir();
    if (!current.ok()) {
      r.full = name;
      r.problem = PathProblem::kInvalidPath;
      return r;
    }
    at = *current;
  }
  const std::vector<std::string> parts = Components(name);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::string dir = Match(env, at, parts[i], true);
    if (dir.empty()) {
      r.full = Join(at, parts[i]);
      r.problem = PathProblem::kInvalidPath;
      return r;
    }
    at = Join(at, dir);
  }
  const std::string& last = parts.back();
  if (last.empty()) {  // "dir\" names a folder, never a file
    const std::string dir = Join(at, "");
    r.full = dir == "/" ? dir : dir + "/";
    r.problem = PathProblem::kInvalidPath;
    return r;
  }
  const std::string file = Match(env, at, last, false);
  r.full = Join(at, file.empty() ? last : file);
  if (file.empty()) r.problem = PathProblem::kMissingFile;
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
