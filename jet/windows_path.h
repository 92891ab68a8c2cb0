// A Windows path taken apart as the system takes it apart, on any system:
// links hold Windows paths even where the files are reached otherwise.
//
// Roots: a drive ("C:\"), a share ("\\server\share\"), either written
// verbatim ("\\?\C:\", "\\?\UNC\server\share\"), the root of the current
// drive ("\x"), a drive's working folder ("C:x") or none (relative). "\" and
// "/" both separate, and empty components ("a\\b") are none. Names are
// compared as Windows compares them: without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

enum class WindowsRootKind {
  kNone,          // "a\b": relative to the working folder
  kCurrentDrive,  // "\a\b": the root of the working folder's drive
  kDriveRelative, // "C:a\b": relative to the drive's own working folder
  kDrive,         // "C:\a\b"
  kShare,         // "\\server\share\a\b"
};

struct WindowsPath {
  WindowsRootKind root = WindowsRootKind::kNone;
  // Given as "\\?\C:\" or "\\?\UNC\server\share\": the system takes the
  // components literally, "." and ".." included.
  bool verbatim = false;
  std::string drive;   // "C" for kDrive and kDriveRelative, in upper case
  std::string server;  // for kShare
  std::string share;
  std::vector<std::string> components;
  bool trailing_separator = false;  // "C:\dir\" names a folder, never a file

  // Whether the path names one place whatever the process's working folders.
  bool Absolute() const { return root == WindowsRootKind::kDrive || root == WindowsRootKind::kShare; }

  // The root as Windows writes it in a full path: "C:\", "\\server\share\",
  // "\", "C:" or "" (never verbatim).
  std::string RootText() const;
  // The whole path with "\" (never verbatim; verbatim paths drop the prefix).
  std::string Text() const;

  // "." and ".." folded away as the system does for a path that is not
  // verbatim: ".." at the root stays at the root. A verbatim path is
  // returned as it is.
  WindowsPath Normalized() const;

  // Whether `other` names a place beneath (or at) this one: the same root
  // and these components first, compared without regard to case.
  bool Covers(const WindowsPath& other) const;
};

// The path taken apart; none where it cannot be a Windows path: a share
// without a server or a share name, "\\.\" device names, a "\\?\" prefix
// not followed by a drive or "UNC\server\share", an empty text or a NUL.
std::optional<WindowsPath> ParseWindowsPath(std::string_view text);

// The names between separators ("\" or "/"), empty ones left out: how a
// Windows path's components are cut, and a local path's too.
std::vector<std::string> SplitPathComponents(std::string_view path);

}  // namespace jet
