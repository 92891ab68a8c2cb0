#include "platform/messages.h"

#include "vostrel/env.h"

#if defined(__has_include)
#if __has_include(<libintl.h>)
#include <libintl.h>
#define VOSTREL_HAVE_GETTEXT 1
#endif
#endif

namespace platform {
namespace {
constexpr char kDomain[] = "vostrel";
}  // namespace

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
#ifdef VOSTREL_HAVE_GETTEXT
  return dgettext(kDomain, english);
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
