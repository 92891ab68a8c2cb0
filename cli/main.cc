// vostrel-cli: the engine for scripts.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <system_error>

#include "commands.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/paths.h"
#include "platform/messages.h"
#include "platform/system_text.h"
#include "platform/version.h"

namespace {

// Translated where printed (Usage), as a whole: a translator sees each
// block as it stands.
const char kUsageCommands[] =
    N_("usage: vostrel-cli COMMAND [options] FILE...\n"
    "\n"
    "Commands:\n"
    "  list FILE             the tables of a front-end and their links\n"
    "  check FILE...         whether every link's back-end opens and holds its table\n"
    "  relink FILE...        repoint links (--table/--connect, or --from/--to)\n"
    "  scan DIR...           every front-end under the folders and its links\n");
const char kUsageEnd[] =
    N_("\n"
       "  vostrel-cli COMMAND --help   explains a command\n"
       "  vostrel-cli --version        prints the version\n");

#ifdef _WIN32
std::string Usage() { return platform::Translate(kUsageCommands) + platform::Translate(kUsageEnd); }
// On Windows a link names its file as the system itself does, so the path
// map has nothing to do; the command says so rather than print nothing.
const char kMapOnWindows[] =
    N_("vostrel-cli map: on Windows a link's path (a drive letter, a UNC share) is the system's own:\n"
       "there is nothing to map.\n");
#else
// Where the links' Windows paths meet this system's files.
const char kUsageMap[] =
    N_("  map                   the path map: Windows prefixes and their local folders\n"
       "\n"
       "  --map 'WINPREFIX=LOCALDIR'   (any command, repeatable) a map entry before\n"
       "                               all others: Z:=/srv/baze, \\\\streznik\\baze=/srv/baze\n");
std::string Usage() {
  return platform::Translate(kUsageCommands) + platform::Translate(kUsageMap) + platform::Translate(kUsageEnd);
}
#endif

// Takes every --map entry out of the arguments (before a "--"): they
// belong to the engine, whatever the command.
std::vector<std::string> TakeMapEntries(cli::Args& args) {
  std::vector<std::string> entries;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") break;
    if (args[i] == "--map" && i + 1 < args.size()) {
      entries.push_back(args[i + 1]);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else if (args[i].rfind("--map=", 0) == 0) {
      entries.push_back(args[i].substr(6));
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return entries;
}

// The exit status once every output is out: a command whose output did not
// reach standard output (a full disk, a failing file system) has not done what a
// script asked of it, whatever it changed (relink --json's output is the
// undo report), so it says so and exits non-zero. Where standard error
// itself fails, nothing can be said, but the status still tells.
int Finish(int status) {
  errno = 0;
  std::cout.flush();
  const int err = errno;
  if (!std::cout || std::ferror(stdout)) {
    std::cerr << (err != 0 ? platform::Fill(platform::Translate("vostrel-cli: could not write to standard output: %1"),
                                            {std::strerror(err)})
                           : platform::Translate("vostrel-cli: could not write to standard output"))
              << "\n";
    if (status == 0) status = 1;
  }
  std::cerr.flush();
  if ((!std::cerr || std::ferror(stderr)) && status == 0) status = 1;
  return status;
}

int Dispatch(cli::Args args) {
  std::vector<std::string> map_entries = TakeMapEntries(args);
  if (args.empty()) {
    std::cerr << Usage();
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << Usage();
    return 0;
  }
  if (command == "--version") {
    std::cout << platform::VersionText("vostrel-cli");
    return 0;
  }
  if (command != "list" || !map_entries.empty()) {
    // Read once, before any file is opened: a bad entry stops every command
    // that would find back-ends through the map.
    try {
      engine::MapSources sources = engine::DefaultMapSources();
      sources.command_line = std::move(map_entries);
      engine::DBEngine::Instance().SetMap(engine::LoadPathMap(engine::Env::Default(), sources));
    } catch (const engine::EngineError& e) {
      cli::ReportEngineError(e.number(), e.localized());
      return 1;
    }
  }
  if (command == "list") return cli::ListCommand(args);
#ifdef _WIN32
  if (command == "map") {
    std::cout << platform::Translate(kMapOnWindows);
    return 0;
  }
#else
  if (command == "map") return cli::MapCommand(args);
#endif
  if (command == "scan") return cli::ScanCommand(args);
  if (command == "relink") return cli::RelinkCommand(args);
  if (command == "check") return cli::CheckCommand(args);
  std::cerr << platform::Fill(platform::Translate("vostrel-cli: unknown command '%1'"), {command}) << "\n\n" << Usage();
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  platform::BindMessageCatalog(platform::LocaleDirBeside(platform::ProgramDirectory(argv[0])));
  engine::SetNoticeHandler([](const std::string& text) { std::cerr << "vostrel-cli: " << text << "\n"; });
  return Finish(Dispatch(platform::ProgramArguments(argc, argv)));
}
