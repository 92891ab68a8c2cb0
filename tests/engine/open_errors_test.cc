// What OpenDatabase says about files it cannot read: each case gives the
// engine's number and description, never a crash. The broken files are
// copies of real ones, damaged where a hostile or failing disk would.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/rc4.h"
#include "jet/row.h"
#include "jet/table_scan.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using Bytes8 = std::vector<uint8_t>;

struct Outcome {
  int number = 0;  // 0: opened
  std::string description;
  std::string partner;  // Partner's link when opened
};

Outcome Open(const std::string& name) {
  Outcome o;
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(name);
    for (auto& def : db->TableDefs()) {
      const std::string c = def->Connect();
      if (def->Name() == "Partner") o.partner = c;
    }
  } catch (const engine::EngineError& e) {
    o.number = e.number();
    o.description = e.description();
  }
  return o;
}

constexpr size_t kPage = 4096;  // the Jet4 fixtures

TEST(OpenErrors, NamesThatFindNoFile) {
  TempDir dir;
  const std::string d = fs::canonical(dir.path()).string();
  struct Case {
    std::string name;
    int number;
    std::string description;
  };
  const std::string valid_path_tail =
      "' is not a valid path. Make sure that the path name is spelled correctly and that you are connected to the "
      "server on which the file resides.";
  const Case cases[] = {
      {d + "/MLQ.mdb", 3024, "Could not find file '" + Native(d + "/MLQ.mdb") + "'."},
      {d + "\\MLQ.mdb", 3024, "Could not find file '" + Native(d + "/MLQ.mdb") + "'."},
      {d + "/no folder/MLQ.mdb", 3044, "'" + d + "/no folder/MLQ.mdb" + valid_path_tail},
      {"C:\\MLQ\\MLQ.mdb", 3044, "'C:\\MLQ\\MLQ.mdb" + valid_path_tail},
      {"\\\\server\\share\\MLQ.mdb", 3044, "'\\\\server\\share\\MLQ.mdb" + valid_path_tail},
      {"", 3044, "'" + valid_path_tail},
      {d + "/", 3044, "'" + d + "/" + valid_path_tail},
  };
  for (const Case& c : cases) {
    Outcome o = Open(c.name);
    EXPECT_EQ(o.number, c.number) << c.name;
    EXPECT_EQ(o.description, c.description) << c.name;
  }
}

TEST(OpenErrors, FilesThatAreNoDatabase) {
  TempDir dir;
  const Bytes8 real = ReadBytes(BuiltOnce("v2003-basic"));
  Bytes8 zeroed_header = real;
  std::fill(zeroed_header.begin(), zeroed_header.begin() + kPage, 0);
  Bytes8 other_version = real;
  other_version[jet::kHeaderVersion] = 0x40;
  // An ACE file of a version after 6 (Access 2019), whose layout nobody has seen.
  Bytes8 later_ace = real;
  later_ace[jet::kHeaderVersion] = 0x07;
  std::copy(std::begin(jet::kAceHeaderName), std::end(jet::kAceHeaderName), later_ace.begin() + jet::kHeaderName);
  Bytes8 text(5000, 'x');
  struct Case {
    const char* what;
    Bytes8 bytes;
  };
  const Case cases[] = {
      {"empty", {}},
      {"text", text},
      {"a header and nothing more", Bytes8(real.begin(), real.begin() + 100)},
      {"two pages: no room for the catalog", Bytes8(real.begin(), real.begin() + 2 * kPage)},
      {"zeroed header", zeroed_header},
      {"unknown version", other_version},
      {"an ACE version after those known", later_ace},
  };
  for (const Case& c : cases) {
    const fs::path file = dir / "bad.mdb";
    WriteBytes(file, c.bytes);
    Outcome o = Open(file.string());
    EXPECT_EQ(o.number, 3343) << c.what << ": " << o.description;
    EXPECT_EQ(o.description, "Unrecognized database format '" + fs::canonical(file).string() + "'.") << c.what;
  }
}

// Locates the Partner row's Database field in a copy of a front-end.
struct PartnerRow {
  size_t field_at = 0;  // file offset of the 12-byte long value field
  jet::RowPointer value_row;
};

PartnerRow FindPartnerDatabaseField(const fs::path& file) {
  PartnerRow out;
  auto f = jet::Env::Default().Open(file.string(), jet::OpenMode::kRead);
  EXPECT_TRUE(f.ok());
  const jet::Format format = *jet::FormatForVersion(1);
  jet::Pager pager(**f, format, 0, *(*f)->Size(), nullptr);
  auto catalog = jet::ReadCatalog(pager, 1252);
  EXPECT_TRUE(catalog.ok());
  const jet::CatalogObject* partner = catalog->FindTable("Partner");
  EXPECT_TRUE(partner != nullptr);
  const jet::RowPointer at = partner->moved.value_or(partner->location);
  auto page = pager.ReadPage(at.page);
  auto dp = jet::ParseDataPage(*page, format);
  const jet::RowSlot slot = dp->slots[at.row];
  const jet::Bytes row = jet::Bytes(*page).subspan(slot.start, slot.size());
  auto cracked = jet::CrackRow(row, catalog->def, format);
  const size_t col = static_cast<size_t>(catalog->def.IndexOf("Database"));
  out.field_at = static_cast<size_t>(at.page) * kPage + slot.start + cracked->fields[col].offset;
  out.value_row = jet::ParseLongValueField(cracked->Value(row, col))->first;
  return out;
}

size_t SlotStart(const Bytes8& file, jet::RowPointer at) {
  const jet::Format format = *jet::FormatForVersion(1);
  auto dp = jet::ParseDataPage(jet::Bytes(file).subspan(at.page * kPage, kPage), format);
  return at.page * kPage + dp->slots[at.row].start;
}

TEST(OpenErrors, BrokenStructuresInsideAreCorruptDatabases) {
  TempDir dir;
  const jet::Format format = *jet::FormatForVersion(1);
  struct Case {
    const char* what;
    const char* fixture;
    std::function<void(Bytes8&, const fs::path&)> damage;
  };
  const Case cases[] = {
      {"catalog usage map past the end", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { jet::StoreU32(&b[2 * kPage + format.tdef_used_pages], 0xFFFFFF00u); }},
      {"catalog definition continues onto itself", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { jet::StoreU32(&b[2 * kPage + format.tdef_next_page], 2); }},
      {"catalog definition continues past the end", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { jet::StoreU32(&b[2 * kPage + format.tdef_next_page], 1u << 30); }},
      {"catalog definition page is zeroed", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { std::fill(b.begin() + 2 * kPage, b.begin() + 3 * kPage, 0); }},
      {"catalog claims a million columns", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { jet::StoreU16(&b[2 * kPage + format.tdef_num_cols], 0xFFFF); }},
      {"truncated after the catalog definition", "v2003-basic",
       [&](Bytes8& b, const fs::path&) { b.resize(3 * kPage); }},
      {"long path's value chain loops onto itself", "v2003-long-path",
       [&](Bytes8& b, const fs::path& copy) {
         const PartnerRow p = FindPartnerDatabaseField(copy);
         b[p.field_at + 3] &= 0x3F;  // a chain rather than a single row
         jet::StoreU32(&b[SlotStart(b, p.value_row)], p.value_row.Encode());
       }},
      {"long path's value row past the end", "v2003-long-path",
       [&](Bytes8& b, const fs::path& copy) {
         const PartnerRow p = FindPartnerDatabaseField(copy);
         jet::StoreU32(&b[p.field_at + 4], jet::RowPointer{0xFFFFF0, 0}.Encode());
       }},
      {"long path's length beyond its row", "v2003-long-path",
       [&](Bytes8& b, const fs::path& copy) {
         const PartnerRow p = FindPartnerDatabaseField(copy);
         jet::StoreU32(&b[p.field_at], jet::kLongValueSingle | 0x3FFF0);
       }},
  };
  for (const Case& c : cases) {
    const fs::path copy = CopyInto(BuiltOnce(c.fixture), dir.path());
    Bytes8 bytes = ReadBytes(copy);
    c.damage(bytes, copy);
    WriteBytes(copy, bytes);
    Outcome o = Open(copy.string());
    EXPECT_EQ(o.number, 3049) << c.what << ": " << o.description;
    EXPECT_EQ(o.description, "Cannot open database '" + copy.string() +
                                 "'. It may not be a database that your application recognizes, or the file may be "
                                 "corrupt.")
        << c.what;
    fs::remove(copy);
  }
}

TEST(OpenErrors, EveryTruncationEndsInAResultOrAnError) {
  TempDir dir;
  const Bytes8 real = ReadBytes(BuiltOnce("v2003-long-path"));
  for (size_t pages = 0; pages <= real.size() / kPage; ++pages) {
    for (size_t extra : {size_t{0}, size_t{1}, kPage / 2}) {
      const size_t size = std::min(real.size(), pages * kPage + extra);
      WriteBytes(dir / "cut.mdb", Bytes8(real.begin(), real.begin() + size));
      Outcome o = Open((dir / "cut.mdb").string());
      if (size == real.size()) {
        EXPECT_EQ(o.number, 0) << o.description;
      } else {
        EXPECT_TRUE(o.number == 0 || o.number == 3049 || o.number == 3343) << size << ": " << o.number;
      }
    }
  }
}

TEST(OpenErrors, PasswordsAndLocks) {
  TempDir dir;
  // Files the desktop program protected: only ../shared has them.
  if (!SharedDir().empty()) for (const char* f : {"jet4/V2003_with-password.mdb", "jet4/V2000_with-password.mdb", "ace/V2010_with-password.accdb",
                        "ace/office-agile-4.2.accdb"}) {
    Outcome o = Open((SharedDir() / "corpus" / f).string());
    EXPECT_EQ(o.number, 3031) << f;
    EXPECT_EQ(o.description, "Not a valid password.") << f;
  }
  // Another process writing the file holds its lock: contention is 3045,
  // never 3051 (which tells the user to look at permissions).
  const fs::path copy = CopyInto(BuiltOnce("v2003-basic"), dir.path());
  {
    auto other = jet::Env::Default().Open(copy.string(), jet::OpenMode::kReadWrite);
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE((*other)->Lock().ok());
    Outcome o = Open(copy.string());
    EXPECT_EQ(o.number, 3045);
    EXPECT_EQ(o.description, "Could not use '" + copy.string() + "'; file already in use.");
  }
  EXPECT_EQ(Open(copy.string()).number, 0) << "the lock went with the other program";
  // No permission to read it (root reads anything: nothing to prove there).
  if (testing_support::PermissionsBind()) {
    fs::permissions(copy, fs::perms::none);
    EXPECT_EQ(Open(copy.string()).number, 3051);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  }
  // Read-only to us: it still opens, for reading.
  fs::permissions(copy, fs::perms::owner_read);
  if (testing_support::PermissionsBind()) {
    EXPECT_EQ(Open(copy.string()).partner, ";DATABASE=C:\\MLQ\\PARTNER.MDB");
  }
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
}

// A Jet4 file with an encoding key has every page but the header encrypted
// with RC4 under (key XOR page number); no password is needed to read it.
TEST(OpenErrors, PagesEncryptedWithTheFilesKeyAreRead) {
  TempDir dir;
  Bytes8 b = ReadBytes(BuiltOnce("v2003-unicode-path"));
  const jet::Format format = *jet::FormatForVersion(1);
  const uint32_t key = 0x5EC2E7A1;
  Bytes8 header = jet::ToggleHeaderMask(jet::Bytes(b).first(kPage), format);
  jet::StoreU32(&header[jet::kHeaderDbKey], key);
  header = jet::ToggleHeaderMask(header, format);
  std::copy(header.begin(), header.end(), b.begin());
  for (size_t p = 1; p < b.size() / kPage; ++p) {
    uint8_t page_key[4];
    jet::StoreU32(page_key, key ^ static_cast<uint32_t>(p));
    jet::Rc4Apply(page_key, std::span<uint8_t>(b).subspan(p * kPage, kPage));
  }
  WriteBytes(dir / "MLQ.mdb", b);
  Outcome o = Open((dir / "MLQ.mdb").string());
  EXPECT_EQ(o.number, 0) << o.description;
  EXPECT_EQ(o.partner, ";DATABASE=C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB");
}

}  // namespace
