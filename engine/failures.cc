#include "engine/failures.h"

namespace engine {

EngineError CouldNotFindFile(const std::string& full_path) {
  return EngineError(kErrCouldNotFindFile, "Could not find file '" + full_path + "'.");
}

EngineError NotValidPath(const std::string& path) {
  return EngineError(kErrNotValidPath, "'" + path +
                                           "' is not a valid path. Make sure that the path name is spelled correctly "
                                           "and that you are connected to the server on which the file resides.");
}

EngineError UnrecognizedFormat(const std::string& full_path) {
  return EngineError(kErrUnrecognizedFormat, "Unrecognized database format '" + full_path + "'.");
}

EngineError CannotOpenDatabase(const std::string& name) {
  return EngineError(kErrCannotOpenDatabase,
                     "Cannot open database '" + name +
                         "'. It may not be a database that your application recognizes, or the file may be corrupt.");
}

EngineError NotValidPassword() { return EngineError(kErrNotValidPassword, "Not a valid password."); }

EngineError CannotOpenFile(const std::string& full_path) {
  return EngineError(kErrCannotOpenFile, "Cannot open the file '" + full_path +
                                             "'. It is already opened exclusively by another user, or you need "
                                             "permission to view its data.");
}

EngineError ItemNotFound() { return EngineError(kErrItemNotFound, "Item not found in this collection."); }

EngineError ObjectInvalid() { return EngineError(kErrObjectInvalid, "Object invalid or no longer set."); }

EngineError DiskOrNetworkError() { return EngineError(kErrDiskOrNetwork, "Disk or network error."); }

EngineError InvalidOperation() { return EngineError(kErrInvalidOperation, "Invalid operation."); }

EngineError FromStatus(const jet::Status& status, const std::string& name, const std::string& full_path) {
  using jet::Code;
  switch (status.code()) {
    case Code::kNotFound: return CouldNotFindFile(full_path);
    case Code::kInvalidPath: return NotValidPath(name);
    case Code::kBadFormat: return UnrecognizedFormat(full_path);
    case Code::kPassword: return NotValidPassword();
    case Code::kNoAccess:
    case Code::kLocked: return CannotOpenFile(full_path);
    case Code::kIoError: return DiskOrNetworkError();
    case Code::kInvalidArgument: return EngineError(kErrInvalidArgument, "Invalid argument.");
    case Code::kReadOnly:
      return EngineError(kErrReadOnly, "Cannot update. Database or object is read-only.");
    case Code::kOk:  // not a failure; callers do not pass one
    case Code::kCorrupt:
    case Code::kUnsupported: break;
  }
  return CannotOpenDatabase(name);
}

}  // namespace engine
