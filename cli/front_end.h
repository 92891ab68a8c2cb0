// What the scripting commands do to one front-end: check every link, or
// repoint some of them as one change. Each takes the Env the files are
// opened and written through (tests cut it at any write) and reports rather
// than throws, so that a failure in one front-end lets the next go on.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "vostrel/env.h"
#include "vostrel/error.h"
#include "front_end_password.h"

namespace cli {

// An engine error as the user sees it.
struct Failure {
  int number = 0;
  std::string description;  // English
  std::string localized;    // in the user's language
  static Failure Of(const engine::EngineError& e) { return Failure{e.number(), e.description(), e.localized()}; }
  // "Error N: description" in the user's language (see ErrorLine)
  std::string Text() const;
};

// ----- check

enum class LinkState {
  kOk,            // the back-end opens and holds the table
  kBroken,        // it does not: `failure` says why
  kNotCheckable,  // an ODBC link or another kind we cannot open: `failure` says which
};

struct CheckedLink {
  std::string table;
  std::string link;  // the link string as stored
  // Where its back-end is here, through the path map; none for a Windows
  // path nothing here reaches, and for links to no database file.
  std::optional<std::string> local_path;
  LinkState state = LinkState::kOk;
  std::optional<Failure> failure;
};

struct FrontEndCheck {
  std::string file;                // as the user named it
  std::optional<Failure> failure;  // the front-end itself did not open
  // The sessions of the desktop program that have it open now ("machine",
  // "user" each); empty where none does (a stale lock file's entries are
  // not sessions).
  std::vector<std::pair<std::string, std::string>> open_by;
  std::vector<CheckedLink> links;  // in catalog order; links of every kind
  bool Good() const;               // opened, and no link is broken
};

// Checks every link of the front-end as RefreshLink checks a link before it
// stores it. Writes nothing. The front-end opens with `password` where
// given (else with none); its back-ends with their links' own.
FrontEndCheck CheckFrontEnd(engine::Env& env, const std::string& file, FrontEndPassword* password = nullptr);

// ----- relink

// Whole link strings for named tables (relink --table --connect).
struct SetLinks {
  struct Link {
    std::string table;
    std::string link;
  };
  std::vector<Link> links;
};

// A back-end, or a folder of them, that moved (relink --from --to): every
// link to a database file whose path is `from` or lies beneath it, compared
// as paths are (see MovedPath), gets `to` in place of `from` and keeps the
// rest of its path and of its link string (a password, say). `table` limits
// it to the link of that name.
struct MoveBackEnd {
  std::string from;
  std::string to;
  std::optional<std::string> table;
};

// The links a relink report says were changed, put back (relink --undo):
// each link whose stored string is still what the report wrote as new gets
// the report's old string again (see Restored in undo.h), whether its
// back-end opens now or not: the undo restores the state that was; the
// others are refused.
struct UndoLinks {
  struct Link {
    std::string table;
    std::string old_link;  // as the report holds them: passwords maybe masked
    std::string new_link;
    bool same_password = false;  // the relink kept the passwords
  };
  std::vector<Link> links;
};

using RelinkOrder = std::variant<SetLinks, MoveBackEnd, UndoLinks>;

struct ChangedLink {
  std::string table;
  std::string old_link;
  std::string new_link;
  std::optional<Failure> failure;  // this link failed its check
  // Whether both strings hold the same passwords: what lets an undo take a
  // masked password from the link as it stands then.
  bool same_password = false;
  // An undo's link put back though its back-end does not open now: why not.
  std::optional<Failure> back_end_now;
};

// A link an undo leaves as it is, and why.
enum class Refusal {
  kChangedSince,    // its stored string is no longer what the report wrote
  kPasswordHidden,  // the report masks a password the relink changed
};

struct RefusedLink {
  std::string table;
  std::string stored;  // the link string as stored now; empty where the table is gone
  Refusal why = Refusal::kChangedSince;
};

enum class RelinkOutcome {
  kRelinked,    // every change is stored
  kWouldRelink, // a dry run: every change would be stored; nothing was written
  kNothing,     // no link matched
  kFailed,      // nothing was written: `failure` says why
};

struct FrontEndRelink {
  std::string file;
  RelinkOutcome outcome = RelinkOutcome::kNothing;
  std::optional<Failure> failure;  // the first failure: a link's or the front-end's
  std::vector<ChangedLink> links;  // the links the order matched, in catalog order
  std::vector<RefusedLink> refused;  // an undo's links left as they are
};

// Checks every link the order names first, all of them (so that the report
// names each broken one), then stores them all as one change: the file holds
// all the new links or none of them, also after a crash. With dry_run, stops
// after the checks. `now` is what the links' DateUpdate becomes. The
// front-end opens as CheckFrontEnd opens it.
FrontEndRelink RelinkFrontEnd(engine::Env& env, const std::string& file, const RelinkOrder& order, bool dry_run,
                              double now, FrontEndPassword* password = nullptr);

}  // namespace cli
