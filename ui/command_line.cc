#include "command_line.h"

#include <QCoreApplication>
#include <QDir>

#include "start_up_text.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ui {

#ifdef Q_OS_WIN
QString ArgumentText(int, char**) {
  const QString line = QString::fromWCharArray(GetCommandLineW());
  return QString::fromStdString(linkform::AfterProgramName(line.toStdString()));
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

QString ProgramFolder(const QString& installed_in, const QString& working) {
  const QString folder = WithoutTrailingSeparators(installed_in);
  if (folder == QLatin1String("/usr/bin") || folder == QLatin1String("/usr/local/bin")) {
    return WithoutTrailingSeparators(QDir::toNativeSeparators(working));
  }
  return folder;
}

}  // namespace ui
