#include "front_end_password.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <span>
#include <stdexcept>

#include "json.h"
#include "password_prompt.h"
#include "platform/messages.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/link_string.h"

namespace cli {
namespace {

bool WantsPassword(const engine::EngineError& e) { return e.number() == engine::kErrNotValidPassword; }

// The first line of the file, without its line end; throws runtime_error
// with the reason it cannot be read.
std::string FirstLine(const std::string& path) {
  engine::Env& env = engine::Env::Default();
  auto file = env.Open(path, engine::OpenMode::kRead);
  if (!file.ok()) throw std::runtime_error(file.status().message());
  auto size = (*file)->Size();
  if (!size.ok()) throw std::runtime_error(size.status().message());
  // A password is short; past the first line nothing is read.
  constexpr uint64_t kMost = 64 * 1024;
  std::string text(static_cast<size_t>(std::min(*size, kMost)), '\0');
  const engine::Status read =
      (*file)->ReadAt(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  if (!read.ok()) throw std::runtime_error(read.message());
  text.resize(std::min(text.size(), text.find('\n')));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

std::optional<std::string> AskAtTerminal(const std::string& file, bool again) {
  const std::string asked = platform::Fill(platform::Translate("password of %1: "), {TerminalText(file)});
  return ReadHidden(again ? platform::Translate("wrong password; ") + asked : asked);
}

}  // namespace

std::unique_ptr<engine::Database> FrontEndPassword::Open(engine::Env& env, const std::string& file) {
  engine::DBEngine& engine = engine::DBEngine::Instance();
  const std::optional<std::string> first = given_ ? given_ : typed_;
  try {
    return engine.OpenMapped(env, file, first ? engine::PasswordConnect(*first) : "");
  } catch (const engine::EngineError& e) {
    if (!WantsPassword(e) || given_ || !prompt_) throw;
    for (int tries = 0; tries < kPasswordTries; ++tries) {
      typed_ = prompt_(file, tries > 0 || first);
      if (!typed_) throw;
      try {
        return engine.OpenMapped(env, file, engine::PasswordConnect(*typed_));
      } catch (const engine::EngineError& wrong) {
        if (!WantsPassword(wrong) || tries + 1 == kPasswordTries) throw;
      }
    }
    throw;
  }
}

FrontEndPassword PasswordFromArgs(const ParsedArgs& parsed, const std::string& command, std::optional<int>& failed) {
  std::optional<std::string> given;
  if (const auto path = parsed.Value(kPasswordFile.name)) {
    try {
      given = FirstLine(*path);
    } catch (const std::runtime_error& e) {
      std::cerr << "vostrel-cli " << command << ": "
                << platform::Fill(platform::Translate("%1: cannot read the password: %2"),
                                  {TerminalText(*path), TerminalText(e.what())})
                << "\n";
      failed = 1;
      return {};
    }
  } else if (const char* variable = std::getenv(kPasswordVariable)) {
    given = variable;
  }
  if (given && given->find(';') != std::string::npos) {
    std::cerr << "vostrel-cli " << command << ": "
              << platform::Translate("the password holds \";\", which vostrel cannot pass to the engine") << "\n";
    failed = 1;
    return {};
  }
  return FrontEndPassword(std::move(given), StdinIsTerminal() ? PasswordPrompt(AskAtTerminal) : PasswordPrompt());
}

}  // namespace cli
