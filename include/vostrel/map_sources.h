// Where a path map comes from, earlier sources winning on the same prefix:
// entries given on the command line, the VOSTREL_MAP variable, map files
// (the user's, then the system's), then what the machine already knows: the
// shares of its Samba server, its CIFS mounts and Wine's drive letters.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "vostrel/path_map.h"
#include "vostrel/env.h"

namespace engine {

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
PathMap LoadPathMap(Env& env, const MapSources& sources);

}  // namespace engine
