#include "jet/xml.h"

namespace jet {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
         c == '-' || c == '.';
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result<XmlElement> Document() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;  // a byte order mark
    if (text_.substr(at_, 5) == "<?xml") {
      const size_t end = text_.find("?>", at_);
      if (end == std::string_view::npos) return Fail("unterminated XML declaration");
      at_ = end + 2;
    }
    SkipSpace();
    XmlElement root;
    JET_RETURN_IF_ERROR(Element(root, 1));
    SkipSpace();
    if (at_ != text_.size()) return Fail("content after the root element");
    return root;
  }

 private:
  Status Fail(const std::string& what) const {
    return Status::Corrupt("encryption descriptor: " + what + " at byte " + std::to_string(at_));
  }

  void SkipSpace() {
    while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
  }

  bool Name(std::string& out) {
    const size_t start = at_;
    while (at_ < text_.size() && IsNameChar(text_[at_])) ++at_;
    out.assign(text_.substr(start, at_ - start));
    return !out.empty();
  }

  Status Value(std::string& out) {
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return Fail("attribute value without quotes");
    const char quote = text_[at_++];
    out.clear();
    while (at_ < text_.size() && text_[at_] != quote) {
      const char c = text_[at_];
      if (c == '<') return Fail("'<' in an attribute value");
      if (c != '&') {
        out += c;
        ++at_;
        continue;
      }
      static constexpr std::pair<std::string_view, char> kEntities[] = {
          {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
      bool known = false;
      for (auto [entity, ch] : kEntities) {
        if (text_.substr(at_, entity.size()) == entity) {
          out += ch;
          at_ += entity.size();
          known = true;
          break;
        }
      }
      if (!known) return Fail("an entity reference that is not one of the five predefined");
    }
    if (at_ >= text_.size()) return Fail("unterminated attribute value");
    ++at_;
    return Status::Ok();
  }

  Status Element(XmlElement& e, size_t depth) {
    if (depth > kMaxXmlDepth) return Fail("elements nested too deep");
    if (++elements_ > kMaxXmlElements) return Fail("too many elements");
    if (at_ >= text_.size() || text_[at_] != '<') return Fail("text where an element was expected");
    ++at_;
    if (!Name(e.name)) return Fail("an element without a name");
    for (;;) {
      const size_t before = at_;
      SkipSpace();
      if (at_ >= text_.size()) return Fail("unterminated start tag");
      if (text_.substr(at_, 2) == "/>") {
        at_ += 2;
        return Status::Ok();
      }
      if (text_[at_] == '>') {
        ++at_;
        break;
      }
      if (at_ == before) return Fail("attributes not separated by space");
      std::string name, value;
      if (!Name(name)) return Fail("an attribute without a name");
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != '=') return Fail("an attribute without '='");
      ++at_;
      SkipSpace();
      JET_RETURN_IF_ERROR(Value(value));
      if (e.Attribute(name)) return Fail("the attribute " + name + " twice");
      e.attributes.emplace_back(std::move(name), std::move(value));
    }
    for (;;) {
      SkipSpace();
      if (text_.substr(at_, 2) == "</") {
        at_ += 2;
        std::string name;
        if (!Name(name) || name != e.name) return Fail("an end tag that does not close " + e.name);
        SkipSpace();
        if (at_ >= text_.size() || text_[at_] != '>') return Fail("unterminated end tag");
        ++at_;
        return Status::Ok();
      }
      if (text_.substr(at_, 2) == "<!" || text_.substr(at_, 2) == "<?") return Fail("a comment or instruction");
      e.children.emplace_back();
      JET_RETURN_IF_ERROR(Element(e.children.back(), depth + 1));
    }
  }

  std::string_view text_;
  size_t at_ = 0;
  size_t elements_ = 0;
};

}  // namespace

const std::string* XmlElement::Attribute(std::string_view attribute) const {
  for (const auto& [name, value] : attributes)
    if (name == attribute) return &value;
  return nullptr;
}

const XmlElement* XmlElement::Child(std::string_view child) const {
  for (const XmlElement& c : children)
    if (c.name == child) return &c;
  return nullptr;
}

Result<XmlElement> ParseXml(std::string_view text) { return Parser(text).Document(); }

std::string EscapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace jet
