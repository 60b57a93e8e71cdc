#include "ServiceDescription.h"

#include <cctype>
#include <vector>

namespace ZelServer {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Percent-decoding of one query component; false for a broken escape.
bool Decode(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else {
      if (i + 2 >= text.size()) return false;
      int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

ServiceDescription::ServiceDescription(std::string ns) : _ns(std::move(ns)) {}

std::shared_ptr<const Lumo::Wire::WsdlDocuments> ServiceDescription::DocumentsFor(
    const std::string& url, const std::string& version) {
  Key key(url, version);
  {
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _documents.find(key);
    if (it != _documents.end()) return it->second;
  }
  // Made outside the lock: a slow version does not hold up the others.
  Lumo::Wire::WsdlOptions options;
  options.version = version;
  options.ns = _ns;
  options.location = url;
  options.schemaLocation = url + "?xsd&version=" + (version.empty() ? "all" : version);
  auto made = std::make_shared<const Lumo::Wire::WsdlDocuments>(Lumo::Wire::MakeWsdl(options));
  std::lock_guard<std::mutex> lock(_mutex);
  auto [it, added] = _documents.emplace(key, made);
  if (!added) return it->second;
  _kept.push_back(key);
  if (_kept.size() > kMaxKept) {
    _documents.erase(_kept.front());
    _kept.pop_front();
  }
  return made;
}

bool ServiceDescription::Answer(const std::string& target, const std::string& url,
                                std::string& contentType, std::string& body) {
  size_t question = target.find('?');
  if (question == std::string::npos) return false;
  std::string kind, versionText;
  bool haveVersion = false;
  std::string query = target.substr(question + 1);
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string part = query.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    size_t equals = part.find('=');
    std::string key, value;
    if (!Decode(part.substr(0, equals), key)) return false;
    if (equals != std::string::npos && !Decode(part.substr(equals + 1), value)) return false;
    key = Lower(key);
    if ((key == "wsdl" || key == "xsd") && equals == std::string::npos && kind.empty()) {
      kind = key;
    } else if (key == "version" && !haveVersion) {
      versionText = value;
      haveVersion = true;
    } else {
      return false;
    }
  }
  if (kind.empty()) return false;
  std::string version;
  if (!haveVersion) {
    version = Lumo::Wire::DefaultApiVersion(_ns);
  } else if (versionText != "all") {
    version = Lumo::Wire::ResolveApiVersion(_ns, versionText);
    if (version.empty()) return false;
  }
  if (url.empty()) return false;
  auto documents = DocumentsFor(url, version);
  body = kind == "wsdl" ? documents->wsdl : documents->schema;
  contentType = "text/xml; charset=utf-8";
  return true;
}

}  // namespace ZelServer
