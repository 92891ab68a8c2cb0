// vostrel-cli check: whether every link of each front-end still reaches its
// table, without changing anything.
#include <iostream>

#include "commands.h"
#include "front_end.h"
#include "front_end_output.h"
#include "json.h"
#include "platform/messages.h"

namespace cli {
namespace {

const char kCheckUsage[] =
    N_("usage: vostrel-cli check [--json] FILE...\n"
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
    "error on stderr as \"Error N: description\".\n"
    "\n"
    "  --json   one JSON array, an object per front-end: frontEnd, error (null\n"
    "           or {number, description}), openBy ({machine, user} of each session\n"
    "           that has it open) and links, each with table, connect,\n"
    "           localPath (where its back-end is here, through the path map;\n"
    "           null where nothing here reaches it), state (\"ok\", \"broken\",\n"
    "           \"not checkable\") and error\n"
    "\n"
    "A Windows path in a link (Z:\\..., \\\\server\\share\\...) is found through the\n"
    "path map (see vostrel-cli map --help); --map 'WINPREFIX=LOCALDIR' adds an entry.\n"
    "\n"
    "Exits with 0 when no link is broken (links that cannot be checked do not\n"
    "count), 1 when a link is broken or a front-end does not open, 2 on wrong usage.\n");

}  // namespace

int CheckCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "check", kCheckUsage, {{"--json", false}}, parsed, [](const ParsedArgs& p) {
        if (!p.help && p.files.empty()) throw UsageError("no front-end to check");
      }))
    return *done;
  const bool json = parsed.Has("--json");
  bool all_good = true;
  JsonArray reports;
  for (const std::string& file : parsed.files) {
    const FrontEndCheck report = CheckFrontEnd(engine::Env::Default(), file);
    all_good = all_good && report.Good();
    if (report.failure) ReportEngineError(report.failure->number, report.failure->localized);
    if (json)
      reports.Add(CheckJson(report));
    else
      std::cout << CheckLines(report) << std::flush;
  }
  if (json) std::cout << reports.Text() << "\n";
  return all_good ? 0 : 1;
}

}  // namespace cli
