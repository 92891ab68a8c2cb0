#include "platform/version.h"

#include "platform/messages.h"
#include "source_version.h"

namespace platform {

std::string VersionText(const std::string& program) {
  const std::string source = *kSourceRevision ? Fill(Translate("built from git %1"), {kSourceRevision})
                                              : Translate("built from a source release");
  return program + " " + kVersion + "\n" + source + "\n";
}

}  // namespace platform
