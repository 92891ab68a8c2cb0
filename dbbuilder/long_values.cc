#include "dbbuilder/long_values.h"

#include <algorithm>
#include "jet/format.h"
#include "jet/long_value_writer.h"

namespace dbbuilder {

ByteVector InlineLongValue(std::span<const uint8_t> payload) { return jet::InlineLongValue(payload); }

LongValueWriter::LongValueWriter(PageFile& file, const Layout& layout)
    : file_(file), layout_(layout), packer_(file, layout, kLongValueOwner) {}

jet::Result<ByteVector> LongValueWriter::Store(std::span<const uint8_t> payload, LongValuePlacement placement) {
  if (payload.size() >= jet::kLongValueSingle) return jet::Status::InvalidArgument("a long value of 1 GiB or more");
  if (placement == LongValuePlacement::kAuto || placement == LongValuePlacement::kInline)
    placement = payload.size() <= layout_.MaxRow() ? LongValuePlacement::kOnePage : LongValuePlacement::kPageChain;
  const uint32_t length = static_cast<uint32_t>(payload.size());

  if (placement == LongValuePlacement::kOnePage) {
    if (payload.size() > layout_.MaxRow()) return jet::Status::InvalidArgument("a long value too large for one page");
    auto where = packer_.Add(payload);
    if (!where.ok()) return where.status();
    return jet::LongValueField(length | jet::kLongValueSingle, jet::RowPointer::Decode(where.value()));
  }

  // A chain: one piece per page, each piece led by the pointer of the next.
  const size_t piece = jet::LongValueChainPiece(layout_);
  const size_t count = std::max<size_t>(1, (payload.size() + piece - 1) / piece);
  const uint32_t first = file_.AllocateRun(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    size_t from = i * piece;
    size_t take = std::min(piece, payload.size() - from);
    const jet::RowPointer next = i + 1 < count ? jet::RowPointer{first + static_cast<uint32_t>(i) + 1, 0} : jet::RowPointer{};
    auto page = DataPage(layout_, kLongValueOwner, {jet::LongValueChainRow(next, payload.subspan(from, take))});
    if (!page.ok()) return page.status();
    JET_RETURN_IF_ERROR(file_.Write(first + static_cast<uint32_t>(i), *page));
    chain_pages_.push_back(first + static_cast<uint32_t>(i));
  }
  return jet::LongValueField(length, jet::RowPointer{first, 0});
}

jet::Status LongValueWriter::Finish() { return packer_.ClosePage(); }

std::vector<uint32_t> LongValueWriter::pages() const {
  std::vector<uint32_t> all = packer_.pages();
  all.insert(all.end(), chain_pages_.begin(), chain_pages_.end());
  std::sort(all.begin(), all.end());
  return all;
}

}  // namespace dbbuilder
