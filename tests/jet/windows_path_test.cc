// Windows paths taken apart on any system: every root kind, the verbatim
// forms, what is no path at all, "." and ".." folded as a client folds them,
// and comparison without regard to case.
#include "jet/windows_path.h"

#include "jet/env_names.h"

#include <string>

#include "tests/support/support.h"

namespace {

using jet::WindowsRootKind;

const char* KindName(WindowsRootKind k) {
  switch (k) {
    case WindowsRootKind::kNone: return "relative";
    case WindowsRootKind::kCurrentDrive: return "current drive";
    case WindowsRootKind::kDriveRelative: return "drive-relative";
    case WindowsRootKind::kDrive: return "drive";
    case WindowsRootKind::kShare: return "share";
  }
  return "?";
}

// What a parse gave, in one line: "kind [verbatim] root|components|[/]".
std::string Described(const std::optional<jet::WindowsPath>& p) {
  if (!p) return "none";
  std::string out = std::string(KindName(p->root)) + (p->verbatim ? " verbatim " : " ") + p->RootText();
  for (const std::string& c : p->components) out += "|" + c;
  if (p->trailing_separator) out += "|/";
  return out;
}

TEST(WindowsPath, TakesEveryRootKindApart) {
  struct Case {
    const char* text;
    const char* parsed;
  };
  const Case cases[] = {
      {"C:\\Baze\\PARTNER.MDB", "drive C:\\|Baze|PARTNER.MDB"},
      {"c:/baze//partner.mdb", "drive C:\\|baze|partner.mdb"},
      {"Z:\\", "drive Z:\\|/"},
      {"Z:", "drive-relative Z:"},
      {"Z:Baze\\X.MDB", "drive-relative Z:|Baze|X.MDB"},
      {"\\\\streznik\\baze\\app\\", "share \\\\streznik\\baze\\|app|/"},
      {"//streznik/baze", "share \\\\streznik\\baze\\"},
      {"\\\\?\\C:\\Dolga\\pot", "drive verbatim C:\\|Dolga|pot"},
      {"\\\\?\\UNC\\streznik\\baze\\X.MDB", "share verbatim \\\\streznik\\baze\\|X.MDB"},
      {"\\\\?\\unc\\streznik\\baze", "share verbatim \\\\streznik\\baze\\"},
      {"\\Baze\\X.MDB", "current drive \\|Baze|X.MDB"},
      {"..\\X.MDB", "relative |..|X.MDB"},
      {"Čebelarstvo Šuštar\\Žalec", "relative |Čebelarstvo Šuštar|Žalec"},
      // No path: a share without its share name, a device, a verbatim prefix
      // before anything but a drive or a share, nothing at all.
      {"\\\\streznik", "none"},
      {"\\\\streznik\\", "none"},
      {"\\\\\\streznik\\baze", "none"},
      {"\\\\.\\pipe\\x", "none"},
      {"\\\\.\\C:\\x", "none"},
      {"\\\\?\\Volume{1234}\\x", "none"},
      {"\\\\?\\C:", "drive verbatim C:\\"},
      {"\\\\?\\C:x", "none"},
      {"\\\\?\\UNC\\streznik", "none"},
      {"\\\\?\\x", "none"},
      {"", "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(Described(jet::ParseWindowsPath(c.text)), c.parsed) << c.text;
  EXPECT_EQ(Described(jet::ParseWindowsPath(std::string("C:\\a\0b", 6))), "none");
}

TEST(WindowsPath, DotsFoldAsAClientFoldsThemNeverAboveTheRoot) {
  struct Case {
    const char* text;
    const char* normalized;
  };
  const Case cases[] = {
      {"\\\\streznik\\baze\\..\\outside\\PARTNER.MDB", "\\\\streznik\\baze\\outside\\PARTNER.MDB"},
      {"\\\\streznik\\baze\\a\\..\\..\\..\\b", "\\\\streznik\\baze\\b"},
      {"C:\\..\\..\\Windows", "C:\\Windows"},
      {"C:\\Baze\\.\\stare\\..\\PARTNER.MDB", "C:\\Baze\\PARTNER.MDB"},
      {"C:\\Baze\\..", "C:\\"},
      {"\\..\\x", "\\x"},
      // Relative: what lies above is the working folder's to say.
      {"..\\..\\x", "..\\..\\x"},
      {"a\\..\\..\\x", "..\\x"},
      {"Z:..\\x", "Z:..\\x"},
      // Verbatim: the system takes the names as they stand.
      {"\\\\?\\C:\\a\\..\\b", "C:\\a\\..\\b"},
  };
  for (const Case& c : cases) {
    const std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(c.text);
    ASSERT_TRUE(p) << c.text;
    EXPECT_EQ(p->Normalized().Text(), c.normalized) << c.text;
  }
}

TEST(WindowsPath, CoversComparesAsWindowsDoes) {
  struct Case {
    const char* prefix;
    const char* path;
    bool covers;
  };
  const Case cases[] = {
      {"\\\\STREZNIK\\Baze", "//streznik/baze/app/x.mdb", true},
      {"\\\\?\\UNC\\streznik\\baze", "\\\\streznik\\baze\\x.mdb", true},
      {"C:\\Čebelarstvo", "c:\\ČEBELARSTVO\\x.mdb", true},
      {"C:\\Čebelarstvo", "c:\\čebelarstvo\\x.mdb", true},
      {"C:\\Cebelarstvo", "C:\\Čebelarstvo\\x.mdb", false},
      {"C:\\MLQ", "C:\\MLQX\\x.mdb", false},  // whole components only
      {"C:\\MLQ", "D:\\MLQ\\x.mdb", false},
      {"\\\\s\\baze", "\\\\s\\bazeX\\x.mdb", false},
      {"\\\\s\\baze\\a", "\\\\s\\baze", false},
      {"\\C:", "C:\\x", false},
  };
  for (const Case& c : cases) {
    const auto prefix = jet::ParseWindowsPath(c.prefix), path = jet::ParseWindowsPath(c.path);
    ASSERT_TRUE(prefix && path) << c.prefix << " | " << c.path;
    EXPECT_EQ(prefix->Covers(*path), c.covers) << c.prefix << " | " << c.path;
  }
}

// The folder of a file as this system writes paths: where the journal's
// name is made durable.
TEST(WindowsPath, FolderOfAFileAsThisSystemWritesIt) {
  const std::pair<const char*, const char*> cases[] = {
#ifdef _WIN32
      {"C:\\Baze\\MLQ.mdb", "C:\\Baze"},
      {"C:\\MLQ.mdb", "C:\\"},
      {"C:/MLQ.mdb", "C:/"},
      {"\\\\streznik\\baze\\MLQ.mdb", "\\\\streznik\\baze\\"},
      {"\\\\streznik\\baze\\app\\MLQ.mdb", "\\\\streznik\\baze\\app"},
      {"\\\\?\\C:\\MLQ.mdb", "\\\\?\\C:\\"},
      {"C:MLQ.mdb", "C:"},
#else
      {"/srv/baze/MLQ.mdb", "/srv/baze"},
      {"/MLQ.mdb", "/"},
      {"baze/MLQ.mdb", "baze"},
#endif
      {"MLQ.mdb", "."},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(jet::Env::FolderOf(path), folder) << path;
}

}  // namespace
