// vostrel-cli relink: repoint links of one or many front-ends. Whole link
// strings for one table (--table --connect, as the window does it), or a
// back-end or a folder of them that moved (--from --to) in every front-end
// given, or the links a report of an earlier run says it changed, put back
// (--undo). Each front-end's change is one: all its links are checked first,
// then stored together or not at all; a failure in one front-end leaves the
// next to go on.
#include <cstdint>
#include <iostream>
#include <span>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "front_end.h"
#include "front_end_output.h"
#include "json.h"
#include "passwords.h"
#include "platform/messages.h"
#include "undo.h"
#include "vostrel/database.h"
#include "vostrel/names.h"

namespace cli {
namespace {

const char kRelinkUsage[] =
    N_("usage: vostrel-cli relink FILE --table NAME --connect LINKSTRING [--dry-run] [--json]\n"
    "       vostrel-cli relink FILE... --from OLD --to NEW [--table NAME] [--dry-run] [--json]\n"
    "       vostrel-cli relink --undo REPORT.json [--dry-run] [--json]\n"
    "       (each also [--show-passwords] [--password-file PWFILE])\n"
    "\n"
    "With --connect: sets the link string of the linked table NAME in the front-end\n"
    "FILE to LINKSTRING (for example \";DATABASE=D:\\Data\\PARTNER.MDB\") and stores\n"
    "it. LINKSTRING is passed on as it is, even when empty.\n"
    "\n"
    "With --from and --to: in every front-end FILE, every link to a database file\n"
    "whose back-end path is OLD, or lies in the folder OLD or below it, gets NEW in\n"
    "place of OLD; the rest of its path and of its link string (a password, say)\n"
    "stays: --from '\\\\stari\\baze' --to '\\\\streznik\\baze' moves\n"
    "\\\\stari\\baze\\Sub\\X.MDB to \\\\streznik\\baze\\Sub\\X.MDB. Paths are compared as\n"
    "Windows compares them: whole folder names (\\\\stari\\baze2 is not in\n"
    "\\\\stari\\baze), without regard to case, \"\\\" and \"/\" alike, \".\" and \"..\"\n"
    "folded. --table limits it to the link NAME.\n"
    "\n"
    "With --undo: puts back the links that REPORT.json (what relink --json printed)\n"
    "says were relinked, in the front-ends it names (as they were named then, so\n"
    "run it from the same folder). A link goes back only while its stored string\n"
    "is still what the report says was written; one changed since is left as it\n"
    "is and named on stderr (exit status 1), and the others go back. A report's\n"
    "masked password (PWD=***) is taken from the link as it stands, which a\n"
    "--from/--to move left as it was; where the relink changed a password the\n"
    "report masks, the link is left (relink it with --connect). Its output is\n"
    "relink's, and its --json is a report in its turn.\n"
    "\n"
    "A FILE, like a back-end, may be a Windows path (\\\\streznik\\app\\MLQ.mdb): it is\n"
    "found through the path map (see vostrel-cli map --help).\n"
    "\n"
    "Every link to change in a front-end is checked first (its back-end must open and\n"
    "hold the table); then all of them are stored as one change, or, on any failure,\n"
    "none: the file is left as it was. A failure in one front-end does not stop the\n"
    "next. One line per link, separated by tabs:\n"
    "\n"
    "  FILE  TABLE  OLDLINK -> NEWLINK\n"
    "  FILE  TABLE  Error N: description      (this link failed; FILE is unchanged)\n"
    "  FILE  TABLE  unchanged                 (another link of FILE failed)\n"
    "  FILE  TABLE  failed: Error N: ...      (FILE was refused as a whole: 3260,\n"
    "                                         a session has it open; unchanged)\n"
    "  FILE         no link to change\n"
    "  FILE  TABLE  left as it is: ...        (--undo: changed since the report)\n"
    "\n"
    "  --dry-run   checks and prints what would change (\" (dry run)\" after the\n"
    "              line); writes nothing\n"
    "  --json      one JSON array, an object per front-end: frontEnd, outcome\n"
    "              (\"relinked\", \"would relink\", \"nothing to change\", \"failed\"),\n"
    "              error (null or {number, description}) and links, each with table,\n"
    "              from (the link before), to (after), samePassword (both hold the\n"
    "              same passwords), outcome (\"relinked\", \"would relink\",\n"
    "              \"unchanged\", \"failed\") and error; with --undo also refused: the links\n"
    "              left as they are, each with table, stored and why (\"changed\n"
    "              since\", \"password hidden\")\n"
    "  --show-passwords   links' passwords as they stand (\"PWD=geslo\"); without it,\n"
    "              every output (and so a report) shows them as \"PWD=***\"\n"
    "  --password-file PWFILE   the front-ends' database password: the first line\n"
    "              of PWFILE (else the variable VOSTREL_PASSWORD; else, on a terminal,\n"
    "              it is asked for without echo when a front-end wants one). A\n"
    "              back-end's password is its link's PWD=. Never printed.\n"
    "\n"
    "Each failed front-end prints \"vostrel-cli: FILE: Error N: description\" on\n"
    "stderr.\n"
    "\n"
    "Exit status:\n"
    "  0  every front-end was repointed (with --dry-run: would be), or had no link\n"
    "     to change\n"
    "  1  a front-end failed (it is left as it was), or the path map cannot be read\n"
    "  2  wrong usage\n");

// What the arguments ask for; throws UsageError. An undo's order comes
// from its report.
RelinkOrder OrderOf(const ParsedArgs& p) {
  const auto table = p.Value("--table"), connect = p.Value("--connect");
  const auto from = p.Value("--from"), to = p.Value("--to");
  if (p.Value("--undo")) {
    if (table || connect || from || to) throw UsageError(platform::Translate(N_("--undo takes its links from the report: give it alone")));
    if (!p.files.empty()) throw UsageError(platform::Translate(N_("--undo takes its front-ends from the report: give no FILE")));
    return UndoLinks{};
  }
  if (p.files.empty()) throw UsageError("no front-end file");
  if (connect) {
    if (from || to) throw UsageError("--connect and --from/--to are two ways to say what to write: give one");
    if (!table) throw UsageError("--connect needs --table");
    if (p.files.size() != 1) throw UsageError("--connect takes one front-end; for many, use --from and --to");
    return SetLinks{{{*table, *connect}}};
  }
  if (!from && !to) throw UsageError("say what to write: --table and --connect, or --from and --to");
  if (!from || !to) throw UsageError(from ? N_("--from needs --to") : N_("--to needs --from"));
  // "\\server" alone, say, is no place a link's path can be beneath.
  if (!engine::PathBeneath(*from, *from))
    throw UsageError(platform::Fill(platform::Translate("--from '%1' is not a path: give a file, a folder, a "
                                                        "drive (Z:) or a share (\\\\server\\share)"),
                                    {*from}));
  // A ";" would end the path inside the stored link and start a parameter.
  if (to->find(';') != std::string::npos)
    throw UsageError("--to takes the back-end's path, never link-string syntax: it cannot hold \";\"");
  return MoveBackEnd{*from, *to, table};
}

// The whole text of the report file; throws NotAReport.
std::string ReadReport(const std::string& path) {
  engine::Env& env = engine::Env::Default();
  auto file = env.Open(path, engine::OpenMode::kRead);
  if (!file.ok()) throw NotAReport(file.status().message());
  auto size = (*file)->Size();
  if (!size.ok()) throw NotAReport(size.status().message());
  // A report of 2,000 front-ends is a few MB; anything far larger is not one.
  constexpr uint64_t kLargest = uint64_t{1} << 30;
  if (*size > kLargest) throw NotAReport(platform::Translate(N_("larger than any report")));
  std::string text(static_cast<size_t>(*size), '\0');
  const engine::Status read =
      (*file)->ReadAt(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  if (!read.ok()) throw NotAReport(read.message());
  return text;
}

const char* RefusalName(Refusal why) {
  return why == Refusal::kChangedSince ? "changed since" : "password hidden";
}

const char* RefusalText(Refusal why) {
  return why == Refusal::kChangedSince ? N_("left as it is: changed since the report")
                                       : N_("left as it is: the report masks the password it had before");
}

// What an undo leaves: lines as relink's, or on stderr, which names the
// table too; or the front-end's JSON object with "refused" added.
std::string RefusedLines(const FrontEndRelink& report, bool on_stderr) {
  std::string out;
  for (const RefusedLink& l : report.refused) {
    const std::string text = platform::Translate(RefusalText(l.why));
    if (on_stderr)
      out += "vostrel-cli: " + TerminalText(report.file) + ": '" + TerminalText(l.table) + "' " + text + "\n";
    else
      out += TerminalText(report.file) + "\t" + TerminalText(l.table) + "\t" + text + "\n";
  }
  return out;
}

// An undo's links put back though their back-ends do not open now, one
// line each on stderr: the link is as it was, and the user learns it is
// broken before the office does.
std::string BackEndsGoneLines(const FrontEndRelink& report) {
  std::string out;
  if (report.outcome != RelinkOutcome::kRelinked && report.outcome != RelinkOutcome::kWouldRelink) return out;
  for (const ChangedLink& l : report.links)
    if (l.back_end_now)
      out += "vostrel-cli: " + TerminalText(report.file) + ": " +
             platform::Fill(platform::Translate("'%1' is put back as it stood, though its back-end does not open now: %2"),
                            {TerminalText(l.table), ErrorLine(l.back_end_now->number, l.back_end_now->localized)}) +
             "\n";
  return out;
}

Json WithRefused(Json relink_json, const FrontEndRelink& report) {
  Json refused = Json::array();
  for (const RefusedLink& l : report.refused)
    refused.push_back({{"table", l.table}, {"stored", l.stored}, {"why", RefusalName(l.why)}});
  relink_json["refused"] = std::move(refused);
  return relink_json;
}

}  // namespace

int RelinkCommand(const Args& args) {
  ParsedArgs parsed;
  RelinkOrder order;
  const std::vector<OptionSpec> options = {{"--table", true},    {"--connect", true}, {"--from", true},
                                           {"--to", true},       {"--undo", true},    {"--dry-run", false},
                                           {"--json", false},    kShowPasswords,      kPasswordFile};
  if (auto done = ParseCommandArgs(args, "relink", kRelinkUsage, options, parsed, [&](const ParsedArgs& p) {
        if (!p.help) order = OrderOf(p);
      }))
    return *done;
  std::optional<int> password_failed;
  FrontEndPassword password = PasswordFromArgs(parsed, "relink", password_failed);
  if (password_failed) return *password_failed;
  const bool json = parsed.Has("--json"), dry_run = parsed.Has("--dry-run");
  const bool show = parsed.Has(kShowPasswords.name);
  // Each front-end and what to do to it: the same order for every FILE, or
  // an undo's own for each front-end of its report.
  std::vector<std::pair<std::string, RelinkOrder>> work;
  const auto undo = parsed.Value("--undo");
  if (undo) {
    try {
      for (ReportedFrontEnd& f : ReadRelinkReport(ReadReport(*undo))) work.emplace_back(f.file, std::move(f.undo));
    } catch (const NotAReport& e) {
      std::cerr << "vostrel-cli relink: "
                << platform::Fill(platform::Translate("%1: not a report of vostrel-cli relink --json: %2"),
                                  {TerminalText(*undo), TerminalText(e.what())})
                << "\n";
      return 1;
    }
  } else {
    for (const std::string& file : parsed.files) work.emplace_back(file, order);
  }
  const double now = engine::CatalogNow();  // one time for every link stored
  bool failed = false;
  std::string json_text;
  JsonArrayWriter reports(json_text);
  for (const auto& [file, what] : work) {
    const FrontEndRelink report = Shown(RelinkFrontEnd(engine::Env::Default(), file, what, dry_run, now, &password), show);
    if (report.outcome == RelinkOutcome::kFailed) {
      failed = true;
      ReportEngineError(file, report.failure->number, report.failure->localized);
    }
    failed = failed || !report.refused.empty();
    std::cerr << RefusedLines(report, true) << BackEndsGoneLines(report);
    if (json)
      reports.Add(undo ? WithRefused(RelinkJson(report), report) : RelinkJson(report));
    else
      std::cout << RelinkLines(report) << RefusedLines(report, false) << std::flush;
  }
  if (json) reports.End();
  std::cout << json_text;
  return failed ? 1 : 0;
}

}  // namespace cli
