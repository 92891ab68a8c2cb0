#include "command_line.h"

#include <QCoreApplication>
#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ui {

#ifdef Q_OS_WIN
// The command line as the system holds it, less the program's name: quoted
// as a whole or up to the first space or tab, the way the C runtime reads it.
QString ArgumentText(int, char**) {
  const QString line = QString::fromWCharArray(GetCommandLineW());
  qsizetype i = 0;
  if (i < line.size() && line[i] == QLatin1Char('"')) {
    ++i;
    while (i < line.size() && line[i] != QLatin1Char('"')) ++i;
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && line[i] != QLatin1Char(' ') && line[i] != QLatin1Char('\t')) ++i;
  }
  return line.mid(i);
}
#else
QString ArgumentText(int argc, char** argv) {
  QStringList words;
  for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
  return words.join(QLatin1Char(' '));
}
#endif

QString WithoutTrailingSeparators(QString path) {
  while (path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator())) path.chop(1);
  return path;
}

QString ApplicationDirectory() {
  return WithoutTrailingSeparators(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

}  // namespace ui
