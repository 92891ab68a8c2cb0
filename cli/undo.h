// relink --undo: the links a relink report (relink --json) says were
// changed, put back. The report is read as JSON; a link goes back only where
// its stored string is still what the report wrote as new, so that a change
// made since is never undone.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "front_end.h"

namespace cli {

// A text that is no relink report: the message says what is wrong with it.
class NotAReport : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ReportedFrontEnd {
  std::string file;  // as the relink was given it
  UndoLinks undo;    // its links, each to go back
};

// The front-ends the report says were relinked ("outcome": "relinked"), in
// its order, with their links. Dry runs and failed front-ends changed
// nothing and are left out. Throws NotAReport.
std::vector<ReportedFrontEnd> ReadRelinkReport(std::string_view json);

// Whether the link stored as `stored` is still what the report wrote: the
// same string, or the same once its passwords are masked as the report
// masks them (a masked report cannot tell a password changed since).
bool StillAsReported(const UndoLinks::Link& link, const std::string& stored);

// The string `link` goes back to: the report's old string, where it masks
// a password ("PWD=***") with the password of the link as stored now, which
// a relink that kept the passwords (a --from/--to move) left as it was.
// None where the relink changed a password the report masks: then what it
// was is known nowhere.
std::optional<std::string> Restored(const UndoLinks::Link& link, const std::string& stored);

// The passwords of a link string, in order (see engine::ReplacePasswords).
std::vector<std::string> Passwords(std::string_view link);

}  // namespace cli
