// vostrel-cli map: the path map the other commands find back-ends through.
#include <iostream>

#include "commands.h"
#include "json.h"
#include "platform/messages.h"
#include "vostrel/dbengine.h"

namespace cli {
namespace {

const char kMapUsage[] =
    N_("usage: vostrel-cli map [--json] [--map 'WINPREFIX=LOCALDIR']...\n"
    "\n"
    "Prints the path map: how the Windows paths that links hold (Z:\\Baze\\X.MDB,\n"
    "\\\\streznik\\baze\\X.MDB) reach files here. One line per entry, separated by tabs:\n"
    "\n"
    "  WINPREFIX  LOCALDIR  SOURCE\n"
    "\n"
    "Entries come from, earlier winning on the same prefix: --map; the variable\n"
    "VOSTREL_MAP (entries separated by newlines or \";\"); the files\n"
    "$XDG_CONFIG_HOME/vostrel/map (~/.config/vostrel/map) and /etc/vostrel/map\n"
    "(\"WINPREFIX = LOCALDIR\" a line, \"#\" comments); the shares of the Samba\n"
    "server as testparm reads them where it is installed (VOSTREL_SMB_CONF, which\n"
    "must exist, or /etc/samba/smb.conf; [homes], printers and shares with\n"
    "available = no left out), as \\\\NAME\\share for its NetBIOS name, each of\n"
    "its netbios aliases, its host name and localhost; the CIFS mounts\n"
    "(/proc/self/mounts); Wine's drive letters ($WINEPREFIX/dosdevices, ~/.wine).\n"
    "A path takes the entry with the longest prefix that covers whole folders of it.\n"
    "\n"
    "  --json   one JSON array of objects: prefix, local, source\n"
    "\n"
    "Exit status:\n"
    "  0  the map was printed\n"
    "  1  the map cannot be read (a bad entry, say): \"vostrel-cli: Error N:\n"
    "     description\" on stderr says where\n"
    "  2  wrong usage\n");

}  // namespace

int MapCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "map", kMapUsage, {{"--json", false}}, parsed, [](const ParsedArgs& p) {
        if (!p.files.empty()) throw UsageError(platform::Fill(platform::Translate("unexpected argument '%1'"), {p.files.front()}));
      }))
    return *done;
  const engine::PathMap& map = engine::DBEngine::Instance().Map();
  if (!parsed.Has("--json")) {
    for (const engine::PathMapEntry& e : map.Entries()) std::cout << e.prefix << "\t" << e.local << "\t" << e.source << "\n";
    return 0;
  }
  std::string out;
  JsonArrayWriter entries(out);
  for (const engine::PathMapEntry& e : map.Entries())
    entries.Add({{"prefix", e.prefix}, {"local", e.local}, {"source", e.source}});
  entries.End();
  std::cout << out;
  return 0;
}

}  // namespace cli
