#include "vostrel/link_string.h"

#include <algorithm>
#include <cctype>

#include "jet/text.h"

namespace engine {
namespace {

constexpr std::string_view kDatabaseParam = ";DATABASE=";
constexpr std::string_view kPasswordParam = ";PWD=";
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
  auto value_at = [&](size_t at, std::string_view param) {
    const size_t value = at + param.size();
    const size_t end = std::min(rest.find(';', value), rest.size());
    return std::make_pair(rest.substr(value, end - value), end);
  };
  for (size_t at = 0; (at = rest.find(';', at)) != std::string::npos; ++at) {
    const std::string_view here = std::string_view(rest).substr(at);
    if (StartsWithIgnoreCase(here, kPasswordParam)) {
      if (out.password && !out.repeated) out.repeated = "PWD";
      if (!out.password) out.password = value_at(at, kPasswordParam).first;
      continue;
    }
    if (!StartsWithIgnoreCase(here, kDatabaseParam)) continue;
    if (out.database) {
      if (!out.repeated) out.repeated = "DATABASE";
      continue;
    }
    const auto [value, end] = value_at(at, kDatabaseParam);
    out.database = value;
    rest.erase(at, end - at);
    --at;  // the next parameter now starts where this one did
  }
  if (!rest.empty() && rest.back() == ';') rest.pop_back();
  if (!rest.empty()) out.rest = rest;
  return out;
}

bool OfDatabaseFileKind(const LinkString& parts) {
  return parts.kind.empty() || jet::EqualsIgnoreCase(parts.kind, "MS Access");
}

std::string PasswordConnect(std::string_view password) {
  return std::string(kPasswordParam) + std::string(password);
}

std::string ReplacePasswords(std::string_view text,
                             const std::function<std::string(size_t index, std::string_view value)>& replace) {
  std::string out;
  size_t copied = 0, index = 0;
  for (size_t at = text.find(';'); at != std::string_view::npos; at = text.find(';', at + 1)) {
    if (!StartsWithIgnoreCase(text.substr(at), kPasswordParam)) continue;
    const size_t value = at + kPasswordParam.size();
    size_t end = value;
    if (end < text.size() && text[end] == '{') {
      // "}}" stands for "}" inside the braces.
      for (++end; end < text.size(); ++end) {
        if (text[end] != '}') continue;
        if (end + 1 < text.size() && text[end + 1] == '}') ++end;
        else break;
      }
    }
    end = std::min(text.find(';', end), text.size());
    out.append(text.substr(copied, value - copied));
    out.append(replace(index++, text.substr(value, end - value)));
    copied = end;
    at = end - 1;
  }
  out.append(text.substr(copied));
  return out;
}

std::string MaskPasswords(std::string_view text) {
  return ReplacePasswords(text, [](size_t, std::string_view) { return std::string(kMaskedPassword); });
}

std::optional<std::string> ReadsBackOtherwise(const LinkString& parts) {
  CatalogEntry stored;
  stored.type = static_cast<int>(TableType::kLink);
  stored.database = parts.database;
  stored.connect = parts.rest;
  const std::string text = ComposeLinkString(stored);
  const LinkString back = ParseLinkString(text);
  if (back.kind == parts.kind && back.database == parts.database && back.rest == parts.rest &&
      back.password == parts.password && back.repeated == parts.repeated)
    return std::nullopt;
  return text;
}

}  // namespace engine
