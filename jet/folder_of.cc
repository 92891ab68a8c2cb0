// Env::FolderOf (vostrel/env.h) is jet's, not the system's, though the Env
// it belongs to is implemented in os: the path's text alone decides it, and
// on Windows it reads that text as a client does, with jet's parser of
// Windows paths (windows_path.h), which os, beneath jet, does not reach.
#include "jet/env_names.h"

#ifdef _WIN32
#include "jet/windows_path.h"
#endif

#ifdef _WIN32
std::string engine::Env::FolderOf(const std::string& path) {
  using jet::WindowsRootKind;
  const std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(path);
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return p && p->root == WindowsRootKind::kDriveRelative ? path.substr(0, 2) : ".";
  // A file at a root: the root keeps its separator ("C:\", "\\server\share\").
  if (p && p->root != WindowsRootKind::kNone && p->components.size() <= 1) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}
#else
std::string engine::Env::FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}
#endif
