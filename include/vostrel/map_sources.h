// Where a path map comes from, earlier sources winning on the same prefix:
// entries given on the command line, the VOSTREL_MAP variable, map files
// (the user's, then the system's), then what the machine already knows: the
// shares of its Samba server, its CIFS mounts and Wine's drive letters.
#pragma once

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
  std::string host_name_file;             // this machine's host name, one line
  std::string mounts;                     // the mount table (/proc/self/mounts)
  std::string dosdevices;                 // Wine's drive letters: X: symbolic links
};

// The sources of this process: VOSTREL_MAP, $XDG_CONFIG_HOME/vostrel/map
// (~/.config/vostrel/map), /etc/vostrel/map, VOSTREL_SMB_CONF or
// /etc/samba/smb.conf, /proc/self/mounts and $WINEPREFIX/dosdevices
// (~/.wine/dosdevices). No command-line entries.
MapSources DefaultMapSources();

// Reads every source into one map. A source that is not there adds nothing;
// a bad entry (in a map file, the variable or the command line) throws
// EngineError 3001 naming where it is.
PathMap LoadPathMap(Env& env, const MapSources& sources);

}  // namespace engine
