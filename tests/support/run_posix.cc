// Running a command line through /bin/sh.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>

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

RunResult RunOnTerminal(const std::string& command, const fs::path& cwd, const std::string& prompt,
                        std::vector<std::string> answers) {
  RunResult r;
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return r;
  if (child == 0) {
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::deque<std::string> left(answers.begin(), answers.end());
  size_t answered = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (std::chrono::steady_clock::now() > end) {
      ::kill(child, SIGKILL);
      break;
    }
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO: every holder of the terminal has gone
    r.out.append(buffer, static_cast<size_t>(n));
    size_t asked = 0;
    for (size_t at = 0; (at = r.out.find(prompt, at)) != std::string::npos; at += prompt.size()) ++asked;
    for (; answered < asked; ++answered) {
      const std::string typed = left.empty() ? std::string("\x04") : left.front() + "\n";
      if (!left.empty()) left.pop_front();
      (void)!::write(master, typed.data(), typed.size());
    }
  }
  ::close(master);
  int raw = 0;
  if (::waitpid(child, &raw, 0) == child) {
    if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw)) r.status = 128 + WTERMSIG(raw);
  }
  return r;
}

}  // namespace testing_support
