#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {
namespace {

// Some languages' catalogues (Slovenian among them) are older than the
// toolkit: they hold the standard buttons' words ("OK", "Cancel") under the
// context the toolkit used then, QDialogButtonBox, while it now asks under
// QPlatformTheme. Asked there in vain, this looks under the older context.
class ToolkitCatalogue : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source, const char* disambiguation, int n) const override {
    QString text = QTranslator::translate(context, source, disambiguation, n);
    if (text.isEmpty() && qstrcmp(context, "QPlatformTheme") == 0)
      text = QTranslator::translate("QDialogButtonBox", source, disambiguation, n);
    return text;
  }
};

}  // namespace

QTranslator* LoadToolkitTranslations(const QLocale& locale) {
  auto* translator = new ToolkitCatalogue(QCoreApplication::instance());
  // "qt_<lang>": the whole catalogue, or one that loads qtbase_<lang> and the rest.
  if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return nullptr;
  }
  QCoreApplication::installTranslator(translator);
  return translator;
}

}  // namespace ui
