#include "engine/failures.h"

#include <initializer_list>
#include <string_view>

#include "platform/messages.h"
#include "vostrel/link_string.h"

namespace engine {

using platform::Fill;
using platform::Translate;
namespace {

// `english` filled with the arguments, and its translation filled alike.
EngineError Raise(int number, const char* english, std::initializer_list<std::string_view> args = {}) {
  return EngineError(number, Fill(english, args), Fill(Translate(english), args));
}

}  // namespace

Phrase Say(const char* english, std::initializer_list<std::string_view> args) {
  return Phrase{Fill(english, args), Fill(Translate(english), args)};
}

EngineError CouldNotFindFile(const std::string& full_path) {
  return Raise(kErrCouldNotFindFile, "Could not find file '%1'.", {full_path});
}

EngineError NotValidPath(const std::string& path) {
  return Raise(kErrNotValidPath,
               "'%1' is not a valid path. Make sure that the path name is spelled correctly and that you are "
               "connected to the server on which the file resides.",
               {path});
}

EngineError UnrecognizedFormat(const std::string& full_path) {
  return Raise(kErrUnrecognizedFormat, "Unrecognized database format '%1'.", {full_path});
}

EngineError CannotOpenDatabase(const std::string& name) {
  return Raise(kErrCannotOpenDatabase,
               "Cannot open database '%1'. It may not be a database that your application recognizes, or the file "
               "may be corrupt.",
               {name});
}

EngineError NotValidPassword() { return Raise(kErrNotValidPassword, "Not a valid password."); }

EngineError UnsupportedEncryption(const std::string& full_path, const std::string& reason) {
  return Raise(kErrUnsupportedEncryption, "'%1' is encrypted in a way vostrel cannot open (%2).", {full_path, reason});
}

EngineError CannotOpenFile(const std::string& full_path) {
  return Raise(kErrCannotOpenFile,
               "Cannot open the file '%1'. It is already opened exclusively by another user, or you need permission "
               "to view its data.",
               {full_path});
}

EngineError JournalNameTaken(const std::string& full_path, const std::string& journal_path) {
  return Raise(kErrCannotOpenFile,
               "Cannot open the file '%1': '%2', where its journal is kept, is not a file. Remove it or give it "
               "another name.",
               {full_path, journal_path});
}

EngineError ItemNotFound() { return Raise(kErrItemNotFound, "Item not found in this collection."); }

EngineError ObjectInvalid() { return Raise(kErrObjectInvalid, "Object invalid or no longer set."); }

EngineError DiskOrNetworkError() { return Raise(kErrDiskOrNetwork, "Disk or network error."); }

EngineError BadMapEntry(const Phrase& where, const std::string& entry, const Phrase& why) {
  const char* text = N_("Bad path map entry in %1: '%2': %3.");
  return EngineError(kErrInvalidArgument, Fill(text, {where.english, entry, why.english}),
                     Fill(Translate(text), {where.localized, entry, why.localized}));
}

EngineError SourceTooLarge(const std::string& path, size_t limit) {
  return Raise(kErrInvalidArgument, "The path map source '%1' is larger than %2 bytes, more than any map holds; it is not read.",
               {path, std::to_string(limit)});
}

EngineError SambaConfigMissing(const std::string& path) {
  return Raise(kErrCouldNotFindFile, "Could not find the Samba configuration '%1' that VOSTREL_SMB_CONF names.", {path});
}

EngineError SambaConfigUnreadable(const std::string& path, const std::string& reason) {
  return Raise(kErrCannotOpenFile, "Cannot read the Samba configuration '%1' that VOSTREL_SMB_CONF names: %2.",
               {path, reason});
}

EngineError LockedBy(const std::vector<SessionUser>& users) {
  // "user 'U1' on machine 'M1', user 'U2' on machine 'M2' and user ..."
  Phrase who = Say("another session");
  for (size_t i = 0; i < users.size(); ++i) {
    const Phrase one = Say("user '%1' on machine '%2'", {users[i].user, users[i].machine});
    const char* join = i + 1 == users.size() ? N_("%1 and %2") : N_("%1, %2");
    who = i == 0 ? one
                 : Phrase{Fill(join, {who.english, one.english}), Fill(Translate(join), {who.localized, one.localized})};
  }
  const char* text = N_("Couldn't update; currently locked by %1.");
  return EngineError(kErrLockedByUser, Fill(text, {who.english}), Fill(Translate(text), {who.localized}));
}

EngineError Unmapped(const EngineError& e, const std::string& root) {
  const char* hint =
      N_("No path map entry covers '%1': add one with --map '%1=LOCALDIR', in VOSTREL_MAP or in ~/.config/vostrel/map.");
  return EngineError(e.number(), e.description() + " " + Fill(hint, {root}),
                     e.localized() + " " + Fill(Translate(hint), {root}));
}

EngineError ReadOnly() { return Raise(kErrReadOnly, "Cannot update. Database or object is read-only."); }

EngineError FileInUse(const std::string& path) {
  return Raise(kErrFileInUse, "Could not use '%1'; file already in use.", {path});
}

EngineError CouldNotFindObject(const std::string& name) {
  return Raise(kErrCouldNotFindObject,
               "Could not find the object '%1'. Make sure the object exists and that you spell its name and the path "
               "name correctly. If '%1' is not a local object, check your network connection or contact the server "
               "administrator.",
               {name});
}

EngineError ChangedMeanwhile(const std::string& table) {
  return Raise(kErrChangedMeanwhile,
               "The link of '%1' was changed by someone else since it was read; nothing was written. Run it again.",
               {table});
}

EngineError OdbcConnectionFailed(const std::string& source) {
  return Raise(kErrOdbcConnectionFailed, "ODBC--connection to '%1' failed.", {MaskPasswords(source)});
}

EngineError InstallableIsamNotFound() { return Raise(kErrInstallableIsam, "Could not find installable ISAM."); }

EngineError InvalidOperation() { return Raise(kErrInvalidOperation, "Invalid operation."); }

EngineError CannotStoreLink(const std::string& full_path, const std::string& reason) {
  // The reason is jet's, marked N_ there: translated here, as a whole.
  const char* text = N_("Cannot store the link in '%1': %2.");
  return EngineError(kErrInvalidOperation, Fill(text, {full_path, reason}),
                     Fill(Translate(text), {full_path, Translate(reason.c_str())}));
}

EngineError InvalidArgument() { return Raise(kErrInvalidArgument, "Invalid argument."); }

EngineError LinkStringUnstorable() {
  return Raise(kErrInvalidArgument, "The link string holds characters that this database cannot store.");
}

EngineError LinkStringEmpty() {
  return Raise(kErrInvalidArgument, "The link string is empty: it names no database file.");
}

EngineError LinkStringWithoutDatabase() {
  return Raise(kErrInvalidArgument, "The link string names no database file: it has no DATABASE= part.");
}

EngineError TableGivenTwice(const std::string& table) {
  return Raise(kErrInvalidArgument, "The table '%1' is given twice in one change.", {table});
}

EngineError LinkStringNamesTwice(const std::string& link, const std::string& parameter) {
  return Raise(kErrNotValidPath,
               "'%1' is not a valid link string: it gives %2= twice, and readers differ in which one they take.",
               {MaskPasswords(link), parameter});
}

EngineError LinkStringReadsBackOtherwise(const std::string& link, const std::string& read_back) {
  return Raise(kErrNotValidPath, "'%1' is not a valid link string: stored, it would read back as '%2'.",
               {MaskPasswords(link), MaskPasswords(read_back)});
}

EngineError FromStatus(const jet::Status& status, const std::string& name, const std::string& full_path) {
  using jet::Code;
  switch (status.code()) {
    case Code::kNotFound: return CouldNotFindFile(full_path);
    case Code::kInvalidPath: return NotValidPath(name);
    case Code::kBadFormat: return UnrecognizedFormat(full_path);
    case Code::kPassword: return NotValidPassword();
    case Code::kNoAccess: return CannotOpenFile(full_path);
    case Code::kLocked: return FileInUse(full_path);  // another process holds it now: contention, not permission
    case Code::kIoError: return DiskOrNetworkError();
    case Code::kInvalidArgument: return InvalidArgument();
    case Code::kReadOnly: return ReadOnly();
    case Code::kOk:  // not a failure; callers do not pass one
    case Code::kCorrupt:
    case Code::kUnsupported: break;
  }
  return CannotOpenDatabase(name);
}

Phrase JournalSetAside(const jet::SetAsideJournal& journal) {
  if (journal.kept_as.empty())
    return Say("The journal %1 was left by a change to another file, not %2; it was not played back (%3).",
               {journal.journal, journal.db_path, journal.failure});
  return Say("The journal %1 was left by a change to another file, not %2; it was not played back and is kept as %3.",
             {journal.journal, journal.db_path, journal.kept_as});
}

namespace {
std::function<void(const std::string&)>& NoticeHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}
}  // namespace

void SetNoticeHandler(std::function<void(const std::string&)> handler) { NoticeHandler() = std::move(handler); }

void Notice(const std::string& text) {
  if (NoticeHandler()) NoticeHandler()(text);
}

}  // namespace engine
