// vostrel-cli scan: every front-end under some folders and the state of its
// links, printed as it is found.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "commands.h"
#include "front_end.h"
#include "front_end_output.h"
#include "json.h"
#include "passwords.h"
#include "path_compare.h"
#include "platform/messages.h"
#include "vostrel/database_file.h"
#include "vostrel/link_string.h"

namespace cli {
namespace {

const char kScanUsage[] =
    N_("usage: vostrel-cli scan DIR... [--back-end PATH] [--verbose] [--json] [--show-passwords]\n"
    "                        [--password-file PWFILE]\n"
    "\n"
    "Walks the folders DIR (symbolic links are not followed; a folder or file that\n"
    "cannot be read, or whose path is longer than the system takes, is reported on\n"
    "stderr and skipped) and checks every front-end found\n"
    "there, told by its content whatever its name, as vostrel-cli check does; the\n"
    "lines are check's, printed as each front-end is checked, with each error's\n"
    "short form and the back-end it is about:\n"
    "\n"
    "  FILE  TABLE  ok | Error N: reason: BACKEND | not checkable: ...\n"
    "\n"
    "A front-end that does not open is one line with an empty TABLE and the error's\n"
    "whole description, also on stderr as \"vostrel-cli: FILE: Error N: description\".\n"
    "Where links name a back-end that nothing here reaches (3024, 3044), a last\n"
    "line on stderr says what to do: a back-end that moved is repointed with\n"
    "vostrel-cli relink --from/--to.\n"
    "\n"
    "  --back-end PATH   only the links to the back-end PATH, or to back-ends in the\n"
    "                    folder PATH or below it (compared as relink --from compares)\n"
    "  --verbose         each error's whole description instead of its short form\n"
    "  --json            one JSON array of check's objects, one per front-end (the\n"
    "                    whole descriptions)\n"
    "  --show-passwords  links' passwords as they stand (else \"PWD=***\")\n"
    "  --password-file PWFILE   the database password of the front-ends found: the\n"
    "                    first line of PWFILE (else the variable VOSTREL_PASSWORD;\n"
    "                    else, on a terminal, it is asked for without echo at the\n"
    "                    first front-end that wants one). Never printed.\n"
    "\n"
    "On a terminal, stderr shows how far it got.\n"
    "\n"
    "Exit status:\n"
    "  0  no link shown is broken\n"
    "  1  a link shown is broken, a front-end does not open, a folder or file\n"
    "     cannot be read, or the path map cannot be read\n"
    "  2  wrong usage\n");

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool IsSeparator(char c) { return c == kSeparator || c == '/'; }

// The path of `name` in `dir`, written as this system writes paths.
std::string Child(const std::string& dir, const std::string& name) {
  return !dir.empty() && IsSeparator(dir.back()) ? dir + name : dir + kSeparator + name;
}

// A folder as the user gave it, with this system's separators and none at
// its end but a root's ("/", "C:\").
std::string FolderGiven(std::string dir) {
  for (char& c : dir)
    if (IsSeparator(c)) c = kSeparator;
  const size_t root = dir.size() >= 2 && dir[1] == ':' ? 3 : 1;
  while (dir.size() > root && dir.back() == kSeparator) dir.pop_back();
  return dir;
}

// Where the links a scan shows name a back-end that nothing here reaches,
// the one line on stderr that says what to do. With --back-end the user
// asks which front-ends still point at a back-end that moves: they want
// repointing, and a path map entry for a server that is gone would not help.
std::string NotReachedHint(const std::optional<std::string>& back_end, const std::string& first) {
  if (back_end)
    return platform::Fill(platform::Translate("'%1' is not reached from here; if it has moved, repoint its links: "
                                              "vostrel-cli relink FILE... --from '%1' --to NEWPATH"),
                          {TerminalText(*back_end)});
  return platform::Fill(platform::Translate("some back-ends are not reached from here (such as '%1'): one that has "
                                            "moved wants vostrel-cli relink --from/--to, one still in place a path "
                                            "map entry (vostrel-cli map --help)"),
                        {TerminalText(first)});
}

class Scan {
 public:
  Scan(std::optional<std::string> back_end, bool json, Detail detail, bool show_passwords, FrontEndPassword& password)
      : back_end_(std::move(back_end)), json_(json), detail_(detail), show_passwords_(show_passwords), password_(password),
        progress_(isatty(STDERR_FILENO) != 0), reports_(out_) {}

  void Folder(const std::string& dir) {
    engine::Env& env = engine::Env::Default();
    auto names = env.ListDir(dir);
    if (!names.ok()) {
      ClearProgress();
      std::cerr << "vostrel-cli: " << TerminalText(dir) << ": "
                << platform::Fill(platform::Translate("cannot read the folder: %1"), {names.status().message()}) << "\n";
      good_ = false;
      return;
    }
    std::sort(names->begin(), names->end());
    for (const std::string& name : *names) {
      const std::string path = Child(dir, name);
      auto info = env.Stat(path, false);
      if (!info.ok()) {
        // Gone since the folder was listed: nothing to say. Anything else
        // (a name longer than the system takes, no permission) is said.
        if (info.status().code() == engine::Code::kNotFound) continue;
        ClearProgress();
        std::cerr << "vostrel-cli: " << TerminalText(path) << ": "
                  << platform::Fill(platform::Translate("cannot be read: %1"), {info.status().message()}) << "\n";
        good_ = false;
        continue;
      }
      if (info->kind == engine::FileKind::kDirectory) {
        Folder(path);
      } else if (info->kind == engine::FileKind::kFile) {
        ++files_;
        if (engine::IsDatabaseFile(env, path)) FrontEnd(path);
        ShowProgress();
      }
    }
  }

  int Finish() {
    ClearProgress();
    if (json_) reports_.End();
    std::cout << out_ << std::flush;
    if (not_reached_) std::cerr << "vostrel-cli scan: " << NotReachedHint(back_end_, *not_reached_) << "\n";
    return good_ ? 0 : 1;
  }

 private:
  void FrontEnd(const std::string& path) {
    FrontEndCheck report = Shown(CheckFrontEnd(engine::Env::Default(), path, &password_), show_passwords_);
    if (back_end_) {
      std::erase_if(report.links, [&](const CheckedLink& l) {
        const std::optional<std::string> database = engine::ParseLinkString(l.link).database;
        return !database || !WithinPath(*database, *back_end_);
      });
    }
    if (report.links.empty() && !report.failure) return;  // a back-end or a database without links
    ++front_ends_;
    good_ = good_ && report.Good();
    for (const CheckedLink& l : report.links)
      if (!not_reached_ && l.state == LinkState::kBroken && NotReached(*l.failure))
        not_reached_ = engine::ParseLinkString(l.link).database.value_or("");
    ClearProgress();
    if (report.failure) ReportEngineError(path, report.failure->number, report.failure->localized);
    if (json_)
      reports_.Add(CheckJson(report));
    else
      out_ += CheckLines(report, detail_);
    std::cout << out_ << std::flush;  // each front-end as it is done: a script reads as it goes
    out_.clear();
  }

  void ShowProgress() {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    std::cerr << "\r"
              << platform::Fill(platform::Translate("scanned %1 files, %2 front-ends"),
                                {std::to_string(files_), std::to_string(front_ends_)})
              << std::flush;
    dirty_ = true;
  }

  void ClearProgress() {
    if (!dirty_) return;
    std::cerr << "\r\033[K" << std::flush;
    dirty_ = false;
  }

  std::optional<std::string> back_end_;
  bool json_;
  Detail detail_;
  bool show_passwords_;
  FrontEndPassword& password_;
  bool progress_;
  bool good_ = true;
  bool dirty_ = false;
  uint64_t files_ = 0, front_ends_ = 0;
  std::chrono::steady_clock::time_point shown_{};
  std::string out_;  // what is printed next
  JsonArrayWriter reports_;
  // The back-end path of the first link shown whose back-end nothing here
  // reaches.
  std::optional<std::string> not_reached_;
};

}  // namespace

int ScanCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "scan", kScanUsage,
                                   {{"--json", false}, {"--back-end", true}, {"--verbose", false}, kShowPasswords, kPasswordFile}, parsed,
                                   [](const ParsedArgs& p) {
                                     if (!p.help && p.files.empty()) throw UsageError("no folder to scan");
                                   }))
    return *done;
  std::optional<int> failed;
  FrontEndPassword password = PasswordFromArgs(parsed, "scan", failed);
  if (failed) return *failed;
  Scan scan(parsed.Value("--back-end"), parsed.Has("--json"), parsed.Has("--verbose") ? Detail::kFull : Detail::kShort,
            parsed.Has(kShowPasswords.name), password);
  for (const std::string& dir : parsed.files) scan.Folder(FolderGiven(dir));
  return scan.Finish();
}

}  // namespace cli
