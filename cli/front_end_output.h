// How the reports of check and relink are printed: tab-separated lines for
// people (front-end, table, result), and JSON objects for scripts.
#pragma once

#include <string>

#include "front_end.h"
#include "json.h"

namespace cli {

// How much of a failure a line tells: the whole description, or the
// error's short form (scan's lines, which the administrator of many
// front-ends reads by the screenful; the rest is in --json and --verbose).
enum class Detail { kFull, kShort };

// One line per link: "FILE\tTABLE\tok", "...\tError N: description", or
// "...\tnot checkable: Error N: description"; a front-end that did not open
// is one line with an empty table and the whole description (its failures
// are few and each its own: a journal's name taken, say).
std::string CheckLines(const FrontEndCheck& report, Detail detail = Detail::kFull);
// {"frontEnd", "error", "openBy", "links": [{"table", "connect", "localPath",
// "state", "error"}]}
Json CheckJson(const FrontEndCheck& report);

// One line per link matched: "FILE\tTABLE\tOLD -> NEW" (with " (dry run)"
// when nothing was written), "...\tError N: description" for a link that
// failed its check, "...\tunchanged" for the others of that front-end,
// "...\tfailed: Error N: description" for every link of a front-end whose
// change was refused as a whole (3260: a session has it open); a front-end
// that did not open, or had no link matched, is one line with an empty table.
std::string RelinkLines(const FrontEndRelink& report);
// {"frontEnd", "outcome", "error", "links": [{"table", "from", "to", "samePassword",
// "outcome" ("relinked", "would relink", "unchanged", "failed"), "error"}]}
Json RelinkJson(const FrontEndRelink& report);

// The failure's short reason in the user's language ("file not found",
// "not reached from here"), with ": PATH" after it where `back_end` names
// the back-end it is about; the whole description for a failure that has
// no short form.
std::string ShortReason(const Failure& failure, const std::optional<std::string>& back_end);

// Whether the failure says that nothing here is at the back-end's path: no
// such file (3024), or no such folder, or a drive or share no path map entry
// reaches (3044). Where the back-end has moved, its links want repointing.
bool NotReached(const Failure& failure);

const char* StateName(LinkState state);
const char* OutcomeName(RelinkOutcome outcome);

}  // namespace cli
