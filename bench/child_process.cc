#include "bench/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

extern char** environ;

namespace bench {
namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Waits until the process `pid` ends or `timeout_seconds` pass. A pidfd
// wakes us the moment it ends, which a sleep-and-poll loop would blur.
bool WaitForExit(pid_t pid, double timeout_seconds) {
  Fd pidfd{static_cast<int>(syscall(SYS_pidfd_open, pid, 0))};
  if (pidfd.fd < 0) return true;  // no pidfd: wait4 below blocks without a limit
  pollfd p{pidfd.fd, POLLIN, 0};
  const int timeout_ms = static_cast<int>(timeout_seconds * 1000);
  for (;;) {
    const int n = poll(&p, 1, timeout_ms);
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return true;
  }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult result;
  std::vector<std::string> args = argv;
  std::vector<char*> arg_ptrs = Pointers(args);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& extra : options.extra_env) env.push_back(extra);
  std::vector<char*> env_ptrs = Pointers(env);

  int out_pipe[2] = {-1, -1};
  if (options.capture_stdout && pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  Fd read_end{out_pipe[0]};
  Fd write_end{out_pipe[1]};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.capture_stdout)
    posix_spawn_file_actions_adddup2(&actions, write_end.fd, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::string err = options.stderr_path.empty() ? "/dev/null" : options.stderr_path;
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, arg_ptrs[0], &actions, nullptr, arg_ptrs.data(), env_ptrs.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;
  result.started = true;
  if (write_end.fd >= 0) {
    close(write_end.fd);
    write_end.fd = -1;
  }

  if (!WaitForExit(pid, options.timeout_seconds)) {
    result.timed_out = true;
    kill(pid, SIGKILL);
  }
  // The probes' output is a line or two, well inside a pipe's buffer, so it
  // can wait until the process has ended.
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const auto end = std::chrono::steady_clock::now();
  result.seconds = std::chrono::duration<double>(end - start).count();
  result.max_rss_kib = usage.ru_maxrss;
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);

  if (read_end.fd >= 0) {
    char buffer[4096];
    for (ssize_t n; (n = read(read_end.fd, buffer, sizeof buffer)) > 0;) result.out.append(buffer, n);
  }
  return result;
}

long PeakRssViaTime(const std::vector<std::string>& argv, const ProcessOptions& options,
                    const std::string& report_path) {
  std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", report_path};
  timed.insert(timed.end(), argv.begin(), argv.end());
  if (!RunProcess(timed, options).ok()) return 0;
  std::ifstream report(report_path);
  long kib = 0;
  return report >> kib ? kib : 0;
}

std::string Describe(const std::vector<std::string>& argv, const ProcessResult& r) {
  std::string command;
  for (const std::string& a : argv) command += (command.empty() ? "" : " ") + a;
  if (!r.started) return command + ": could not be started";
  if (r.timed_out) return command + ": killed after its time ran out";
  if (r.exit_code < 0) return command + ": ended by a signal";
  return command + ": exit status " + std::to_string(r.exit_code) + (r.out.empty() ? "" : " (" + r.out + ")");
}

}  // namespace bench
