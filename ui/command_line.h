// What the platform tells the program about how it was started.
#pragma once

#include <QString>

namespace ui {

// The text that follows the program's name on its command line, whole. On
// POSIX the shell has already split it, so the arguments are joined again by
// single spaces. Call it before the toolkit sees argv: Qt takes arguments such
// as -style or -platform out of it for itself.
QString ArgumentText(int argc, char** argv);

// The folder that holds the executable, with the platform's separators and no
// separator at its end ("/" gives "", "C:\" gives "C:").
QString ApplicationDirectory();

QString WithoutTrailingSeparators(QString path);

}  // namespace ui
