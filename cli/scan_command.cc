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
#include "path_compare.h"
#include "platform/messages.h"
#include "vostrel/database_file.h"
#include "vostrel/link_string.h"

namespace cli {
namespace {

const char kScanUsage[] =
    N_("usage: vostrel-cli scan DIR... [--back-end PATH] [--json]\n"
    "\n"
    "Walks the folders DIR (symbolic links are not followed; a folder or file that\n"
    "cannot be read, or whose path is longer than the system takes, is reported on\n"
    "stderr and skipped) and checks every front-end found\n"
    "there, told by its content whatever its name, as vostrel-cli check does; the\n"
    "lines are check's, printed as each front-end is checked:\n"
    "\n"
    "  FILE  TABLE  ok | Error N: description | not checkable: ...\n"
    "\n"
    "  --back-end PATH   only the links to the back-end PATH (compared as relink\n"
    "                    --from compares: case and \"\\\" or \"/\" forgiven)\n"
    "  --json            one JSON array of check's objects, one per front-end\n"
    "\n"
    "On a terminal, stderr shows how far it got. Exits with 0 when no link shown is\n"
    "broken, 1 when one is, a front-end does not open or an entry cannot be read,\n"
    "2 on wrong usage.\n");

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

class Scan {
 public:
  Scan(std::optional<std::string> back_end, bool json)
      : back_end_(std::move(back_end)), json_(json), progress_(isatty(STDERR_FILENO) != 0) {}

  void Folder(const std::string& dir) {
    engine::Env& env = engine::Env::Default();
    auto names = env.ListDir(dir);
    if (!names.ok()) {
      ClearProgress();
      std::cerr << platform::Fill(platform::Translate("vostrel-cli scan: cannot read the folder '%1': %2"),
                                  {dir, names.status().message()})
                << "\n";
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
        std::cerr << platform::Fill(platform::Translate("vostrel-cli scan: cannot read an entry: %1"),
                                    {info.status().message()})
                  << "\n";
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
    if (json_) std::cout << (first_ ? "[]\n" : "\n]\n");
    std::cout << std::flush;
    return good_ ? 0 : 1;
  }

 private:
  void FrontEnd(const std::string& path) {
    FrontEndCheck report = CheckFrontEnd(engine::Env::Default(), path);
    if (back_end_) {
      std::erase_if(report.links, [&](const CheckedLink& l) {
        const std::optional<std::string> database = engine::ParseLinkString(l.link).database;
        return !database || !SamePath(*database, *back_end_);
      });
    }
    if (report.links.empty() && !report.failure) return;  // a back-end or a database without links
    ++front_ends_;
    good_ = good_ && report.Good();
    ClearProgress();
    if (json_) {
      std::cout << (first_ ? "[\n  " : ",\n  ") << CheckJson(report);
      first_ = false;
    } else {
      std::cout << CheckLines(report);
    }
    std::cout << std::flush;  // each front-end as it is done: a script reads as it goes
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
  bool progress_;
  bool good_ = true;
  bool first_ = true;
  bool dirty_ = false;
  uint64_t files_ = 0, front_ends_ = 0;
  std::chrono::steady_clock::time_point shown_{};
};

}  // namespace

int ScanCommand(const Args& args) {
  ParsedArgs parsed;
  if (auto done = ParseCommandArgs(args, "scan", kScanUsage, {{"--json", false}, {"--back-end", true}}, parsed,
                                   [](const ParsedArgs& p) {
                                     if (!p.help && p.files.empty()) throw UsageError("no folder to scan");
                                   }))
    return *done;
  Scan scan(parsed.Value("--back-end"), parsed.Has("--json"));
  for (const std::string& dir : parsed.files) scan.Folder(FolderGiven(dir));
  return scan.Finish();
}

}  // namespace cli
