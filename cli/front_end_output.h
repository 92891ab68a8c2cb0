// How the reports of check and relink are printed: tab-separated lines for
// people (front-end, table, result), and JSON objects for scripts.
#pragma once

#include <string>

#include "front_end.h"

namespace cli {

// One line per link: "FILE\tTABLE\tok", "...\tError N: description", or
// "...\tnot checkable: Error N: description"; a front-end that did not open
// is one line with an empty table.
std::string CheckLines(const FrontEndCheck& report);
// {"frontEnd", "error", "links": [{"table", "connect", "state", "error"}]}
std::string CheckJson(const FrontEndCheck& report);

// One line per link matched: "FILE\tTABLE\tOLD -> NEW" (with " (dry run)"
// when nothing was written), "...\tError N: description" for a link that
// failed its check, "...\tunchanged" for the others of a front-end that
// failed; a front-end-wide failure or no link matched is one line with an
// empty table.
std::string RelinkLines(const FrontEndRelink& report);
// {"frontEnd", "outcome", "error", "links": [{"table", "from", "to", "samePassword", "error"}]}
std::string RelinkJson(const FrontEndRelink& report);

const char* StateName(LinkState state);
const char* OutcomeName(RelinkOutcome outcome);

}  // namespace cli
