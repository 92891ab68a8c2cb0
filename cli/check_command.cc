// vostrel-cli check: whether every link of each front-end still reaches its
// table, without changing anything.
#include <iostream>

#include "commands.h"
#include "front_end.h"
#include "front_end_output.h"
#include "json.h"
#include "passwords.h"
#include "platform/messages.h"

namespace cli {
namespace {

const char kCheckUsage[] =
    N_("usage: vostrel-cli check [--json] [--show-passwords] [--password-file PWFILE] FILE...\n"
    "\n"
    "Checks every linked table of each front-end FILE as a relink would: the\n"
    "back-end must open (with the link's password, if it has one) and hold the\n"
    "table. Nothing is written. One line per link, separated by tabs:\n"
    "\n"
    "  FILE  TABLE  ok\n"
    "  FILE  TABLE  Error N: description          (the link is broken)\n"
    "  FILE  TABLE  not checkable: Error N: ...   (ODBC and other kinds of link)\n"
    "\n"
    "  FILE        open by user 'U' on machine 'M'   (a session of the desktop\n"
    "                                  program has it open: a relink is refused)\n"
    "\n"
    "A front-end that does not open is one line with an empty TABLE, and its\n"
    "error on stderr as \"vostrel-cli: FILE: Error N: description\".\n"
    "\n"
    "  --json   one JSON array, an object per front-end: frontEnd, error (null\n"
    "           or {number, description}), openBy ({machine, user} of each session\n"
    "           that has it open) and links, each with table, connect,\n"
    "           localPath (where its back-end is here, through the path map;\n"
    "           null where nothing here reaches it), state (\"ok\", \"broken\",\n"
    "           \"not checkable\") and error\n"
    "  --show-passwords   a link's password as it stands (\"PWD=geslo\"); without\n"
    "           it, every output shows it as \"PWD=***\"\n"
    "  --password-file PWFILE   the front-ends' database password: the first line\n"
    "           of PWFILE (else the variable VOSTREL_PASSWORD; else, on a terminal,\n"
    "           it is asked for without echo when a front-end wants one). A\n"
    "           back-end's password is its link's PWD=. Never printed.\n"
    "\n"
    "A Windows path in a link or as FILE (Z:\\..., \\\\server\\share\\...) is found\n"
    "through the path map (see vostrel-cli map --help); --map 'WINPREFIX=LOCALDIR'\n"
    "adds an entry.\n"
    "\n"
    "Exit status:\n"
    "  0  no link is broken (links that cannot be checked do not count)\n"
    "  1  a link is broken, a front-end does not open, or the path map cannot be read\n"
    "  2  wrong usage\n");

}  // namespace

int CheckCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "check", kCheckUsage, {{"--json", false}, kShowPasswords, kPasswordFile}, parsed, [](const ParsedArgs& p) {
        if (!p.help && p.files.empty()) throw UsageError("no front-end to check");
      }))
    return *done;
  std::optional<int> failed;
  FrontEndPassword password = PasswordFromArgs(parsed, "check", failed);
  if (failed) return *failed;
  const bool json = parsed.Has("--json");
  bool all_good = true;
  std::string out;
  JsonArrayWriter reports(out);
  for (const std::string& file : parsed.files) {
    const FrontEndCheck report = Shown(CheckFrontEnd(engine::Env::Default(), file, &password), parsed.Has(kShowPasswords.name));
    all_good = all_good && report.Good();
    if (report.failure) ReportEngineError(file, report.failure->number, report.failure->localized);
    if (json)
      reports.Add(CheckJson(report));
    else
      out += CheckLines(report);
    std::cout << out << std::flush;  // each front-end as it is done: a script reads as it goes
    out.clear();
  }
  if (json) reports.End();
  std::cout << out;
  return all_good ? 0 : 1;
}

}  // namespace cli
