#include "dbbuilder/page_file.h"

namespace dbbuilder {

jet::Result<std::unique_ptr<PageFile>> PageFile::Create(jet::Env& env, const std::string& path, uint32_t page_size) {
  auto file = env.Open(path, jet::OpenMode::kCreate);
  if (!file.ok()) return file.status();
  return std::unique_ptr<PageFile>(new PageFile(std::move(file.value()), page_size));
}

jet::Status PageFile::Write(uint32_t page, std::span<const uint8_t> bytes) {
  if (bytes.size() != page_size_ || page >= next_page_)
    return jet::Status::InvalidArgument("page " + std::to_string(page) + " written before it was allocated");
  bytes_written_ += bytes.size();
  return file_->WriteAt(uint64_t{page} * page_size_, bytes);
}

jet::Status PageFile::Finish() {
  JET_RETURN_IF_ERROR(file_->Truncate(uint64_t{next_page_} * page_size_));
  JET_RETURN_IF_ERROR(file_->Sync());
  return file_->Close();
}

}  // namespace dbbuilder
