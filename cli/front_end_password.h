// The password of the front-ends a command names (list, check, relink,
// scan): from --password-file FILE (its first line, without its line end),
// else from the variable VOSTREL_PASSWORD, else, where standard input is a
// terminal and a front-end wants one, typed at a prompt that does not echo.
// Never an argument's value: that shows in `ps` to every user. A back-end's
// password is its link's PWD=, as stored; this one never reaches a link.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "args.h"
#include "vostrel/database.h"
#include "vostrel/env.h"

namespace cli {

inline const OptionSpec kPasswordFile{"--password-file", true};
inline constexpr char kPasswordVariable[] = "VOSTREL_PASSWORD";
// How often a password typed at the prompt is asked for again when wrong.
inline constexpr int kPasswordTries = 3;

// Asks for the password of the front-end `file`; `again`: the one typed
// before was wrong. None where nothing can be asked (no terminal, end of
// input).
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& file, bool again)>;

class FrontEndPassword {
 public:
  FrontEndPassword() = default;
  FrontEndPassword(std::optional<std::string> given, PasswordPrompt prompt)
      : given_(std::move(given)), prompt_(std::move(prompt)) {}

  // Opens the front-end `file` as DBEngine::OpenMapped does, with the given
  // password, or, where none was given and the file wants one (3031), with
  // one typed at the prompt, up to kPasswordTries times; the last one typed
  // is tried first on the next front-end. A wrong or missing password is
  // 3031 (EngineError), as is a cancelled prompt.
  std::unique_ptr<engine::Database> Open(engine::Env& env, const std::string& file);

 private:
  std::optional<std::string> given_;
  PasswordPrompt prompt_;
  std::optional<std::string> typed_;
};

// The command's password from its arguments (kPasswordFile) and the
// environment, with the terminal's prompt behind it. Where the file cannot
// be read, or the password holds ";" (which a connect text cannot carry),
// says so on stderr as "vostrel-cli COMMAND: ..." and returns the exit
// status 1 in `failed`.
FrontEndPassword PasswordFromArgs(const ParsedArgs& parsed, const std::string& command, std::optional<int>& failed);

}  // namespace cli
