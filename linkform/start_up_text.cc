#include "linkform/start_up_text.h"

namespace linkform {

QString TrimSpaces(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
  while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
  return text.mid(begin, end - begin);
}

bool SortsAfterSpace(const QString& text) {
  return QString::compare(text, QStringLiteral(" "), Qt::CaseSensitive) > 0;
}

}  // namespace linkform
