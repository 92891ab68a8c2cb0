// The kinds of object a catalog lists, by the names people know them by.
#pragma once

namespace engine {

// "local", "linked", "odbc" for the three kinds of table; "query", "form",
// "report", "macro", "module" and the rest for the other objects; "other"
// for a type no kind is known for.
const char* ObjectKindName(int type);

}  // namespace engine
