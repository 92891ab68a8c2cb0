// A small, checked reader of the XML that the agile encryption descriptor
// is: an optional declaration, then one element of elements with attributes
// and no text. Anything else (text, comments, DOCTYPEs, entity references
// other than the five predefined ones, more than kMaxXmlDepth levels or
// kMaxXmlElements elements) is refused, so a hostile descriptor costs no more
// than its length. Names keep their prefixes ("p:encryptedKey"): the
// descriptor's prefixes are fixed by the format, so no namespace resolution
// is done.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jet/env_names.h"

namespace jet {

inline constexpr size_t kMaxXmlDepth = 16;
inline constexpr size_t kMaxXmlElements = 256;

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // in order, values with entities replaced
  std::vector<XmlElement> children;

  // The attribute's value, or null.
  const std::string* Attribute(std::string_view attribute) const;
  // The first child of that name, or null.
  const XmlElement* Child(std::string_view child) const;
};

// kCorrupt, with what was wrong and where, for anything but such a document.
Result<XmlElement> ParseXml(std::string_view text);

// The text with &, <, > and " replaced by their entity references.
std::string EscapeXml(std::string_view text);

}  // namespace jet
