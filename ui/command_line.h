// What the platform tells the program about how it was started.
#pragma once

#include <QString>

namespace ui {

// The text that follows the program's name on its command line, less the
// toolkit's own options. On POSIX the shell has already split it, so the
// arguments are joined again by single spaces; call it after the toolkit has
// taken its options (-platform, -display, -style, ...) out of argv, as the
// original platform's command-line text never held its runtime's options.
// (On Windows it is the system's text as it stands.)
QString ArgumentText(int argc, char** argv);

// The folder that holds the executable, with the platform's separators and no
// separator at its end ("/" gives "", "C:\" gives "C:").
QString ApplicationDirectory();

QString WithoutTrailingSeparators(QString path);

// The folder the form calls the program's own (where it proposes PARTNER.MDB,
// and what an argument beginning with MLQ selects): the folder installed_in
// that holds the executable, except where every program is installed
// (/usr/bin, /usr/local/bin: the Debian package), which holds neither file;
// there the folder the program was started in (working) stands in for it.
QString ProgramFolder(const QString& installed_in, const QString& working);

}  // namespace ui
