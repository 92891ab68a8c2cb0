// Encrypted ACE files, of each kind: agile and RC4 CryptoAPI, built here and
// as the desktop program wrote them (../shared). They open with their
// password only, every page is stored again exactly as it was, and a relink
// leaves the file encrypted under the same key, readable by mdb-reader with
// the password. A descriptor we do not read is its own error, not 3031.
#include <algorithm>
#include <cstring>
#include <functional>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "engine/database_impl.h"
#include "engine/relink.h"
#include "jet/encryption_descriptor.h"
#include "jet/header.h"
#include "jet/journal.h"
#include "jet/text.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"
#include "tests/write/param_name.h"

namespace {

using namespace testing_support;

// Spaces and letters past ASCII: the key derivation takes UTF-16.
const std::string kPassword = "Geslo Čšž 7";
constexpr double kNow = 46000.25;

struct Kind {
  std::string name;
  std::string corpus_file;  // empty: built here
  std::string corpus_password;
  jet::AceEncryptionKind kind = jet::AceEncryptionKind::kAgile;
  dbbuilder::FormatVersion format = dbbuilder::FormatVersion::kAce14;

  bool built() const { return corpus_file.empty(); }
  const std::string& password() const { return built() ? kPassword : corpus_password; }
  // A local table the file holds.
  std::string table() const { return built() ? "Nastavitve" : "Table1"; }
};
void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }

const Kind kAgileBuilt{"agile built", "", "", jet::AceEncryptionKind::kAgile, dbbuilder::FormatVersion::kAce14};
const Kind kRc4Built{"RC4 built", "", "", jet::AceEncryptionKind::kRc4CryptoApi, dbbuilder::FormatVersion::kAce12};
const Kind kAgileCorpus{"agile of the desktop program", "ace/V2010_with-password.accdb", "password"};
const Kind kRc4Corpus{"RC4 of the desktop program", "ace/office-agile-4.2.accdb", "password"};

// The encrypted front-end (links Partner and Artikli when built) in dir.
fs::path Make(const Kind& k, const TempDir& dir) {
  if (!k.built()) return CopyInto(SharedDir() / "corpus" / k.corpus_file, dir.path());
  dbbuilder::FrontEndOptions o;
  o.format = k.format;
  o.encryption = dbbuilder::Encryption{kPassword, k.kind};
  return Built(dbbuilder::FrontEnd(o), dir / "MLQ.accdb");
}

fs::path PlainBackEnd(const TempDir& dir) { return Built(dbbuilder::BackEnd(dbbuilder::FormatVersion::kAce14), dir / "PARTNER.accdb"); }

std::unique_ptr<engine::Database> Open(const fs::path& file, const std::string& connect) {
  return engine::DBEngine::Instance().OpenDatabase(jet::Env::Default(), file.string(), false, false, connect);
}

// The number and description of the failure to open, or 0.
std::pair<int, std::string> OpenFailure(const fs::path& file, const std::string& connect) {
  try {
    Open(file, connect);
    return {0, ""};
  } catch (const engine::EngineError& e) {
    return {e.number(), e.description()};
  }
}

std::vector<std::string> TableNames(engine::Database& db) {
  std::vector<std::string> names;
  for (auto& def : db.TableDefs()) names.push_back(def->Name());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TableNames(const std::vector<OracleObject>& objects) {
  std::vector<std::string> names;
  for (const auto& o : objects)
    if (o.type == 1 || o.type == 4 || o.type == 6) names.push_back(o.name);
  std::sort(names.begin(), names.end());
  return names;
}

class Encrypted : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    if (!GetParam().built()) SKIP_WITHOUT_SHARED();
  }
};

TEST_P(Encrypted, OpensWithItsPasswordOnly) {
  const Kind& k = GetParam();
  TempDir dir;
  const fs::path file = Make(k, dir);
  auto db = Open(file, ";PWD=" + k.password());
  const std::vector<std::string> names = TableNames(*db);
  EXPECT_NE(std::find(names.begin(), names.end(), k.table()), names.end());
  if (CheckWithMdbReader()) {
    EXPECT_EQ(names, TableNames(MdbReaderCatalog(file, k.password())));
  }
  for (const std::string& wrong : {std::string(), ";PWD=" + k.password() + "x", std::string(";PWD="),
                                   std::string(";PWD=\xC3")}) {
    const auto [number, description] = OpenFailure(file, wrong);
    EXPECT_EQ(number, engine::kErrNotValidPassword) << wrong;
    EXPECT_EQ(description, "Not a valid password.");
  }
}

// Every page's plain bytes, encrypted again, are the bytes stored: what we
// write is what the desktop program would.
TEST_P(Encrypted, EveryPageStoredAgainAsItWas) {
  const Kind& k = GetParam();
  TempDir dir;
  const fs::path file = Make(k, dir);
  const std::vector<uint8_t> raw = ReadBytes(file);
  auto db = engine::OpenDatabaseImpl(jet::Env::Default(), file.string(), k.password());
  jet::Pager& pager = db->Pager();
  const size_t size = pager.page_size();
  ASSERT_GT(pager.page_count(), 3u);
  for (uint32_t p = 1; p < pager.page_count(); ++p) {
    jet::Result<std::vector<uint8_t>> plain = pager.ReadPage(p);
    ASSERT_TRUE(plain.ok()) << p;
    EXPECT_NE(0, std::memcmp(plain->data(), &raw[p * size], size)) << "page " << p << " is not encrypted";
    jet::Result<std::vector<uint8_t>> stored = pager.StoredBytes(p, *plain);
    ASSERT_TRUE(stored.ok());
    EXPECT_EQ(0, std::memcmp(stored->data(), &raw[p * size], size)) << "page " << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Encrypted, ::testing::Values(kAgileBuilt, kRc4Built, kAgileCorpus, kRc4Corpus),
                         write_test::ParamName());

// The desktop program's encrypted files hold no links: a relink is proven on
// the built ones.
class EncryptedRelink : public ::testing::TestWithParam<Kind> {};

TEST_P(EncryptedRelink, LeavesItEncryptedWithTheSameKey) {
  const Kind& k = GetParam();
  TempDir dir;
  const fs::path front = Make(k, dir);
  const fs::path back = PlainBackEnd(dir);
  const std::vector<uint8_t> before = ReadBytes(front);
  const std::string link = ";DATABASE=" + back.string();

  // Cut once the journal is on disk: it holds pages as stored, and nothing
  // of the password.
  const std::string journal = jet::JournalPath(front.string());
  for (uint64_t n = 1; !fs::exists(journal); ++n) {
    ASSERT_LT(n, 100u) << "no journal";
    WriteBytes(front, before);
    FaultEnv env;
    auto db = engine::OpenDatabaseImpl(env, front.string(), kPassword);
    env.FailAt(env.Operations() + n, Fault::kCrash);
    try {
      engine::StoreLinks(*db, env, {{"Partner", link}}, kNow);
    } catch (const engine::EngineError&) {
    }
  }
  const std::vector<uint8_t> journal_bytes = ReadBytes(journal);
  const jet::Result<std::vector<uint8_t>> utf16 = jet::EncodeUcs2(kPassword, false);
  ASSERT_TRUE(utf16.ok());
  for (const std::string& said : {kPassword, std::string(utf16->begin(), utf16->end())})
    EXPECT_EQ(std::search(journal_bytes.begin(), journal_bytes.end(), said.begin(), said.end()), journal_bytes.end());
  EXPECT_EQ(Open(front, ";PWD=" + kPassword)->TableDefs().Item("Partner").Connect(), ";DATABASE=" + std::string(dbbuilder::kOldBackEnd))
      << "the journal put the old file back";
  EXPECT_EQ(ReadBytes(front), before);

  {
    auto db = Open(front, ";PWD=" + kPassword);
    db->StoreLinks({{"Partner", link}}, kNow);
  }
  const std::vector<uint8_t> after = ReadBytes(front);
  ASSERT_NE(after, before);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 4096, after.begin())) << "the header, key and descriptor kept";
  EXPECT_EQ(OpenFailure(front, "").first, engine::kErrNotValidPassword);
  EXPECT_EQ(Open(front, ";PWD=" + kPassword)->TableDefs().Item("Partner").Connect(), link);
  if (CheckWithMdbReader()) {
    bool seen = false;
    for (const auto& o : MdbReaderCatalog(front, kPassword))
      if (o.name == "Partner") seen = o.database == back.string();
    EXPECT_TRUE(seen) << "mdb-reader reads the new link with the password";
    const RunResult without = testing_support::Run("node " + ShellQuote((SourceDir() / "tools/oracle/catalog.mjs").string()) + " " +
                                  ShellQuote(front.string()) + " wrong");
    EXPECT_NE(without.status, 0) << "mdb-reader read it with a wrong password";
  }
}

// A front-end's link to an encrypted back-end with its password: the check
// that opens the back-end passes with the right one, says 3031 with another.
TEST_P(EncryptedRelink, BackEndBehindALinkOpensWithTheLinksPassword) {
  const Kind& k = GetParam();
  TempDir dir;
  dbbuilder::DatabaseSpec described = dbbuilder::BackEnd(k.format);
  described.encryption = dbbuilder::Encryption{kPassword, k.kind};
  const fs::path back = dir / "PARTNER.accdb";
  ASSERT_TRUE(dbbuilder::WriteDatabase(described, back.string()).ok());
  const fs::path front = dir / "MLQ.mdb";
  ASSERT_TRUE(dbbuilder::WriteDatabase(dbbuilder::FrontEnd({}), front.string()).ok());
  auto db = engine::OpenDatabaseImpl(jet::Env::Default(), front.string());
  auto request = [&](const std::string& password) {
    return engine::LinkRequest{"Partner", "MS Access;PWD=" + password + ";DATABASE=" + back.string()};
  };
  for (const std::string& wrong : {kPassword + "x", std::string()}) {
    try {
      engine::CheckLink(*db, jet::Env::Default(), request(wrong));
      ADD_FAILURE() << "checked with a wrong password";
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), engine::kErrNotValidPassword) << e.description();
    }
  }
  engine::CheckLink(*db, jet::Env::Default(), request(kPassword));
  engine::StoreLinks(*db, jet::Env::Default(), {request(kPassword)}, kNow);
  EXPECT_EQ(Open(front, "")->TableDefs().Item("Partner").Connect(), request(kPassword).link);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EncryptedRelink, ::testing::Values(kAgileBuilt, kRc4Built), write_test::ParamName());

// Descriptors we do not read, and broken ones: the distinct error, with the
// right password too; never 3031.
TEST(Encrypted, UnknownEncryptionIsItsOwnError) {
  TempDir dir;
  const fs::path built = Make(kAgileBuilt, dir);
  const std::vector<uint8_t> original = ReadBytes(built);
  const jet::Format& format = dbbuilder::LayoutFor(kAgileBuilt.format);
  struct Patch {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> apply;  // on page 0, unmasked
    const char* reason;
  };
  auto put16 = [](std::vector<uint8_t>& p, size_t at, uint16_t v) { jet::StoreU16(&p[at], v); };
  auto replace = [](std::vector<uint8_t>& p, const std::string& from, const std::string& to) {
    auto at = std::search(p.begin(), p.end(), from.begin(), from.end());
    ASSERT_NE(at, p.end());
    std::copy(to.begin(), to.end(), at);
  };
  const size_t d = jet::kEncryptionDescriptor;
  const Patch patches[] = {
      {"standard AES", [&](auto& p) { put16(p, d + 4, 2); jet::StoreU32(&p[d + 6], 0x24); }, "standard AES encryption"},
      {"extensible", [&](auto& p) { put16(p, d + 4, 3); jet::StoreU32(&p[d + 6], 0x10); }, "extensible encryption"},
      {"another cipher", [&](auto& p) { replace(p, "\"AES\"", "\"DES\""); }, "the cipher DES"},
      {"certificates only", [&](auto& p) { replace(p, "keyEncryptor/password\">", "keyEncryptor/passwore\">"); },
       "certificates only"},
      {"length past the page", [&](auto& p) { put16(p, d, 0xFFFF); }, "runs past the header page"},
      {"XML cut short", [&](auto& p) { put16(p, d, static_cast<uint16_t>(jet::LoadU16(&p[d]) - 20)); }, "at byte"},
      {"spin count not a number", [&](auto& p) { replace(p, "spinCount=\"100000\"", "spinCount=\"-10000\""); },
       "spinCount"},
  };
  for (const Patch& patch : patches) {
    std::vector<uint8_t> bytes = original;
    std::vector<uint8_t> page0 = jet::ToggleHeaderMask(jet::Bytes(bytes).first(4096), format);
    patch.apply(page0);
    page0 = jet::ToggleHeaderMask(page0, format);
    std::copy(page0.begin(), page0.end(), bytes.begin());
    WriteBytes(built, bytes);
    const auto [number, description] = OpenFailure(built, ";PWD=" + kPassword);
    EXPECT_EQ(number, engine::kErrUnsupportedEncryption) << patch.name << ": " << description;
    EXPECT_NE(description.find("is encrypted in a way vostrel cannot open"), std::string::npos) << patch.name;
    EXPECT_NE(description.find(patch.reason), std::string::npos) << patch.name << ": " << description;
    EXPECT_EQ(description.find(kPassword), std::string::npos);
  }
}

}  // namespace
