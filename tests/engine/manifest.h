// The MANIFEST.tsv files of ../shared/corpus and ../shared/fixtures: what an
// independent reader saw in each file.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace engine_test {

struct ManifestObject {
  std::string name;
  int type = 0;
  std::string scope;  // "system" or "user"
  std::string database, connect, foreign_name;  // empty where null
  std::string rows;                              // a local table's row count
};

struct ManifestFile {
  std::string format;
  std::string password;  // set when the reader needed one
  std::vector<ManifestObject> objects;
};

// Keyed by the file's path relative to the folder.
std::map<std::string, ManifestFile> ReadManifest(const std::filesystem::path& folder);

// The files the corpus README names as protected by a database password:
// the engine opens them as the program does, without one, and must refuse.
bool HasDatabasePassword(const std::string& relative_path, const ManifestFile& m);

}  // namespace engine_test
