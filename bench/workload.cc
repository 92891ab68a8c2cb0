#include "bench/workload.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "bench/child_process.h"

namespace bench {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> MkdbArgs(const std::string& bin_dir, const std::string& kind, const std::string& file) {
  return {bin_dir + "/vostrel-mkdb", kind, file};
}

void Mkdb(const std::vector<std::string>& argv) {
  ProcessOptions options;
  options.timeout_seconds = 1800;
  options.capture_stdout = true;
  const ProcessResult r = RunProcess(argv, options);
  if (!r.ok()) throw std::runtime_error(Describe(argv, r));
}

}  // namespace

uint64_t ParseSize(const std::string& text) {
  if (text.empty()) return 0;
  size_t used = 0;
  uint64_t value = 0;
  try {
    value = std::stoull(text, &used);
  } catch (const std::exception&) {
    return 0;
  }
  const std::string unit = text.substr(used);
  if (unit.empty()) return value;
  if (unit == "K") return value << 10;
  if (unit == "M") return value << 20;
  if (unit == "G") return value << 30;
  return 0;
}

std::string SizeLabel(uint64_t bytes) {
  if (bytes >= (1ull << 30) && bytes % (1ull << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
  if (bytes >= (1ull << 20) && bytes % (1ull << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (1ull << 10) && bytes % (1ull << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " B";
}

Workload::Workload(std::string bin_dir, std::string scratch)
    : bin_dir_(std::move(bin_dir)), scratch_(std::move(scratch)) {
  fs::create_directories(scratch_);
}

FrontEnd Workload::MakeFrontEnd(const std::string& label, uint64_t bytes, int extra_links) {
  std::vector<std::string> options;
  if (extra_links > 0) options = {"--tables", std::to_string(extra_links)};
  return Make(label, "fe-" + std::to_string(bytes) + "-" + std::to_string(extra_links), "MLQ.mdb", bytes, options);
}

FrontEnd Workload::MakeAceFrontEnd(const std::string& label, uint64_t bytes, const std::string& encryption) {
  std::vector<std::string> options = {"--format", "ace14"};
  if (!encryption.empty()) {
    const std::string password_file = scratch_ + "/password.txt";
    std::ofstream(password_file) << kPassword << "\n";
    options.insert(options.end(), {"--password-file", password_file, "--encryption", encryption});
  }
  return Make(label, "ace-" + std::to_string(bytes) + "-" + (encryption.empty() ? "plain" : encryption), "MLQ.accdb",
              bytes, options);
}

FrontEnd Workload::Make(const std::string& label, const std::string& folder, const std::string& name, uint64_t bytes,
                        const std::vector<std::string>& options) {
  FrontEnd fe;
  fe.label = label;
  fe.folder = scratch_ + "/" + folder;
  fe.file = fe.folder + "/" + name;
  // The options are in the folder's name: a file there was made with them.
  if (!fs::exists(fe.file)) {
    fs::create_directories(fe.folder);
    std::vector<std::string> argv = MkdbArgs(bin_dir_, "frontend", fe.file + ".part");
    if (bytes > 0) argv.insert(argv.end(), {"--size", std::to_string(bytes)});
    argv.insert(argv.end(), options.begin(), options.end());
    Mkdb(argv);
    FlushToDisk(fe.file + ".part");
    fs::rename(fe.file + ".part", fe.file);
  }
  FlushToDisk(fe.file);
  fe.bytes = fs::file_size(fe.file);
  return fe;
}

const std::vector<std::string>& Workload::BackEndFolders() {
  if (backends_.empty()) {
    for (const char* name : {"be-a", "be-b"}) {
      const std::string folder = scratch_ + "/" + name;
      const std::string file = folder + "/PARTNER.MDB";
      fs::create_directories(folder);
      if (!fs::exists(file)) Mkdb(MkdbArgs(bin_dir_, "backend", file));
      FlushToDisk(file);
      backends_.push_back(folder);
    }
  }
  return backends_;
}

void Workload::Remove(const FrontEnd& fe) { fs::remove_all(fe.folder); }

uint64_t Workload::FreeBytes() const {
  struct statvfs st {};
  if (statvfs(scratch_.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

void FlushToDisk(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  (void)fsync(fd);
  close(fd);
}

}  // namespace bench
