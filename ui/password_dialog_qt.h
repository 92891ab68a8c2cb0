// The password dialog in Qt: a modal QDialog with the prompt, a masked
// field (QLineEdit::Password) and OK/Cancel, captioned as
// linkform/password_dialog.h says; and the form's PasswordAsker over it.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "form.h"

class QLineEdit;

namespace ui {

class PasswordDialog : public QDialog {
  Q_OBJECT

 public:
  PasswordDialog(QWidget* owner, const QString& prompt);
  QString Password() const;

 private:
  QLineEdit* field_;
};

// Asks with a PasswordDialog over `owner`.
class QtPasswordAsker : public linkform::PasswordAsker {
 public:
  explicit QtPasswordAsker(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> Ask(const std::string& database, bool again) override;

 private:
  QWidget* owner_;
};

using PasswordAskerFactory = std::function<std::unique_ptr<linkform::PasswordAsker>(QWidget* owner)>;

}  // namespace ui
