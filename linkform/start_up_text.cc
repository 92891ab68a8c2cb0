#include "start_up_text.h"

namespace linkform {

const char kUsageText[] =
    "Uporaba: vostrel [mapa]\n"
    "\n"
    "Brez argumenta okno poka\u017Ee sedanjo povezavo tabele Partner v MLQ.mdb (v trenutni mapi) in "
    "predlog nove; gumb \u00BBNova povezava\u00AB jo shrani.\n"
    "\n"
    "Z mapo, npr. vostrel \"C:\\Podatki\", program sam pove\u017Ee tabelo na PARTNER.MDB v tej mapi in se "
    "zapre. Argument, ki se za\u010Dne z MLQ, izbere mapo programa.\n"
    "\n"
    "Ob napaki (\u00BBNapaka N: \u2026\u00AB) se program ustavi, datoteka pa ostane, kot je bila.\n";

const char kVersionText[] = "vostrel 1.00\n";

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
