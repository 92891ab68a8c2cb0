#include "engine/link_string.h"

#include <algorithm>
#include <cctype>

namespace engine {
namespace {

constexpr std::string_view kDatabaseParam = ";DATABASE=";
constexpr std::string_view kOdbcPrefix = "ODBC;";

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
         });
}

}  // namespace

std::string ComposeLinkString(const CatalogEntry& entry) {
  switch (entry.type) {
    case static_cast<int>(TableType::kLink):
      return entry.connect.value_or("") + std::string(kDatabaseParam) + entry.database.value_or("");
    case static_cast<int>(TableType::kOdbcLink): {
      const std::string connect = entry.connect.value_or("");
      return StartsWithIgnoreCase(connect, kOdbcPrefix) ? connect : std::string(kOdbcPrefix) + connect;
    }
    default:
      return {};
  }
}

LinkString ParseLinkString(std::string_view text) {
  LinkString out;
  out.kind = std::string(text.substr(0, text.find(';')));
  std::string rest(text);
  for (size_t at = 0; (at = rest.find(';', at)) != std::string::npos; ++at) {
    if (!StartsWithIgnoreCase(std::string_view(rest).substr(at), kDatabaseParam)) continue;
    const size_t value = at + kDatabaseParam.size();
    const size_t end = std::min(rest.find(';', value), rest.size());
    out.database = rest.substr(value, end - value);
    rest.erase(at, end - at);
    break;
  }
  if (!rest.empty() && rest.back() == ';') rest.pop_back();
  if (!rest.empty()) out.rest = rest;
  return out;
}

}  // namespace engine
