// The commands of vostrel-cli. Each takes the arguments after its name and
// returns the process's exit status: 0 done, 1 an engine error or a failed
// check (reported on stderr as "vostrel-cli: FILE: Error N: description"),
// 2 wrong usage.
#pragma once

#include <string>

#include "args.h"

namespace cli {

int ListCommand(const Args& args);
int RelinkCommand(const Args& args);
int CheckCommand(const Args& args);
int MapCommand(const Args& args);
int ScanCommand(const Args& args);

// "Error N: description", in the user's language ("Napaka N: ..." under a
// Slovenian locale): `localized` is the engine's description in it.
std::string ErrorLine(int number, const std::string& localized);

// "vostrel-cli: FILE: " and ErrorLine on stderr, as Unix tools name the
// file a line is about: a batch's log tells which front-end failed.
void ReportEngineError(const std::string& file, int number, const std::string& localized);
// "vostrel-cli: " and ErrorLine, for an error of no one file (a bad path map
// entry, whose description says where it is).
void ReportEngineError(int number, const std::string& localized);

}  // namespace cli
