#include "tests/engine/manifest.h"

#include <fstream>
#include <sstream>

namespace engine_test {

std::map<std::string, ManifestFile> ReadManifest(const std::filesystem::path& folder) {
  std::map<std::string, ManifestFile> out;
  std::ifstream in(folder / "MANIFEST.tsv");
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string field; std::getline(ss, field, '\t');) f.push_back(field);
    if (!line.empty() && line.back() == '\t') f.push_back("");
    if (f.size() < 3) continue;
    ManifestFile& file = out[f[0]];
    if (f[1] == "format") file.format = f[2];
    if (f[1] == "password") file.password = f[2];
    if (f[1] == "object" && f.size() >= 9)
      file.objects.push_back({f[2], std::stoi(f[3]), f[4], f[5], f[6], f[7], f[8]});
  }
  return out;
}

bool HasDatabasePassword(const std::string& relative_path, const ManifestFile& m) {
  return !m.password.empty() || relative_path.find("with-password") != std::string::npos;
}

}  // namespace engine_test
