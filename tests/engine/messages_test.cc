// The catalogue of the engine's descriptions: every error the engine raises
// has its Slovenian description, with the same number and the same names
// in it; without a Slovenian locale the description stays English.
#ifdef _WIN32
#include <fstream>
#include <map>

#include "platform/messages.h"
#include "tests/support/support.h"

namespace {

// The text of a quoted .po line: what is between the quotes, escapes undone.
std::string Unquoted(const std::string& line) {
  std::string text;
  for (size_t i = line.find('"') + 1; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      text += line[i];
    }
  }
  return text;
}

// msgid -> msgstr of a .po file, as msgfmt reads it (no plurals or contexts).
std::map<std::string, std::string> PoEntries(const std::filesystem::path& po) {
  std::map<std::string, std::string> entries;
  std::ifstream in(po);
  std::string line, id, str, *into = nullptr;
  auto flush = [&] {
    if (!id.empty()) entries[id] = str;
    id.clear(), str.clear(), into = nullptr;
  };
  while (std::getline(in, line)) {
    if (line.rfind("msgid ", 0) == 0) {
      flush();
      id = Unquoted(line), into = &id;
    } else if (line.rfind("msgstr ", 0) == 0) {
      str = Unquoted(line), into = &str;
    } else if (line.rfind("\"", 0) == 0 && into) {
      *into += Unquoted(line);
    }
  }
  flush();
  return entries;
}

// Windows has no gettext: the programs carry po/sl.po, compiled, and find
// every message of it as it stands there.
TEST(Messages, TheCarriedSlovenianCatalogueHoldsAllOfSlPo) {
  const std::map<std::string, std::string> po = PoEntries(testing_support::SourceDir() / "po/sl.po");
  ASSERT_GT(po.size(), 20u);
  for (const auto& [english, slovenian] : po) EXPECT_EQ(platform::SlovenianText(english), slovenian) << english;
  EXPECT_EQ(platform::SlovenianText("No such message."), std::nullopt);
  EXPECT_EQ(platform::SlovenianText(""), std::nullopt) << "the catalogue's header is no message";
}

}  // namespace
#else
#include <clocale>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "vostrel/error.h"
#include "engine/failures.h"
#include "platform/messages.h"
#include "tests/support/support.h"

namespace {

namespace fs = std::filesystem;

// Slovenian messages for the duration of a test, without needing the
// sl_SI locale generated: gettext takes LANGUAGE under any locale but "C".
class SlovenianMessages {
 public:
  SlovenianMessages() {
    const char* language = std::getenv("LANGUAGE");
    if (language) saved_language_ = language;
    saved_locale_ = std::setlocale(LC_MESSAGES, nullptr);
    ok_ = std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr;
    setenv("LANGUAGE", "sl", 1);
  }
  ~SlovenianMessages() {
    if (saved_language_) {
      setenv("LANGUAGE", saved_language_->c_str(), 1);
    } else {
      unsetenv("LANGUAGE");
    }
    std::setlocale(LC_MESSAGES, saved_locale_.c_str());
  }
  bool ok() const { return ok_; }

 private:
  std::optional<std::string> saved_language_;
  std::string saved_locale_;
  bool ok_ = false;
};

struct Raised {
  const char* what;
  std::function<engine::EngineError()> raise;
  std::vector<std::string> names;  // what the description must name in either language
  std::vector<std::string> english_parts = {};  // parts it takes in, which the Slovenian text must not show
};

std::vector<Raised> EveryError() {
  using namespace engine;
  const std::string f = "/srv/Čebelarstvo/PARTNER.MDB";
  return {
      {"CouldNotFindFile", [f] { return CouldNotFindFile(f); }, {f}},
      {"NotValidPath", [] { return NotValidPath("C:\\MLQ\\x.mdb"); }, {"C:\\MLQ\\x.mdb"}},
      {"UnrecognizedFormat", [f] { return UnrecognizedFormat(f); }, {f}},
      {"CannotOpenDatabase", [] { return CannotOpenDatabase("MLQ.mdb"); }, {"MLQ.mdb"}},
      {"NotValidPassword", [] { return NotValidPassword(); }, {}},
      {"UnsupportedEncryption", [f] { return UnsupportedEncryption(f, "standard AES encryption"); },
       {f, "standard AES encryption"}},
      {"CannotOpenFile", [f] { return CannotOpenFile(f); }, {f}},
      {"JournalNameTaken", [f] { return JournalNameTaken(f, f + ".vostrel-journal"); }, {f, f + ".vostrel-journal"}},
      {"SourceTooLarge", [] { return SourceTooLarge("/etc/vostrel/map", 4194304); }, {"/etc/vostrel/map", "4194304"}},
      {"ItemNotFound", [] { return ItemNotFound(); }, {}},
      {"ObjectInvalid", [] { return ObjectInvalid(); }, {}},
      {"DiskOrNetworkError", [] { return DiskOrNetworkError(); }, {}},
      {"ReadOnly", [] { return ReadOnly(); }, {}},
      {"FileInUse", [f] { return FileInUse(f); }, {f}},
      {"CouldNotFindObject", [] { return CouldNotFindObject("Partner"); }, {"'Partner'"}},
      {"OdbcConnectionFailed", [] { return OdbcConnectionFailed("Poslovno"); }, {"Poslovno"}},
      {"InstallableIsamNotFound", [] { return InstallableIsamNotFound(); }, {}},
      {"InvalidOperation", [] { return InvalidOperation(); }, {}},
      {"CannotStoreLink", [f] { return CannotStoreLink(f, "a reason"); }, {f, "a reason"}},
      {"InvalidArgument", [] { return InvalidArgument(); }, {}},
      {"LinkStringUnstorable", [] { return LinkStringUnstorable(); }, {}},
      {"LinkStringEmpty", [] { return LinkStringEmpty(); }, {}},
      {"LinkStringWithoutDatabase", [] { return LinkStringWithoutDatabase(); }, {"DATABASE="}},
      {"TableGivenTwice", [] { return TableGivenTwice("Partner"); }, {"'Partner'"}},
      {"ChangedMeanwhile", [] { return ChangedMeanwhile("Partner"); }, {"'Partner'"}},
      {"LinkStringNamesTwice", [] { return LinkStringNamesTwice(";DATABASE=a;DATABASE=b", "DATABASE"); },
       {";DATABASE=a;DATABASE=b", "DATABASE="}},
      {"LinkStringReadsBackOtherwise", [] { return LinkStringReadsBackOtherwise("x;DATABASE=a", ";DATABASE=a"); },
       {"'x;DATABASE=a'", "';DATABASE=a'"}},
      {"LockedBy",
       [] {
         return LockedBy({{"PC-ANA", "ana"}, {"RAC", "Bor"}});
       },
       {"'ana'", "'PC-ANA'", "'Bor'"},
       {"user", "machine", " and "}},
      {"BadMapEntry",
       [] {
         return BadMapEntry(Say("%1 line %2", {"/etc/vostrel/map", "3"}), "baze=/srv",
                            Say("'%1' is not a drive (Z:) or a share (\\\\server\\share), with or without folders", {"baze"}));
       },
       {"/etc/vostrel/map", "'baze=/srv'", "'baze'"},
       {"line", "is not a drive"}},
  };
}

TEST(Messages, EveryErrorHasItsSlovenianDescription) {
  const fs::path catalogue = testing_support::BinDir().parent_path() / "share/locale/sl/LC_MESSAGES/vostrel.mo";
  if (!fs::exists(catalogue)) GTEST_SKIP() << "no catalogue at " << catalogue << " (msgfmt missing?)";
  platform::BindMessageCatalog(platform::LocaleDirBeside(testing_support::BinDir().string()));

  std::set<int> numbers;
  std::map<std::string, engine::EngineError> english;
  for (const Raised& r : EveryError()) english.emplace(r.what, r.raise());
  for (const auto& [what, e] : english) EXPECT_EQ(e.localized(), e.description()) << what << ": English by default";

  SlovenianMessages slovenian;
  ASSERT_TRUE(slovenian.ok()) << "no C.UTF-8 locale";
  std::set<std::string> seen;
  for (const Raised& r : EveryError()) {
    SCOPED_TRACE(r.what);
    const engine::EngineError e = r.raise();
    const engine::EngineError& en = english.at(r.what);
    numbers.insert(e.number());
    EXPECT_EQ(e.number(), en.number());
    EXPECT_EQ(e.description(), en.description()) << "the English description stays";
    EXPECT_NE(e.localized(), e.description()) << "no Slovenian text for: " << e.description();
    EXPECT_TRUE(seen.insert(e.localized()).second) << "two errors read alike: " << e.localized();
    for (const std::string& name : r.names) {
      EXPECT_NE(e.description().find(name), std::string::npos) << e.description();
      EXPECT_NE(e.localized().find(name), std::string::npos) << e.localized();
    }
    for (const std::string& part : r.english_parts) {
      EXPECT_NE(en.description().find(part), std::string::npos) << en.description();
      EXPECT_EQ(e.localized().find(part), std::string::npos) << "English in: " << e.localized();
    }
  }
  for (engine::ErrorNumber n : engine::kErrorNumbers) EXPECT_TRUE(numbers.count(n)) << n << " is never raised here";
  EXPECT_EQ(numbers.size(), std::size(engine::kErrorNumbers)) << "a number raised that the list of numbers lacks";
  // Built from a fixed description, an error finds its translation too.
  EXPECT_EQ(engine::EngineError(engine::kErrReadOnly, engine::ReadOnly().description()).localized(),
            engine::ReadOnly().localized());
}

}  // namespace
#endif  // _WIN32
