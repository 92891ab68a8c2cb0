// The map of every source, and where this process finds them.
#include "vostrel/paths.h"

#include <cstdlib>

#include "engine/paths/sources.h"

namespace engine {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

MapSources DefaultMapSources() {
  MapSources s;
  if (const char* map = std::getenv("VOSTREL_MAP")) s.variable = map;
  const std::string home = Variable("HOME");
  std::string config = Variable("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  if (!config.empty()) s.map_files.push_back(config + "/vostrel/map");
  s.map_files.push_back("/etc/vostrel/map");
  s.smb_conf = Variable("VOSTREL_SMB_CONF");
  s.smb_conf_named = !s.smb_conf.empty();
  if (s.smb_conf.empty()) s.smb_conf = "/etc/samba/smb.conf";
#ifndef _WIN32
  s.testparm = "/usr/bin/testparm";  // Debian's samba-common-bin
  if (const char* testparm = std::getenv("VOSTREL_TESTPARM")) s.testparm = testparm;  // empty: not asked
#endif
  s.host_name_from_system = true;
  s.mounts = "/proc/self/mounts";
  std::string wine = Variable("WINEPREFIX");
  if (wine.empty() && !home.empty()) wine = home + "/.wine";
  if (!wine.empty()) s.dosdevices = wine + "/dosdevices";
  return s;
}

PathMap LoadPathMap(jet::Env& env, const MapSources& sources) {
  using namespace paths;
  PathMap map;
  AddCommandLineEntries(map, sources.command_line);
  if (sources.variable) AddVariableEntries(map, *sources.variable);
  for (const std::string& file : sources.map_files) AddMapFile(env, map, file);
  AddSambaShares(env, map, sources);
  AddMounts(env, map, sources.mounts);
  AddWineDrives(env, map, sources.dosdevices);
  return map;
}

}  // namespace engine
