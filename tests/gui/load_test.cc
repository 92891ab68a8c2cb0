// Start-up: what the window shows and which mode the argument selects.
#include "tests/gui/form_harness.h"

#include "vostrel/dbengine.h"

namespace gui_test {
namespace {

const QString kAppDir = QStringLiteral("/opt/vostrel");
const QString kDefaultProposal = QStringLiteral(";DATABASE=/opt/vostrel\\PARTNER.MDB");

struct ArgumentCase {
  const char* what;
  QString argument;
  QString proposal;  // Text2 after load
  bool auto_link;
  QString command;   // strCommand
};

const ArgumentCase kArguments[] = {
    {"none", "", kDefaultProposal, false, ""},
    {"spaces only", "   ", kDefaultProposal, false, ""},
    {"a folder", "D:\\Data", ";DATABASE=D:\\Data\\PARTNER.MDB", true, "D:\\Data"},
    {"spaces around are trimmed", "  D:\\Data  ", ";DATABASE=D:\\Data\\PARTNER.MDB", true, "D:\\Data"},
    {"a trailing separator doubles", "D:\\Data\\", ";DATABASE=D:\\Data\\\\PARTNER.MDB", true, "D:\\Data\\"},
    {"prefix in lower case", "mlq2007", kDefaultProposal, true, "mlq2007"},
    {"prefix in mixed case", "Mlq", kDefaultProposal, true, "Mlq"},
    {"prefix exactly", "MLQ", kDefaultProposal, true, "MLQ"},
    {"shorter than the prefix", "ml", ";DATABASE=ml\\PARTNER.MDB", true, "ml"},
    {"prefix not at the start", "xMLQ", ";DATABASE=xMLQ\\PARTNER.MDB", true, "xMLQ"},
    {"a leading tab counts as absent", "\tD:\\Data", kDefaultProposal, false, "\tD:\\Data"},
    {"a control character counts as absent", "\x01x", kDefaultProposal, false, "\x01x"},
    {"a trailing tab stays", "D:\\Data\t", ";DATABASE=D:\\Data\t\\PARTNER.MDB", true, "D:\\Data\t"},
    {"spaces inside are kept", "D:\\My Data", ";DATABASE=D:\\My Data\\PARTNER.MDB", true, "D:\\My Data"},
    {"a single character above space", "!", ";DATABASE=!\\PARTNER.MDB", true, "!"},
    {"non-ASCII", "\u010Crna", ";DATABASE=\u010Crna\\PARTNER.MDB", true, "\u010Crna"},
    {"one pair of quotes around it is removed", " \"C:\\Podatki \u010C\u0161\u017E\" ",
     ";DATABASE=C:\\Podatki \u010C\u0161\u017E\\PARTNER.MDB", true, "C:\\Podatki \u010C\u0161\u017E"},
    {"spaces inside the quotes stay", "\" D:\\Data \"", ";DATABASE= D:\\Data \\PARTNER.MDB", true, " D:\\Data "},
    {"quotes around the prefix", "\"mlq\"", kDefaultProposal, true, "mlq"},
    {"empty quotes count as absent", "\"\"", kDefaultProposal, false, ""},
    {"a lone quote stays", "\"D:\\Data", ";DATABASE=\"D:\\Data\\PARTNER.MDB", true, "\"D:\\Data"},
    {"two quoted words stay as they are", "\"D:\\a\" \"b\"", ";DATABASE=\"D:\\a\" \"b\"\\PARTNER.MDB", true,
     "\"D:\\a\" \"b\""},
};

class LoadTest : public FormTest {};

TEST_F(LoadTest, ArgumentSelectsProposalAndMode) {
  UseFixture("v2003-basic");
  for (const ArgumentCase& c : kArguments) {
    SCOPED_TRACE(c.what);
    auto form = LoadedForm(c.argument, kAppDir);
    EXPECT_TRUE(report_.entries.empty());
    EXPECT_EQ(TextOf(*form, "Text2"), c.proposal);
    EXPECT_EQ(form->AutoLink(), c.auto_link);
    EXPECT_EQ(form->CommandText(), c.command);
  }
}

TEST_F(LoadTest, ShowsNamesAndCurrentLink) {
  struct Case {
    const char* fixture;
    QString current;
  } cases[] = {
      {"v2003-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2000-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2007-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-big", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-local-partner", ""},
      {"v2003-unicode-path", QString::fromUtf8(";DATABASE=C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB")},
      {"v2003-password-link", "MS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    UseFixture(c.fixture);
    auto form = LoadedForm();
    ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
    EXPECT_EQ(TextOf(*form, "imebaze"), "MLQ.mdB");
    EXPECT_EQ(TextOf(*form, "imetabele"), "Partner");
    EXPECT_EQ(TextOf(*form, "Text1"), c.current);
    ASSERT_NE(form->PartnerDef(), nullptr);
    EXPECT_EQ(form->PartnerDef()->Name(), "Partner");
    ASSERT_NE(form->CurrentDatabase(), nullptr);
  }
}

// The front-end comes from the working directory, never from beside the
// program, and its name matches whatever the case of the file on disk.
TEST_F(LoadTest, FrontEndIsLookedForInTheWorkingDirectory) {
  const fs::path dir = UseFixture("v2003-basic");
  fs::rename(dir / "MLQ.mdb", dir / "mlq.MDB");
  auto form = LoadedForm({}, QStringLiteral("/nonexistent"));
  EXPECT_TRUE(report_.entries.empty());
  ASSERT_NE(form->CurrentDatabase(), nullptr);
}

struct FailureCase {
  const char* what;
  const char* fixture;
  const char* remove;  // a file of the copy to delete first
  int number;
  const char* table_field;  // imetabele when the failure came
};

TEST_F(LoadTest, FailureIsReportedAndLoadStops) {
  const FailureCase cases[] = {
      {"no front-end", "v2003-basic", "MLQ.mdb", 3024, ""},
      {"no table Partner", "v2003-no-partner", nullptr, 3265, "Partner"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = UseFixture(c.fixture);
    if (c.remove) fs::remove(dir / c.remove);
    report_.entries.clear();
    auto form = LoadedForm("D:\\Data");
    ASSERT_EQ(report_.entries.size(), 1u);
    EXPECT_EQ(report_.entries[0].number, c.number);
    EXPECT_FALSE(report_.entries[0].description.isEmpty());
    // The steps before the failing one ran, those after it did not.
    EXPECT_EQ(TextOf(*form, "imebaze"), "MLQ.mdB");
    EXPECT_EQ(TextOf(*form, "imetabele"), c.table_field);
    EXPECT_TRUE(TextOf(*form, "Text1").isEmpty());
    EXPECT_TRUE(TextOf(*form, "Text2").isEmpty());
    EXPECT_FALSE(form->AutoLink());
    EXPECT_FALSE(form->isVisible());
  }
}

}  // namespace
}  // namespace gui_test

namespace gui_test {
namespace {

// With a map entry covering the folder, the proposal names it as the
// clients will: by its share. The map is the engine's, set for this test.
TEST_F(LoadTest, ProposalInTheWindowsFormOfAMappedFolder) {
  SKIP_WITHOUT_SHARED();
  UseFixture("v2003-basic");
  engine::PathMap map;
  map.Add(engine::PathMapEntry{"\\\\streznik\\baze", "/srv/baze", "test"});
  engine::DBEngine::Instance().SetMap(map);
  struct Case {
    QString argument, folder, proposal;
  } cases[] = {
      {"", "/srv/baze/app", ";DATABASE=\\\\streznik\\baze\\app\\PARTNER.MDB"},
      {"/srv/baze/drugo", "/opt/x", ";DATABASE=\\\\streznik\\baze\\drugo\\PARTNER.MDB"},
      {"", "/srv/bazeX", ";DATABASE=/srv/bazeX\\PARTNER.MDB"},
      {"D:\\Data", "/srv/baze", ";DATABASE=D:\\Data\\PARTNER.MDB"},
  };
  for (const Case& c : cases) {
    auto form = LoadedForm(c.argument, c.folder);
    EXPECT_EQ(TextOf(*form, "Text2"), c.proposal) << c.folder.toStdString();
  }
  engine::DBEngine::Instance().SetMap(engine::PathMap());
}

}  // namespace
}  // namespace gui_test
