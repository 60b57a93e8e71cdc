#include <ZelSample/Token.h>

#include <cstring>
#include <pugixml.hpp>
#include <sstream>

namespace ZelSample {

namespace {

constexpr size_t kMaxSubjectBytes = 256;

bool IsKnownPrivilege(const std::string& name) {
  return name == kPrivilegeView || name == kPrivilegeUpdate;
}

// The text of an element that holds nothing but text.
bool TextOnly(const pugi::xml_node& node, std::string& text) {
  text.clear();
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) return false;
    text += child.value();
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

}  // namespace

bool ParseDelegatedToken(const std::string& xml, DelegatedToken& token, std::string& reason) {
  token = DelegatedToken();
  if (xml.size() > kMaxTokenBytes) {
    reason = "the token is larger than " + std::to_string(kMaxTokenBytes) + " bytes";
    return false;
  }
  pugi::xml_document document;
  // parse_doctype keeps a document type declaration in the tree, so that it
  // can be refused; entities are never expanded beyond the predefined ones.
  unsigned options = pugi::parse_default | pugi::parse_doctype;
  pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size(), options);
  if (!parsed) {
    reason = std::string("the token is not well-formed XML: ") + parsed.description() +
             " at offset " + std::to_string(parsed.offset);
    return false;
  }
  pugi::xml_node root;
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_doctype) {
      reason = "the token carries a document type declaration";
      return false;
    }
    if (node.type() == pugi::node_element) {
      if (root) {
        reason = "the token has more than one root element";
        return false;
      }
      root = node;
    }
  }
  if (!root || std::strcmp(root.name(), "DelegatedToken") != 0) {
    reason = "the token's root element is not DelegatedToken";
    return false;
  }
  if (std::strcmp(root.attribute("xmlns").value(), kTokenNamespace) != 0) {
    reason = std::string("the token is not in the namespace ") + kTokenNamespace;
    return false;
  }
  if (std::strcmp(root.attribute("version").value(), "1") != 0) {
    reason = "the token's version is not 1";
    return false;
  }
  int issuers = 0;
  int subjects = 0;
  for (pugi::xml_node child : root.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_comment) {
      if (child.type() == pugi::node_pcdata && !Trimmed(child.value()).empty()) {
        reason = "the token has text outside its elements";
        return false;
      }
      continue;
    }
    if (child.type() != pugi::node_element) {
      reason = "the token holds something other than elements";
      return false;
    }
    std::string text;
    if (!TextOnly(child, text)) {
      reason = std::string("the token's element ") + child.name() + " holds elements";
      return false;
    }
    text = Trimmed(text);
    if (std::strcmp(child.name(), "Issuer") == 0) {
      ++issuers;
      if (text != kTokenIssuer) {
        reason = "the token was issued by \"" + text + "\", not by the trusted issuer";
        return false;
      }
    } else if (std::strcmp(child.name(), "Subject") == 0) {
      ++subjects;
      token.subject = text;
    } else if (std::strcmp(child.name(), "Privilege") == 0) {
      if (!IsKnownPrivilege(text)) {
        reason = "the token grants the unknown privilege \"" + text + "\"";
        return false;
      }
      token.privileges.insert(text);
    } else {
      reason = std::string("the token has the unknown element ") + child.name();
      return false;
    }
  }
  if (issuers != 1) {
    reason = "the token must name exactly one issuer";
    return false;
  }
  if (subjects != 1 || token.subject.empty()) {
    reason = "the token must name exactly one non-empty subject";
    return false;
  }
  if (token.subject.size() > kMaxSubjectBytes) {
    reason = "the token's subject is longer than " + std::to_string(kMaxSubjectBytes) + " bytes";
    return false;
  }
  if (token.privileges.empty()) token.privileges = {kPrivilegeView, kPrivilegeUpdate};
  return true;
}

std::string MakeDelegatedToken(const std::string& subject,
                               const std::vector<std::string>& privileges) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("DelegatedToken");
  root.append_attribute("xmlns") = kTokenNamespace;
  root.append_attribute("version") = "1";
  root.append_child("Issuer").text() = kTokenIssuer;
  root.append_child("Subject").text() = subject.c_str();
  for (const std::string& privilege : privileges) {
    root.append_child("Privilege").text() = privilege.c_str();
  }
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

}  // namespace ZelSample
