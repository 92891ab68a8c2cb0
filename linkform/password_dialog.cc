#include "password_dialog.h"

namespace linkform {

std::string PasswordPrompt(const std::string& database, bool again) {
  const std::string asked = "Baza \u00BB" + database + "\u00AB je za\u0161\u010Ditena z geslom. Vpi\u0161ite geslo:";
  return again ? "Geslo ni pravilno. " + asked : asked;
}

}  // namespace linkform
