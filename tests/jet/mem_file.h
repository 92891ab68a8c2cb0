// An in-memory database file built page by page, for tests of the parsers
// on structures no real file has (loops, pointers past the end).
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "jet/bytes.h"
#include "jet/env_names.h"
#include "jet/format.h"
#include "jet/pager.h"

namespace jet_test {

class MemFile final : public jet::File {
 public:
  explicit MemFile(std::vector<uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}
  jet::Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (!jet::InBounds(bytes_.size(), offset, out.size())) return jet::Status::Corrupt("read past the end");
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return jet::Status::Ok();
  }
  jet::Status WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    if (bytes_.size() < offset + data.size()) bytes_.resize(offset + data.size());
    std::memcpy(bytes_.data() + offset, data.data(), data.size());
    return jet::Status::Ok();
  }
  jet::Status Sync() override { return jet::Status::Ok(); }
  jet::Status Truncate(uint64_t size) override {
    bytes_.resize(size);
    return jet::Status::Ok();
  }
  jet::Result<uint64_t> Size() override { return static_cast<uint64_t>(bytes_.size()); }
  jet::Status Lock() override { return jet::Status::Ok(); }
  jet::Status Unlock() override { return jet::Status::Ok(); }
  jet::Result<jet::FileInfo> Stat() override {
    jet::FileInfo info;
    info.kind = jet::FileKind::kFile;
    info.size = bytes_.size();
    return info;
  }
  jet::Result<std::optional<jet::HeldLock>> FindLock() override { return std::optional<jet::HeldLock>(); }
  jet::Status Close() override { return jet::Status::Ok(); }
  jet::Status LockRange(uint64_t, uint64_t, bool) override { return jet::Status::Ok(); }
  jet::Status UnlockRange(uint64_t, uint64_t) override { return jet::Status::Ok(); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A file of `pages` zeroed pages and a pager over it.
struct MemDb {
  jet::Format format;
  MemFile file;
  jet::PageCounters counters;
  std::unique_ptr<jet::Pager> pager;

  MemDb(uint8_t version, uint32_t pages) : format(*jet::FormatForVersion(version)) {
    file.bytes().assign(static_cast<size_t>(pages) * format.page_size, 0);
    pager = std::make_unique<jet::Pager>(file, format, 0, file.bytes().size(), &counters, 0);
  }
  uint8_t* page(uint32_t n) { return file.bytes().data() + static_cast<size_t>(n) * format.page_size; }

  // Makes page n a data page of table `owner` holding `rows`, packed from
  // the page's end; flags are or-ed into each slot.
  void PutDataPage(uint32_t n, uint32_t owner, const std::vector<std::vector<uint8_t>>& rows,
                   const std::vector<uint16_t>& flags = {}) {
    uint8_t* p = page(n);
    std::memset(p, 0, format.page_size);
    p[0] = jet::kPageData;
    p[1] = 1;
    jet::StoreU32(p + format.data_tdef_page, owner);
    jet::StoreU16(p + format.data_row_count, static_cast<uint16_t>(rows.size()));
    size_t end = format.page_size;
    for (size_t i = 0; i < rows.size(); ++i) {
      end -= rows[i].size();
      std::memcpy(p + end, rows[i].data(), rows[i].size());
      uint16_t slot = static_cast<uint16_t>(end) | (i < flags.size() ? flags[i] : 0);
      jet::StoreU16(p + format.data_row_offsets + 2 * i, slot);
    }
  }
};

inline std::vector<uint8_t> U32Bytes(uint32_t v) {
  std::vector<uint8_t> b(4);
  jet::StoreU32(b.data(), v);
  return b;
}

}  // namespace jet_test
