// vostrel-cli: the engine for scripts.
#include <clocale>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "engine/messages.h"
#include "engine/error.h"

namespace {

const char kUsage[] =
    "usage: vostrel-cli COMMAND [options] FILE...\n"
    "\n"
    "Commands:\n"
    "  list FILE             the tables of a front-end and their links\n"
    "  check FILE...         whether every link's back-end opens and holds its table\n"
    "  relink FILE...        repoint links (--table/--connect, or --from/--to)\n"
    "\n"
    "  vostrel-cli COMMAND --help   explains a command\n"
    "  vostrel-cli --version        prints the version\n";

// The folder that holds this program; the catalogues of the engine's
// descriptions are in share/locale beside it.
std::string ProgramDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) self = std::filesystem::absolute(argv0, ec);
  return self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  engine::BindMessageCatalog(engine::LocaleDirBeside(ProgramDir(argv[0])));
  engine::SetNoticeHandler([](const std::string& text) { std::cerr << "vostrel-cli: " << text << "\n"; });
  cli::Args args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "--version") {
    std::cout << "1.00\n";
    return 0;
  }
  if (command == "list") return cli::ListCommand(args);
  if (command == "relink") return cli::RelinkCommand(args);
  if (command == "check") return cli::CheckCommand(args);
  std::cerr << "vostrel-cli: unknown command '" << command << "'\n\n" << kUsage;
  return 2;
}
