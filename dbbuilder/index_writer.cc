#include "dbbuilder/index_writer.h"

#include <algorithm>

#include "dbbuilder/row_packer.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/text.h"
#include "jet/usage_map.h"

namespace dbbuilder {

namespace {

// Sort weights of the "General" order, as real files show them: Jet4/ACE and
// Jet3 weigh letters differently. 0 marks a letter not seen in any file.
constexpr uint8_t kJet4Letters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
                                      0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x00, 0x75, 0x76, 0x00};
constexpr uint8_t kJet3Letters[26] = {0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x00, 0x6C, 0x6D, 0x6F,
                                      0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x00, 0x00, 0x00, 0x7D, 0x00};

// Jet3 keys its text by weights of its own.
bool Jet3Weights(const Layout& layout) { return layout.family == jet::Family::kJet3; }

uint8_t Weight(const Layout& layout, char32_t c) {
  if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
  if (c >= 'a' && c <= 'z') return (Jet3Weights(layout) ? kJet3Letters : kJet4Letters)[c - 'a'];
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(Jet3Weights(layout) ? 0x56 + (c - '0') : 0x36 + 2 * (c - '0'));
  return 0;
}

void PutBig32(ByteWriter& w, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) w.U8(static_cast<uint8_t>(v >> shift));
}

}  // namespace

ByteVector LongIndexKey(int32_t value) {
  ByteWriter w;
  w.U8(jet::kIndexKeyAscending);
  PutBig32(w, static_cast<uint32_t>(value) ^ 0x80000000u);
  return w.Take();
}

std::optional<ByteVector> TextIndexKey(const Layout& layout, std::string_view utf8) {
  auto chars = jet::DecodeUtf8(utf8);
  if (!chars.ok() || chars->empty()) return std::nullopt;
  ByteWriter w;
  w.U8(jet::kIndexKeyAscending);
  for (char32_t c : chars.value()) {
    uint8_t weight = Weight(layout, c);
    if (weight == 0) return std::nullopt;
    w.U8(weight);
  }
  // Jet4 ends the weights with 0x01 and then the (here empty) accent
  // section; Jet3 just ends.
  if (!Jet3Weights(layout)) w.U8(0x01);
  w.U8(0x00);
  return w.Take();
}

std::optional<ByteVector> IndexKeyOf(const Layout& layout, const TablePlan& plan, const Row& row,
                                const std::vector<uint16_t>& columns) {
  ByteVector key;
  for (uint16_t c : columns) {
    if (c >= plan.columns.size() || c >= row.size()) return std::nullopt;
    const Value& v = row[c];
    if (plan.columns[c].column.type == ColumnType::kLong && std::holds_alternative<int64_t>(v)) {
      ByteVector k = LongIndexKey(static_cast<int32_t>(std::get<int64_t>(v)));
      key.insert(key.end(), k.begin(), k.end());
    } else if (plan.columns[c].column.type == ColumnType::kText && std::holds_alternative<std::string>(v)) {
      auto k = TextIndexKey(layout, std::get<std::string>(v));
      if (!k) return std::nullopt;
      key.insert(key.end(), k->begin(), k->end());
    } else {
      return std::nullopt;
    }
  }
  return key;
}

namespace {

struct PageContent {
  std::vector<ByteVector> entries;
  size_t bytes = 0;
};

// Lays entries into pages of one level, each page as full as it goes.
std::vector<PageContent> Fill(const Layout& layout, const std::vector<ByteVector>& entries) {
  const size_t room = layout.page_size - layout.index_first_entry;
  std::vector<PageContent> pages(1);
  for (const ByteVector& e : entries) {
    if (pages.back().bytes + e.size() > room) pages.emplace_back();
    pages.back().entries.push_back(e);
    pages.back().bytes += e.size();
  }
  return pages;
}

ByteVector IndexPage(const Layout& layout, uint8_t type, uint32_t table_page, uint32_t prev, uint32_t next,
                const PageContent& content) {
  ByteVector page = BlankPage(layout, type);
  Put32(page, layout.data_tdef_page, table_page);
  Put32(page, layout.index_prev_page, prev);
  Put32(page, layout.index_next_page, next);
  Put32(page, layout.index_tail_page, 0);
  Put16(page, layout.index_prefix_length, 0);
  // Each entry's start but the first is marked in the bitmap, and so is the
  // end of the last.
  const std::span<uint8_t> starts(page.data() + layout.index_bitmap, layout.index_first_entry - layout.index_bitmap);
  auto mark = [&](size_t at) { jet::SetUsageBit(starts, at - layout.index_first_entry, true); };
  size_t at = layout.index_first_entry;
  for (const ByteVector& e : content.entries) {
    if (at != layout.index_first_entry) mark(at);
    std::copy(e.begin(), e.end(), page.begin() + static_cast<std::ptrdiff_t>(at));
    at += e.size();
  }
  if (!content.entries.empty()) mark(at);
  Put16(page, jet::kPageFreeSpace, static_cast<uint16_t>(layout.page_size - at));
  return page;
}

ByteVector EntryBytes(const IndexEntry& e) {
  ByteWriter w;
  w.Append(e.key);
  w.U8(static_cast<uint8_t>(e.row >> 24));
  w.U8(static_cast<uint8_t>(e.row >> 16));
  w.U8(static_cast<uint8_t>(e.row >> 8));
  w.U8(static_cast<uint8_t>(e.row));
  return w.Take();
}

}  // namespace

jet::Result<WrittenIndex> WriteIndex(PageFile& file, const Layout& layout, uint32_t table_page,
                                     std::vector<IndexEntry> entries) {
  std::vector<ByteVector> level;
  for (const auto& e : entries) level.push_back(EntryBytes(e));
  std::sort(level.begin(), level.end());
  for (size_t i = 1; i < level.size(); ++i)
    if (level[i] == level[i - 1]) return jet::Status::InvalidArgument("two index entries are the same");

  WrittenIndex written;
  uint8_t type = jet::kPageIndexLeaf;
  for (;;) {
    std::vector<PageContent> pages = Fill(layout, level);
    const uint32_t first = file.AllocateRun(static_cast<uint32_t>(pages.size()));
    std::vector<ByteVector> parents;
    for (size_t i = 0; i < pages.size(); ++i) {
      uint32_t number = first + static_cast<uint32_t>(i);
      uint32_t prev = i > 0 ? number - 1 : 0;
      uint32_t next = i + 1 < pages.size() ? number + 1 : 0;
      JET_RETURN_IF_ERROR(file.Write(number, IndexPage(layout, type, table_page, prev, next, pages[i])));
      written.pages.push_back(number);
      if (!pages[i].entries.empty()) {
        // A node entry is the last key (and row pointer) under the child, then
        // the child's page number.
        ByteVector last = pages[i].entries.back();
        if (type == jet::kPageIndexNode) last.resize(last.size() - 4);
        ByteWriter up;
        up.Append(last);
        PutBig32(up, number);
        parents.push_back(up.Take());
      }
    }
    if (pages.size() == 1) {
      written.root = first;
      break;
    }
    level = std::move(parents);
    type = jet::kPageIndexNode;
  }
  std::sort(written.pages.begin(), written.pages.end());
  return written;
}

}  // namespace dbbuilder
