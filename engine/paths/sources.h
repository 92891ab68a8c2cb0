// The map's sources, one reader each, called by LoadPathMap in the order in
// which they rank (vostrel/paths.h). Each adds its entries to `map`; a
// source that is not there adds nothing. Internal to the paths module.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vostrel/paths.h"
#include "jet/env_names.h"

namespace engine::paths {

// Entries given as "WINPREFIX=LOCALDIR" (map_entries.cc): the command
// line's, each as given; the variable's, separated by newlines or ";";
// a map file's, one a line, "#" starting a comment. A bad entry throws
// EngineError 3001 naming where it is, as does a map file too large to be
// one; a map file that is there but cannot be read is said in a notice.
void AddCommandLineEntries(PathMap& map, const std::vector<std::string>& entries);
void AddVariableEntries(PathMap& map, std::string_view variable);
void AddMapFile(jet::Env& env, PathMap& map, const std::string& path);

// The Samba server's shares (samba_shares.cc), as testparm reads smb.conf
// or, without it, as this program does (smb_conf.h): whether smb.conf can
// be read is known at once (a named one that cannot is 3024 or 3051), its
// shares are learnt when a share's path needs them (PathMap::Defer).
void AddSambaShares(jet::Env& env, PathMap& map, const MapSources& sources);

// The CIFS mounts of the mount table (mounts.cc): "//server/share" or a
// folder of it, at its mount point.
void AddMounts(jet::Env& env, PathMap& map, const std::string& mounts);

// Wine's drive letters (wine_drives.cc): the "x:" links in `dosdevices`
// that lead to folders, in the letters' order.
void AddWineDrives(jet::Env& env, PathMap& map, const std::string& dosdevices);

}  // namespace engine::paths
