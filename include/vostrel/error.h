// EngineError: every failure of the engine, with the number and description
// the user sees. The window and the cli report it and end; nothing below the
// engine throws.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace engine {

// The numbers the desktop database engine uses for the same cases, so that
// people who know them recognise them.
enum ErrorNumber : int {
  kErrCannotOpenDatabase = 3049,   // a structure inside is broken
  kErrCouldNotFindFile = 3024,
  kErrNotValidPath = 3044,
  kErrUnrecognizedFormat = 3343,
  kErrNotValidPassword = 3031,
  kErrCannotOpenFile = 3051,       // no permission, or held exclusively
  kErrItemNotFound = 3265,
  kErrCouldNotFindObject = 3011,   // the back-end lacks the linked table
  kErrInstallableIsam = 3170,      // a link kind we cannot open
  kErrReadOnly = 3027,
  kErrDiskOrNetwork = 3043,
  kErrFileInUse = 3045,
  kErrLockedByUser = 3260,        // a session of the desktop program has the file open
  kErrInvalidOperation = 3219,     // e.g. RefreshLink on a local table
  kErrInvalidArgument = 3001,
  kErrOdbcConnectionFailed = 3151, // an ODBC link: we reach no ODBC server
  kErrObjectInvalid = 3420,        // a closed database used again
  kErrChangedMeanwhile = 3197,     // a link changed since it was read; nothing written
  // Not the desktop engine's: a file encrypted in a way we do not read
  // (standard AES, the extensible provider) or whose descriptor is broken;
  // never 3031, which would blame the password.
  kErrUnsupportedEncryption = 3388,
};

// Every number above, for what must cover them all (the catalogue of
// descriptions in other languages).
inline constexpr ErrorNumber kErrorNumbers[] = {
    kErrCannotOpenDatabase, kErrCouldNotFindFile, kErrNotValidPath,    kErrUnrecognizedFormat,
    kErrNotValidPassword,   kErrCannotOpenFile,   kErrItemNotFound,    kErrCouldNotFindObject,
    kErrInstallableIsam,    kErrReadOnly,         kErrDiskOrNetwork,   kErrFileInUse,
    kErrInvalidOperation,   kErrInvalidArgument,  kErrOdbcConnectionFailed, kErrObjectInvalid,
    kErrLockedByUser,       kErrChangedMeanwhile, kErrUnsupportedEncryption,
};

class EngineError : public std::runtime_error {
 public:
  // `localized`: the description in the user's language (see messages.h).
  EngineError(int number, std::string description, std::string localized)
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        localized_(std::move(localized)) {}
  // A description without arguments: its translation, where the catalogue
  // has one, is the localized one.
  EngineError(int number, std::string description);
  int number() const { return number_; }
  const std::string& description() const { return description_; }  // English
  const std::string& localized() const { return localized_; }

 private:
  int number_;
  std::string description_;
  std::string localized_;
};

// Where the engine says what the user should hear of though nothing failed
// (a journal of another file, found beside a database, set aside): the cli
// prints it on stderr. Without a handler it goes nowhere.
void SetNoticeHandler(std::function<void(const std::string&)> handler);

}  // namespace engine
