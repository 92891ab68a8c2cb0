// vostrel-cli list: the tables of a database and their links.
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "json.h"
#include "platform/messages.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/object_kind.h"
#include "vostrel/tabledef.h"

namespace cli {
namespace {

const char kListUsage[] =
    N_("usage: vostrel-cli list [--all] [--json] FILE\n"
    "\n"
    "Prints the user tables of the database FILE, one line each: the name, a tab,\n"
    "\"local\", \"linked\" or \"odbc\", a tab, and the link string (empty for a local table).\n"
    "\n"
    "  --all    every object of the catalog, in its order: the system tables too,\n"
    "           and the objects that are not tables, by kind (query, form, report,\n"
    "           macro, module, container, database, relationship, users, database\n"
    "           document, data access page; other for a type of no known kind)\n"
    "  --json   one JSON array of objects with the keys name, type (the catalog's\n"
    "           number: 1 local, 4 odbc, 6 linked, others for the other kinds),\n"
    "           system, connect (the link string), database, foreignName (the\n"
    "           catalog's columns, null where null), openBy (the sessions of the\n"
    "           desktop program that have the file open, as {machine, user}; the\n"
    "           same on every object, [] when none)\n"
    "\n"
    "An engine error prints \"Error N: description\" on stderr and exits with 1.\n");

}  // namespace

int ListCommand(const Args& args) {
  bool all = false, json = false;
  std::optional<std::string> file;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << platform::Translate(kListUsage);
      return 0;
    }
    if (a == "--all") {
      all = true;
    } else if (a == "--json") {
      json = true;
    } else if ((a.size() > 1 && a[0] == '-') || file) {
      std::cerr << platform::Fill(platform::Translate("vostrel-cli list: unexpected argument '%1'"), {a}) << "\n\n"
                << platform::Translate(kListUsage);
      return 2;
    } else {
      file = a;
    }
  }
  if (!file) {
    std::cerr << platform::Translate(kListUsage);
    return 2;
  }
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(*file);
    // Written as it goes, a block at a time: a long catalog's whole output
    // held at once would cost fresh pages of memory for nothing.
    constexpr size_t kBlock = 64 * 1024;
    std::string out = json ? "[" : "";
    out.reserve(kBlock + 4096);
    bool first = true;
    // Who has the file open concerns the file, not one object; each object
    // carries it so that the output stays an array of objects.
    std::string open_by = "[";
    if (json) {
      for (const engine::SessionUser& u : db->OpenBy()) {
        if (open_by.size() > 1) open_by += ", ";
        open_by.append(JsonObject().Add("machine", u.machine).Add("user", u.user).Text());
      }
    }
    open_by += "]";
    auto visit = [&](const engine::CatalogEntry& e, const std::string& connect) {
      if (e.system && !all) return;
      if (!json) {
        out.append(e.name).append("\t").append(engine::ObjectKindName(e.type)).append("\t").append(connect).append("\n");
      } else {
        out += first ? "\n  " : ",\n  ";
        first = false;
        out.append("{\"name\": ").append(JsonString(e.name)).append(", \"type\": ").append(std::to_string(e.type));
        out.append(", \"system\": ").append(e.system ? "true" : "false").append(", \"connect\": ").append(JsonString(connect));
        out.append(", \"database\": ").append(JsonOptional(e.database));
        out.append(", \"foreignName\": ").append(JsonOptional(e.foreign_name));
        out.append(", \"openBy\": ").append(open_by).append("}");
      }
      if (out.size() >= kBlock) {
        std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
        out.clear();
      }
    };
    if (all) {
      db->ForEachObject(visit);
    } else {
      db->ForEachTable(visit);
    }
    if (json) out += first ? "]\n" : "\n]\n";
    db->Close();
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    return 0;
  } catch (const engine::EngineError& e) {
    ReportEngineError(e.number(), e.localized());
    return 1;
  }
}

}  // namespace cli
