// The engine's errors with their descriptions, in one place, so that every
// operation reports the same case with the same words, and so that every
// description has its place in the catalogue of other languages (po/).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "vostrel/database.h"
#include "vostrel/error.h"
#include "jet/env_names.h"
#include "jet/journal.h"

namespace engine {

// A part an error's description takes in, in English and in the user's
// language, so that neither description mixes the two.
struct Phrase {
  std::string english;
  std::string localized;
};
Phrase Say(const char* english, std::initializer_list<std::string_view> args = {});

EngineError CouldNotFindFile(const std::string& full_path);      // 3024
EngineError NotValidPath(const std::string& path);               // 3044
EngineError UnrecognizedFormat(const std::string& full_path);    // 3343
EngineError CannotOpenDatabase(const std::string& name);         // 3049
EngineError NotValidPassword();                                  // 3031
// 3388: the file at `full_path` is encrypted in a way we cannot open;
// `reason` says which (the password is never in it).
EngineError UnsupportedEncryption(const std::string& full_path, const std::string& reason);
EngineError CannotOpenFile(const std::string& full_path);        // 3051
// 3051: something other than a file (a folder, a FIFO, a device) lies at the
// name of the journal of the file at `full_path`.
EngineError JournalNameTaken(const std::string& full_path, const std::string& journal_path);
EngineError FileInUse(const std::string& full_path);             // 3045
EngineError ItemNotFound();                                      // 3265
EngineError ObjectInvalid();                                     // 3420
EngineError DiskOrNetworkError();                                // 3043
// 3001: a path map entry that is not "WINPREFIX=LOCALDIR"; `where` names
// its source (a file and line, the variable, the command line).
EngineError BadMapEntry(const Phrase& where, const std::string& entry, const Phrase& why);
// A map file (or another source of the map) too large to be one: 3001.
EngineError SourceTooLarge(const std::string& path, size_t limit);
// The Samba configuration the user named (VOSTREL_SMB_CONF) is not there
// (3024) or cannot be read (3051).
EngineError SambaConfigMissing(const std::string& path);
EngineError SambaConfigUnreadable(const std::string& path, const std::string& reason);
// `e` (3044 for a Windows path) and which map entry would reach `root`.
EngineError Unmapped(const EngineError& e, const std::string& root);
// 3260: "Couldn't update; currently locked by user 'U' on machine 'M'." naming
// every session (another session, when none has a name).
EngineError LockedBy(const std::vector<SessionUser>& users);
EngineError ReadOnly();                                          // 3027
EngineError FileInUse(const std::string& path);                  // 3045
EngineError CouldNotFindObject(const std::string& name);         // 3011
// 3197: the link of `table` is no longer what the change was made from.
EngineError ChangedMeanwhile(const std::string& table);
EngineError OdbcConnectionFailed(const std::string& source);     // 3151
EngineError InstallableIsamNotFound();                           // 3170
EngineError InvalidOperation();                                  // 3219
// 3219: a layout of the file this engine does not change, and why.
EngineError CannotStoreLink(const std::string& full_path, const std::string& reason);
EngineError InvalidArgument();                                   // 3001
EngineError LinkStringUnstorable();                              // 3001: characters the file cannot hold
EngineError LinkStringEmpty();                                   // 3001
EngineError LinkStringWithoutDatabase();                         // 3001
EngineError TableGivenTwice(const std::string& table);           // 3001
// 3044: a link string whose stored form readers would not read as checked:
// a parameter (DATABASE, PWD) given twice, or parts that read back otherwise.
// These, and 3151's data source, name link strings with their passwords
// masked: a description is shown, logged and pasted into mails.
EngineError LinkStringNamesTwice(const std::string& link, const std::string& parameter);
EngineError LinkStringReadsBackOtherwise(const std::string& link, const std::string& read_back);

// What a failed jet operation on a database file means to the user: `name`
// is the file as the caller named it, `full_path` as it was resolved.
EngineError FromStatus(const jet::Status& status, const std::string& name, const std::string& full_path);

// What the user is told of a journal of another file that was set aside
// (jet::RecoverJournal): once, as a notice or beside the failure.
Phrase JournalSetAside(const jet::SetAsideJournal& journal);

// Tells the user something that is not a failure (see SetNoticeHandler).
void Notice(const std::string& text);

}  // namespace engine
