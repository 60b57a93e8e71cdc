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

void ServiceDescription::SetUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(_mutex);
  _url = url;
  _documents.clear();
}

const Lumo::Wire::WsdlDocuments& ServiceDescription::DocumentsFor(const std::string& version) {
  auto it = _documents.find(version);
  if (it != _documents.end()) return it->second;
  Lumo::Wire::WsdlOptions options;
  options.version = version;
  options.ns = _ns;
  options.location = _url;
  options.schemaLocation = _url + "?xsd&version=" + (version.empty() ? "all" : version);
  return _documents.emplace(version, Lumo::Wire::MakeWsdl(options)).first->second;
}

bool ServiceDescription::Answer(const std::string& target, std::string& contentType,
                                std::string& body) {
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
  std::lock_guard<std::mutex> lock(_mutex);
  if (_url.empty()) return false;
  const Lumo::Wire::WsdlDocuments& documents = DocumentsFor(version);
  body = kind == "wsdl" ? documents.wsdl : documents.schema;
  contentType = "text/xml; charset=utf-8";
  return true;
}

}  // namespace ZelServer
