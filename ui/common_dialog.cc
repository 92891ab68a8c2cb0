#include "common_dialog.h"

#include <QDir>
#include <QFileDialog>

#include "platform/messages.h"

namespace ui {

QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(QLatin1Char(' ')));
  }
  return out;
}

void CommonDialog::ShowOpen() {
  if (std::optional<QString> chosen = picker_->PickFileToOpen(init_dir_, NameFilters(filter_)))
    file_name_ = *chosen;
}

std::optional<QString> QtFilePicker::PickFileToOpen(const QString& init_dir, const QStringList& name_filters) {
  QFileDialog dialog(owner_, QString::fromStdString(platform::Translate("Open")), init_dir);
  dialog.setObjectName(QStringLiteral("DialogOpen"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
#ifndef Q_OS_WIN
  // The back-end is by custom named in capitals ("PARTNER.MDB"), and "*.mdb"
  // must find it as it does where names ignore case. Native choosers on these
  // systems match patterns case-sensitively; the toolkit's own one need not.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
#endif
  if (!name_filters.isEmpty()) dialog.setNameFilters(name_filters);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.first());
}

}  // namespace ui
