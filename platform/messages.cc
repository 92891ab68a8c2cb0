#include "platform/messages.h"

#include <cstdint>

#include "vostrel/env.h"

#ifdef _WIN32
#include <windows.h>
#endif

#if defined(__has_include)
#if __has_include(<libintl.h>)
#include <libintl.h>
#define VOSTREL_HAVE_GETTEXT 1
#endif
#endif

namespace platform {

#ifdef _WIN32
// po/sl.po compiled by msgfmt, in a source CMake made (po/CMakeLists.txt).
extern const unsigned char kSlovenianCatalogue[];
extern const std::size_t kSlovenianCatalogueSize;
#endif

namespace {
constexpr char kDomain[] = "vostrel";

#ifdef _WIN32
// GNU's .mo format, little-endian as msgfmt writes it here: a header of 32-bit
// words (magic, revision, count, offset of the originals' table, offset of
// the translations' table), each table `count` pairs of (length, offset).
class MoCatalogue {
 public:
  MoCatalogue(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}

  std::optional<std::string> Find(std::string_view english) const {
    if (Word(0) != 0x950412de) return std::nullopt;
    const uint32_t count = Word(8), originals = Word(12), translations = Word(16);
    for (uint32_t i = 0; i < count; ++i) {
      const std::optional<std::string_view> original = Entry(originals, i);
      if (!original || *original != english) continue;
      const std::optional<std::string_view> translation = Entry(translations, i);
      if (!translation) return std::nullopt;
      return std::string(*translation);
    }
    return std::nullopt;
  }

 private:
  // Out of range reads as 0, which no check passes: a bad catalogue finds nothing.
  uint32_t Word(size_t at) const {
    if (at > size_ || size_ - at < 4) return 0;
    return uint32_t{bytes_[at]} | uint32_t{bytes_[at + 1]} << 8 | uint32_t{bytes_[at + 2]} << 16 |
           uint32_t{bytes_[at + 3]} << 24;
  }
  // The i-th string of a table, up to its first NUL (a plural's forms follow it).
  std::optional<std::string_view> Entry(uint32_t table, uint32_t i) const {
    const size_t at = size_t{table} + size_t{i} * 8;
    if (at > size_ || size_ - at < 8) return std::nullopt;
    const uint32_t length = Word(at), offset = Word(at + 4);
    if (offset > size_ || size_ - offset < length) return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(bytes_) + offset, length);
    return text.substr(0, text.find('\0'));
  }

  const unsigned char* bytes_;
  size_t size_;
};

// Windows programs speak the language of the user's Windows UI.
bool UserReadsSlovenian() {
  static const bool slovenian = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_SLOVENIAN;
  return slovenian;
}
#endif
}  // namespace

#ifdef _WIN32
std::optional<std::string> SlovenianText(std::string_view english) {
  if (english.empty()) return std::nullopt;  // the catalogue's header, not a message
  return MoCatalogue(kSlovenianCatalogue, kSlovenianCatalogueSize).Find(english);
}
#endif

void BindMessageCatalog(const std::string& locale_dir) {
#ifdef VOSTREL_HAVE_GETTEXT
  bindtextdomain(kDomain, locale_dir.c_str());
  // The engine's strings are UTF-8 whatever the locale's own codeset.
  bind_textdomain_codeset(kDomain, "UTF-8");
#else
  (void)locale_dir;
#endif
}

std::string LocaleDirBeside(const std::string& program_dir) { return program_dir + "/../share/locale"; }

std::string ProgramDirectory(const char* argv0) {
  engine::Env& env = engine::Env::Default();
  auto self = env.ProgramPath();
  std::string path = self.ok() ? *self : std::string(argv0 ? argv0 : "");
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) {
    auto cwd = env.CurrentDir();
    return cwd.ok() ? *cwd : ".";
  }
  if (slash == 0) return path.substr(0, 1);
  const std::string dir = path.substr(0, slash);
  if (self.ok() || dir.front() == '/' || dir.find(':') != std::string::npos) return dir;
  auto cwd = env.CurrentDir();
  return cwd.ok() ? *cwd + "/" + dir : dir;
}

std::string Translate(const char* english) {
#if defined(VOSTREL_HAVE_GETTEXT)
  return dgettext(kDomain, english);
#elif defined(_WIN32)
  if (UserReadsSlovenian())
    if (std::optional<std::string> slovenian = SlovenianText(english)) return *slovenian;
  return english;
#else
  return english;
#endif
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(text[i + 1] - '1');
      if (n < args.size()) {
        out.append(args.begin()[n]);
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace platform
