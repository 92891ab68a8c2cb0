#include "tests/gui/form_harness.h"

#include "tests/support/built_fixtures.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace gui_test {

namespace {

QApplication* the_app = nullptr;

// The application must go before the program's static objects do: the
// toolkit's own statics die with them and leave it a crash at exit.
class ToolkitEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete the_app;
    the_app = nullptr;
  }
};

::testing::Environment* const toolkit_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

}  // namespace

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  if (the_app == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    the_app = new QApplication(argc, argv);
  }
  return *the_app;
}

std::optional<QString> ScriptedPicker::PickFileToOpen(const QString& init_dir, const QStringList& name_filters) {
  script_->asks.push_back({init_dir, name_filters});
  if (script_->answers.empty()) {
    ADD_FAILURE() << "the chooser was shown more often than the test expected";
    return std::nullopt;
  }
  const bool chosen = script_->answers.front().has_value();
  const QString path = script_->answers.front().value_or(QString());
  script_->answers.pop_front();
  if (!chosen) return std::nullopt;
  return path;
}

std::optional<std::string> ScriptedAsker::Ask(const std::string& database, bool again) {
  script_->asks.push_back({database, again});
  if (script_->answers.empty()) {
    ADD_FAILURE() << "the password was asked for more often than the test expected";
    return std::nullopt;
  }
  std::optional<std::string> answer = script_->answers.front();
  script_->answers.pop_front();
  return answer;
}

void FormTest::SetUp() {
  App();
  previous_cwd_ = fs::current_path();
  scratch_ = std::make_unique<testing_support::TempDir>();
}

void FormTest::TearDown() {
  fs::current_path(previous_cwd_);
  scratch_.reset();
}

fs::path FormTest::UseFixture(const std::string& name) {
  work_ = testing_support::BuildFixture(name, scratch_->path());
  fs::current_path(work_);
  return work_;
}

QString FormTest::WorkDir() const { return Q(work_); }

std::unique_ptr<ui::LinkWindow> FormTest::MakeForm(const QString& argument_text,
                                                       std::optional<QString> application_directory) {
  ui::StartUp start_up{argument_text, application_directory.value_or(WorkDir())};
  auto script = picker_;
  auto asker = asker_;
  return std::make_unique<ui::LinkWindow>(
      start_up, report_, [script](QWidget*) { return std::make_unique<ScriptedPicker>(script); },
      [asker](QWidget*) { return std::make_unique<ScriptedAsker>(asker); });
}

std::unique_ptr<ui::LinkWindow> FormTest::LoadedForm(const QString& argument_text,
                                                         std::optional<QString> application_directory) {
  auto form = MakeForm(argument_text, application_directory);
  form->Load();
  return form;
}

QString TextOf(const QWidget& form, const char* control) {
  if (auto* line = form.findChild<QLineEdit*>(QLatin1String(control))) return line->text();
  if (auto* text = form.findChild<QPlainTextEdit*>(QLatin1String(control))) return text->toPlainText();
  ADD_FAILURE() << "no text field " << control;
  return {};
}

void SetTextOf(QWidget& form, const char* control, const QString& text) {
  if (auto* line = form.findChild<QLineEdit*>(QLatin1String(control))) return line->setText(text);
  if (auto* field = form.findChild<QPlainTextEdit*>(QLatin1String(control))) return field->setPlainText(text);
  ADD_FAILURE() << "no text field " << control;
}

OracleLink PartnerLinkByOracle(const fs::path& file) {
  OracleLink link;
  for (const auto& o : testing_support::MdbReaderCatalog(file)) {
    if (o.name != "Partner") continue;
    link.found = true;
    link.type = o.type;
    link.database = o.database;
  }
  return link;
}

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

}  // namespace gui_test
