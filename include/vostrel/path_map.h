// A path map: how the Windows paths that links hold (a drive "Z:\Baze\X.MDB"
// or a share "\\streznik\baze\X.MDB") reach files on this machine. Each entry
// maps a Windows prefix (a drive, a drive and folder, a share, a share and
// folder) to a local folder. The map finds files; it never changes what a
// front-end stores.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace engine {

struct PathMapEntry {
  std::string prefix;  // the Windows prefix, as written: "Z:", "\\streznik\baze"
  std::string local;   // the local folder it names
  std::string source;  // where the entry came from ("--map", a file and line, ...)
};

// Whether `path` starts with a drive ("C:") or two separators (a share):
// a place only a map can make reachable here.
bool IsWindowsRooted(std::string_view path);

// The root a Windows path names: "Z:" or "\\server\share"; empty for others.
std::string WindowsRoot(std::string_view path);

class PathMap {
 public:
  // Adds an entry unless the map has one for the same prefix already (the
  // earlier source wins). Returns false, adding nothing, where `prefix` is
  // not a drive, a share or either with folders.
  bool Add(PathMapEntry entry);

  // Entries that cost something to learn (Samba's shares, which testparm
  // tells), asked for only when a lookup may need them: a share's path
  // (ToLocal), ToWindows, Entries. They rank where Defer is called, after
  // the entries added before it and before those added after it. One
  // source may wait at a time; a second Defer asks for the first at once.
  // `later` may throw EngineError; the lookup that asked for it throws it.
  void Defer(std::function<std::vector<PathMapEntry>()> later);

  const std::vector<PathMapEntry>& Entries() const {
    Settle();
    return entries_;
  }
  bool empty() const { return Entries().empty(); }

  // The local path of a Windows path: the longest prefix that covers whole
  // components of it (case and "\" or "/" forgiven) is replaced by its local
  // folder. "." and ".." are resolved first as a client resolves them, never
  // above the drive's or share's root, so that the file found here is the one
  // the clients open. None where no entry covers it.
  std::optional<std::string> ToLocal(std::string_view windows_path) const;

  // The Windows form of a local folder: the entry whose local folder is the
  // longest that covers `local_folder` (compared as local names are: exactly),
  // its prefix followed by the rest with "\". None where none covers it.
  std::optional<std::string> ToWindows(std::string_view local_folder) const;

 private:
  // Adds what Defer left waiting, in its rank. Const, as the lookups are:
  // the map they answer from does not change, it is only learnt late.
  void Settle() const;
  bool Insert(PathMapEntry entry) const;  // Add's work, for Settle too

  mutable std::vector<PathMapEntry> entries_;
  // Each entry's prefix, folded (see PrefixKeys in the source), to its
  // index: a lookup costs one probe per component, whatever the map's size.
  mutable std::unordered_map<std::string, size_t> by_prefix_;
  mutable std::function<std::vector<PathMapEntry>()> deferred_;
  mutable size_t deferred_at_ = 0;  // entries added before Defer
};

}  // namespace engine
