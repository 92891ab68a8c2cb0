// The databases the suite, the demo and the benchmarks build: a front-end
// "MLQ.mdb" with the local table Nastavitve and links to a back-end, the
// back-end "PARTNER.MDB" with Partner and Artikli, and the variants no shared
// file has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dbbuilder/schema.h"

namespace dbbuilder {

// The back-end path the fixtures' links name.
inline constexpr const char* kOldBackEnd = "C:\\MLQ\\PARTNER.MDB";

struct FrontEndOptions {
  FormatVersion format = FormatVersion::kJet4;
  int code_page = 1250;  // Jet3 only
  // Links in catalog order: the table's name, and the back-end path.
  struct LinkTo {
    std::string name;
    std::string database;
  };
  std::vector<LinkTo> links = {{"Partner", kOldBackEnd}, {"Artikli", kOldBackEnd}};
  std::optional<std::string> partner_connect;  // e.g. "MS Access;PWD=geslo"
  // More links T0001, T0002, ... to the same back-end, listed before the
  // links above except that "Partner" comes after the first partner_after.
  int extra_links = 0;
  int partner_after = -1;
  bool partner_fills_page = false;       // Partner's catalog page left with no free space
  bool database_out_of_row = false;      // every link's path stored as a long value
  bool desktop_lv = false;               // links carry an Lv value as the desktop program writes
  uint64_t local_table_bytes = 0;        // a local table "Podatki" of about this size
  std::optional<Encryption> encryption;  // ACE: encrypted with a password
};

DatabaseSpec FrontEnd(const FrontEndOptions& options);

// A link reached through ODBC, with its Connect text.
Link OdbcLink(std::string name, std::string connect, std::string foreign_name);
DatabaseSpec BackEnd(FormatVersion format, int code_page = 1250);

// The shared fixtures' tables. Jet3 text in Windows-1252 has no "č", "ć" or
// "đ": for such a database (fit_code_page 1252) they lose their accents.
Table NastavitveTable(int fit_code_page = 0);
Table PartnerTable(int fit_code_page = 0);
Table ArtikliTable(int fit_code_page = 0);

// A stand-in for the Lv value the desktop program stores with a link: a
// cached copy of the remote definition, in a form nobody has documented, that
// names the back-end path again (as UCS-2). Enough for tests that an engine
// keeps or drops it; not the desktop program's real content.
ByteVector DesktopStyleLv(const std::string& database, const std::string& foreign_name);

// A local table of about `bytes` bytes, streamed: rows are made as written.
Table SizedTable(const std::string& name, FormatVersion format, uint64_t bytes);

}  // namespace dbbuilder
