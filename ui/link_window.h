// The link window "vostrel" in Qt: it shows the form's controls and hands
// their events to the form (linkform::Form), which does all of the
// program's work.
#pragma once

#include <QWidget>

#include <map>
#include <memory>

#include "form.h"
#include "common_dialog.h"
#include "failure_report.h"
#include "password_dialog_qt.h"

namespace ui {

// What load takes from the platform: the argument text (whole, untrimmed) and
// the application directory (no separator at its end).
struct StartUp {
  QString argument_text;
  QString application_directory;
};

class LinkWindow : public QWidget, private linkform::FormView {
  Q_OBJECT

 public:
  // The report is told of the first failing step of any procedure. Without a
  // picker factory the chooser asks through the toolkit's file dialog; without
  // an asker factory a password is asked for with a PasswordDialog.
  LinkWindow(StartUp start_up, FailureReport& report, FilePickerFactory make_picker = {},
             PasswordAskerFactory make_asker = {});
  ~LinkWindow() override;

  void Load() { form_->Load(); }
  void Activate() { form_->Activate(); }
  void Command1Click() { form_->Command1Click(); }
  void Command2Click() { form_->Command2Click(); }
  void Command3Click() { form_->Command3Click(); }
  void Command4Click() { form_->Command4Click(); }
  void Unload() { form_->Unload(); }

  // Form-level state, for those who watch the window.
  engine::Database* CurrentDatabase() const { return form_->CurrentDatabase(); }
  engine::TableDef* PartnerDef() const { return form_->PartnerDef(); }
  QString CommandText() const { return QString::fromStdString(form_->CommandText()); }
  bool AutoLink() const { return form_->AutoLink(); }
  const CommonDialog& Chooser() const { return *Dialog; }

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  class DialogControl;
  class ReportSink;

  std::string Text(linkform::Field field) const override;
  void SetText(linkform::Field field, const std::string& text) override;
  void Close() override { close(); }

  void BuildControls();
  void ShownFirstTime();
  QWidget* FieldWidget(linkform::Field field) const;

  FailureReport& report_;
  std::unique_ptr<CommonDialog> Dialog;
  std::unique_ptr<DialogControl> dialog_control_;
  std::unique_ptr<ReportSink> report_sink_;
  std::unique_ptr<linkform::PasswordAsker> passwords_;
  std::unique_ptr<linkform::Form> form_;

  std::map<linkform::Field, QWidget*> fields_;  // owned as children
  bool activated_ = false;   // an activation event has come
  bool shown_once_ = false;
};

}  // namespace ui
