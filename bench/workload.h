// The files the benchmarks run on, made by vostrel-mkdb in a scratch folder:
// front-ends "MLQ.mdb" each in a folder of its own (the window opens
// MLQ.mdb from its working folder), and two back-ends to relink between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The password of the benchmarks' encrypted front-ends.
inline constexpr const char* kPassword = "geslo";

struct FrontEnd {
  std::string label;   // "1 MiB", "10 links"
  std::string folder;
  std::string file;    // folder + "/MLQ.mdb"
  uint64_t bytes = 0;  // the file's size as made
};

// "1M", "100M", "1G" (K, M, G: powers of 1024) to bytes; 0 when malformed.
uint64_t ParseSize(const std::string& text);
// 1048576 -> "1 MiB".
std::string SizeLabel(uint64_t bytes);

class Workload {
 public:
  Workload(std::string bin_dir, std::string scratch);

  // A front-end whose local table holds about `bytes` (none when 0) and
  // whose catalog has `extra_links` links besides Partner and Artikli
  // (Partner listed last). Reuses a file made before with the same options.
  // Throws std::runtime_error when vostrel-mkdb fails.
  FrontEnd MakeFrontEnd(const std::string& label, uint64_t bytes, int extra_links);
  // An ACE 2010 front-end of about `bytes`, encrypted as `encryption` says
  // ("agile", "rc4") with kPassword, or plain ("").
  FrontEnd MakeAceFrontEnd(const std::string& label, uint64_t bytes, const std::string& encryption);

  // The two back-end folders relinks alternate between; each holds PARTNER.MDB.
  const std::vector<std::string>& BackEndFolders();

  // Removes a front-end's folder.
  void Remove(const FrontEnd& fe);

  // Bytes free where the scratch folder is.
  uint64_t FreeBytes() const;

  const std::string& bin_dir() const { return bin_dir_; }
  const std::string& scratch() const { return scratch_; }

 private:
  FrontEnd Make(const std::string& label, const std::string& folder, const std::string& name, uint64_t bytes,
                const std::vector<std::string>& options);
  std::string bin_dir_;
  std::string scratch_;
  std::vector<std::string> backends_;
};

// Writes a file's dirty pages to the disk, so that a later measured sync
// does not pay for the writing of the whole file.
void FlushToDisk(const std::string& path);

}  // namespace bench
