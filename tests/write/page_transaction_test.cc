// The groups a change's page writes go out in: every add, then every turn,
// then every release, each page once per group, or each step alone where a
// page's steps come in another order.
#include "jet/page_transaction.h"

#include <optional>

#include "tests/support/support.h"
#include "tests/write/param_name.h"

namespace {

using namespace testing_support;
using Step = jet::PageTransaction::Step;

constexpr uint32_t kPageSize = 4096;

// A page written by the step of this mark (its every byte).
struct Written {
  uint32_t page;
  uint8_t mark;
  friend bool operator==(const Written&, const Written&) = default;
};

struct GroupsCase {
  std::string name;
  // Each step's kind and pages, written with the step's mark (1, 2, ...);
  // a step without a kind is written after the last EndStep.
  std::vector<std::pair<std::optional<Step>, std::vector<uint32_t>>> steps;
  std::vector<std::vector<Written>> groups;  // as they go out, each synced before the next
};

void PrintTo(const GroupsCase& c, std::ostream* os) { *os << c.name; }

class Groups : public ::testing::TestWithParam<GroupsCase> {};

TEST_P(Groups, GoOutAsTheirStepsAllow) {
  const GroupsCase& c = GetParam();
  TempDir dir;
  const fs::path path = dir / "pages.mdb";
  WriteBytes(path, std::vector<uint8_t>(8 * kPageSize, 0));
  auto file = jet::Env::Default().Open(path.string(), jet::OpenMode::kReadWrite);
  ASSERT_TRUE(file.ok());
  jet::Pager pager(**file, *jet::FormatForVersion(1), 0, 8 * kPageSize, nullptr);
  jet::PageTransaction tx(pager);
  uint8_t mark = 0;
  for (const auto& [kind, pages] : c.steps) {
    ++mark;
    for (uint32_t page : pages) ASSERT_TRUE(tx.Write(page, std::vector<uint8_t>(kPageSize, mark)).ok());
    if (kind) tx.EndStep(*kind);
  }
  std::vector<std::vector<Written>> groups(1);
  const auto images = tx.Images();
  for (const jet::PageImage& p : images) {
    groups.back().push_back({p.number, p.bytes.front()});
    if (p.sync_after) groups.emplace_back();
  }
  EXPECT_FALSE(images.back().sync_after) << "the commit syncs the last group itself";
  EXPECT_EQ(groups, c.groups);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Groups,
    ::testing::Values(
        GroupsCase{"adds turns and releases of many rows in three groups",
                   {{Step::kAdds, {5}}, {Step::kTurns, {3}}, {Step::kAdds, {6, 5}}, {Step::kTurns, {4, 3}},
                    {Step::kReleases, {6}}},
                   {{{5, 3}, {6, 3}}, {{3, 4}, {4, 4}}, {{6, 5}}}},
        GroupsCase{"a page turned before a later add goes step by step",
                   {{Step::kAdds, {5}}, {Step::kTurns, {3}}, {Step::kAdds, {3}}, {Step::kTurns, {4}}},
                   {{{5, 1}}, {{3, 2}}, {{3, 3}}, {{4, 4}}}},
        GroupsCase{"pages written after the last step are released last",
                   {{Step::kReleases, {2}}, {Step::kAdds, {5}}, {std::nullopt, {2, 3}}},
                   {{{5, 2}}, {{2, 3}, {3, 3}}}},
        GroupsCase{"a change of one kind is one group", {{Step::kTurns, {4}}, {Step::kTurns, {2, 4}}},
                   {{{2, 2}, {4, 2}}}}),
    write_test::ParamName());

}  // namespace
