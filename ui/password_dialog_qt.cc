#include "password_dialog_qt.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "form_description.h"
#include "password_dialog.h"

namespace ui {
namespace {

void Place(QWidget* w, const linkform::TwipsRect& r) {
  using linkform::TwipsToPixels;
  w->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width), TwipsToPixels(r.height));
}

}  // namespace

PasswordDialog::PasswordDialog(QWidget* owner, const QString& prompt) : QDialog(owner) {
  using linkform::TwipsToPixels;
  setObjectName(QString::fromUtf8(linkform::kPasswordDialogName));
  setWindowTitle(QString::fromUtf8(linkform::kPasswordCaption));
  setModal(true);
  setFixedSize(TwipsToPixels(linkform::kPasswordClientWidth), TwipsToPixels(linkform::kPasswordClientHeight));

  auto* label = new QLabel(prompt, this);
  label->setWordWrap(true);
  Place(label, linkform::kPasswordPromptPlace);
  field_ = new QLineEdit(this);
  field_->setObjectName(QString::fromUtf8(linkform::kPasswordFieldName));
  field_->setEchoMode(QLineEdit::Password);
  Place(field_, linkform::kPasswordFieldPlace);
  auto* ok = new QPushButton(QString::fromUtf8(linkform::kPasswordOk), this);
  ok->setObjectName(QString::fromUtf8(linkform::kPasswordOkName));
  ok->setDefault(true);  // Enter in the field is OK
  Place(ok, linkform::kPasswordOkPlace);
  auto* cancel = new QPushButton(QString::fromUtf8(linkform::kPasswordCancel), this);
  cancel->setObjectName(QString::fromUtf8(linkform::kPasswordCancelName));
  Place(cancel, linkform::kPasswordCancelPlace);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  field_->setFocus();
}

QString PasswordDialog::Password() const { return field_->text(); }

std::optional<std::string> QtPasswordAsker::Ask(const std::string& database, bool again) {
  PasswordDialog dialog(owner_, QString::fromStdString(linkform::PasswordPrompt(database, again)));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Password().toStdString();
}

}  // namespace ui
