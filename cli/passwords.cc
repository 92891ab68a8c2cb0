#include "passwords.h"

#include "vostrel/link_string.h"

namespace cli {

std::string Shown(std::string_view link, bool show) { return show ? std::string(link) : engine::MaskPasswords(link); }

FrontEndCheck Shown(FrontEndCheck report, bool show) {
  for (CheckedLink& l : report.links) l.link = Shown(l.link, show);
  return report;
}

FrontEndRelink Shown(FrontEndRelink report, bool show) {
  for (ChangedLink& l : report.links) {
    l.old_link = Shown(l.old_link, show);
    l.new_link = Shown(l.new_link, show);
  }
  for (RefusedLink& l : report.refused) l.stored = Shown(l.stored, show);
  return report;
}

}  // namespace cli
