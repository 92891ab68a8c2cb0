#include "jet/windows_path.h"

#include "jet/text.h"

namespace jet {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrive(std::string_view s) { return s.size() >= 2 && s[1] == ':' && IsLetter(s[0]); }

// "server\share\rest": the share's two names and the rest; false when
// either name is missing.
bool TakeShare(std::string_view s, WindowsPath& p) {
  std::vector<std::string> parts = SplitPathComponents(s);
  // The server and share follow the leading separators directly: "\\\x\y" is no share.
  if (s.empty() || IsSeparator(s[0]) || parts.size() < 2) return false;
  p.root = WindowsRootKind::kShare;
  p.server = parts[0];
  p.share = parts[1];
  p.components.assign(parts.begin() + 2, parts.end());
  return true;
}

void TakeDrive(std::string_view s, WindowsPath& p) {
  p.drive = std::string(1, static_cast<char>(s[0] & ~0x20));  // "c:" is "C:"
  p.root = s.size() > 2 && IsSeparator(s[2]) ? WindowsRootKind::kDrive : WindowsRootKind::kDriveRelative;
  p.components = SplitPathComponents(s.substr(2));
}

}  // namespace

std::vector<std::string> SplitPathComponents(std::string_view s) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at < s.size()) {
    while (at < s.size() && IsSeparator(s[at])) ++at;
    size_t end = at;
    while (end < s.size() && !IsSeparator(s[end])) ++end;
    if (end > at) parts.emplace_back(s.substr(at, end - at));
    at = end;
  }
  return parts;
}

std::optional<WindowsPath> ParseWindowsPath(std::string_view s) {
  if (s.empty() || s.find('\0') != std::string_view::npos) return std::nullopt;
  WindowsPath p;
  p.trailing_separator = IsSeparator(s.back());
  if (s.size() >= 4 && s[0] == '\\' && s[1] == '\\' && (s[2] == '?' || s[2] == '.') && s[3] == '\\') {
    if (s[2] == '.') return std::nullopt;  // a device, not a file
    p.verbatim = true;
    std::string_view rest = s.substr(4);
    if (rest.size() >= 4 && EqualsIgnoreCase(rest.substr(0, 4), "UNC\\")) {
      if (!TakeShare(rest.substr(4), p)) return std::nullopt;
      return p;
    }
    if (!HasDrive(rest) || (rest.size() > 2 && rest[2] != '\\')) return std::nullopt;
    TakeDrive(rest, p);
    p.root = WindowsRootKind::kDrive;
    return p;
  }
  if (s.size() >= 2 && IsSeparator(s[0]) && IsSeparator(s[1])) {
    if (!TakeShare(s.substr(2), p)) return std::nullopt;
    if (p.server == "?" || p.server == ".") return std::nullopt;
    return p;
  }
  if (HasDrive(s)) {
    TakeDrive(s, p);
    return p;
  }
  p.root = IsSeparator(s[0]) ? WindowsRootKind::kCurrentDrive : WindowsRootKind::kNone;
  p.components = SplitPathComponents(s);
  return p;
}

std::string WindowsPath::RootText() const {
  switch (root) {
    case WindowsRootKind::kNone: return {};
    case WindowsRootKind::kCurrentDrive: return "\\";
    case WindowsRootKind::kDriveRelative: return drive + ":";
    case WindowsRootKind::kDrive: return drive + ":\\";
    case WindowsRootKind::kShare: return "\\\\" + server + "\\" + share + "\\";
  }
  return {};
}

std::string WindowsPath::Text() const {
  std::string out = RootText();
  for (size_t i = 0; i < components.size(); ++i) {
    if (i > 0) out += '\\';
    out += components[i];
  }
  if (trailing_separator && !components.empty()) out += '\\';
  return out;
}

WindowsPath WindowsPath::Normalized() const {
  if (verbatim) return *this;
  WindowsPath out = *this;
  out.components.clear();
  for (const std::string& c : components) {
    if (c == ".") continue;
    if (c == "..") {
      // A relative path keeps a ".." it cannot fold: the working folder decides.
      if (!out.components.empty() && out.components.back() != "..") out.components.pop_back();
      else if (root == WindowsRootKind::kNone || root == WindowsRootKind::kDriveRelative) out.components.push_back(c);
      continue;
    }
    out.components.push_back(c);
  }
  return out;
}

bool WindowsPath::Covers(const WindowsPath& other) const {
  if (root != other.root || components.size() > other.components.size()) return false;
  if (!EqualsIgnoreCase(drive, other.drive) || !EqualsIgnoreCase(server, other.server) ||
      !EqualsIgnoreCase(share, other.share))
    return false;
  for (size_t i = 0; i < components.size(); ++i)
    if (!EqualsIgnoreCase(components[i], other.components[i])) return false;
  return true;
}

}  // namespace jet
