#include "tests/support/built_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"

namespace testing_support {

namespace fs = std::filesystem;
using dbbuilder::FrontEndOptions;

std::string UnicodeBackEndPath() { return "C:\\Podatki\\\xC4\x8C" "ebelarstvo \xC5\xA0u\xC5\xA1tar\\\xC5\xBD" "alec\\PARTNER.MDB"; }

std::string LongBackEndPath() {
  std::string path = "\\\\streznik\\skupno";
  char part[16];
  for (int i = 1; i <= 120; ++i) {
    std::snprintf(part, sizeof part, "\\mapa%03d", i);
    path += part;
  }
  return path + "\\PARTNER.MDB";
}

std::string Built(const dbbuilder::DatabaseSpec& described, const fs::path& path) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  auto built = dbbuilder::WriteDatabase(described, path.string());
  EXPECT_TRUE(built.ok()) << path << ": " << built.status().message();
  return path.string();
}

void BuildPair(const FrontEndOptions& options, const fs::path& front, const fs::path& back) {
  Built(dbbuilder::FrontEnd(options), front);
  Built(dbbuilder::BackEnd(options.format, options.code_page), back);
}

fs::path BuiltOnce(const std::string& name) {
  static TempDir built;
  const fs::path front = built / name / "MLQ.mdb";
  if (!fs::exists(front)) BuildFixture(name, built.path());
  return front;
}

fs::path BuildFixture(const std::string& name, const fs::path& dir) {
  const fs::path folder = dir / name;
  fs::create_directories(folder);
  // The same tables and links, in the same order, as the shared folder of
  // that name (its MANIFEST.tsv).
  FrontEndOptions options;
  const std::string old_path = dbbuilder::kOldBackEnd;
  bool local_partner = false;
  if (name == "v2007-basic") {
    options.format = dbbuilder::FormatVersion::kAce12;
  } else if (name == "v2003-big") {
    options.links = {{"Partner", old_path}};
    options.extra_links = 600;
    options.partner_after = 299;
  } else if (name == "v2003-local-partner") {
    options.links = {{"Artikli", old_path}};
    local_partner = true;
  } else if (name == "v2003-no-partner") {
    options.links = {{"Artikli", old_path}};
  } else if (name == "v2003-password-link") {
    options.links = {{"Partner", old_path}};
    options.partner_connect = "MS Access;PWD=geslo";
  } else if (name == "v2003-unicode-path") {
    options.links = {{"Partner", UnicodeBackEndPath()}, {"Artikli", UnicodeBackEndPath()}};
  } else if (name == "v2003-long-path") {
    options.links = {{"Partner", LongBackEndPath()}, {"Artikli", LongBackEndPath()}};
  } else if (name != "v2000-basic" && name != "v2003-basic") {
    ADD_FAILURE() << "no built fixture " << name;
  }
  dbbuilder::DatabaseSpec front = dbbuilder::FrontEnd(options);
  if (name == "v2003-big") {
    // The other links name archives of the back-end, each its own.
    for (dbbuilder::Object& o : front.objects) {
      auto* link = std::get_if<dbbuilder::Link>(&o);
      if (!link || link->name.size() != 5 || link->name[0] != 'T') continue;
      link->database = "\\\\streznik\\skupno\\baze\\arhiv" + std::to_string(std::stoi(link->name.substr(1))) +
                       "\\PARTNER.MDB";
      link->foreign_name = "Partner";
    }
  }
  if (local_partner) {
    // A local Partner of one row, right after Nastavitve.
    dbbuilder::Table partner = dbbuilder::PartnerTable();
    partner.rows.resize(1);
    auto after = std::find_if(front.objects.begin(), front.objects.end(), [](const dbbuilder::Object& o) {
      const auto* t = std::get_if<dbbuilder::Table>(&o);
      return t && t->name == "Nastavitve";
    });
    front.objects.insert(after == front.objects.end() ? after : after + 1, std::move(partner));
  }
  Built(front, folder / "MLQ.mdb");
  Built(dbbuilder::BackEnd(options.format), folder / "PARTNER.MDB");
  return folder;
}

}  // namespace testing_support
