// The catalog's indexes. No outside program reads index pages, so these
// tests walk them here: the keys must be the ones real files hold for the
// same names, and a built file's index must list every catalog row, in order,
// under a tree whose node entries match their children.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "dbbuilder/index_writer.h"
#include "jet/catalog.h"
#include "jet/env_names.h"
#include "jet/header.h"
#include "jet/pager.h"
#include "tests/support/support.h"

namespace {

using namespace dbbuilder;
using testing_support::ReadBytes;
using testing_support::SharedDir;
using testing_support::TempDir;

struct IndexPageView {
  uint8_t type = 0;
  uint32_t parent = 0, prev = 0, next = 0;
  std::vector<ByteVector> entries;  // prefixes restored
};

// Reads the entries of an index page: the first starts at a fixed offset, the
// bitmap marks where each further one starts and where the last ends.
IndexPageView ReadIndexPage(const Layout& layout, const std::vector<uint8_t>& file, uint32_t number) {
  const uint8_t* p = file.data() + uint64_t{number} * layout.page_size;
  auto u32 = [&](size_t at) { return p[at] | p[at + 1] << 8 | p[at + 2] << 16 | static_cast<uint32_t>(p[at + 3]) << 24; };
  IndexPageView v;
  v.type = p[0];
  v.parent = u32(4);
  v.prev = u32(layout.index_prev_page);
  v.next = u32(layout.index_next_page);
  size_t prefix = p[layout.index_prefix_length] | p[layout.index_prefix_length + 1] << 8;
  size_t start = layout.index_first_entry;
  for (size_t bit = 0; layout.index_first_entry + bit < layout.page_size && layout.index_bitmap + bit / 8 < layout.index_first_entry; ++bit) {
    if (!(p[layout.index_bitmap + bit / 8] & (1 << (bit % 8)))) continue;
    size_t end = layout.index_first_entry + bit;
    ByteVector e(p + start, p + end);
    if (!v.entries.empty() && prefix > 0) e.insert(e.begin(), v.entries.front().begin(), v.entries.front().begin() + prefix);
    v.entries.push_back(std::move(e));
    start = end;
  }
  return v;
}

// Every entry of the catalog's two-column index (ParentIdName), from its leaves.
std::set<ByteVector> ParentIdNameEntries(const Layout& layout, const std::vector<uint8_t>& file) {
  std::set<ByteVector> out;
  for (uint32_t page = 0; page < file.size() / layout.page_size; ++page) {
    const uint8_t* p = file.data() + uint64_t{page} * layout.page_size;
    if (p[0] != 0x04 || p[4] != 2 || p[5] || p[6] || p[7]) continue;
    for (auto& e : ReadIndexPage(layout, file, page).entries)
      if (e.size() > 10 && e[5] == 0x7F) out.insert(e);  // two columns: the second starts after 5 bytes
  }
  return out;
}

ByteVector Pointer(jet::RowPointer p) {
  return {static_cast<uint8_t>(p.page >> 16), static_cast<uint8_t>(p.page >> 8), static_cast<uint8_t>(p.page), p.row};
}

jet::Result<jet::Catalog> CatalogOf(const std::string& path) {
  auto file = jet::Env::Default().Open(path, jet::OpenMode::kRead);
  if (!file.ok()) return file.status();
  std::vector<uint8_t> page0(4096);
  auto size = file.value()->Size();
  if (!size.ok()) return size.status();
  page0.resize(std::min<uint64_t>(4096, size.value()));
  JET_RETURN_IF_ERROR(file.value()->ReadAt(0, page0));
  auto header = jet::ParseHeader(page0);
  if (!header.ok()) return header.status();
  jet::Pager pager(*file.value(), header->format, 0, size.value(), nullptr);
  return jet::ReadCatalog(pager, header->code_page);
}

TEST(CatalogIndex, KeysMatchThoseOfRealFiles) {
  SKIP_WITHOUT_SHARED();
  int compared = 0;
  for (const char* folder : {"corpus/jet3", "corpus/jet4", "corpus/ace", "fixtures"}) {
    std::filesystem::path dir = SharedDir() / folder;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
      std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || name.find("password") != std::string::npos || name.find("agile") != std::string::npos)
        continue;
      auto bytes = ReadBytes(entry.path());
      // Access 2010 and later key text by a newer sort order; the builder
      // writes (and declares) the older one.
      if (bytes.size() < 4096 || bytes[0x14] >= 3) continue;
      const Layout& layout = LayoutFor(bytes[0x14] == 0 ? FormatVersion::kJet3 : bytes[0x14] == 1 ? FormatVersion::kJet4 : FormatVersion::kAce12);
      auto catalog = CatalogOf(entry.path().string());
      if (!catalog.ok()) continue;
      auto real = ParentIdNameEntries(layout, bytes);
      if (real.empty()) continue;
      for (const auto& object : catalog->objects) {
        auto text = TextIndexKey(layout, object.name);
        if (!text) continue;
        ByteVector expected = LongIndexKey(object.parent_id);
        expected.insert(expected.end(), text->begin(), text->end());
        ByteVector pointer = Pointer(object.location);
        expected.insert(expected.end(), pointer.begin(), pointer.end());
        EXPECT_TRUE(real.count(expected)) << entry.path() << ": " << object.name;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 500) << "too few names compared";
}

TEST(CatalogIndex, TextKeysByteForByte) {
  struct Case {
    FormatVersion format;
    const char* name;
    ByteVector key;  // empty: cannot be keyed
  };
  const Case cases[] = {
      {FormatVersion::kJet4, "Tables", {0x7F, 0x6D, 0x4A, 0x4C, 0x5E, 0x51, 0x6B, 0x01, 0x00}},
      {FormatVersion::kJet4, "tABLES", {0x7F, 0x6D, 0x4A, 0x4C, 0x5E, 0x51, 0x6B, 0x01, 0x00}},  // no case in the key
      {FormatVersion::kJet4, "T0450", {0x7F, 0x6D, 0x36, 0x3E, 0x40, 0x36, 0x01, 0x00}},
      {FormatVersion::kJet3, "Table1", {0x7F, 0x77, 0x60, 0x61, 0x6D, 0x66, 0x57, 0x00}},
      {FormatVersion::kJet4, "Žalec", {}},
      {FormatVersion::kJet4, "Moj_del", {}},
      {FormatVersion::kJet3, "Nastavitve", {}},  // no Jet3 file shows where v sorts
      {FormatVersion::kJet4, "", {}},
  };
  for (const auto& c : cases) {
    auto key = TextIndexKey(LayoutFor(c.format), c.name);
    EXPECT_EQ(key.value_or(ByteVector{}), c.key) << c.name;
  }
  EXPECT_EQ(LongIndexKey(2), (ByteVector{0x7F, 0x80, 0x00, 0x00, 0x02}));
  EXPECT_EQ(LongIndexKey(static_cast<int32_t>(0x80000009)), (ByteVector{0x7F, 0x00, 0x00, 0x00, 0x09}));
  EXPECT_EQ(LongIndexKey(-1), (ByteVector{0x7F, 0x7F, 0xFF, 0xFF, 0xFF}));
}

class BuiltIndex : public ::testing::TestWithParam<int> {};

TEST_P(BuiltIndex, ListsEveryCatalogRowInOrderUnderAConsistentTree) {
  TempDir dir;
  FrontEndOptions o;
  o.extra_links = GetParam();
  o.partner_after = GetParam() / 2;
  std::string path = (dir / "MLQ.mdb").string();
  auto built = WriteDatabase(FrontEnd(o), path);
  ASSERT_TRUE(built.ok()) << built.status().message();
  ASSERT_TRUE(built->catalog_indexed);
  const Layout& layout = LayoutFor(FormatVersion::kJet4);
  auto file = ReadBytes(path);
  auto catalog = CatalogOf(path);
  ASSERT_TRUE(catalog.ok()) << catalog.status().message();

  // The expected entries of each index, from the catalog as our reader sees it.
  std::set<ByteVector> by_name, by_id;
  for (const auto& object : catalog->objects) {
    ByteVector pointer = Pointer(object.location);
    ByteVector name = LongIndexKey(object.parent_id);
    auto text = TextIndexKey(layout, object.name);
    ASSERT_TRUE(text);
    name.insert(name.end(), text->begin(), text->end());
    name.insert(name.end(), pointer.begin(), pointer.end());
    by_name.insert(name);
    ByteVector id = LongIndexKey(object.id);
    id.insert(id.end(), pointer.begin(), pointer.end());
    by_id.insert(id);
  }

  // Walk every index tree of the catalog from the roots the definition names.
  std::vector<std::vector<ByteVector>> leaf_runs;
  std::map<uint32_t, IndexPageView> pages;
  for (uint32_t n = 0; n < file.size() / layout.page_size; ++n) {
    uint8_t type = file[uint64_t{n} * layout.page_size];
    if (type == 3 || type == 4) pages[n] = ReadIndexPage(layout, file, n);
  }
  for (const auto& [number, page] : pages) {
    if (page.parent != 2 || page.type != 4 || page.prev != 0) continue;
    std::vector<ByteVector> run;
    uint32_t at = number, prev = 0;
    while (at != 0) {
      const IndexPageView& leaf = pages.at(at);
      EXPECT_EQ(leaf.prev, prev);
      run.insert(run.end(), leaf.entries.begin(), leaf.entries.end());
      prev = at;
      at = leaf.next;
    }
    leaf_runs.push_back(run);
  }
  ASSERT_EQ(leaf_runs.size(), 2u) << "one chain of leaves per index";
  for (const auto& run : leaf_runs) {
    EXPECT_TRUE(std::is_sorted(run.begin(), run.end()));
    std::set<ByteVector> got(run.begin(), run.end());
    EXPECT_TRUE(got == by_name || got == by_id);
  }
  // Every node entry is the last entry of its child followed by the child.
  for (const auto& [number, page] : pages) {
    if (page.type != 3 || page.parent != 2) continue;
    for (const ByteVector& e : page.entries) {
      uint32_t child = static_cast<uint32_t>(e[e.size() - 4]) << 24 | e[e.size() - 3] << 16 | e[e.size() - 2] << 8 | e[e.size() - 1];
      ASSERT_TRUE(pages.count(child));
      ByteVector last = pages.at(child).entries.back();
      if (pages.at(child).type == 3) last.resize(last.size() - 4);
      EXPECT_EQ(ByteVector(e.begin(), e.end() - 4), last);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BuiltIndex, ::testing::Values(0, 600, 3000));

TEST(CatalogIndex, LeftOutWhenANameCannotBeKeyed) {
  TempDir dir;
  for (bool keyable : {true, false}) {
    DatabaseSpec described = BackEnd(FormatVersion::kJet4);
    if (!keyable) described.AddTable(Table{"Čebele", {MakeColumn("A", ColumnType::kLong)}, {}, {}});
    auto built = WriteDatabase(described, (dir / "b.mdb").string());
    ASSERT_TRUE(built.ok());
    EXPECT_EQ(built->catalog_indexed, keyable);
  }
}

}  // namespace
