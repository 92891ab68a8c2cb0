// Running a command line through /bin/sh.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/support.h"

namespace testing_support {

static std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

RunResult Run(const std::string& command, const fs::path& cwd) {
  TempDir io;
  std::string full = command + " >" + ShellQuote((io.path() / "out").string()) + " 2>" +
                     ShellQuote((io.path() / "err").string()) + " </dev/null";
  if (!cwd.empty()) full = "cd " + ShellQuote(cwd.string()) + " && " + full;
  int raw = std::system(full.c_str());
  RunResult r;
  if (raw != -1) {
    if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw)) r.status = 128 + WTERMSIG(raw);
  }
  r.out = Slurp(io.path() / "out");
  r.err = Slurp(io.path() / "err");
  return r;
}

}  // namespace testing_support
