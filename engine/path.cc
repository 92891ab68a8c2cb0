#include "engine/path.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/failures.h"
#include "jet/text.h"

namespace engine {
namespace fs = std::filesystem;
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

// The entry of `dir` called `name`, or the only one whose name differs from
// it only in case; empty when there is none or more than one.
std::string Match(const fs::path& dir, const std::string& name, bool want_dir) {
  std::error_code ec;
  auto fits = [&](const fs::path& p) { return want_dir ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec); };
  if (name == "." || name == "..") return want_dir ? name : std::string();
  if (fits(dir / name)) return name;
  std::string found;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (!jet::EqualsIgnoreCase(entry, name) || !fits(it->path())) continue;
    if (!found.empty()) return {};  // two candidates: neither is the file
    found = entry;
  }
  return found;
}

}  // namespace

ResolvedPath ResolvePath(const std::string& name, const std::string& cwd) {
  ResolvedPath r;
  if (name.empty() || name.find('\0') != std::string::npos || ForeignRoot(name)) {
    r.full = name;
    r.problem = PathProblem::kInvalidPath;
    return r;
  }
  std::error_code ec;
  fs::path at;
  if (name[0] == '/' || name[0] == '\\') {
    at = "/";
  } else {
    at = cwd.empty() ? fs::current_path(ec) : fs::path(cwd);
    if (ec) {
      r.full = name;
      r.problem = PathProblem::kInvalidPath;
      return r;
    }
  }
  const std::vector<std::string> parts = Components(name);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::string dir = Match(at, parts[i], true);
    if (dir.empty()) {
      r.full = (at / parts[i]).lexically_normal().string();
      r.problem = PathProblem::kInvalidPath;
      return r;
    }
    at /= dir;
  }
  const std::string& last = parts.back();
  const std::string file = last.empty() ? std::string() : Match(at, last, false);
  r.full = (at / (file.empty() ? last : file)).lexically_normal().string();
  if (last.empty()) r.problem = PathProblem::kInvalidPath;
  else if (file.empty()) r.problem = PathProblem::kMissingFile;
  return r;
}

std::string ResolveExistingFile(const std::string& name) {
  ResolvedPath r = ResolvePath(name);
  switch (r.problem) {
    case PathProblem::kNone: return r.full;
    case PathProblem::kMissingFile: throw CouldNotFindFile(r.full);
    case PathProblem::kInvalidPath: break;
  }
  throw NotValidPath(name);
}

}  // namespace engine
