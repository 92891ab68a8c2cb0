// The engine's descriptions in the user's language. The catalogue is GNU
// gettext's (the C library's, domain "vostrel"): a .po file in the source,
// compiled by msgfmt at build time. gettext chooses the language from the
// locale the program set (LC_ALL, LC_MESSAGES, LANG; LANGUAGE first, as GNU
// programs do): Slovenian where it begins with "sl", English otherwise.
// Windows has no gettext: there the programs carry the Slovenian catalogue
// (po/CMakeLists.txt) and follow the user's Windows UI language.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Tells gettext where the catalogues are: `locale_dir`/<lang>/LC_MESSAGES/
// vostrel.mo. Programs pass the folder share/locale beside their own bin
// folder, which holds for the build folder and an installed copy alike.
void BindMessageCatalog(const std::string& locale_dir);

// `program_dir`/../share/locale.
std::string LocaleDirBeside(const std::string& program_dir);

// The folder that holds the running program; where the system cannot say,
// the folder of `argv0` (the name it was started as).
std::string ProgramDirectory(const char* argv0);

// The text in the user's language, or `english` itself.
std::string Translate(const char* english);

// Marks a literal for the catalogue where it cannot be translated yet (a
// constant's initializer, a table): xgettext extracts it, and where it is
// shown it goes through Translate.
#define N_(english) english

#ifdef _WIN32
// The Slovenian text of a message, from the catalogue the program carries;
// nothing for a message it lacks.
std::optional<std::string> SlovenianText(std::string_view english);
#endif

// `text` with %1 ... %9 replaced by the arguments in that order.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> args);

}  // namespace platform
