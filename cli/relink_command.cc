// vostrel-cli relink: repoint one link of a database, as the window does:
// Connect is set to the link string, then RefreshLink stores it.
#include <iostream>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "engine/database.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "engine/tabledef.h"
#include "engine/tabledefs.h"

namespace cli {
namespace {

const char kRelinkUsage[] =
    "usage: vostrel-cli relink FILE --table NAME --connect LINKSTRING\n"
    "\n"
    "Sets the link string of the linked table NAME in the database FILE to\n"
    "LINKSTRING (for example \";DATABASE=D:\\Data\\PARTNER.MDB\") and stores it:\n"
    "the back-end must open and hold the table. LINKSTRING is passed on as it is,\n"
    "even when empty. On any failure the file is left as it was.\n"
    "\n"
    "An engine error prints \"Error N: description\" on stderr and exits with 1;\n"
    "wrong usage exits with 2.\n";

int Usage(const std::string& problem) {
  std::cerr << "vostrel-cli relink: " << problem << "\n\n" << kRelinkUsage;
  return 2;
}

}  // namespace

int RelinkCommand(const Args& args) {
  std::optional<std::string> file, table, connect;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::cout << kRelinkUsage;
      return 0;
    }
    if (a == "--table" || a == "--connect") {
      if (i + 1 == args.size()) return Usage(a + " needs a value");
      std::optional<std::string>& slot = a == "--table" ? table : connect;
      if (slot) return Usage(a + " is given twice");
      slot = args[++i];
    } else if ((a.size() > 1 && a[0] == '-') || file) {
      return Usage("unexpected argument '" + a + "'");
    } else {
      file = a;
    }
  }
  if (!file) return Usage("no database file");
  if (!table) return Usage("no --table");
  if (!connect) return Usage("no --connect");
  try {
    std::unique_ptr<engine::Database> db = engine::DBEngine::Instance().OpenDatabase(*file);
    engine::TableDef& def = db->TableDefs().Item(*table);
    def.SetConnect(*connect);
    def.RefreshLink();
    db->Close();
  } catch (const engine::EngineError& e) {
    ReportEngineError(e.number(), e.description());
    return 1;
  }
  return 0;
}

}  // namespace cli
