// The Samba server's shares, under each name its clients may call it by.
#include "engine/paths/sources.h"

#include "engine/failures.h"
#include "engine/paths/smb_conf.h"
#include "engine/paths/source_text.h"
#include "engine/paths/testparm.h"

namespace engine::paths {
namespace {

// The map entries of the Samba server's shares, under each name it answers to.
std::vector<PathMapEntry> SambaShares(jet::Env& env, const MapSources& sources) {
  std::vector<PathMapEntry> entries;
  const SourceText read = ReadText(env, sources.smb_conf);
  if (!read.text) return entries;  // gone since the map was loaded
  std::optional<SmbConf> conf = TestparmConf(env, sources);
  const bool by_testparm = conf.has_value();
  if (!conf) conf = OwnSmbConf(env, *read.text, sources.smb_conf);
  std::string host;
  if (!sources.host_name_file.empty()) {
    if (std::optional<std::string> text = ReadText(env, sources.host_name_file).text) host = Trim(Lines(*text).front());
  } else if (sources.host_name_from_system) {
    if (Result<std::string> name = env.HostName(); name.ok()) host = *name;
  }
  const std::string short_host = host.substr(0, host.find('.'));
  std::string netbios = conf->netbios_name;
  if (netbios.empty()) netbios = Upper(short_host.substr(0, 15));  // Samba's default: at most 15 characters
  std::vector<std::string> servers = {netbios};
  servers.insert(servers.end(), conf->aliases.begin(), conf->aliases.end());
  for (const std::string& s : {short_host, host, std::string("localhost")}) servers.push_back(s);
  for (const auto& [key, share] : conf->shares) {
    const std::string name = Trim(key);
    if (name == "homes" || name == "printers" || share.printable || !share.available || share.path.empty() ||
        share.path[0] != '/' || share.path.find('%') != std::string::npos)
      continue;
    const std::string& shown = conf->names[key];
    const std::string source = by_testparm ? "testparm [" + shown + "] of " + sources.smb_conf
                                           : "samba [" + shown + "] in " + share.file;
    for (const std::string& server : servers)
      if (!server.empty()) entries.push_back(PathMapEntry{"\\\\" + server + "\\" + shown, share.path, source});
  }
  return entries;
}

}  // namespace

// Its shares are learnt late so that a relink to a local path never waits
// for testparm.
void AddSambaShares(jet::Env& env, PathMap& map, const MapSources& sources) {
  if (sources.smb_conf.empty()) return;
  const SourceText read = ReadText(env, sources.smb_conf);
  if (!read.text) {
    if (sources.smb_conf_named) {
      if (!read.there) throw SambaConfigMissing(sources.smb_conf);
      throw SambaConfigUnreadable(sources.smb_conf, read.reason);
    }
    if (read.there) WarnUnreadable(sources.smb_conf, read);
    return;
  }
  map.Defer([env = &env, sources] { return SambaShares(*env, sources); });
}

}  // namespace engine::paths
