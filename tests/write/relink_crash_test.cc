// A relink cut off at every write and every sync: killed, with the power
// gone, or in the middle of a write. The file must open with the old link or
// the new one, and be byte for byte the file before or the file after.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <variant>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "engine/relink.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/journal.h"
#include "jet/table_writer.h"
#include "tests/support/fault_env.h"
#include "tests/support/forwarding_env.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"
#include "tests/write/param_name.h"

namespace {

using namespace testing_support;

constexpr double kNow = 46000.25;  // what DateUpdate becomes, the same in every run

struct CrashCase {
  std::string name;
  bool shared;
  // Makes the front-end and its back-end in dir; returns the front-end and the links to store.
  std::function<std::pair<fs::path, std::vector<engine::LinkRequest>>(const TempDir&)> make;
  std::optional<std::string> password = std::nullopt;  // an encrypted front-end's
};

// What a failing case is, as its description rather than its bytes.
void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

std::function<std::pair<fs::path, std::vector<engine::LinkRequest>>(const TempDir&)> Fixture(
    std::string folder, std::string front, std::string back, std::vector<std::string> tables) {
  return [=](const TempDir& dir) {
    fs::path f = CopyInto(SharedDir() / folder / front, dir.path());
    fs::path b = CopyInto(SharedDir() / folder / back, dir.path());
    std::vector<engine::LinkRequest> links;
    for (const auto& t : tables) links.push_back({t, ";DATABASE=" + b.string()});
    return std::make_pair(f, links);
  };
}

// A built fixture folder (see BuildFixture).
std::function<std::pair<fs::path, std::vector<engine::LinkRequest>>(const TempDir&)> BuiltFixture(
    std::string folder, std::vector<std::string> tables) {
  return [=](const TempDir& dir) {
    const fs::path built = BuildFixture(folder, dir.path());
    std::vector<engine::LinkRequest> links;
    for (const auto& t : tables) links.push_back({t, ";DATABASE=" + (built / "PARTNER.MDB").string()});
    return std::make_pair(built / "MLQ.mdb", links);
  };
}

std::function<std::pair<fs::path, std::vector<engine::LinkRequest>>(const TempDir&)> Built(
    dbbuilder::FrontEndOptions options, size_t path_length) {
  return [=](const TempDir& dir) {
    fs::path f = dir / "MLQ.mdb";
    fs::path folder = dir.path();
    while (folder.string().size() + 12 < path_length) folder /= std::string(std::min<size_t>(200, path_length - folder.string().size() - 13), 'p');
    fs::path b = folder / "PARTNER.MDB";
    BuildPair(options, f, b);
    return std::make_pair(f, std::vector<engine::LinkRequest>{{"Partner", ";DATABASE=" + b.string()},
                                                              {"Artikli", "MS Access;DATABASE=" + b.string()}});
  };
}

std::vector<CrashCase> CrashCases() {
  dbbuilder::FrontEndOptions jet3_full;
  jet3_full.format = dbbuilder::FormatVersion::kJet3;
  jet3_full.code_page = 1250;
  jet3_full.partner_fills_page = true;
  jet3_full.desktop_lv = true;
  dbbuilder::FrontEndOptions ace_out_of_row;
  ace_out_of_row.format = dbbuilder::FormatVersion::kAce12;
  ace_out_of_row.database_out_of_row = true;
  // Short old paths and no Connect: the new Connect outgrows what going out
  // of row saves, and Partner's full page cannot keep its row.
  dbbuilder::FrontEndOptions grows;
  grows.links = {{"Partner", "C:\\a"}, {"Artikli", "C:\\a"}};
  grows.partner_fills_page = true;
  // Encrypted ACE front-ends: the journal keeps their pages as stored. A
  // small spin count: the cuts open the file hundreds of times.
  auto encrypted = [](jet::AceEncryptionKind kind) {
    dbbuilder::FrontEndOptions o;
    o.format = dbbuilder::FormatVersion::kAce14;
    o.encryption = dbbuilder::Encryption{"geslo", kind, 1000};
    return Built(o, 100);
  };
  auto moves = [grows](const TempDir& dir) {
    fs::path f = dir / "MLQ.mdb", b = dir / "PARTNER.MDB";
    BuildPair(grows, f, b);
    return std::make_pair(f, std::vector<engine::LinkRequest>{{"Partner", "MS Access;DATABASE=" + b.string()}});
  };
  return {
      {"a row that outgrows a full page moves", false, moves},
      {"a path kept in the row", false, BuiltFixture("v2003-basic", {"Partner"})},
      {"a cached definition freed", true,
       Fixture("corpus/ace", "linkerTestV2007.accdb", "linkeeTest.accdb", {"Table2"})},
      {"a row moved to another page", false, BuiltFixture("v2003-big", {"Partner"})},
      {"two links at once, one a long value", false, Built(ace_out_of_row, 600)},
      {"Jet3, a full page, long values, two links", false, Built(jet3_full, 1000)},
      {"an agile-encrypted ACE file", false, encrypted(jet::AceEncryptionKind::kAgile), "geslo"},
      {"an RC4-encrypted ACE file", false, encrypted(jet::AceEncryptionKind::kRc4CryptoApi), "geslo"},
  };
}

// Makes the change uncut: the number of changing operations it takes.
uint64_t OperationsOf(const fs::path& front, const std::vector<engine::LinkRequest>& links,
                      const std::optional<std::string>& password = std::nullopt) {
  FaultEnv env;
  auto db = engine::OpenDatabaseImpl(env, front.string(), password);
  const uint64_t at_open = env.Operations();
  engine::StoreLinks(*db, env, links, kNow);
  return env.Operations() - at_open;
}

// The front-end as it was, and the relink made through `env` with the nth
// of its changing operations failing as `fault` (the process then goes on
// or, after a crash, is as good as gone). Whether the relink returned.
bool RelinkCutAt(FaultEnv& env, const fs::path& front, const std::vector<uint8_t>& before,
                 const std::vector<engine::LinkRequest>& links, uint64_t n, Fault fault = Fault::kCrash,
                 const std::optional<std::string>& password = std::nullopt) {
  WriteBytes(front, before);
  auto db = engine::OpenDatabaseImpl(env, front.string(), password);
  env.FailAt(env.Operations() + n, fault);
  try {
    engine::StoreLinks(*db, env, links, kNow);
    return true;
  } catch (const engine::EngineError&) {
    return false;
  }
}

class RelinkCrash : public ::testing::TestWithParam<CrashCase> {};

TEST_P(RelinkCrash, EveryCutLeavesTheOldLinkOrTheNew) {
  const CrashCase& c = GetParam();
  if (c.shared) SKIP_WITHOUT_SHARED();
  TempDir dir;
  const auto made = c.make(dir);
  const fs::path front = made.first;
  const std::vector<engine::LinkRequest> links = made.second;
  const auto before = ReadBytes(front);
  const std::string connect = c.password ? ";PWD=" + *c.password : "";
  std::vector<std::string> old_links;
  for (const auto& l : links) old_links.push_back(EngineLink(front, l.table, connect));

  // The change uncut, counting the operations it makes.
  const uint64_t operations = OperationsOf(front, links, c.password);
  const auto after = ReadBytes(front);
  ASSERT_NE(after, before);
  for (const auto& l : links) ASSERT_EQ(EngineLink(front, l.table, connect), l.link);

  // What the disk holds after the cut: everything written (the process was
  // killed), only what was synced (the power went), or what was synced plus
  // some unsynced writes the disk wrote back: all of the database's, only its
  // first, or all of the journal's.
  enum class Power { kStays, kLost, kDatabaseReachedDisk, kFirstDatabaseWrite, kJournalReachedDisk };
  struct Kind {
    Fault fault;
    Power power;
  };
  const std::string journal = jet::JournalPath(front.string());
  int old_outcomes = 0, new_outcomes = 0;
  for (const Kind kind : {Kind{Fault::kCrash, Power::kStays}, Kind{Fault::kCrash, Power::kLost},
                          Kind{Fault::kCrash, Power::kDatabaseReachedDisk}, Kind{Fault::kCrash, Power::kFirstDatabaseWrite},
                          Kind{Fault::kCrash, Power::kJournalReachedDisk},
                          Kind{Fault::kTornWrite, Power::kStays}, Kind{Fault::kTornWrite, Power::kLost},
                          Kind{Fault::kTornWrite, Power::kDatabaseReachedDisk}}) {
    // n = operations + 1: nothing fails, the power goes right after the
    // change returned; it must be there.
    for (uint64_t n = 1; n <= operations + 1; ++n) {
      FaultEnv env;
      const bool returned = RelinkCutAt(env, front, before, links, n, kind.fault, c.password);
      const char* power = "";
      switch (kind.power) {
        case Power::kStays: break;
        case Power::kLost:
          env.LosePower();
          power = ", the power gone";
          break;
        case Power::kDatabaseReachedDisk:
          env.LosePower({[&](const std::string& path, size_t) { return path == front.string(); }, nullptr});
          power = ", the power gone after the database's writes reached the disk";
          break;
        case Power::kFirstDatabaseWrite:
          env.LosePower({[&](const std::string& path, size_t n) { return path == front.string() && n == 0; }, nullptr});
          power = ", the power gone after the database's first write reached the disk";
          break;
        case Power::kJournalReachedDisk:
          env.LosePower({[&](const std::string& path, size_t) { return path == journal; },
                         [&](const std::string& path) { return path == journal; }});
          power = ", the power gone after the journal's writes reached the disk";
          break;
      }
      std::string trace = std::string(FaultName(kind.fault)) + power +
                          " at operation " + std::to_string(n) + " of " + std::to_string(operations) + "\n";
      for (const auto& line : env.Log()) trace += "  " + line + "\n";

      // The next open plays back or removes the journal.
      std::vector<std::string> now;
      for (const auto& l : links) now.push_back(EngineLink(front, l.table, connect));
      EXPECT_FALSE(fs::exists(jet::JournalPath(front.string()))) << trace;
      const auto bytes = ReadBytes(front);
      if (returned) {
        EXPECT_EQ(bytes, after) << "the change returned before it was durable\n" << trace;
      }
      if (bytes == before) {
        ++old_outcomes;
        EXPECT_EQ(now, old_links) << trace;
      } else {
        ++new_outcomes;
        EXPECT_EQ(bytes, after) << "neither the old file nor the new one\n" << trace;
        for (size_t i = 0; i < links.size(); ++i) EXPECT_EQ(now[i], links[i].link) << trace;
      }
    }
  }
  EXPECT_GT(old_outcomes, 0);
  EXPECT_GT(new_outcomes, 0);
}

// The full power-cut model on a relink: the power goes after any prefix of
// its operations, the disk having written any subset of each file's unsynced
// writes in any order, the last torn at any byte; the recovery that follows
// is cut the same way. Every state recovers to the old file or the new one,
// byte for byte. A sample here; VOSTREL_POWER_CUT=full (ctest -L powercut)
// walks every state.
TEST_P(RelinkCrash, EveryPowerCutStateRecoversTheOldFileOrTheNew) {
  const CrashCase& c = GetParam();
  if (c.shared) SKIP_WITHOUT_SHARED();
  TempDir dir;
  const auto made = c.make(dir);
  const fs::path& front = made.first;
  const std::vector<engine::LinkRequest>& links = made.second;
  const auto before = ReadBytes(front);
  const uint64_t operations = OperationsOf(front, links, c.password);
  const auto after = ReadBytes(front);
  const char* mode = std::getenv("VOSTREL_POWER_CUT");
  const bool full = mode && std::string(mode) == "full";
  const std::vector<size_t> tears = full ? std::vector<size_t>{1, 100, 511, 512, 513, 2047, 2048, 2049, 4095}
                                         : std::vector<size_t>{1, 513};
  uint64_t states = 0, exact = 0;
  auto check = [&](const std::string& trace) {
    ++states;
    FaultEnv unsynced;  // no faults; no real syncs to wait for
    const jet::Status r = jet::RecoverJournal(unsynced, front.string());
    const auto now = ReadBytes(front);
    const bool ok = r.ok() && !fs::exists(jet::JournalPath(front.string())) && (now == before || now == after);
    EXPECT_TRUE(ok) << r.message() << "\n" << trace;
    exact += ok;
  };
  for (uint64_t n = 1; n <= operations + 1; ++n) {
    FaultEnv env;
    (void)RelinkCutAt(env, front, before, links, n, Fault::kCrash, c.password);
    for (const auto& cut : env.PowerCutStates(tears, full ? 0 : 3, n)) {
      const std::string trace = "cut at " + std::to_string(n) + " of " + std::to_string(operations) + ": " + cut.description;
      env.LosePower(cut);
      check(trace);
      for (uint64_t m = 1;; ++m) {
        env.LosePower(cut);
        FaultEnv again;
        again.FailAt(m, Fault::kCrash);
        (void)jet::RecoverJournal(again, front.string());
        if (!again.Crashed()) break;
        for (const auto& recovery_cut : again.PowerCutStates(tears, 1, n * 1000 + m)) {
          env.LosePower(cut);  // the journal, which the last check's recovery removed
          again.LosePower(recovery_cut);
          check(trace + "; recovery cut at " + std::to_string(m) + ": " + recovery_cut.description);
        }
      }
    }
  }
  std::cout << c.name << ": " << states << " power-cut states, " << exact << " recovered byte-exact\n";
  EXPECT_EQ(states, exact);
}

INSTANTIATE_TEST_SUITE_P(Cuts, RelinkCrash, ::testing::ValuesIn(CrashCases()),
                         write_test::ParamName());

// Each link's back-end path as an outside reader sees it, by table name, or
// why the reader could not read the file.
using OutsideLinks = std::map<std::string, std::string>;
// How often an outside reader lists each table of the catalog.
using TableCounts = std::map<std::string, int>;

struct OutsideCatalog {
  TableCounts counts;
  OutsideLinks links;
};

std::variant<OutsideCatalog, std::string> MdbReaderCatalog(const fs::path& file) {
  RunResult r = Run("node " + ShellQuote((SourceDir() / "tools/oracle/catalog.mjs").string()) + " " +
                    ShellQuote(file.string()));
  if (r.status != 0) return "mdb-reader: " + r.err.substr(0, 300);
  OutsideCatalog catalog;
  for (size_t at = 0, end; at < r.out.size(); at = end + 1) {
    end = std::min(r.out.find('\n', at), r.out.size());
    if (end == at) continue;
    std::vector<std::string> f;
    for (size_t p = at, tab; p <= end; p = tab + 1) {
      tab = std::min(r.out.find('\t', p), end);
      f.push_back(r.out.substr(p, tab - p));
    }
    ++catalog.counts[f[0]];
    if (f.size() >= 4 && f[1] == "6") catalog.links[f[0]] = f[3] == "-" ? "" : f[3].substr(1);
  }
  return catalog;
}

std::variant<OutsideLinks, std::string> MdbReaderLinks(const fs::path& file) {
  auto read = MdbReaderCatalog(file);
  if (const auto* failed = std::get_if<std::string>(&read)) return *failed;
  return std::get<OutsideCatalog>(read).links;
}

std::variant<OutsideLinks, std::string> MdbToolsLinks(const fs::path& file) {
  RunResult r = Run("mdb-export -Q -d \"$(printf '\\t')\" -0 NULL " + ShellQuote(file.string()) + " MSysObjects");
  if (r.status != 0 || r.out.empty()) return "mdbtools: " + r.err.substr(0, 300);
  std::vector<std::vector<std::string>> rows;
  for (size_t at = 0, end; at < r.out.size(); at = end + 1) {
    end = std::min(r.out.find('\n', at), r.out.size());
    rows.emplace_back();
    for (size_t p = at, tab; p <= end; p = tab + 1) {
      tab = std::min(r.out.find('\t', p), end);
      rows.back().push_back(r.out.substr(p, tab - p));
    }
  }
  const auto& header = rows.front();
  auto column = [&](const std::string& name) { return std::find(header.begin(), header.end(), name) - header.begin(); };
  const size_t name = column("Name"), type = column("Type"), database = column("Database");
  if (database >= header.size()) return "mdbtools: no Database column";
  OutsideLinks links;
  for (size_t i = 1; i < rows.size(); ++i)
    if (rows[i].size() == header.size() && rows[i][type] == "6") links[rows[i][name]] = rows[i][database];
  return links;
}

// A relink cut at every write, the process killed (what it wrote stays):
// before vostrel opens the file again, readers that know nothing of the
// journal open it and read every link whole, old or new. One relink that
// does it all: two links, a path stored as a long value, cached definitions
// freed, a row that no longer fits its full page.
TEST(RelinkCrash, EveryCutReadsWholeToOutsideReaders) {
  SKIP_WITHOUT_READERS();
  dbbuilder::FrontEndOptions options;
  options.partner_fills_page = true;
  options.desktop_lv = true;
  TempDir dir;
  const auto made = Built(options, 600)(dir);
  const fs::path& front = made.first;
  const std::vector<engine::LinkRequest>& links = made.second;
  const auto before = ReadBytes(front);
  const uint64_t operations = OperationsOf(front, links);
  const std::string old_path = dbbuilder::kOldBackEnd;
  const std::string new_path = links[0].link.substr(links[0].link.find('=') + 1);
  int whole = 0, cuts = 0;
  for (uint64_t n = 1; n <= operations; ++n) {
    {
      FaultEnv env;
      (void)RelinkCutAt(env, front, before, links, n);
    }
    ++cuts;
    bool ok = true;
    for (const auto& read : {MdbReaderLinks(front), MdbToolsLinks(front)}) {
      if (const auto* failed = std::get_if<std::string>(&read)) {
        ADD_FAILURE() << "cut at " << n << " of " << operations << ": " << *failed;
        ok = false;
        continue;
      }
      const OutsideLinks& seen = std::get<OutsideLinks>(read);
      for (const auto& l : links) {
        const auto it = seen.find(l.table);
        const bool one_or_other = it != seen.end() && (it->second == old_path || it->second == new_path);
        EXPECT_TRUE(one_or_other) << "cut at " << n << " of " << operations << ": " << l.table << " reads as "
                                  << (it == seen.end() ? "nothing" : it->second.substr(0, 80));
        ok = ok && one_or_other;
      }
    }
    whole += ok;
  }
  std::cout << whole << " of " << cuts << " cuts read whole by both outside readers\n";
}

}  // namespace

namespace {

std::variant<TableCounts, std::string> OutsideTableCounts(const fs::path& file) {
  auto read = MdbReaderCatalog(file);
  if (const auto* failed = std::get_if<std::string>(&read)) return *failed;
  return std::get<OutsideCatalog>(read).counts;
}

// A relink of 215 links of a 1,500-link catalog, and the page writes to the
// front-end it makes: the operations to cut at.
struct ManyLinks {
  fs::path front;
  std::vector<engine::LinkRequest> links;
  std::vector<uint8_t> before;
  std::vector<uint64_t> page_writes;
};

ManyLinks MakeManyLinks(const TempDir& dir) {
  ManyLinks m;
  dbbuilder::FrontEndOptions options;
  options.extra_links = 1500;
  m.front = testing_support::Built(dbbuilder::FrontEnd(options), dir / "MLQ.mdb");
  dbbuilder::DatabaseSpec back = dbbuilder::BackEnd(options.format);
  const fs::path back_path = dir / "novo" / std::string(60, 'n') / "PARTNER.MDB";
  for (int i = 1; i <= 215; ++i) {
    char table[16];
    std::snprintf(table, sizeof table, "T%04d", i * 6 + 1);
    back.AddTable(dbbuilder::Table{table, {dbbuilder::MakeColumn("ID", dbbuilder::ColumnType::kLong)}, {}, {}});
    m.links.push_back({table, ";DATABASE=" + back_path.string()});
  }
  testing_support::Built(back, back_path);
  m.before = ReadBytes(m.front);
  FaultEnv env;
  auto db = engine::OpenDatabaseImpl(env, m.front.string());
  const uint64_t at_open = env.Operations();
  engine::StoreLinks(*db, env, m.links, kNow);
  for (const auto& line : env.Log())
    if (line.find(": write " + m.front.string() + " at ") != std::string::npos)
      m.page_writes.push_back(std::stoull(line.substr(0, line.find(':'))) - at_open);
  size_t syncs = 0;
  for (const auto& line : env.Log()) syncs += line.find(": sync") != std::string::npos;
  std::cout << "the relink of " << m.links.size() << " links: " << m.page_writes.size() << " page writes, " << syncs
            << " syncs\n";
  WriteBytes(m.front, m.before);
  return m;
}

bool FullWalk() {
  const char* mode = std::getenv("VOSTREL_POWER_CUT");
  return mode && std::string(mode) == "full";
}

// The relink killed at its page writes: before vostrel opens the file again,
// an outside reader lists every table exactly once. Links may be old or new,
// some of each: a change of many pages reaches the file page by page.
TEST(RelinkCrash, NoKillShowsATableTwiceOrNotAtAll) {
  if (!HaveMdbReader()) GTEST_SKIP() << "mdb-reader is not installed";
  TempDir dir;
  const ManyLinks m = MakeManyLinks(dir);
  const auto expected = OutsideTableCounts(m.front);
  ASSERT_TRUE(std::holds_alternative<TableCounts>(expected)) << std::get<std::string>(expected);
  const std::vector<uint64_t>& page_writes = m.page_writes;
  int cuts = 0, listed_once = 0;
  for (size_t i = 0; i < page_writes.size(); ++i) {
    // A sample in the normal run: the first writes, and every 40th.
    if (!FullWalk() && i >= 12 && i % 40 != 0) continue;
    {
      FaultEnv env;
      (void)RelinkCutAt(env, m.front, m.before, m.links, page_writes[i] + 1);  // killed after the (i+1)th page write
    }
    ++cuts;
    const auto seen = OutsideTableCounts(m.front);
    if (const auto* failed = std::get_if<std::string>(&seen)) {
      ADD_FAILURE() << "killed after page write " << i + 1 << " of " << page_writes.size() << ": " << *failed;
      continue;
    }
    const auto& counts = std::get<TableCounts>(seen);
    const bool same = counts == std::get<TableCounts>(expected);
    EXPECT_TRUE(same) << "killed after page write " << i + 1 << " of " << page_writes.size() << ": "
                      << counts.size() << " names, expected " << std::get<TableCounts>(expected).size();
    if (!same)
      for (const auto& [name, count] : counts)
        if (count != 1) ADD_FAILURE() << name << " listed " << count << " times";
    listed_once += same;
  }
  std::cout << listed_once << " of " << cuts << " kills (of " << page_writes.size()
            << " page writes) list every table once to mdb-reader\n";
}

// What an outside reader makes of the file a power cut left.
enum class Outside { kWhole, kUnreadable, kTableTwiceOrMissing, kLinkNeitherOldNorNew };

const char* OutsideName(Outside o) {
  switch (o) {
    case Outside::kWhole: return "every table once, each link old or new";
    case Outside::kUnreadable: return "unreadable";
    case Outside::kTableTwiceOrMissing: return "a table twice or missing";
    case Outside::kLinkNeitherOldNorNew: return "a link neither old nor new";
  }
  return "";
}

// The page of `file` whose write `cut` tore, as the change has it: "" when
// none was torn, else what the page is (its type, and for a data page its
// owner: the catalog, long values or another table).
std::string TornPage(const FaultEnv& env, const FaultEnv::PowerCut& cut, const fs::path& file,
                     const std::vector<uint8_t>& after) {
  const auto landed = cut.landed.find(file.string());
  if (landed == cut.landed.end() || landed->second.torn_bytes == SIZE_MAX) return "";
  // The file's unsynced writes, whose index the landing names: those after its last sync.
  std::vector<uint64_t> offsets;
  const std::string write = ": write " + file.string() + " at ", sync = ": sync " + file.string();
  for (const auto& line : env.Log()) {
    if (line.ends_with(sync)) offsets.clear();  // not the journal's, whose name begins with the file's
    if (const size_t at = line.find(write); at != std::string::npos)
      offsets.push_back(std::stoull(line.substr(at + write.size())));
  }
  const uint64_t offset = offsets.at(landed->second.changes.back());
  const jet::Format& f = jet::kJet4Format;
  if (offset + f.page_size > after.size()) return "past the end";
  const jet::Bytes page = jet::Bytes(after).subspan(offset, f.page_size);
  if (auto data = jet::ParseDataPage(page, f); data.ok())
    return data->owner == jet::kCatalogPage       ? "a catalog page"
           : data->owner == jet::kLongValueOwner ? "a long value page"
                                                  : "a data page of another owner";
  return page[jet::kPageTypeByte] == jet::kPageUsageMap ? "a usage map page"
                                                        : "a page of type " + std::to_string(page[0]);
}

// The relink cut by a power cut after one of its page writes, the disk
// holding any subset of the unsynced writes, the last of them maybe torn:
// mdb-reader and mdbtools read the file as the cut left it, before any
// recovery. Every state whose writes landed whole reads whole to both; a
// state whose last write landed torn may not where the torn page is one
// whose rows the change lays out again (docs/reliability.md). A sample of
// 30 states (VOSTREL_OUTSIDE_POWER_CUTS=N for N, VOSTREL_POWER_CUT=full for
// 300), counted.
TEST(RelinkCrash, PowerCutStatesReadWholeToOutsideReaders) {
  SKIP_WITHOUT_READERS();
  TempDir dir;
  const ManyLinks m = MakeManyLinks(dir);
  const auto expected = MdbReaderCatalog(m.front);
  ASSERT_TRUE(std::holds_alternative<OutsideCatalog>(expected)) << std::get<std::string>(expected);
  const OutsideCatalog& old = std::get<OutsideCatalog>(expected);
  std::map<std::string, std::string> new_path;
  for (const auto& l : m.links) new_path[l.table] = l.link.substr(l.link.find('=') + 1);

  const char* measure = std::getenv("VOSTREL_OUTSIDE_POWER_CUTS");
  const int states = measure ? std::atoi(measure) : FullWalk() ? 300 : 30;
  std::vector<uint8_t> after;
  {
    FaultEnv env;
    (void)RelinkCutAt(env, m.front, m.before, m.links, UINT64_MAX);
    after = ReadBytes(m.front);
  }
  std::map<std::pair<Outside, std::string>, int> tally;  // by outcome and the page the cut tore
  for (int k = 0; k < states; ++k) {
    const uint64_t n = m.page_writes[static_cast<size_t>(k * 7919) % m.page_writes.size()] + 1;
    FaultEnv env;
    (void)RelinkCutAt(env, m.front, m.before, m.links, n);
    const FaultEnv::PowerCut cut = env.PowerCutStates({1, 513, 2048}, 1, static_cast<uint64_t>(k) + 1).front();
    env.LosePower(cut);
    const std::string torn = TornPage(env, cut, m.front, after);

    Outside outcome = Outside::kWhole;
    std::string why;
    const auto catalog = MdbReaderCatalog(m.front);
    const auto tools = MdbToolsLinks(m.front);
    if (const auto* failed = std::get_if<std::string>(&catalog)) {
      outcome = Outside::kUnreadable, why = *failed;
    } else if (const auto* failed = std::get_if<std::string>(&tools)) {
      outcome = Outside::kUnreadable, why = *failed;
    } else {
      const OutsideCatalog& now = std::get<OutsideCatalog>(catalog);
      if (now.counts != old.counts) outcome = Outside::kTableTwiceOrMissing;
      for (const OutsideLinks* seen : {&now.links, &std::get<OutsideLinks>(tools)}) {
        for (const auto& [table, path] : old.links) {
          const auto it = seen->find(table);
          const auto relinked = new_path.find(table);
          const bool old_or_new = it != seen->end() && (it->second == path || (relinked != new_path.end() &&
                                                                                it->second == relinked->second));
          if (!old_or_new && outcome == Outside::kWhole) {
            outcome = Outside::kLinkNeitherOldNorNew;
            why = table + " reads as " + (it == seen->end() ? "nothing" : it->second.substr(0, 80));
          }
        }
      }
    }
    ++tally[{outcome, torn}];
    if (torn.empty()) {
      EXPECT_EQ(outcome, Outside::kWhole) << OutsideName(outcome) << ": " << why << "\npower cut after operation " << n
                                          << ": " << cut.description;
    }
  }
  for (const auto& [what, count] : tally)
    std::cout << OutsideName(what.first) << ", " << (what.second.empty() ? "every write whole" : what.second + " torn")
              << ": " << count
              << " of " << states << " power cuts\n";
}

}  // namespace

namespace {

// The file system as a reader sees it while another process commits: the
// first read of one page comes back as that page half rewritten (here: its
// bytes gone), every later read as the file is.
class OverlappedEnv final : public ForwardingEnv {
 public:
  explicit OverlappedEnv(uint64_t torn_offset) : torn_offset_(torn_offset) {}

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, jet::OpenMode mode) override {
    auto file = base_.Open(path, mode);
    if (!file.ok()) return file.status();
    return std::unique_ptr<jet::File>(new OverlappedFile(*this, std::move(*file)));
  }
  int torn_reads = 0;

 private:
  class OverlappedFile final : public jet::File {
   public:
    OverlappedFile(OverlappedEnv& env, std::unique_ptr<jet::File> base) : env_(env), base_(std::move(base)) {}
    jet::Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
      JET_RETURN_IF_ERROR(base_->ReadAt(offset, out));
      if (offset == env_.torn_offset_ && env_.torn_reads++ == 0) std::fill(out.begin(), out.end(), uint8_t{0});
      return jet::Status::Ok();
    }
    jet::Status WriteAt(uint64_t offset, std::span<const uint8_t> data) override { return base_->WriteAt(offset, data); }
    jet::Status Sync() override { return base_->Sync(); }
    jet::Status Truncate(uint64_t size) override { return base_->Truncate(size); }
    jet::Result<uint64_t> Size() override { return base_->Size(); }
    jet::Status Lock() override { return base_->Lock(); }
    jet::Status Unlock() override { return base_->Unlock(); }
    jet::Result<jet::FileInfo> Stat() override { return base_->Stat(); }
    jet::Result<std::optional<jet::HeldLock>> FindLock() override { return base_->FindLock(); }
    jet::Status Close() override { return base_->Close(); }
    jet::Status LockRange(uint64_t start, uint64_t length, bool exclusive) override {
      return base_->LockRange(start, length, exclusive);
    }
    jet::Status UnlockRange(uint64_t start, uint64_t length) override { return base_->UnlockRange(start, length); }

   private:
    OverlappedEnv& env_;
    std::unique_ptr<jet::File> base_;
  };

  uint64_t torn_offset_;
};

// A reader whose read overlapped another process's commit (here: the
// catalog's definition read torn once) reads again, holding the lock, and
// finds the sound file it is: never "may be corrupt" (3049).
TEST(RelinkCrash, AReaderOverlappingACommitReadsAgain) {
  TempDir dir;
  const fs::path front = Built(dbbuilder::FrontEndOptions{}, 40)(dir).first;
  OverlappedEnv env(2 * 4096);  // the catalog's definition, Jet4 pages
  std::unique_ptr<engine::DatabaseImpl> db;
  try {
    db = engine::OpenDatabaseImpl(env, front.string());
  } catch (const engine::EngineError& e) {
    FAIL() << e.number() << ": " << e.description();
  }
  EXPECT_GE(env.torn_reads, 2);
  EXPECT_NE(db->catalog.FindTable("Partner"), nullptr);
}

}  // namespace
