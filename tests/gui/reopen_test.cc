// Osveži: switching the window to another front-end.
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledefs.h"
#include "tests/gui/form_harness.h"
#include "tests/support/built_fixtures.h"

namespace gui_test {
namespace {

using testing_support::ReadBytes;

class ReopenTest : public FormTest {};

TEST_F(ReopenTest, UnchangedNameReopensTheSameFile) {
  UseFixture("v2003-basic");
  auto form = LoadedForm();
  const QString proposal = TextOf(*form, "Text2");
  SetTextOf(*form, "Text1", "typed over");
  SetTextOf(*form, "imetabele", "Artikli");
  form->Command4Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  EXPECT_EQ(TextOf(*form, "imebaze"), "MLQ.mdB");
  EXPECT_EQ(TextOf(*form, "imetabele"), "Partner");
  EXPECT_EQ(TextOf(*form, "Text1"), ";DATABASE=C:\\MLQ\\PARTNER.MDB");
  EXPECT_EQ(TextOf(*form, "Text2"), proposal);
  ASSERT_NE(form->PartnerDef(), nullptr);
  EXPECT_EQ(form->PartnerDef()->Name(), "Partner");
  EXPECT_NO_THROW(form->CurrentDatabase()->TableDefs());
}

// A second front-end chosen with Command3 by its full path, in a folder with
// a space in its name: the window shows its link, keeps the proposal and the
// mode, and a relink then changes that file and no other.
TEST_F(ReopenTest, AnotherFrontEndByFullPathThenRelink) {
  const fs::path first = UseFixture("v2003-basic");
  const fs::path other_dir = scratch_->path() / "Druga baza";
  fs::create_directory(other_dir);
  const fs::path other = testing_support::CopyInto(testing_support::BuiltOnce("v2003-unicode-path"), other_dir);
  const auto first_before = ReadBytes(first / "MLQ.mdb");

  picker_->answers = {Q(other)};
  auto form = LoadedForm();
  SetTextOf(*form, "Text2", ";DATABASE=" + WorkDir() + "/PARTNER.MDB");
  form->Command3Click();
  EXPECT_EQ(TextOf(*form, "imebaze"), Q(other));
  form->Command4Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  EXPECT_EQ(TextOf(*form, "Text1"), QString::fromUtf8(";DATABASE=C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB"));
  EXPECT_EQ(TextOf(*form, "Text2"), ";DATABASE=" + WorkDir() + "/PARTNER.MDB");
  EXPECT_FALSE(form->AutoLink());
  // The first file was let go.
  EXPECT_EQ(ReadBytes(first / "MLQ.mdb"), first_before);

  form->Command1Click();
  ASSERT_TRUE(report_.entries.empty()) << report_.entries[0].description.toStdString();
  EXPECT_EQ(ReadBytes(first / "MLQ.mdb"), first_before);
  auto db = engine::DBEngine::Instance().OpenDatabase(other.string());
  EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=" + work_.string() + "/PARTNER.MDB");
  db->Close();
  if (testing_support::CheckWithMdbReader()) {
    EXPECT_EQ(PartnerLinkByOracle(other).database, work_.string() + "/PARTNER.MDB");
  }
}

TEST_F(ReopenTest, FailureEndsWithTheOldDatabaseClosed) {
  struct Case {
    const char* what;
    const char* name;  // typed into imebaze; relative to the working directory
    int number;
    bool new_one_open;
  } cases[] = {
      {"no such file", "nima.mdb", engine::kErrCouldNotFindFile, false},
      {"not a database", "opombe.mdb", engine::kErrUnrecognizedFormat, false},
      {"no table Partner", "brez/MLQ.mdb", engine::kErrItemNotFound, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = UseFixture("v2003-basic");
    testing_support::WriteBytes(dir / "opombe.mdb", std::vector<uint8_t>(4096, 'x'));
    fs::create_directory(dir / "brez");
    testing_support::CopyInto(testing_support::BuiltOnce("v2003-no-partner"), dir / "brez");
    report_.entries.clear();
    auto form = LoadedForm();
    engine::Database* old = form->CurrentDatabase();
    SetTextOf(*form, "imebaze", c.name);
    form->Command4Click();
    ASSERT_EQ(report_.entries.size(), 1u);
    EXPECT_EQ(report_.entries[0].number, c.number) << report_.entries[0].description.toStdString();
    if (c.new_one_open) {
      EXPECT_NE(form->CurrentDatabase(), old);
      EXPECT_EQ(form->PartnerDef(), nullptr);
    } else {
      EXPECT_EQ(form->CurrentDatabase(), old);
      EXPECT_THROW(old->TableDefs(), engine::EngineError);
    }
    EXPECT_EQ(TextOf(*form, "Text1"), ";DATABASE=C:\\MLQ\\PARTNER.MDB");  // not reached
  }
}

}  // namespace
}  // namespace gui_test
