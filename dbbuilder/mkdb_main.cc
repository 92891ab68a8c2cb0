// vostrel-mkdb: builds front-end and back-end database files for tests, the
// demo and the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "platform/system_text.h"
#include "platform/version.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  vostrel-mkdb frontend OUT.mdb [options]   a front-end: Nastavitve and links\n"
    "  vostrel-mkdb backend OUT.mdb [options]    a back-end: Partner and Artikli\n"
    "\n"
    "Options:\n"
    "  --format F          jet3, jet4 (default), ace12 or ace14\n"
    "  --code-page N       Jet3 text: 1250 (default) or 1252\n"
    "  --link NAME=PATH    link NAME to the table NAME in the file PATH; repeatable\n"
    "                      (default: Partner and Artikli to C:\\MLQ\\PARTNER.MDB)\n"
    "  --connect TEXT      the Connect column of Partner, e.g. 'MS Access;PWD=geslo'\n"
    "  --tables N          N more links T0001..TNNNN, filling many catalog pages\n"
    "  --partner-after N   list Partner after link TNNNN\n"
    "  --fill-page         leave no free space on Partner's catalog page\n"
    "  --out-of-row        store link paths as long values, outside their rows\n"
    "  --desktop-lv        give links an Lv value as the desktop program does\n"
    "  --size S            add a local table Podatki of about S bytes (K, M, G)\n"
    "  --password-file F   the database password, the first line of F: jet3, jet4\n"
    "                      keep it in the header; ace12/ace14 are encrypted with it\n"
    "  --encryption K      ace12/ace14 with --password-file: agile (default,\n"
    "                      AES-256/SHA-512) or rc4 (RC4 CryptoAPI)\n"
    "  --help              this text\n"
    "  --version           the version, and the source it was built from\n";

bool ParseSize(const std::string& text, uint64_t* out) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || v < 0) return false;
  std::string unit(end);
  double scale = 1;
  if (unit == "K" || unit == "k") scale = 1024.0;
  else if (unit == "M" || unit == "m") scale = 1024.0 * 1024;
  else if (unit == "G" || unit == "g") scale = 1024.0 * 1024 * 1024;
  else if (!unit.empty()) return false;
  *out = static_cast<uint64_t>(v * scale);
  return true;
}

int Usage(const std::string& problem) {
  std::cerr << "vostrel-mkdb: " << problem << "\n\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--version") {
      std::cout << platform::VersionText("vostrel-mkdb");
      return 0;
    }
  }
  if (args.size() < 2) return Usage("say what to build and where");
  const std::string kind = args[0];
  const std::string out = args[1];
  if (kind != "frontend" && kind != "backend") return Usage("unknown kind: " + kind);

  dbbuilder::FrontEndOptions fe;
  bool links_given = false;
  std::string password;
  bool password_given = false;
  std::optional<jet::AceEncryptionKind> encryption_kind;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) return false;
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--format") {
      if (!value(&v) || !dbbuilder::ParseFormat(v, &fe.format)) return Usage("bad --format");
    } else if (a == "--code-page") {
      if (!value(&v)) return Usage("bad --code-page");
      fe.code_page = std::atoi(v.c_str());
      if (fe.code_page != 1250 && fe.code_page != 1252) return Usage("--code-page is 1250 or 1252");
    } else if (a == "--link") {
      if (!value(&v) || v.find('=') == std::string::npos || v.front() == '=') return Usage("--link wants NAME=PATH");
      if (!links_given) fe.links.clear();
      links_given = true;
      fe.links.push_back({v.substr(0, v.find('=')), v.substr(v.find('=') + 1)});
    } else if (a == "--connect") {
      if (!value(&v)) return Usage("bad --connect");
      fe.partner_connect = v;
    } else if (a == "--tables") {
      if (!value(&v) || std::atoi(v.c_str()) < 0) return Usage("bad --tables");
      fe.extra_links = std::atoi(v.c_str());
    } else if (a == "--partner-after") {
      if (!value(&v)) return Usage("bad --partner-after");
      fe.partner_after = std::atoi(v.c_str());
    } else if (a == "--fill-page") {
      fe.partner_fills_page = true;
    } else if (a == "--out-of-row") {
      fe.database_out_of_row = true;
    } else if (a == "--desktop-lv") {
      fe.desktop_lv = true;
    } else if (a == "--password-file") {
      std::ifstream in;
      if (value(&v)) in.open(v, std::ios::binary);
      if (!in || !std::getline(in, password)) return Usage("--password-file wants a readable file");
      if (!password.empty() && password.back() == '\r') password.pop_back();
      password_given = true;
    } else if (a == "--size") {
      if (!value(&v) || !ParseSize(v, &fe.local_table_bytes)) return Usage("bad --size");
    } else if (a == "--encryption") {
      if (!value(&v) || (v != "agile" && v != "rc4")) return Usage("--encryption is agile or rc4");
      encryption_kind = v == "agile" ? jet::AceEncryptionKind::kAgile : jet::AceEncryptionKind::kRc4CryptoApi;
    } else {
      return Usage("unknown option: " + a);
    }
  }

  const bool ace = dbbuilder::LayoutFor(fe.format).family == jet::Family::kAce;
  if (encryption_kind && (!ace || !password_given)) return Usage("--encryption wants ace12 or ace14 and --password-file");
  if (ace && password_given)
    fe.encryption = dbbuilder::Encryption{password, encryption_kind.value_or(jet::AceEncryptionKind::kAgile)};
  dbbuilder::DatabaseSpec described =
      kind == "frontend" ? dbbuilder::FrontEnd(fe) : dbbuilder::BackEnd(fe.format, fe.code_page);
  if (!ace) described.password = password;
  described.encryption = fe.encryption;
  auto report = dbbuilder::WriteDatabase(described, out);
  if (!report.ok()) {
    std::cerr << "vostrel-mkdb: " << out << ": " << report.status().message() << "\n";
    return 1;
  }
  std::cout << out << ": " << dbbuilder::FormatName(fe.format) << ", " << report->page_count << " pages of "
            << report->page_size << " bytes\n";
  return 0;
}
