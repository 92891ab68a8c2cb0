// Relinking: by the button, by itself at the first activation, and failing.
#include <QCloseEvent>
#include <QPushButton>

#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledefs.h"
#include "tests/gui/form_harness.h"
#include "tests/support/built_fixtures.h"

namespace gui_test {
namespace {

using testing_support::EngineLink;
using testing_support::ReadBytes;

bool IsClosed(ui::LinkWindow& form) {
  try {
    form.CurrentDatabase()->TableDefs();
    return false;
  } catch (const engine::EngineError&) {
    return true;
  }
}

// Keeps every activation from reaching the window.
class SwallowActivation : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::WindowActivate; }
};

class RelinkTest : public FormTest {
 protected:
  // Checks that the file now links Partner to the back-end path given, as
  // both an independent reader and our engine see it.
  void ExpectLinkedTo(const fs::path& front_end, const QString& back_end) {
    EXPECT_EQ(EngineLink(front_end), (";DATABASE=" + back_end).toStdString());
    if (!testing_support::CheckWithMdbReader()) return;
    OracleLink link = PartnerLinkByOracle(front_end);
    EXPECT_TRUE(link.found);
    EXPECT_EQ(link.type, 6);
    EXPECT_EQ(link.database, back_end.toStdString());
  }
};

TEST_F(RelinkTest, ButtonWithoutChangesLinksToTheBackEndBesideTheProgram) {
  for (const char* fixture : {"v2003-basic", "v2000-basic", "v2007-basic", "v2003-big"}) {
    SCOPED_TRACE(fixture);
    const fs::path dir = UseFixture(fixture);
    auto form = LoadedForm();
    form->show();
    form->findChild<QPushButton*>("Command1")->click();
    ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(IsClosed(*form));
    ExpectLinkedTo(dir / "MLQ.mdb", WorkDir() + "\\PARTNER.MDB");
  }
}

TEST_F(RelinkTest, TextTypedByHandIsAppliedAsTyped) {
  const fs::path dir = UseFixture("v2003-basic");
  fs::create_directory(dir / "My Data");
  fs::copy_file(dir / "PARTNER.MDB", dir / "My Data" / "zaloga.mdb");
  auto form = LoadedForm();
  const QString typed = ";DATABASE=" + WorkDir() + "/My Data/zaloga.mdb";
  SetTextOf(*form, "Text2", typed);
  form->Command1Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  ExpectLinkedTo(dir / "MLQ.mdb", WorkDir() + "/My Data/zaloga.mdb");
}

// Whatever the engine makes of an empty link string, the window passes it on
// and takes the outcome: the same as when the engine is given "" directly.
TEST_F(RelinkTest, EmptyProposalGoesToTheEngineUnchanged) {
  const fs::path dir = UseFixture("v2003-basic");
  const fs::path twin = testing_support::CopyInto(dir / "MLQ.mdb", scratch_->path());
  int direct_number = 0;
  {
    auto db = engine::DBEngine::Instance().OpenDatabase(twin.string());
    engine::TableDef& def = db->TableDefs().Item("Partner");
    def.SetConnect("");
    try {
      def.RefreshLink();
    } catch (const engine::EngineError& e) {
      direct_number = e.number();
    }
    db->Close();
  }
  auto form = LoadedForm();
  SetTextOf(*form, "Text2", "");
  form->Command1Click();
  if (direct_number == 0) {
    EXPECT_TRUE(report_.entries.empty());
    EXPECT_TRUE(IsClosed(*form));
  } else {
    ASSERT_EQ(report_.entries.size(), 1u);
    EXPECT_EQ(report_.entries[0].number, direct_number);
  }
  EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), ReadBytes(twin));
}

TEST_F(RelinkTest, StartedWithAnArgumentRelinksOnceWhenShown) {
  const fs::path dir = UseFixture("v2003-basic");
  fs::create_directory(dir / "back end");
  fs::copy_file(dir / "PARTNER.MDB", dir / "back end" / "PARTNER.MDB");
  const QString folder = WorkDir() + "/back end";
  auto form = LoadedForm("  " + folder + " ", QStringLiteral("/nonexistent"));
  ASSERT_TRUE(form->AutoLink());
  form->show();
  ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); })) << "no relink came by itself";
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  EXPECT_FALSE(form->AutoLink());
  EXPECT_TRUE(IsClosed(*form));
  ExpectLinkedTo(dir / "MLQ.mdb", folder + "\\PARTNER.MDB");
}

// Where nothing activates the window (a bare X server, or a desktop that
// refuses focus to a program started from a script), showing it is enough.
TEST_F(RelinkTest, RelinksWhenShownThoughNeverActivated) {
  const fs::path dir = UseFixture("v2003-basic");
  auto form = LoadedForm("MLQ");
  SwallowActivation swallow;
  form->installEventFilter(&swallow);
  form->show();
  ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); })) << "no relink came by itself";
  EXPECT_TRUE(report_.entries.empty());
  EXPECT_EQ(EngineLink(dir / "MLQ.mdb"), (";DATABASE=" + WorkDir() + "\\PARTNER.MDB").toStdString());
}

TEST_F(RelinkTest, OnlyTheFirstActivationRelinks) {
  struct Case {
    const char* what;
    QString argument;
    bool relinks_first;
  } cases[] = {
      {"no argument: never", "", false},
      {"a folder without a back-end: the first fails, the rest do nothing", "/nonexistent folder", false},
      {"the prefix: the first relinks", "mlq", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = UseFixture("v2003-basic");
    const auto before = ReadBytes(dir / "MLQ.mdb");
    report_.entries.clear();
    auto form = LoadedForm(c.argument);
    form->Activate();
    const size_t reports = report_.entries.size();
    EXPECT_FALSE(form->AutoLink());
    if (c.relinks_first) {
      EXPECT_EQ(reports, 0u);
      EXPECT_TRUE(IsClosed(*form));
      EXPECT_EQ(EngineLink(dir / "MLQ.mdb"), (";DATABASE=" + WorkDir() + "\\PARTNER.MDB").toStdString());
      continue;
    }
    const auto after_first = ReadBytes(dir / "MLQ.mdb");
    EXPECT_EQ(after_first, before);
    form->Activate();
    form->Activate();
    EXPECT_EQ(report_.entries.size(), reports);
    EXPECT_FALSE(IsClosed(*form));
    EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
  }
}

struct BadBackEnd {
  const char* what;
  const char* make;  // "none": no back-end; "no table": a database without Partner
  int number;
};

TEST_F(RelinkTest, BackEndThatCannotServeLeavesTheFileAlone) {
  const BadBackEnd cases[] = {
      {"missing back-end", "none", engine::kErrCouldNotFindFile},
      {"back-end without Partner", "no table", engine::kErrCouldNotFindObject},
  };
  for (const BadBackEnd& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = UseFixture("v2003-basic");
    fs::create_directory(dir / "b");
    if (std::string(c.make) == "no table")
      fs::copy_file(testing_support::BuiltOnce("v2003-no-partner"), dir / "b" / "PARTNER.MDB");
    const auto before = ReadBytes(dir / "MLQ.mdb");
    report_.entries.clear();
    auto form = LoadedForm(WorkDir() + "/b");
    form->show();
    ASSERT_TRUE(WaitFor([&] { return !report_.entries.empty(); }));
    EXPECT_EQ(report_.entries[0].number, c.number) << report_.entries[0].description.toStdString();
    // The procedure ended at the failing step: the window was not unloaded.
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(IsClosed(*form));
    form->hide();
    form.reset();
    EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
  }
}

TEST_F(RelinkTest, ClosingWithoutRelinkingClosesTheDatabase) {
  const fs::path dir = UseFixture("v2003-basic");
  const auto before = ReadBytes(dir / "MLQ.mdb");
  auto form = LoadedForm();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(report_.entries.empty());
  EXPECT_TRUE(IsClosed(*form));
  EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
}

}  // namespace
}  // namespace gui_test
