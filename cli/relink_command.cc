// vostrel-cli relink: repoint links of one or many front-ends. Whole link
// strings for one table (--table --connect, as the window does it), or a
// back-end that moved (--from --to) in every front-end given. Each
// front-end's change is one: all its links are checked first, then stored
// together or not at all; a failure in one front-end leaves the next to go on.
#include <iostream>

#include "commands.h"
#include "front_end.h"
#include "front_end_output.h"
#include "json.h"
#include "platform/messages.h"
#include "vostrel/database.h"

namespace cli {
namespace {

const char kRelinkUsage[] =
    N_("usage: vostrel-cli relink FILE --table NAME --connect LINKSTRING [--dry-run] [--json]\n"
    "       vostrel-cli relink FILE... --from OLD --to NEW [--table NAME] [--dry-run] [--json]\n"
    "\n"
    "With --connect: sets the link string of the linked table NAME in the front-end\n"
    "FILE to LINKSTRING (for example \";DATABASE=D:\\Data\\PARTNER.MDB\") and stores\n"
    "it. LINKSTRING is passed on as it is, even when empty.\n"
    "\n"
    "With --from and --to: in every front-end FILE, every link to a database file\n"
    "whose back-end path is OLD gets the path NEW; the rest of its link string (a\n"
    "password, say) stays. Paths are compared without regard to case, and \"\\\" and\n"
    "\"/\" alike. --table limits it to the link NAME.\n"
    "\n"
    "Every link to change in a front-end is checked first (its back-end must open and\n"
    "hold the table); then all of them are stored as one change, or, on any failure,\n"
    "none: the file is left as it was. A failure in one front-end does not stop the\n"
    "next. One line per link, separated by tabs:\n"
    "\n"
    "  FILE  TABLE  OLDLINK -> NEWLINK\n"
    "  FILE  TABLE  Error N: description      (this link failed; FILE is unchanged)\n"
    "  FILE  TABLE  unchanged                 (another link of FILE failed)\n"
    "  FILE         no link to change\n"
    "\n"
    "  --dry-run   checks and prints what would change (\" (dry run)\" after the\n"
    "              line); writes nothing\n"
    "  --json      one JSON array, an object per front-end: frontEnd, outcome\n"
    "              (\"relinked\", \"would relink\", \"nothing to change\", \"failed\"),\n"
    "              error (null or {number, description}) and links, each with table,\n"
    "              from, to and error\n"
    "\n"
    "Each failed front-end prints \"Error N: description\" on stderr; the exit status\n"
    "is 1 when any front-end failed, 2 on wrong usage, else 0.\n");

// What the arguments ask for; throws UsageError.
RelinkOrder OrderOf(const ParsedArgs& p) {
  const auto table = p.Value("--table"), connect = p.Value("--connect");
  const auto from = p.Value("--from"), to = p.Value("--to");
  if (p.files.empty()) throw UsageError("no front-end file");
  if (connect) {
    if (from || to) throw UsageError("--connect and --from/--to are two ways to say what to write: give one");
    if (!table) throw UsageError("--connect needs --table");
    if (p.files.size() != 1) throw UsageError("--connect takes one front-end; for many, use --from and --to");
    return SetLinks{{{*table, *connect}}};
  }
  if (!from && !to) throw UsageError("say what to write: --table and --connect, or --from and --to");
  if (!from || !to) throw UsageError(from ? N_("--from needs --to") : N_("--to needs --from"));
  // A ";" would end the path inside the stored link and start a parameter.
  if (to->find(';') != std::string::npos)
    throw UsageError("--to takes the back-end's path, never link-string syntax: it cannot hold \";\"");
  return MoveBackEnd{*from, *to, table};
}

}  // namespace

int RelinkCommand(const Args& args) {
  ParsedArgs parsed;
  RelinkOrder order;
  const std::vector<OptionSpec> options = {{"--table", true}, {"--connect", true}, {"--from", true},
                                           {"--to", true},    {"--dry-run", false}, {"--json", false}};
  if (auto done = ParseCommandArgs(args, "relink", kRelinkUsage, options, parsed, [&](const ParsedArgs& p) {
        if (!p.help) order = OrderOf(p);
      }))
    return *done;
  const bool json = parsed.Has("--json"), dry_run = parsed.Has("--dry-run");
  const double now = engine::CatalogNow();  // one time for every link stored
  bool failed = false;
  JsonArray reports;
  for (const std::string& file : parsed.files) {
    const FrontEndRelink report = RelinkFrontEnd(engine::Env::Default(), file, order, dry_run, now);
    if (report.outcome == RelinkOutcome::kFailed) {
      failed = true;
      ReportEngineError(report.failure->number, report.failure->localized);
    }
    if (json)
      reports.Add(RelinkJson(report));
    else
      std::cout << RelinkLines(report) << std::flush;
  }
  if (json) std::cout << reports.Text() << "\n";
  return failed ? 1 : 0;
}

}  // namespace cli
