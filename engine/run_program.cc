#include "engine/run_program.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;
#endif

namespace engine {

#ifdef _WIN32

ProgramRun RunProgram(const std::string&, const std::vector<std::string>&, std::chrono::milliseconds, size_t) {
  return ProgramRun{ProgramRun::Outcome::kAbsent, {}, {}};
}

#else

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kMaxComplaint = 64 * 1024;

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      read = fds[0];
      write = fds[1];
    }
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (read >= 0) close(read);
    read = -1;
  }
  void CloseWrite() {
    if (write >= 0) close(write);
    write = -1;
  }
};

// The spawned process and its group; killed and reaped when it is left
// before it ended by itself.
class Child {
 public:
  explicit Child(pid_t pid) : pid_(pid) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (!reaped_) Kill();
  }
  void Kill() {
    kill(-pid_, SIGKILL);
    Wait(0);
  }
  // Whether it ended (its status in `status`); `flags` WNOHANG or 0.
  bool Wait(int flags) {
    if (reaped_) return true;
    pid_t got;
    while ((got = waitpid(pid_, &status_, flags)) < 0 && errno == EINTR) {
    }
    // < 0: it is gone, reaped elsewhere (SIGCHLD ignored), its status unknown.
    reaped_ = got == pid_ || got < 0;
    known_ = got == pid_;
    return reaped_;
  }
  // Whether it ended by itself with status 0.
  bool Succeeded() const { return known_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }
  int status() const { return status_; }
  bool known() const { return known_; }

 private:
  pid_t pid_;
  int status_ = 0;
  bool reaped_ = false;
  bool known_ = false;
};

ProgramRun Failed(Phrase why) { return ProgramRun{ProgramRun::Outcome::kFailed, {}, std::move(why)}; }

// Its complaint in one line: the lines of its standard error that say more
// than which file it loads.
std::string Complaint(const std::string& err) {
  std::string out;
  size_t at = 0;
  while (at < err.size()) {
    size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    std::string line = err.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line.starts_with("Load smb config files from")) continue;
    out += (out.empty() ? "" : "; ") + line;
  }
  if (out.size() > 500) out = out.substr(0, 500) + "...";
  return out;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds timeout, size_t max_output) {
  Pipe out, err;
  if (out.read < 0 || err.read < 0) return Failed(Say("it could not be started: %1", {std::strerror(errno)}));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.write, 1);
  posix_spawn_file_actions_adddup2(&actions, err.write, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own group, so that killing it kills what it started too; signals
  // this process ignores or blocks are not passed on to it.
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  out.CloseWrite();
  err.CloseWrite();
  if (spawned == ENOENT) return ProgramRun{ProgramRun::Outcome::kAbsent, {}, {}};
  if (spawned != 0) return Failed(Say("it could not be started: %1", {std::strerror(spawned)}));
  Child child(pid);

  const Clock::time_point deadline = Clock::now() + timeout;
  const std::string seconds = std::to_string((timeout.count() + 999) / 1000);
  auto timed_out = [&] { return Failed(Say("it did not end within %1 seconds and was stopped", {seconds})); };
  std::string printed, complaint;
  std::vector<char> block(64 * 1024);
  while (out.read >= 0 || err.read >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return timed_out();
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};  // a negative fd is skipped
    const int ready = poll(fds, 2, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return Failed(Say("it could not be read: %1", {std::strerror(errno)}));
    if (ready <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, block.data(), block.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        (i == 0 ? out : err).CloseRead();
        continue;
      }
      std::string& into = i == 0 ? printed : complaint;
      if (i == 1 && complaint.size() >= kMaxComplaint) continue;
      into.append(block.data(), static_cast<size_t>(n));
      if (i == 0 && printed.size() > max_output)
        return Failed(Say("it printed more than %1 bytes and was stopped", {std::to_string(max_output)}));
    }
  }
  // Both closed; it may still linger.
  while (!child.Wait(WNOHANG)) {
    if (Clock::now() >= deadline) return timed_out();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (child.Succeeded()) return ProgramRun{ProgramRun::Outcome::kPrinted, std::move(printed), {}};
  const int status = child.status();
  Phrase why = !child.known()       ? Say("its exit status could not be learned")
               : WIFEXITED(status) ? Say("it ended with status %1", {std::to_string(WEXITSTATUS(status))})
                                   : Say("it was ended by signal %1", {std::to_string(WTERMSIG(status))});
  const std::string said = Complaint(complaint);
  if (!said.empty()) {
    why.english += ": " + said;
    why.localized += ": " + said;
  }
  ProgramRun failed = Failed(std::move(why));
  failed.output = std::move(printed);  // what it printed before it failed may say why
  return failed;
}

#endif

}  // namespace engine
