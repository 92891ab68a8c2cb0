// The small parts the commands stand on: path comparison, arguments, JSON.
#include <gtest/gtest.h>

#include "cli/args.h"
#include "cli/json.h"
#include "cli/path_compare.h"

namespace {

// As Windows compares the places: case, "\" or "/", repeated separators,
// "." and ".." are forgiven; a trailing space or another letter is not.
TEST(SamePath, ComparesThePlacesAsWindowsDoes) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"C:\\MLQ\\PARTNER.MDB", "c:/mlq/partner.mdb", true},
      {"C:\\MLQ\\PARTNER.MDB", "C:\\MLQ/Partner.mdb", true},
      {"\\\\server\\share\\P.MDB", "//SERVER/share/p.mdb", true},
      {"C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB", "c:/podatki/čebelarstvo šuštar/žalec/partner.mdb", true},
      {"č š ž Č Š Ž", "Č Š Ž č š ž", true},
      {"Ćevapčići Đ", "ćevapčići đ", true},
      {"ÄÖÜ", "äöü", true},
      // Letters that only look alike, or differ by an accent, are other names.
      {"C:\\Cebelarstvo\\P.MDB", "C:\\Čebelarstvo\\P.MDB", false},
      {"šola", "sola", false},
      {"C:\\MLQ\\PARTNER.MDB", "C:\\MLQ\\PARTNER.MDB ", false},
      {"C:\\MLQ\\PARTNER.MDB", "C:\\MLQ\\PARTNER.MD", false},
      {"C:\\MLQ\\PARTNER.MDB", "D:\\MLQ\\PARTNER.MDB", false},
      {"C:\\MLQ\\\\PARTNER.MDB", "C:\\MLQ\\PARTNER.MDB", true},
      {"C:\\a\\..\\MLQ\\P.MDB", "C:\\MLQ\\P.MDB", true},
      {"C:\\a\\..\\MLQ\\P.MDB", "C:\\a\\MLQ\\P.MDB", false},
      {"\\\\server\\share\\P.MDB", "\\\\server\\share2\\P.MDB", false},
      {"", "", true},
      {"", "\\", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cli::SamePath(c.a, c.b), c.same) << c.a << " | " << c.b;
    EXPECT_EQ(cli::SamePath(c.b, c.a), c.same) << c.b << " | " << c.a;
  }
}

// A folder move keeps what follows the folder; a sibling whose name merely
// starts alike is not beneath it.
TEST(MovedPath, WholeComponentsBeneathTheFolder) {
  struct Case {
    const char* path;
    const char* from;
    const char* to;
    std::optional<std::string> moved;
  };
  const Case cases[] = {
      {"\\\\stari\\baze\\Čebelarstvo\\ZALOGA.MDB", "\\\\STARI\\Baze", "\\\\streznik\\baze",
       "\\\\streznik\\baze\\Čebelarstvo\\ZALOGA.MDB"},
      {"\\\\stari\\baze\\PARTNER.MDB", "//stari/baze/", "\\\\streznik\\baze\\", "\\\\streznik\\baze\\PARTNER.MDB"},
      {"\\\\stari\\baze2\\X.MDB", "\\\\stari\\baze", "\\\\streznik\\baze", std::nullopt},
      {"C:\\Podatki\\..\\Drugo\\X.MDB", "C:\\Podatki", "D:\\", std::nullopt},
      // ".." stops at a share's root, as the client stops it.
      {"\\\\stari\\baze\\..\\X.MDB", "\\\\stari\\baze", "\\\\streznik\\baze", "\\\\streznik\\baze\\X.MDB"},
      {"C:\\Podatki\\sub\\X.MDB", "c:/podatki", "/srv/baze", "/srv/baze/sub/X.MDB"},
      {"C:\\Podatki\\X.MDB", "C:\\Podatki\\x.mdb", "D:\\Novo\\Y.MDB", "D:\\Novo\\Y.MDB"},
      {"Z:\\Baze\\X.MDB", "Z:", "\\\\streznik\\baze", "\\\\streznik\\baze\\Baze\\X.MDB"},
      {"C:\\Podatki\\X.MDB", "D:\\Podatki", "E:\\", std::nullopt},
      {"C:\\Podatki", "C:\\Podatki\\X.MDB", "D:\\", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cli::MovedPath(c.path, c.from, c.to), c.moved) << c.path << " --from " << c.from << " --to " << c.to;
}

TEST(ParseArgs, OptionsValuesAndFiles) {
  const std::vector<cli::OptionSpec> described = {{"--from", true}, {"--to", true}, {"--dry-run", false}};
  struct Case {
    cli::Args args;
    std::vector<std::string> files;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    bool help = false;
  };
  const Case cases[] = {
      {{"a.mdb", "--from", "X", "b.mdb", "--to=Y"}, {"a.mdb", "b.mdb"}, {{"--from", "X"}, {"--to", "Y"}}, {}},
      // A value is the next argument whatever it looks like.
      {{"--from", "--dry-run", "--to", ""}, {}, {{"--from", "--dry-run"}, {"--to", ""}}, {}},
      {{"--to=a=b", "--dry-run"}, {}, {{"--to", "a=b"}}, {"--dry-run"}},
      {{"--", "--from", "-x.mdb"}, {"--from", "-x.mdb"}, {}, {}},
      {{"-", "x"}, {"-", "x"}, {}, {}},
      {{"a", "-h"}, {"a"}, {}, {}, true},
      {{"--help"}, {}, {}, {}, true},
  };
  for (const Case& c : cases) {
    const cli::ParsedArgs p = cli::ParseArgs(c.args, described);
    EXPECT_EQ(p.files, c.files) << ::testing::PrintToString(c.args);
    EXPECT_EQ(p.values, c.values) << ::testing::PrintToString(c.args);
    EXPECT_EQ(p.flags, c.flags) << ::testing::PrintToString(c.args);
    EXPECT_EQ(p.help, c.help) << ::testing::PrintToString(c.args);
  }
}

TEST(ParseArgs, WrongUsage) {
  const std::vector<cli::OptionSpec> described = {{"--from", true}, {"--dry-run", false}};
  struct Case {
    cli::Args args;
    std::string message;
  };
  const Case cases[] = {
      {{"--form", "X"}, "unknown option '--form'"},
      {{"-f"}, "unknown option '-f'"},
      {{"a", "--from"}, "--from needs a value"},
      {{"--from", "X", "--from=Y"}, "--from is given twice"},
      {{"--dry-run", "--dry-run"}, "--dry-run is given twice"},
      {{"--dry-run=yes"}, "--dry-run takes no value"},
  };
  for (const Case& c : cases) {
    try {
      cli::ParseArgs(c.args, described);
      ADD_FAILURE() << "accepted " << ::testing::PrintToString(c.args);
    } catch (const cli::UsageError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

// What --json writes strings as: escaped where JSON must escape, UTF-8 as
// it stands, and a name that is not UTF-8 (bytes from a Latin-2 system)
// with U+FFFD for each bad sequence, so that a strict parser still reads it.
TEST(Json, StringsObjectsArrays) {
  struct Case {
    std::string text;
    std::string json;
  };
  const std::string kReplacement = "\xef\xbf\xbd";
  const Case cases[] = {
      {"C:\\MLQ\\P.MDB", "\"C:\\\\MLQ\\\\P.MDB\""},
      {"say \"x\"", "\"say \\\"x\\\"\""},
      {"a\tb\nc\rd", "\"a\\tb\\nc\\rd\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {std::string("\0", 1), "\"\\u0000\""},
      {"Žalec č", "\"Žalec č\""},
      {"\x7f", "\"\x7f\""},
      {"Ra\xe8uni/MLQ.mdb", "\"Ra" + kReplacement + "uni/MLQ.mdb\""},
      {"\xe8\xe8", "\"" + kReplacement + kReplacement + "\""},
      {"č\xe8\x80", "\"č" + kReplacement + "\""},  // a sequence cut short
  };
  for (const Case& c : cases) {
    const std::string text = cli::JsonText(cli::Json(c.text));
    EXPECT_EQ(text, c.json) << c.text;
    EXPECT_TRUE(nlohmann::json::accept(text)) << text;
  }

  EXPECT_EQ(cli::JsonText(cli::OrNull(std::nullopt)), "null");
  const cli::Json object = {{"s", "x"}, {"n", 3011}, {"b", false}, {"o", cli::OrNull(std::nullopt)}, {"a", cli::Json::array()}};
  EXPECT_EQ(cli::JsonText(object), "{\"s\":\"x\",\"n\":3011,\"b\":false,\"o\":null,\"a\":[]}");
  std::string out;
  cli::JsonArrayWriter none(out);
  none.End();
  EXPECT_EQ(out, "[]\n");
  out.clear();
  cli::JsonArrayWriter array(out);
  array.Add(1);
  array.Add(cli::Json::object());
  array.End();
  EXPECT_EQ(out, "[\n  1,\n  {}\n]\n");
}

}  // namespace
