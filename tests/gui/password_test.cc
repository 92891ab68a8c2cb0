// A front-end with a database password in the window: the form asks for it
// (a scripted asker here), again when it is wrong, up to three times; a
// Cancel fails as an open does. And the Qt dialog itself.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <optional>

#include "dbbuilder/cases.h"
#include "password_dialog.h"
#include "tests/gui/form_harness.h"
#include "tests/support/built_fixtures.h"
#include "ui/password_dialog_qt.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/link_string.h"
#include "vostrel/tabledefs.h"

namespace gui_test {
namespace {

constexpr char kPassword[] = "Skriv-no7";

class PasswordTest : public FormTest {
 protected:
  // The fixture folder with its MLQ.mdb protected by kPassword: a Jet4
  // database password, or (`encryption`) an ACE file encrypted with it.
  void UseProtectedFrontEnd(std::optional<jet::AceEncryptionKind> encryption = std::nullopt) {
    UseFixture("v2003-basic");
    dbbuilder::FrontEndOptions options;
    if (encryption) options.format = dbbuilder::FormatVersion::kAce14;
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd(options);
    if (encryption)
      described.encryption = dbbuilder::Encryption{kPassword, *encryption};
    else
      described.password = kPassword;
    fs::remove(work_ / "MLQ.mdb");
    testing_support::Built(described, work_ / "MLQ.mdb");
  }
  std::vector<bool> Agains() const {
    std::vector<bool> again;
    for (const AskerScript::Ask& a : asker_->asks) again.push_back(a.again);
    return again;
  }
};

struct AskCase {
  const char* name;
  std::vector<std::optional<std::string>> answers;
  bool opens;
  std::vector<bool> asked_again;  // one per time asked
};

void PrintTo(const AskCase& c, std::ostream* os) { *os << c.name; }

class LoadAsks : public PasswordTest, public ::testing::WithParamInterface<AskCase> {};

// Load: asked once the file wants a password; a wrong one asks again; a
// Cancel or a third wrong one is the 3031 report, the file unchanged.
TEST_P(LoadAsks, AsksUntilRightOrThreeTimes) {
  const AskCase& c = GetParam();
  UseProtectedFrontEnd();
  const auto before = testing_support::ReadBytes(work_ / "MLQ.mdb");
  asker_->answers.assign(c.answers.begin(), c.answers.end());
  auto form = LoadedForm();
  EXPECT_EQ(Agains(), c.asked_again);
  for (const AskerScript::Ask& a : asker_->asks) EXPECT_EQ(a.database, "MLQ.mdb");
  if (c.opens) {
    ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
    EXPECT_EQ(TextOf(*form, "Text1"), ";DATABASE=C:\\MLQ\\PARTNER.MDB");
  } else {
    ASSERT_EQ(report_.entries.size(), 1u);
    EXPECT_EQ(report_.entries[0].number, engine::kErrNotValidPassword);
    EXPECT_EQ(TextOf(*form, "Text1"), "");
    EXPECT_EQ(form->CurrentDatabase(), nullptr);
  }
  form.reset();
  EXPECT_EQ(testing_support::ReadBytes(work_ / "MLQ.mdb"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LoadAsks,
    ::testing::Values(AskCase{"Right", {kPassword}, true, {false}},
                      AskCase{"Cancel", {std::nullopt}, false, {false}},
                      AskCase{"WrongThenRight", {"a", "b", kPassword}, true, {false, true, true}},
                      AskCase{"WrongThenCancel", {"a", std::nullopt}, false, {false, true}},
                      AskCase{"WrongThreeTimes", {"a", "b", "c"}, false, {false, true, true}}),
    [](const ::testing::TestParamInfo<AskCase>& info) { return std::string(info.param.name); });

// A file without a password is never asked about.
TEST_F(PasswordTest, NoPasswordNoDialog) {
  UseFixture("v2003-basic");
  auto form = LoadedForm();
  EXPECT_TRUE(report_.entries.empty());
  EXPECT_TRUE(asker_->asks.empty());
}

struct ProtectedKind {
  const char* name;
  std::optional<jet::AceEncryptionKind> encryption;
};

void PrintTo(const ProtectedKind& k, std::ostream* os) { *os << k.name; }

class RelinkAfterTheDialog : public PasswordTest, public ::testing::WithParamInterface<ProtectedKind> {};

// After the dialog the relink stores the link; the file still wants the
// password (an encrypted one stays encrypted), and the outside reader reads
// the new link with it.
TEST_P(RelinkAfterTheDialog, StoresTheLinkAndStaysProtected) {
  UseProtectedFrontEnd(GetParam().encryption);
  asker_->answers = {kPassword};
  auto form = LoadedForm();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  const std::string link = ";DATABASE=" + work_.string() + "/PARTNER.MDB";
  SetTextOf(*form, "Text2", QString::fromStdString(link));
  form->Command1Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  form.reset();
  try {
    engine::DBEngine::Instance().OpenDatabase((work_ / "MLQ.mdb").string());
    ADD_FAILURE() << "opened without its password";
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(e.number(), engine::kErrNotValidPassword);
  }
  auto db = engine::DBEngine::Instance().OpenDatabase((work_ / "MLQ.mdb").string(), false, true,
                                                      engine::PasswordConnect(kPassword));
  EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), link);
  db->Close();
  if (testing_support::CheckWithMdbReader())
    for (const auto& o : testing_support::MdbReaderCatalog(work_ / "MLQ.mdb", kPassword))
      if (o.name == "Partner") {
        EXPECT_EQ(o.database, work_.string() + "/PARTNER.MDB");
      }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RelinkAfterTheDialog,
                         ::testing::Values(ProtectedKind{"Jet4Password", std::nullopt},
                                           ProtectedKind{"AceAgile", jet::AceEncryptionKind::kAgile},
                                           ProtectedKind{"AceRc4", jet::AceEncryptionKind::kRc4CryptoApi}),
                         [](const ::testing::TestParamInfo<ProtectedKind>& info) { return std::string(info.param.name); });

// Osveži onto a protected file asks for its password too; a Cancel there
// is the report, with the old database already closed.
TEST_F(PasswordTest, ReopenAsks) {
  UseFixture("v2003-basic");
  const fs::path other = scratch_->path() / "druga" / "MLQ.mdb";
  fs::create_directories(other.parent_path());
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.password = kPassword;
  testing_support::Built(described, other);
  asker_->answers = {"narobe", kPassword, std::nullopt};
  auto form = LoadedForm();
  EXPECT_TRUE(asker_->asks.empty());
  SetTextOf(*form, "imebaze", Q(other));
  form->Command4Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  EXPECT_EQ(Agains(), (std::vector<bool>{false, true}));
  EXPECT_EQ(form->CurrentDatabase()->Path(), other.string());
  form->Command4Click();
  ASSERT_EQ(report_.entries.size(), 1u);
  EXPECT_EQ(report_.entries[0].number, engine::kErrNotValidPassword);
}

// The Qt dialog: Slovenian captions, a masked field, OK gives what was
// typed, Cancel nothing.
TEST(PasswordDialog, MaskedFieldOkAndCancel) {
  App();
  for (const bool ok : {true, false}) {
    ui::QtPasswordAsker asker(nullptr);
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ui::PasswordDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      seen = true;
      EXPECT_EQ(dialog->windowTitle(), "Geslo");
      auto* field = dialog->findChild<QLineEdit*>("password");
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(field->echoMode(), QLineEdit::Password);
      EXPECT_TRUE(dialog->findChild<QLabel*>()->text().contains(QString::fromUtf8("Geslo ni pravilno")));
      EXPECT_EQ(dialog->findChild<QPushButton*>("ok")->text(), "V redu");
      EXPECT_EQ(dialog->findChild<QPushButton*>("cancel")->text(), QString::fromUtf8("Prekliči"));
      field->setText(QString::fromUtf8("geslo-čž"));
      dialog->findChild<QPushButton*>(ok ? "ok" : "cancel")->click();
    });
    const std::optional<std::string> answer = asker.Ask("MLQ.mdb", true);
    EXPECT_TRUE(seen);
    if (ok)
      EXPECT_EQ(answer, std::optional<std::string>("geslo-\xC4\x8D\xC5\xBE"));
    else
      EXPECT_EQ(answer, std::nullopt);
  }
}

}  // namespace
}  // namespace gui_test
