// The file being built, as numbered pages. Pages are handed out in order and
// may be written in any order, so that a table's definition can be written
// after its rows have been streamed past it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "jet/env_names.h"

namespace dbbuilder {

class PageFile {
 public:
  // Creates (or truncates) the file.
  static jet::Result<std::unique_ptr<PageFile>> Create(jet::Env& env, const std::string& path, uint32_t page_size);

  uint32_t page_size() const { return page_size_; }
  // The next page number; the file grows to cover it when it is written.
  uint32_t Allocate() { return next_page_++; }
  // A run of count consecutive pages; returns the first.
  uint32_t AllocateRun(uint32_t count) {
    uint32_t first = next_page_;
    next_page_ += count;
    return first;
  }
  uint32_t page_count() const { return next_page_; }

  jet::Status Write(uint32_t page, std::span<const uint8_t> bytes);
  // Sizes the file to exactly page_count() pages, makes it durable and
  // closes it; nothing is written after.
  jet::Status Finish();
  uint64_t bytes_written() const { return bytes_written_; }

 private:
  PageFile(std::unique_ptr<jet::File> file, uint32_t page_size) : file_(std::move(file)), page_size_(page_size) {}
  std::unique_ptr<jet::File> file_;
  uint32_t page_size_;
  uint32_t next_page_ = 0;
  uint64_t bytes_written_ = 0;
};

}  // namespace dbbuilder
