// Link strings: what TableDef.Connect reads and takes. The catalog keeps a
// link's back-end path (its Database column) apart from the rest (its
// Connect column); a link string joins them again.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "vostrel/tabledef.h"

namespace engine {

// The link string of a catalog entry: empty for a local table; the Connect
// column (empty where null) + ";DATABASE=" + the Database column for a link
// to a database file; "ODBC;" + the Connect column for an ODBC link, unless
// it starts with it already.
std::string ComposeLinkString(const CatalogEntry& entry);

struct LinkString {
  std::string kind;                     // the text before the first ";"
  std::optional<std::string> database;  // the DATABASE= parameter's value
  std::optional<std::string> rest;      // everything else: what the Connect column keeps
  std::optional<std::string> password;  // the PWD= parameter's value
  // The first parameter the text gives twice ("DATABASE" or "PWD"). Readers
  // differ in which of the two they take, so what one of them checks is not
  // what another opens: such a string is read, never stored.
  std::optional<std::string> repeated;
};

// Splits a link string into the catalog's columns. A parameter is NAME=value
// right after a ";" (the name in any case), running to the next ";" or the
// end. The first DATABASE= is taken out, and what is left without a trailing
// ";" is `rest` (none when empty). Every reader of a link string, and every
// check before one is stored, goes through here.
LinkString ParseLinkString(std::string_view text);

// Whether the link string's kind (the text before its first ";") is one the
// engine opens as a database file itself: none, or "MS Access" in any case.
bool OfDatabaseFileKind(const LinkString& parts);

// The connect text that gives OpenDatabase a database password: ";PWD="
// and the password. One holding ";" reads back cut at it, and so is wrong.
std::string PasswordConnect(std::string_view password);

// The link string with the value of each PWD= parameter (found as
// ParseLinkString finds it, the name in any case, the value running to the
// next ";"; a value in braces to its closing brace, as ODBC reads "{a;b}")
// replaced by what `replace` makes of it, given its place among them (0, 1,
// ...) and its value.
std::string ReplacePasswords(std::string_view text,
                             const std::function<std::string(size_t index, std::string_view value)>& replace);

// The link string as output and error descriptions show it: each password
// "***" ("MS Access;PWD=***;DATABASE=..."), for logs and scrollback keep
// what a screen shows.
std::string MaskPasswords(std::string_view text);
inline constexpr std::string_view kMaskedPassword = "***";

// The link string the catalog's columns would read back as, where that
// does not parse into the same parts (what was checked would not be what
// is read); nothing where it does.
std::optional<std::string> ReadsBackOtherwise(const LinkString& parts);

}  // namespace engine
