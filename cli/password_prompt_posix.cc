#include "password_prompt.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace cli {
namespace {

// The terminal's settings while echo is off, put back by a signal that ends
// the process there too, so that a ^C at the prompt leaves a terminal that
// echoes.
struct termios saved;
volatile std::sig_atomic_t echo_off = 0;

void RestoreAndRaise(int signal) {
  if (echo_off) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

std::optional<std::string> ReadHidden(const std::string& prompt) {
  if (!StdinIsTerminal()) return std::nullopt;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
  struct termios quiet = saved;
  quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
  const auto old_int = std::signal(SIGINT, RestoreAndRaise);
  const auto old_term = std::signal(SIGTERM, RestoreAndRaise);
  const auto old_quit = std::signal(SIGQUIT, RestoreAndRaise);
  echo_off = 1;
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  // Asked once the echo is off: what is typed after the prompt shows is
  // neither shown nor flushed away.
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::string line;
  bool ended = false;
  for (char c;;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n') {
      ended = true;
      break;
    }
    line.push_back(c);
  }
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  echo_off = 0;
  std::signal(SIGINT, old_int);
  std::signal(SIGTERM, old_term);
  std::signal(SIGQUIT, old_quit);
  std::fputs("\n", stderr);
  if (!ended && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace cli
