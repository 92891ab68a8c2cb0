// vostrel-cli list: the tables of a database and their links.
#include <iostream>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/json.h"
#include "engine/database.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "engine/tabledef.h"
#include "engine/tabledefs.h"

namespace cli {
namespace {

const char kListUsage[] =
    "usage: vostrel-cli list [--all] [--json] FILE\n"
    "\n"
    "Prints the user tables of the database FILE, one line each: the name, a tab,\n"
    "\"local\", \"linked\" or \"odbc\", a tab, and the link string (empty for a local table).\n"
    "\n"
    "  --all    the system tables too\n"
    "  --json   one JSON array of objects with the keys name, type (the catalog's\n"
    "           number: 1 local, 4 odbc, 6 linked), system, connect (the link string),\n"
    "           database, foreignName (the catalog's columns, null where null)\n"
    "\n"
    "An engine error prints \"Error N: description\" on stderr and exits with 1.\n";

const char* KindName(int type) {
  switch (type) {
    case static_cast<int>(engine::TableType::kLocal): return "local";
    case static_cast<int>(engine::TableType::kOdbcLink): return "odbc";
    default: return "linked";
  }
}

}  // namespace

int ListCommand(const Args& args) {
  bool all = false, json = false;
  std::optional<std::string> file;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << kListUsage;
      return 0;
    }
    if (a == "--all") {
      all = true;
    } else if (a == "--json") {
      json = true;
    } else if ((a.size() > 1 && a[0] == '-') || file) {
      std::cerr << "vostrel-cli list: unexpected argument '" << a << "'\n\n" << kListUsage;
      return 2;
    } else {
      file = a;
    }
  }
  if (!file) {
    std::cerr << kListUsage;
    return 2;
  }
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(*file);
    std::string out = json ? "[" : "";
    bool first = true;
    for (auto& def : db->TableDefs()) {
      const engine::CatalogEntry& e = def->Entry();
      if (e.system && !all) continue;
      if (!json) {
        out += e.name + "\t" + KindName(e.type) + "\t" + def->Connect() + "\n";
        continue;
      }
      out += first ? "\n  " : ",\n  ";
      first = false;
      out += "{\"name\": " + JsonString(e.name) + ", \"type\": " + std::to_string(e.type) +
             ", \"system\": " + (e.system ? "true" : "false") + ", \"connect\": " + JsonString(def->Connect()) +
             ", \"database\": " + JsonOptional(e.database) +
             ", \"foreignName\": " + JsonOptional(e.foreign_name) + "}";
    }
    if (json) out += first ? "]\n" : "\n]\n";
    db->Close();
    std::cout << out;
    return 0;
  } catch (const engine::EngineError& e) {
    ReportEngineError(e.number(), e.description());
    return 1;
  }
}

}  // namespace cli
