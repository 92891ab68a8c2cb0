#include "start_up_text.h"

#include "platform/messages.h"

namespace linkform {

// The button keeps its caption, which is Slovenian in every language.
const char kUsageText[] =
    N_("Usage: vostrel [folder]\n"
       "\n"
       "Without an argument the window shows the current link of the table Partner in MLQ.mdb (in the current "
       "folder) and proposes a new one; the button \u00BBNova povezava\u00AB stores it.\n"
       "\n"
       "With a folder, e.g. vostrel \"C:\\Podatki\", the program links the table to PARTNER.MDB in that folder by "
       "itself and closes. An argument that begins with MLQ chooses the program's folder.\n"
       "\n"
       "On a failure (\u00BBError N: \u2026\u00AB) the program stops, and the file stays as it was.\n");

std::string AfterProgramName(const std::string& command_line) {
  size_t i = 0;
  if (i < command_line.size() && command_line[i] == '"') {
    i = command_line.find('"', 1);
    i = i == std::string::npos ? command_line.size() : i + 1;
  } else {
    while (i < command_line.size() && command_line[i] != ' ' && command_line[i] != '\t') ++i;
  }
  return command_line.substr(i);
}

std::string TrimSpaces(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::string WithoutEnclosingQuotes(const std::string& text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
  const std::string inner = text.substr(1, text.size() - 2);
  return inner.find('"') == std::string::npos ? inner : text;
}

// Bytes compare unsigned, and UTF-8 keeps the order of character codes.
bool SortsAfterSpace(const std::string& text) { return text.compare(" ") > 0; }

StartUpRequest RequestOf(const std::string& argument_text) {
  const std::string word = TrimSpaces(argument_text);
  if (word == "/?" || word == "--help") return StartUpRequest::kUsage;
  if (word == "--version") return StartUpRequest::kVersion;
  return StartUpRequest::kRun;
}

}  // namespace linkform
