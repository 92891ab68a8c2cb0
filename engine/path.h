// Resolving a database file name the way the desktop platform does: a name
// without a folder is looked up in the working directory, "\" separates
// folders as "/" does, and where no file has exactly the given name, the one
// entry whose name differs only in case is used, in each folder of the path.
// On Windows these rules are the file system's own: drive letters and UNC
// shares are roots, and each name is given its case on disk. Elsewhere a
// drive letter or a share names no place (3044).
#pragma once

#include <string>

#include "jet/env_names.h"

namespace engine {

enum class PathProblem {
  kNone,
  kMissingFile,    // the folder exists, the file does not (error 3024)
  kInvalidPath,    // a folder is missing, or the name cannot be a path here (3044)
};

struct ResolvedPath {
  std::string full;  // absolute, with the platform's separators; what error messages name
  PathProblem problem = PathProblem::kNone;
};

// Resolves name against cwd (the process's working directory when empty),
// asking `env` what each folder holds.
ResolvedPath ResolvePath(jet::Env& env, const std::string& name, const std::string& cwd = {});

// The full path of an existing file; throws EngineError 3024 or 3044.
std::string ResolveExistingFile(jet::Env& env, const std::string& name);

}  // namespace engine
