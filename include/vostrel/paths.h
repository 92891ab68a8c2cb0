// Path resolution: how the Windows paths that links hold (a drive
// "Z:\Baze\X.MDB" or a share "\\streznik\baze\X.MDB") reach files on this
// machine, and where that knowledge comes from. The one public header of
// the engine's paths module (engine/paths/), which asks the file system
// through an Env and knows nothing of databases.
//
// A path map maps Windows prefixes (a drive, a drive and folder, a share, a
// share and folder) to local folders. The map finds files; it never changes
// what a front-end stores.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vostrel/env.h"

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

// ----- Where a map comes from: earlier sources winning on the same prefix,
// entries given on the command line, the VOSTREL_MAP variable, map files
// (the user's, then the system's), then what the machine already knows: the
// shares of its Samba server, its CIFS mounts and Wine's drive letters.

// Every place a source is read from, so that tests point each at files of
// their own. An empty name leaves that source out.
struct MapSources {
  std::vector<std::string> command_line;  // "WINPREFIX=LOCALDIR" each
  std::optional<std::string> variable;    // entries separated by newlines or ";"
  std::vector<std::string> map_files;     // "WINPREFIX = LOCALDIR" a line, "#" comments
  std::string smb_conf;                   // the Samba server's configuration
  // Named by the user: missing or unreadable, it is an error rather than a
  // machine without Samba.
  bool smb_conf_named = false;
  // Samba's testparm, which reads smb.conf as the server does; empty, or no
  // program there, leaves smb.conf to this program's own reading. A run that
  // fails or outlasts the timeout is said in a notice, and the own reading
  // counts instead.
  std::string testparm;
  std::chrono::milliseconds testparm_timeout{5000};
  std::string host_name_file;  // this machine's host name, one line
  // Where no file is named: the name the system gives (Env::HostName).
  bool host_name_from_system = false;
  std::string mounts;                     // the mount table (/proc/self/mounts)
  std::string dosdevices;                 // Wine's drive letters: X: symbolic links
};

// The sources of this process: VOSTREL_MAP, $XDG_CONFIG_HOME/vostrel/map
// (~/.config/vostrel/map), /etc/vostrel/map, VOSTREL_SMB_CONF or
// /etc/samba/smb.conf (read by /usr/bin/testparm where it is installed, or
// by the program VOSTREL_TESTPARM names; by none where it is empty),
// /proc/self/mounts and $WINEPREFIX/dosdevices (~/.wine/dosdevices). No
// command-line entries.
MapSources DefaultMapSources();

// Reads every source into one map. A source that is not there adds nothing;
// a bad entry (in a map file, the variable or the command line) throws
// EngineError 3001 naming where it is; a named smb.conf that is missing
// throws 3024, one that cannot be read 3051, naming it.
//
// Each share of the Samba server (not [homes], not a printer, not one
// marked `available = no`, not one whose path has a substitution) maps as
// \\SERVER\share for every name the clients may use: the NetBIOS name,
// each of its `netbios aliases`, the host's short and full name, localhost.
// They are read through `env` when a lookup first needs them (Defer), so
// `env` must outlive the map's lookups.
PathMap LoadPathMap(Env& env, const MapSources& sources);

}  // namespace engine
