// How the program reads its command line (UTF-8).
#pragma once

#include <string>

namespace linkform {

// The command line as Windows hands it over, less the program's name: a name
// in double quotes ends at the closing quote, any other at the first space or
// tab, the way the C runtime skips it. What follows stays as it is.
std::string AfterProgramName(const std::string& command_line);

// Removes spaces, and only spaces, at both ends; a tab stays.
std::string TrimSpaces(const std::string& text);

// Removes one pair of double quotes that encloses the whole text and holds no
// other: "C:\Podatki Čšž", as a shortcut or a path with spaces is written,
// becomes C:\Podatki Čšž. A Windows path cannot hold '"', so nothing is lost;
// any other text stays as it is.
std::string WithoutEnclosingQuotes(const std::string& text);

// Whether the text sorts after " " by character codes: not empty, and its
// first character's code is above 32. That is what makes an argument count.
bool SortsAfterSpace(const std::string& text);

// What the command line asks for. "/?" and "--help" ask for the usage text,
// "--version" for the version, as the whole argument text (spaces around it
// aside); anything else is the window's argument.
enum class StartUpRequest { kRun, kUsage, kVersion };
StartUpRequest RequestOf(const std::string& argument_text);

// A few short lines, English, marked for the catalogue (shown through
// platform::Translate): how to start the program, what it does.
extern const char kUsageText[];

}  // namespace linkform
