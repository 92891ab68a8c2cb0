// vostrel-cli list: the tables of a database and their links.
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "front_end_password.h"
#include "json.h"
#include "passwords.h"
#include "platform/messages.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/object_kind.h"
#include "vostrel/tabledef.h"

namespace cli {
namespace {

const char kListUsage[] =
    N_("usage: vostrel-cli list [--all] [--json] [--show-passwords] [--password-file PWFILE] FILE\n"
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
    "  --show-passwords   a link's password as it stands (\"PWD=geslo\"); without\n"
    "           it, every output shows it as \"PWD=***\"\n"
    "  --password-file PWFILE   FILE's database password: the first line of PWFILE\n"
    "           (else the variable VOSTREL_PASSWORD; else, on a terminal, it is\n"
    "           asked for without echo when FILE wants one). Never printed.\n"
    "\n"
    "An engine error prints \"vostrel-cli: FILE: Error N: description\" on stderr.\n"
    "\n"
    "Exit status:\n"
    "  0  the database was read and listed\n"
    "  1  it could not be read (an engine error), or a --map entry is bad\n"
    "  2  wrong usage\n");

}  // namespace

int ListCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "list", kListUsage, {{"--all", false}, {"--json", false}, kShowPasswords, kPasswordFile}, parsed,
                                   [](const ParsedArgs& p) {
                                     if (p.help) return;
                                     if (p.files.empty()) throw UsageError("no database to list");
                                     if (p.files.size() > 1)
                                       throw UsageError(platform::Fill(platform::Translate("unexpected argument '%1'"),
                                                                       {p.files[1]}));
                                   }))
    return *done;
  const bool all = parsed.Has("--all"), json = parsed.Has("--json"), show_passwords = parsed.Has(kShowPasswords.name);
  const std::optional<std::string> file = parsed.files.front();
  std::optional<int> failed;
  FrontEndPassword password = PasswordFromArgs(parsed, "list", failed);
  if (failed) return *failed;
  try {
    auto db = password.Open(engine::Env::Default(), *file);
    // Written as it goes, a block at a time: a long catalog's whole output
    // held at once would cost fresh pages of memory for nothing.
    constexpr size_t kBlock = 64 * 1024;
    std::string out;
    out.reserve(kBlock + 4096);
    JsonArrayWriter objects(out);
    // Who has the file open concerns the file, not one object; each object
    // carries it so that the output stays an array of objects.
    Json open_by = Json::array();
    if (json)
      for (const engine::SessionUser& u : db->OpenBy()) open_by.push_back({{"machine", u.machine}, {"user", u.user}});
    auto visit = [&](const engine::CatalogEntry& e, const std::string& stored) {
      if (e.system && !all) return;
      const std::string connect = Shown(stored, show_passwords);
      if (!json) {
        out.append(e.name).append("\t").append(engine::ObjectKindName(e.type)).append("\t").append(connect).append("\n");
      } else {
        objects.Add({{"name", e.name},
                     {"type", e.type},
                     {"system", e.system},
                     {"connect", connect},
                     {"database", OrNull(e.database)},
                     {"foreignName", OrNull(e.foreign_name)},
                     {"openBy", open_by}});
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
    if (json) objects.End();
    db->Close();
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    return 0;
  } catch (const engine::EngineError& e) {
    ReportEngineError(*file, e.number(), e.localized());
    return 1;
  }
}

}  // namespace cli
