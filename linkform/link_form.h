// The link window "vostrel": its controls, its form-level state and the event
// procedures that do all of the program's work.
#pragma once

#include <QWidget>

#include <memory>

#include "engine/database.h"
#include "engine/tabledef.h"
#include "ui/common_dialog.h"
#include "ui/failure_report.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace linkform {

// What load takes from the platform: the argument text (whole, untrimmed) and
// the application directory (no separator at its end).
struct StartUp {
  QString argument_text;
  QString application_directory;
};

class LinkForm : public QWidget {
  Q_OBJECT

 public:
  // The report is told of the first failing step of any procedure. Without a
  // picker factory the chooser asks through the toolkit's file dialog.
  LinkForm(StartUp start_up, ui::FailureReport& report, ui::FilePickerFactory make_picker = {});
  ~LinkForm() override;

  // Window load: runs once, before the window is first shown.
  void Load();

  // The event procedures. Each runs its steps in order and stops at the first
  // failing one, which goes to the report; no failure leaves a procedure.
  void Activate();
  void Command1Click();
  void Command2Click();
  void Command3Click();
  void Command4Click();
  void Unload();

  // Form-level state, for those who watch the window.
  engine::Database* CurrentDatabase() const { return dbsCurrent.get(); }
  engine::TableDef* PartnerDef() const { return tdfPartner; }
  const QString& CommandText() const { return strCommand; }
  bool AutoLink() const { return blnAutoLink; }
  const ui::CommonDialog& Chooser() const { return *Dialog; }

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildControls();
  void Relink();
  void ShownFirstTime();
  template <class Steps>
  void Run(Steps&& steps);

  StartUp start_up_;
  ui::FailureReport& report_;

  QLabel* Baza;
  QPushButton* Command3;
  QLineEdit* imebaze;
  QLabel* Label1;
  QLineEdit* imetabele;
  QPlainTextEdit* Text1;
  QPushButton* Command2;
  QPlainTextEdit* Text2;
  QPushButton* Command4;
  QPushButton* Command1;
  QLabel* Label2;
  std::unique_ptr<ui::CommonDialog> Dialog;

  std::unique_ptr<engine::Database> dbsCurrent;
  engine::TableDef* tdfPartner = nullptr;  // lives in dbsCurrent
  QString strCommand;
  bool blnAutoLink = false;

  bool activated_ = false;   // an activation event has come
  bool shown_once_ = false;
};

}  // namespace linkform
