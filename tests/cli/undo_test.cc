// relink --undo: a run's report puts its links back, but never over a link
// changed since, and never with a password the report could not know.
#include <nlohmann/json.hpp>

#include "cli/undo.h"
#include "vostrel/link_string.h"
#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using cli_test::Links;
using dbbuilder::FormatVersion;

// What a masked report holds and what the link stores now decide what goes
// back: a masked password comes from the link only where the relink kept it.
TEST(Undo, WhatGoesBackUnderMasking) {
  struct Case {
    const char* name;
    cli::UndoLinks::Link reported;
    std::string stored;
    bool still;
    std::optional<std::string> restored;
  };
  const Case cases[] = {
      {"unmasked", {"T", ";DATABASE=A", ";DATABASE=B", true}, ";DATABASE=B", true, ";DATABASE=A"},
      {"masked, kept",
       {"T", "MS Access;PWD=***;DATABASE=A", "MS Access;PWD=***;DATABASE=B", true},
       "MS Access;PWD=ge=slo;DATABASE=B",
       true,
       "MS Access;PWD=ge=slo;DATABASE=A"},
      {"masked, changed by the relink",
       {"T", "MS Access;PWD=***;DATABASE=A", "MS Access;PWD=***;DATABASE=B", false},
       "MS Access;PWD=novo;DATABASE=B",
       true,
       std::nullopt},
      {"shown, changed by the relink",
       {"T", "MS Access;PWD=staro;DATABASE=A", "MS Access;PWD=novo;DATABASE=B", false},
       "MS Access;PWD=novo;DATABASE=B",
       true,
       "MS Access;PWD=staro;DATABASE=A"},
      {"moved again since", {"T", ";DATABASE=A", ";DATABASE=B", true}, ";DATABASE=C", false, ";DATABASE=A"},
      {"a password added since",
       {"T", ";DATABASE=A", ";DATABASE=B", true},
       "MS Access;PWD=x;DATABASE=B",
       false,
       ";DATABASE=A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cli::StillAsReported(c.reported, c.stored), c.still) << c.name;
    EXPECT_EQ(cli::Restored(c.reported, c.stored), c.restored) << c.name;
  }
}

// Only what a report says was stored goes back; a text that is no report is
// refused whole, before anything is written.
TEST(Undo, ReadsWhatTheReportSaysWasRelinked) {
  const std::string link = R"({"table": "Partner", "from": "A", "to": "B", "error": null})";
  struct Case {
    std::string json;
    std::optional<size_t> front_ends;  // none: not a report
  };
  const Case cases[] = {
      {"[]", 0},
      {R"([{"frontEnd": "a.mdb", "outcome": "relinked", "error": null, "links": [)" + link + "]}]", 1},
      {R"([{"frontEnd": "a.mdb", "outcome": "would relink", "error": null, "links": [)" + link + "]}]", 0},
      {R"([{"frontEnd": "a.mdb", "outcome": "failed", "error": null, "links": [)" + link + "]}]", 0},
      {R"({"frontEnd": "a.mdb"})", std::nullopt},
      {R"([{"frontEnd": "a.mdb", "outcome": "relinked", "links": [{"table": "Partner", "from": "A"}]}])", std::nullopt},
      {R"([{"frontEnd": 7, "outcome": "relinked", "links": []}])", std::nullopt},
      {"[{", std::nullopt},
  };
  for (const Case& c : cases) {
    try {
      const std::vector<cli::ReportedFrontEnd> read = cli::ReadRelinkReport(c.json);
      ASSERT_TRUE(c.front_ends) << c.json;
      EXPECT_EQ(read.size(), *c.front_ends) << c.json;
      // A report without samePassword says nothing of the passwords: none is taken.
      for (const auto& f : read) EXPECT_FALSE(f.undo.links.at(0).same_password);
    } catch (const cli::NotAReport& e) {
      EXPECT_FALSE(c.front_ends) << c.json << ": " << e.what();
    }
  }
}

// Five front-ends of three families moved to a new folder in one run; one
// of them changed again before the undo. The undo puts back every link but
// that one (named on stderr), and mdb-reader reads the links as before.
TEST(Undo, PutsBackARunButNotALinkChangedSince) {
  TempDir dir;
  const fs::path d = dir.path();
  for (const char* folder : {"stari", "novi", "drugi"}) {
    cli_test::BuildBackEnd(d, std::string(folder) + "/PARTNER.MDB", FormatVersion::kJet4);
    cli_test::BuildBackEnd(d, std::string(folder) + "/Zaloge/ZALOGA.MDB", FormatVersion::kJet3);
  }
  const std::string partner = (d / "stari/PARTNER.MDB").string(), zaloga = (d / "stari/Zaloge/ZALOGA.MDB").string();
  std::vector<fs::path> fronts;
  std::vector<std::map<std::string, std::string>> before;
  const FormatVersion formats[] = {FormatVersion::kJet3, FormatVersion::kJet4, FormatVersion::kAce12,
                                   FormatVersion::kJet4, FormatVersion::kJet4};
  std::string files;
  for (size_t i = 0; i < std::size(formats); ++i) {
    dbbuilder::FrontEndOptions o;
    o.format = formats[i];
    o.links = {{"Partner", partner}, {"Artikli", zaloga}};
    o.partner_connect = "MS Access;PWD=geslo";
    fronts.push_back(cli_test::Build(dbbuilder::FrontEnd(o), d, "fe" + std::to_string(i) + "/MLQ.mdb"));
    before.push_back(Links(fronts.back()));
    files += " fe" + std::to_string(i) + "/MLQ.mdb";
  }

  RunResult move = testing_support::Run(Cli() + " relink" + files + " --from " + ShellQuote((d / "stari").string()) + " --to " +
                           ShellQuote((d / "novi").string()) + " --json",
                       d);
  ASSERT_EQ(move.status, 0) << move.err;
  EXPECT_EQ(move.out.find("geslo"), std::string::npos) << move.out;
  EXPECT_NE(move.out.find("PWD=***"), std::string::npos) << move.out;
  const std::vector<uint8_t> report(move.out.begin(), move.out.end());
  WriteBytes(d / "report.json", report);
  for (size_t i = 0; i < fronts.size(); ++i) EXPECT_NE(Links(fronts[i]), before[i]);

  // Someone repoints fe2's Partner in between.
  const std::string since = "MS Access;PWD=geslo;DATABASE=" + (d / "drugi/PARTNER.MDB").string();
  ASSERT_EQ(testing_support::Run(Cli() + " relink fe2/MLQ.mdb --table Partner --connect " + ShellQuote(since), d).status, 0);

  const std::vector<uint8_t> unchanged = ReadBytes(fronts[0]);
  RunResult dry = testing_support::Run(Cli() + " relink --undo report.json --dry-run", d);
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(ReadBytes(fronts[0]), unchanged);

  RunResult undo = testing_support::Run(Cli() + " relink --undo report.json --json", d);
  EXPECT_EQ(undo.status, 1);
  EXPECT_NE(undo.err.find("vostrel-cli: fe2/MLQ.mdb: 'Partner' left as it is: changed since the report"),
            std::string::npos)
      << undo.err;
  EXPECT_EQ(undo.out.find("geslo"), std::string::npos) << undo.out;
  const nlohmann::json out = nlohmann::json::parse(undo.out);
  ASSERT_EQ(out.size(), fronts.size());
  nlohmann::json refused = nlohmann::json::array();
  refused.push_back({{"table", "Partner"}, {"stored", engine::MaskPasswords(since)}, {"why", "changed since"}});
  EXPECT_EQ(out[2]["refused"], refused);
  EXPECT_EQ(out[0]["refused"], nlohmann::json::array());
  for (size_t i = 0; i < fronts.size(); ++i) {
    std::map<std::string, std::string> expected = before[i];
    if (i == 2) expected["Partner"] = since;
    EXPECT_EQ(Links(fronts[i]), expected) << fronts[i];
    const auto oracle = cli_test::OracleDatabases(fronts[i]);
    for (const auto& [table, path] : oracle) {
      const std::string& link = expected.at(table);
      EXPECT_EQ(link.substr(link.find(";DATABASE=") + 10), path) << fronts[i] << " " << table;
    }
  }
}

// Links moved off a folder that is gone since (the old server's share):
// the undo puts them back as they stood all the same, says per link that
// its back-end does not open now, and exits 0: it restored what was.
TEST(Undo, PutsBackLinksWhoseOldBackEndIsGone) {
  TempDir dir;
  const fs::path d = dir.path();
  for (const char* folder : {"stari", "novi"}) cli_test::BuildBackEnd(d, std::string(folder) + "/PARTNER.MDB", FormatVersion::kJet4);
  dbbuilder::FrontEndOptions o;
  o.links = {{"Partner", (d / "stari/PARTNER.MDB").string()}, {"Artikli", (d / "stari/PARTNER.MDB").string()}};
  const fs::path front = cli_test::Build(dbbuilder::FrontEnd(o), d, "MLQ.mdb");
  const auto before = Links(front);
  RunResult move = testing_support::Run(Cli() + " relink MLQ.mdb --from " + ShellQuote((d / "stari").string()) +
                                            " --to " + ShellQuote((d / "novi").string()) + " --json",
                                        d);
  ASSERT_EQ(move.status, 0) << move.err;
  WriteBytes(d / "report.json", std::vector<uint8_t>(move.out.begin(), move.out.end()));
  fs::remove_all(d / "stari");

  RunResult undo = testing_support::Run(Cli() + " relink --undo report.json", d);
  EXPECT_EQ(undo.status, 0) << undo.err;
  EXPECT_EQ(Links(front), before);
  for (const char* table : {"Artikli", "Partner"})
    EXPECT_NE(undo.err.find(std::string("vostrel-cli: MLQ.mdb: '") + table +
                            "' is put back as it stood, though its back-end does not open now: Error 3044: "),
              std::string::npos)
        << table << ": " << undo.err;
  if (CheckWithMdbReader()) {
    const auto oracle = cli_test::OracleDatabases(front);
    EXPECT_EQ(oracle.at("Partner"), (d / "stari/PARTNER.MDB").string());
    EXPECT_EQ(oracle.at("Artikli"), (d / "stari/PARTNER.MDB").string());
  }
}

}  // namespace
