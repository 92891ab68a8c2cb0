// The file choosers: what lands in the fields, with a scripted person and
// with the toolkit's real dialog.
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include "tests/gui/form_harness.h"
#include "ui/translations.h"

namespace gui_test {
namespace {

const QString kAppDir = QStringLiteral("/opt/vostrel");

struct Step {
  const char* button;  // "Command2" or "Command3"
  std::optional<QString> answer;
  QString text2;   // expected afterwards
  QString imebaze;
};

struct Story {
  const char* what;
  std::vector<Step> steps;
};

const QString kA = QStringLiteral("/srv/a/PARTNER.MDB");
const QString kB = QStringLiteral("/home/x/My Data/Druga baza.mdb");

std::vector<Story> Stories() {
  return {
      {"a choice for the back-end", {{"Command2", kA, ";DATABASE=" + kA, ""}}},
      {"a choice for the front-end", {{"Command3", kB, "", kB}}},
      {"a cancel at first use yields the preset",
       {{"Command2", std::nullopt, ";DATABASE=*.mdb", ""}, {"Command3", std::nullopt, ";DATABASE=*.mdb", "*.mdb"}}},
      {"a cancel after a choice repeats it",
       {{"Command2", kA, ";DATABASE=" + kA, ""}, {"Command2", std::nullopt, ";DATABASE=" + kA, ""}}},
      {"one button's choice is the other's current name",
       {{"Command3", kB, "", kB}, {"Command2", std::nullopt, ";DATABASE=" + kB, kB},
        {"Command2", kA, ";DATABASE=" + kA, kB}, {"Command3", std::nullopt, ";DATABASE=" + kA, kA}}},
  };
}

class ChooserTest : public FormTest {};

TEST_F(ChooserTest, FieldsReceiveTheChoosersCurrentFileName) {
  for (const Story& story : Stories()) {
    SCOPED_TRACE(story.what);
    picker_ = std::make_shared<PickerScript>();
    for (const Step& s : story.steps) picker_->answers.push_back(s.answer);
    auto form = MakeForm({}, kAppDir);
    for (size_t i = 0; i < story.steps.size(); ++i) {
      const Step& s = story.steps[i];
      SCOPED_TRACE(i);
      form->findChild<QPushButton*>(s.button)->click();
      EXPECT_EQ(TextOf(*form, "Text2"), s.text2);
      EXPECT_EQ(TextOf(*form, "imebaze"), s.imebaze);
    }
    ASSERT_EQ(picker_->asks.size(), story.steps.size());
    // Every use starts in the program's folder with the one filter, whatever
    // folder the last choice came from.
    for (const auto& ask : picker_->asks) {
      EXPECT_EQ(ask.init_dir, kAppDir);
      EXPECT_EQ(ask.name_filters, QStringList{"Podatkovna baza (*.mdb)"});
    }
    EXPECT_EQ(form->Chooser().Filter(), "Podatkovna baza |*.mdb");
    EXPECT_TRUE(report_.entries.empty());
  }
}

TEST(NameFiltersTest, CommonDialogFilterBecomesToolkitFilters) {
  struct Case {
    QString filter;
    QStringList expected;
  } cases[] = {
      {"Podatkovna baza |*.mdb", {"Podatkovna baza (*.mdb)"}},
      {"Baze|*.mdb;*.accdb|Vse|*.*", {"Baze (*.mdb *.accdb)", "Vse (*.*)"}},
      {"Brez vzorca", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::NameFilters(c.filter), c.expected) << c.filter.toStdString();
}

// The toolkit's own dialog, answered by the test as a person would.
class RealDialogTest : public FormTest {
 protected:
  // Acts on the file dialog as soon as it is up; the click that opens it
  // returns only when it closes. A dialog the act left open is a failure,
  // and is cancelled so that the test ends rather than hangs.
  void WhenDialogShows(std::function<void(QFileDialog&)> act) {
    auto* timer = new QTimer(&App());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      act(*dialog);
      QTimer::singleShot(3000, dialog, [dialog] {
        if (!dialog->isVisible()) return;
        ADD_FAILURE() << "the file dialog is still open";
        dialog->reject();
      });
    });
    timer->start(20);
  }

  // Types the file's full name into the name field and presses Open, as a
  // person would. (QFileDialog::selectFile leaves that field as it is while it
  // holds the keyboard focus, which the dialog may or may not have been given
  // by then; accept() then finds no file and the dialog stays open.)
  static void TypeAndOpen(QFileDialog& d, const QString& file) {
    auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr) << "the toolkit's dialog has no file name field";
    name->setText(file);
    static_cast<QDialog&>(d).accept();  // QFileDialog::accept: checks the file exists
  }

  std::unique_ptr<ui::LinkWindow> RealForm(const QString& app_dir) {
    return std::make_unique<ui::LinkWindow>(ui::StartUp{{}, app_dir}, report_);
  }
};

TEST_F(RealDialogTest, ChooseAFileThenCancel) {
  testing_support::TempDir dir;
  fs::create_directory(dir / "My Data");
  testing_support::WriteBytes(dir / "My Data" / "PARTNER.MDB", {0});
  const QString app_dir = Q(dir.path());
  const QString chosen = Q(dir / "My Data" / "PARTNER.MDB");
  auto form = RealForm(app_dir);

  QString seen_dir;
  WhenDialogShows([&](QFileDialog& d) {
    seen_dir = d.directory().absolutePath();
    TypeAndOpen(d, chosen);
  });
  form->Command2Click();
  EXPECT_EQ(seen_dir, app_dir);
  EXPECT_EQ(TextOf(*form, "Text2"), ";DATABASE=" + chosen);

  WhenDialogShows([&](QFileDialog& d) {
    seen_dir = d.directory().absolutePath();
    d.reject();
  });
  form->Command3Click();
  EXPECT_EQ(seen_dir, app_dir);  // not the folder of the last choice
  EXPECT_EQ(TextOf(*form, "imebaze"), chosen);
  EXPECT_TRUE(report_.entries.empty());
}

TEST_F(RealDialogTest, PatternIgnoresCaseAndOffersOnlyDatabases) {
  testing_support::TempDir dir;
  const char* offered[] = {"PARTNER.MDB", "partner.Mdb", "mlq.mdb"};
  const char* not_offered[] = {"opombe.txt", "PARTNER.MDB.bak"};
  for (const char* n : offered) testing_support::WriteBytes(dir / n, {0});
  for (const char* n : not_offered) testing_support::WriteBytes(dir / n, {0});
  auto form = RealForm(Q(dir.path()));

  std::map<QString, bool> shown;  // name -> selectable
  QStringList filters;
  WhenDialogShows([&](QFileDialog& d) {
    filters = d.nameFilters();
    auto* view = d.findChild<QListView*>("listView");
    auto* model = d.findChild<QFileSystemModel*>();
    if (view && model) {
      WaitFor([&] { return model->rowCount(view->rootIndex()) >= 3; }, 3000);
      QTest::qWait(100);  // let the gatherer finish the folder
      const QModelIndex root = view->rootIndex();
      for (int r = 0; r < model->rowCount(root); ++r) {
        const QModelIndex i = model->index(r, 0, root);
        shown[i.data().toString()] = (model->flags(i) & Qt::ItemIsEnabled) != 0;
      }
    }
    d.reject();
  });
  form->Command2Click();
  EXPECT_EQ(filters, QStringList{"Podatkovna baza (*.mdb)"});
  for (const char* n : offered) EXPECT_TRUE(shown.count(n) && shown[n]) << n << " should be offered";
  for (const char* n : not_offered) EXPECT_FALSE(shown.count(n) && shown[n]) << n << " should not be offered";
  EXPECT_EQ(TextOf(*form, "Text2"), ";DATABASE=*.mdb");
}

// Under a Slovenian locale the toolkit's own words, in the chooser and in
// the message box of a failure, are Slovenian too. With VOSTREL_SCREENSHOT
// set, the chooser is saved there as a picture (docs/ holds one).
TEST_F(RealDialogTest, ChooserAndMessageBoxSpeakTheUsersLanguage) {
  QTranslator* slovenian = ui::LoadToolkitTranslations(QLocale(QLocale::Slovenian, QLocale::Slovenia));
  ASSERT_NE(slovenian, nullptr) << "the toolkit's Slovenian catalogue is missing (qt6-translations-l10n)";
  testing_support::TempDir dir;
  testing_support::WriteBytes(dir / "MLQ.mdb", {0});
  testing_support::WriteBytes(dir / "PARTNER.MDB", {0});
  auto form = RealForm(Q(dir.path()));
  QStringList words;
  WhenDialogShows([&](QFileDialog& d) {
    for (auto* b : d.findChildren<QPushButton*>())
      if (b->isVisible()) words << b->text();
    for (auto* l : d.findChildren<QLabel*>())
      if (l->isVisible() && !l->text().isEmpty()) words << l->text();
    if (const char* shot = std::getenv("VOSTREL_SCREENSHOT")) d.grab().save(QString::fromLocal8Bit(shot));
    d.reject();
  });
  form->Command2Click();
  QMessageBox box(QMessageBox::Critical, QStringLiteral("vostrel"), QStringLiteral("Napaka 3024"), QMessageBox::Ok);
  words << box.button(QMessageBox::Ok)->text();
  delete slovenian;

  ASSERT_GE(words.size(), 5) << words.join(QLatin1Char('|')).toStdString();
  for (const char* english : {"&Open", "Open", "Cancel", "Look in:", "File &name:", "Files of type:", "&OK", "OK"})
    EXPECT_FALSE(words.contains(QString::fromLatin1(english))) << english << " in " << words.join(QLatin1Char('|')).toStdString();
  for (const char* slovene : {"&Odpri", "Prekliči", "V redu"})
    EXPECT_TRUE(words.contains(QString::fromUtf8(slovene))) << slovene << " not in " << words.join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace gui_test
