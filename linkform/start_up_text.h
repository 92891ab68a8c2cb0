// How load reads the argument text.
#pragma once

#include <QString>

namespace linkform {

// Removes spaces, and only spaces, at both ends; a tab stays.
QString TrimSpaces(const QString& text);

// Whether the text sorts after " " by character codes: not empty, and its
// first character's code is above 32. That is what makes an argument count.
bool SortsAfterSpace(const QString& text);

}  // namespace linkform
