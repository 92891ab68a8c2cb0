#include "engine/paths/smb_conf.h"

#include <string_view>

#include "engine/paths/source_text.h"

namespace engine::paths {
namespace {

// Samba ignores case, spaces and underscores in parameter names.
std::string ParameterName(std::string_view key) {
  std::string out;
  for (char c : key)
    if (c != ' ' && c != '\t' && c != '_') out += c;
  return Lower(out);
}

// Samba reads every run of blanks in a value, or in a section's name, as one
// space ("/srv/a  b" is "/srv/a b").
std::string Collapsed(std::string_view s) {
  std::string out;
  for (char c : s) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (!blank) out += c;
    else if (out.empty() || out.back() != ' ') out += ' ';
  }
  return out;
}

// The items of a list parameter: separated by blanks, "," or ";"; a
// double-quoted item may hold them.
std::vector<std::string> ListItems(std::string_view value) {
  std::vector<std::string> items;
  std::string item;
  bool quoted = false;
  for (char c : value) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ' ' || c == '\t' || c == ',' || c == ';')) {
      if (!item.empty()) items.push_back(std::move(item));
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(std::move(item));
  return items;
}

bool Yes(const std::string& value) {
  const std::string v = Lower(value);
  return v == "yes" || v == "true" || v == "1" || v == "on";
}

// Sets one of the share parameters the map needs; false for another.
bool SetShareParameter(SmbShare& share, const std::string& name, const std::string& value, const std::string& file) {
  if (name == "path" || name == "directory") {
    share.path = value;
    share.file = file;
    share.given.insert("path");
  } else if (name == "printable" || name == "printok") {
    share.printable = Yes(value);
    share.given.insert("printable");
  } else if (name == "available") {
    share.available = Yes(value);
    share.given.insert("available");
  } else {
    return false;
  }
  return true;
}

// `copy = from`: what `from` holds now, save what `share` gives itself.
void CopyShare(SmbShare& share, const SmbShare& from) {
  if (!share.given.count("path")) {
    share.path = from.path;
    share.file = from.file;
  }
  if (!share.given.count("printable")) share.printable = from.printable;
  if (!share.given.count("available")) share.available = from.available;
}

bool IsGlobal(const std::string& key) { return key.empty() || Trim(key) == "global"; }

void ReadSmbFile(jet::Env& env, const std::string& path, std::set<std::string>& read_already, SmbConf& conf,
                 std::string& section);

}  // namespace

void ReadSmbText(jet::Env& env, const std::string& text, const std::string& path, SmbReading reading,
                 std::set<std::string>& read_already, SmbConf& conf, std::string& section) {
  const std::vector<std::string> raw = Lines(text);
  for (size_t i = 0; i < raw.size(); ++i) {
    // A "\" at the end continues the line, the next one joined as it
    // stands, its leading blanks too.
    std::string line = Trim(raw[i]);
    while (!line.empty() && line.back() == '\\' && i + 1 < raw.size()) {
      line.pop_back();
      line = Trim(line + raw[++i]);
    }
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      section = Collapsed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      const std::string key = Lower(section);
      if (!conf.names.count(key)) conf.names[key] = section;
      if (!IsGlobal(key) && !conf.shares.count(key)) {
        SmbShare& share = conf.shares[key] = conf.defaults;
        share.given.clear();
      }
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = ParameterName(line.substr(0, equals));
    const std::string value = Trim(Collapsed(line.substr(equals + 1)));
    const std::string key = Lower(section);
    if (name == "include") {
      // A name with a substitution (%m, %U) differs per client: not ours to guess.
      if (reading == SmbReading::kOwn && !value.empty() && value.find('%') == std::string::npos)
        ReadSmbFile(env, value, read_already, conf, section);
      if (reading == SmbReading::kResolved && !value.empty()) conf.included.push_back(value);
      continue;
    }
    if (IsGlobal(key)) {
      if (name == "netbiosname") {
        conf.netbios_name = Upper(value);  // as Samba keeps it
      } else if (name == "netbiosaliases") {
        conf.aliases = ListItems(value);
      } else {
        SetShareParameter(conf.defaults, name, value, path);
      }
      continue;
    }
    SmbShare& share = conf.shares[key];
    if (SetShareParameter(share, name, value, path) || name != "copy" || reading != SmbReading::kOwn) continue;
    // Samba copies only a share defined before; its own name copies nothing.
    const auto from = conf.shares.find(Lower(value));
    if (from != conf.shares.end() && from->first != key) CopyShare(share, from->second);
  }
}

namespace {

void ReadSmbFile(jet::Env& env, const std::string& path, std::set<std::string>& read_already, SmbConf& conf,
                 std::string& section) {
  auto real = env.RealPath(path);
  if (!read_already.insert(real.ok() ? *real : path).second) return;
  const SourceText read = ReadText(env, path);
  if (!read.text) {
    WarnUnreadable(path, read);
    return;
  }
  ReadSmbText(env, *read.text, path, SmbReading::kOwn, read_already, conf, section);
}

}  // namespace

SmbConf OwnSmbConf(jet::Env& env, const std::string& text, const std::string& path) {
  SmbConf conf;
  std::string section;
  std::set<std::string> read_already;
  auto real = env.RealPath(path);
  read_already.insert(real.ok() ? *real : path);
  ReadSmbText(env, text, path, SmbReading::kOwn, read_already, conf, section);
  return conf;
}

}  // namespace engine::paths
