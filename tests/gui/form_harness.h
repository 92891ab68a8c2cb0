// What the window's tests share: a toolkit application, a scratch copy of a
// fixture folder as the working directory, and doubles for the failure
// report and the file picker.
#pragma once

#include <QApplication>
#include <QString>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/link_window.h"
#include "tests/support/support.h"
#include "ui/common_dialog.h"
#include "ui/failure_report.h"

namespace gui_test {

namespace fs = std::filesystem;

// The one QApplication of the test program, on the offscreen platform unless
// the environment asks for another.
QApplication& App();

// Records what the window reports instead of ending the process.
class RecordingReport : public ui::FailureReport {
 public:
  struct Entry {
    int number;
    QString description;
  };
  void Report(int number, const QString& description) override { entries.push_back({number, description}); }
  std::vector<Entry> entries;
};

// Answers the chooser's questions from a script; an empty answer is a cancel.
struct PickerScript {
  struct Ask {
    QString init_dir;
    QStringList name_filters;
  };
  std::deque<std::optional<QString>> answers;
  std::vector<Ask> asks;
};

class ScriptedPicker : public ui::FilePicker {
 public:
  explicit ScriptedPicker(std::shared_ptr<PickerScript> script) : script_(std::move(script)) {}
  std::optional<QString> PickFileToOpen(const QString& init_dir, const QStringList& name_filters) override;

 private:
  std::shared_ptr<PickerScript> script_;
};

// Answers the password dialog from a script: an empty answer is a Cancel.
struct AskerScript {
  struct Ask {
    std::string database;
    bool again;
  };
  std::deque<std::optional<std::string>> answers;
  std::vector<Ask> asks;
};

class ScriptedAsker : public linkform::PasswordAsker {
 public:
  explicit ScriptedAsker(std::shared_ptr<AskerScript> script) : script_(std::move(script)) {}
  std::optional<std::string> Ask(const std::string& database, bool again) override;

 private:
  std::shared_ptr<AskerScript> script_;
};

// A test that works in a built fixture folder, as the program's
// working directory, and builds windows on it.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the fixture folder <name> (see BuildFixture) in the scratch folder
  // and changes into it. Returns the folder.
  fs::path UseFixture(const std::string& name);

  // A window with the report, picker and password doubles behind it; the application
  // directory defaults to the working directory (which holds PARTNER.MDB).
  std::unique_ptr<ui::LinkWindow> MakeForm(const QString& argument_text = {},
                                               std::optional<QString> application_directory = {});
  std::unique_ptr<ui::LinkWindow> LoadedForm(const QString& argument_text = {},
                                                 std::optional<QString> application_directory = {});

  // The working directory's absolute path, as the program would see it.
  QString WorkDir() const;

  std::unique_ptr<testing_support::TempDir> scratch_;
  fs::path work_;
  fs::path previous_cwd_;
  RecordingReport report_;
  std::shared_ptr<PickerScript> picker_ = std::make_shared<PickerScript>();
  std::shared_ptr<AskerScript> asker_ = std::make_shared<AskerScript>();
};

// Named controls of a window.
QString TextOf(const QWidget& form, const char* control);
void SetTextOf(QWidget& form, const char* control, const QString& text);

// The link of table "Partner" in a file, as an independent reader sees it:
// the stored back-end path, empty when the reader is not available.
struct OracleLink {
  bool found = false;
  int type = 0;
  std::string database;
};
OracleLink PartnerLinkByOracle(const fs::path& file);

// Pumps the event loop until pred holds or the time is up.
template <class Pred>
bool WaitFor(Pred pred, int ms = 5000);

QString Q(const fs::path& p);

}  // namespace gui_test

#include <QElapsedTimer>
#include <QTest>

template <class Pred>
bool gui_test::WaitFor(Pred pred, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > ms) return false;
    QTest::qWait(10);
  }
  return true;
}
