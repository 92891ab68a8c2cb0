// A line typed at the terminal without echo, for a password: termios on
// POSIX (password_prompt_posix.cc), the console's mode on Windows
// (password_prompt_windows.cc), one chosen at build time.
#pragma once

#include <optional>
#include <string>

namespace cli {

// Whether standard input is a terminal (a console on Windows).
bool StdinIsTerminal();

// Writes `prompt` to standard error, reads one line from standard input with
// its echo off (restored after, and a line end written in place of what
// was typed), and returns it without its line end, as UTF-8. None where
// standard input is no terminal, or it ends before a line does.
std::optional<std::string> ReadHidden(const std::string& prompt);

}  // namespace cli
