// Repointing a back-end that moved, in several front-ends at once: every
// matching link and no other, each front-end as one change, a failing
// front-end left as it was while the next goes on, and a cut anywhere
// leaving each front-end all old or all new.
#include <set>

#include "cli/front_end.h"
#include "cli/path_compare.h"
#include "jet/journal.h"
#include "jet/text.h"
#include "tests/cli/built.h"
#include "tests/support/fault_env.h"

namespace {

using namespace testing_support;
using cli_test::Links;
using dbbuilder::FormatVersion;

const std::string kOld = "C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB";
const std::string kOther = "D:\\Drugo\\DRUGO.MDB";
// How a script names the old back-end: neither its case nor its separators
// are those stored.
const std::string kFrom = "c:/PODATKI/čebelarstvo ŠUŠTAR/žalec/Partner.mdb";
constexpr double kNow = 45900.25;

struct FrontEnd {
  fs::path path;
  int code_page;
  std::map<std::string, std::string> before;  // link strings by table
};

std::string PathOf(const std::string& link) {
  const size_t at = link.find(";DATABASE=");
  return at == std::string::npos ? "" : link.substr(at + 10);
}

// Three front-ends of three families that name the old back-end in three
// spellings, beside links to another back-end; and a new back-end.
struct Scene {
  TempDir dir;
  fs::path back;
  std::vector<FrontEnd> fronts;

  explicit Scene(std::vector<std::string> missing_in_new_back_end = {}) {
    back = cli_test::BuildBackEnd(dir.path(), "novo/PARTNER.MDB", FormatVersion::kJet4, missing_in_new_back_end, 20);

    dbbuilder::FrontEndOptions jet3;
    jet3.format = FormatVersion::kJet3;
    jet3.code_page = 1250;
    jet3.links = {{"Partner", kOld}, {"Artikli", "c:/podatki/čebelarstvo šuštar/žalec/partner.mdb"}, {"Drugo", kOther}};

    dbbuilder::FrontEndOptions jet4;
    jet4.links = {{"Partner", kOld}, {"Artikli", kOld}};
    jet4.partner_connect = "MS Access;PWD=geslo";
    jet4.extra_links = 20;
    jet4.partner_after = 10;

    dbbuilder::FrontEndOptions ace;
    ace.format = FormatVersion::kAce12;
    ace.links = {{"Partner", "C:\\PODATKI\\ČEBELARSTVO ŠUŠTAR\\ŽALEC\\PARTNER.MDB"}, {"Artikli", kOther}};
    ace.database_out_of_row = true;
    ace.desktop_lv = true;

    int i = 0;
    for (const auto& options : {jet3, jet4, ace}) {
      const fs::path path = cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "fe" + std::to_string(++i) + "/MLQ.mdb");
      fronts.push_back(FrontEnd{path, options.format == FormatVersion::kJet3 ? options.code_page : 0, Links(path)});
    }
  }

  // What a front-end's links become when `tables` are moved to the new back-end.
  std::map<std::string, std::string> After(const FrontEnd& f, const std::set<std::string>& tables) const {
    std::map<std::string, std::string> after = f.before;
    for (const std::string& table : tables) {
      std::string& link = after.at(table);
      link = link.substr(0, link.find(";DATABASE=")) + ";DATABASE=" + back.string();
    }
    return after;
  }
  std::map<std::string, std::string> After(const FrontEnd& f) const { return After(f, Matching(f)); }

  static std::set<std::string> Matching(const FrontEnd& f) {
    std::set<std::string> tables;
    for (const auto& [table, link] : f.before)
      if (!PathOf(link).empty() && cli::SamePath(PathOf(link), kFrom)) tables.insert(table);
    return tables;
  }
};

cli::FrontEndRelink Move(jet::Env& env, const fs::path& front, const std::string& to,
                         std::optional<std::string> table = std::nullopt, bool dry_run = false) {
  return cli::RelinkFrontEnd(env, front.string(), cli::MoveBackEnd{kFrom, to, table}, dry_run, kNow);
}

std::set<std::string> Tables(const cli::FrontEndRelink& r) {
  std::set<std::string> tables;
  for (const auto& l : r.links) tables.insert(l.table);
  return tables;
}

// mdb-reader sees the new path in every link that was moved, and the old
// one (by name) in the others.
void ExpectOracleAgrees(const FrontEnd& f, const std::map<std::string, std::string>& links) {
  const auto databases = cli_test::OracleDatabases(f.path);
  if (databases.empty()) return;  // mdb-reader is not installed
  for (const auto& [table, link] : links) {
    std::string path = PathOf(link);
    if (path.empty()) continue;
    // mdb-reader reads Jet3 text as Windows-1252 whatever the code page.
    if (f.code_page != 0) {
      auto bytes = jet::EncodeCodePage(path, static_cast<uint16_t>(f.code_page));
      ASSERT_TRUE(bytes.ok());
      path = jet::DecodeCodePage(*bytes, 1252);
    }
    EXPECT_EQ(databases.at(table), path) << f.path << " " << table;
  }
}

TEST(RelinkMany, MovesEveryMatchingLinkOfEveryFrontEndAndNoOther) {
  struct Case {
    std::optional<std::string> table;
    std::vector<std::set<std::string>> moved;  // per front-end
  };
  std::set<std::string> jet4_all = {"Partner", "Artikli"};
  for (int i = 1; i <= 20; ++i) {
    char t[8];
    std::snprintf(t, sizeof t, "T%04d", i);
    jet4_all.insert(t);
  }
  const Case cases[] = {
      {std::nullopt, {{"Partner", "Artikli"}, jet4_all, {"Partner"}}},
      {"ARTIKLI", {{"Artikli"}, {"Artikli"}, {}}},
  };
  for (const Case& c : cases) {
    Scene s;
    for (size_t i = 0; i < s.fronts.size(); ++i) {
      const FrontEnd& f = s.fronts[i];
      const cli::FrontEndRelink r = Move(jet::Env::Default(), f.path, s.back.string(), c.table);
      SCOPED_TRACE(f.path.string() + " --table " + c.table.value_or("(none)"));
      EXPECT_FALSE(r.failure) << r.failure->Text();
      EXPECT_EQ(r.outcome, c.moved[i].empty() ? cli::RelinkOutcome::kNothing : cli::RelinkOutcome::kRelinked);
      EXPECT_EQ(Tables(r), c.moved[i]);
      const auto expected = s.After(f, c.moved[i]);
      EXPECT_EQ(Links(f.path), expected);
      for (const auto& l : r.links) EXPECT_EQ(l.new_link, expected.at(l.table));
      ExpectOracleAgrees(f, expected);
      EXPECT_FALSE(fs::exists(jet::JournalPath(f.path.string())));
    }
  }
}

TEST(RelinkMany, DryRunChecksAndWritesNothing) {
  Scene s;
  for (const FrontEnd& f : s.fronts) {
    const auto bytes = ReadBytes(f.path);
    const cli::FrontEndRelink r = Move(jet::Env::Default(), f.path, s.back.string(), std::nullopt, true);
    EXPECT_EQ(r.outcome, cli::RelinkOutcome::kWouldRelink) << f.path;
    EXPECT_FALSE(Tables(r).empty());
    EXPECT_EQ(ReadBytes(f.path), bytes) << f.path;
  }
  // A dry run checks too: a back-end that is not there fails it, and still
  // nothing is written.
  const FrontEnd& f = s.fronts[1];
  const auto bytes = ReadBytes(f.path);
  const cli::FrontEndRelink r = Move(jet::Env::Default(), f.path, (s.dir / "nowhere/PARTNER.MDB").string(), std::nullopt, true);
  EXPECT_EQ(r.outcome, cli::RelinkOutcome::kFailed);
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(r.failure->number, 3044);
  EXPECT_EQ(ReadBytes(f.path), bytes);
}

// The new back-end lacks Artikli: each front-end that links it is left
// byte-identical, its report names that link; the one that does not link it
// is repointed after them.
TEST(RelinkMany, AFrontEndThatFailsIsUnchangedAndTheNextGoesOn) {
  Scene s({"Artikli"});
  std::vector<std::vector<uint8_t>> before;
  for (const FrontEnd& f : s.fronts) before.push_back(ReadBytes(f.path));
  std::vector<cli::FrontEndRelink> reports;
  for (const FrontEnd& f : s.fronts) reports.push_back(Move(jet::Env::Default(), f.path, s.back.string()));

  for (size_t i : {0, 1}) {
    const cli::FrontEndRelink& r = reports[i];
    EXPECT_EQ(r.outcome, cli::RelinkOutcome::kFailed) << i;
    ASSERT_TRUE(r.failure) << i;
    EXPECT_EQ(r.failure->number, 3011);
    EXPECT_NE(r.failure->description.find("'Artikli'"), std::string::npos) << r.failure->description;
    for (const auto& l : r.links) EXPECT_EQ(l.failure.has_value(), l.table == "Artikli") << l.table;
    EXPECT_EQ(ReadBytes(s.fronts[i].path), before[i]) << i;
  }
  EXPECT_EQ(reports[2].outcome, cli::RelinkOutcome::kRelinked);
  EXPECT_EQ(Links(s.fronts[2].path), s.After(s.fronts[2]));
  ExpectOracleAgrees(s.fronts[2], s.After(s.fronts[2]));
}

// A crash (or a torn write, then a crash) at every write and sync of the
// whole run over three front-ends, then the power gone: each front-end opens
// with all its links old or all new, and those before the cut are new. (A
// torn write that meets no write fails that one operation: that front-end
// stays old and the next go on.)
TEST(RelinkMany, CutAtEveryWriteEachFrontEndIsAllOldOrAllNew) {
  for (const Fault fault : {Fault::kCrash, Fault::kTornWrite}) {
    bool finished = false;
    for (uint64_t n = 1; !finished && n < 500; ++n) {
      Scene s;
      FaultEnv env;
      env.FailAt(n, fault);
      std::vector<cli::RelinkOutcome> outcomes;
      for (const FrontEnd& f : s.fronts) outcomes.push_back(Move(env, f.path, s.back.string()).outcome);
      finished = env.Operations() < n;  // the run ended before the cut
      const bool crashed = env.Crashed();
      env.LosePower();

      SCOPED_TRACE(std::string(FaultName(fault)) + " at operation " + std::to_string(n));
      bool seen_old = false;
      for (size_t i = 0; i < s.fronts.size(); ++i) {
        const FrontEnd& f = s.fronts[i];
        const auto links = Links(f.path);  // plays back what a journal holds
        const bool is_new = links == s.After(f);
        EXPECT_TRUE(is_new || links == f.before) << f.path;
        if (crashed) {
          EXPECT_FALSE(is_new && seen_old) << f.path << " is new after an old one";
        } else {
          EXPECT_EQ(is_new, outcomes[i] == cli::RelinkOutcome::kRelinked) << f.path << ": not as reported";
        }
        seen_old = seen_old || !is_new;
        // The independent reader, on some of the cuts (it takes a while).
        if (n % 8 == 0) {
          ExpectOracleAgrees(f, links);
        }
      }
      if (finished) {
        EXPECT_FALSE(seen_old) << "no cut, and not all new";
      }
    }
    EXPECT_TRUE(finished) << FaultName(fault) << ": still cutting after 500 operations";
  }
}

}  // namespace
