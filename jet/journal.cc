#include "jet/journal.h"

namespace jet {

std::string JournalPath(const std::string& db_path) { return db_path + ".vostrel-journal"; }

Status RecoverJournal(Env& env, const std::string& db_path) {
  if (!env.Exists(JournalPath(db_path))) return Status::Ok();
  return Status::Error(Code::kUnsupported, "a change to " + db_path + " was cut off and cannot be played back yet");
}

}  // namespace jet
