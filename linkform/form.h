// The link window's form-level state and event procedures, without a
// toolkit. A view (Qt on Linux, Win32 on Windows) shows the controls, hands
// their events here and does what the procedures ask of the window.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vostrel/database.h"
#include "vostrel/tabledef.h"
#include "form_description.h"

namespace linkform {

// What the procedures ask of the window. Text is UTF-8.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual std::string Text(Field field) const = 0;
  virtual void SetText(Field field, const std::string& text) = 0;
  // Unloads the window: the view calls Form::Unload and goes away.
  virtual void Close() = 0;
};

// The common dialog control as the procedures use it: it keeps what it was
// told and the last file chosen. ShowOpen is modal; a choice replaces
// FileName and a cancel leaves it, and nothing tells which happened.
class Chooser {
 public:
  virtual ~Chooser() = default;
  virtual void SetInitDir(const std::string& dir) = 0;
  virtual void SetFilter(const std::string& filter) = 0;
  virtual void SetFileName(const std::string& name) = 0;
  virtual std::string FileName() const = 0;
  virtual void ShowOpen() = 0;
};

// Told of the first failing step of a procedure; the real one ends the
// process.
class FailureSink {
 public:
  virtual ~FailureSink() = default;
  virtual void Report(int number, const std::string& description) = 0;
};

// Asks the person for a front-end's database password, in a modal dialog.
// Returns what was typed on OK, nothing on Cancel. `again`: the password
// typed before was wrong.
class PasswordAsker {
 public:
  virtual ~PasswordAsker() = default;
  virtual std::optional<std::string> Ask(const std::string& database, bool again) = 0;
};

// How often a wrong password is asked for again before the open fails (3031).
inline constexpr int kPasswordTries = 3;

// What load takes from the platform: the argument text (whole, untrimmed)
// and the application directory (no separator at its end).
struct StartUpText {
  std::string argument_text;
  std::string application_directory;
};

class Form {
 public:
  Form(StartUpText start_up, FormView& view, Chooser& chooser, FailureSink& report, PasswordAsker& passwords);
  ~Form();

  // Window load: runs once, before the window is first shown.
  void Load();
  // The event procedures. Each runs its steps in order and stops at the
  // first failing one, which goes to the report; no failure leaves one.
  void Activate();
  void Command1Click();
  void Command2Click();
  void Command3Click();
  void Command4Click();
  void Unload();

  engine::Database* CurrentDatabase() const { return dbsCurrent.get(); }
  engine::TableDef* PartnerDef() const { return tdfPartner; }
  const std::string& CommandText() const { return strCommand; }
  bool AutoLink() const { return blnAutoLink; }

 private:
  void Relink();
  // DBEngine.OpenDatabase with the name alone; where the file wants a
  // password (3031), asked for and opened with it, up to kPasswordTries
  // times. A cancel, or the last wrong one, fails with the 3031 it met.
  std::unique_ptr<engine::Database> OpenDatabase(const std::string& name);
  template <class Steps>
  void Run(Steps&& steps);

  StartUpText start_up_;
  FormView& view_;
  Chooser& Dialog;
  FailureSink& report_;
  PasswordAsker& passwords_;

  std::unique_ptr<engine::Database> dbsCurrent;
  engine::TableDef* tdfPartner = nullptr;  // lives in dbsCurrent
  std::string strCommand;
  bool blnAutoLink = false;
};

}  // namespace linkform
