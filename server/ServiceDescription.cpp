#include "ServiceDescription.h"

#include <cctype>
#include <vector>

#include "QueryString.h"

namespace ZelServer {

namespace {

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
  if (target.find('?') == std::string::npos) return false;
  std::vector<QueryPair> pairs;
  if (!ParseQuery(target, pairs)) return false;
  std::string kind, versionText;
  bool haveVersion = false;
  for (const QueryPair& pair : pairs) {
    std::string key = Lower(pair.name);
    if ((key == "wsdl" || key == "xsd") && !pair.hasValue && kind.empty()) {
      kind = key;
    } else if (key == "version" && !haveVersion) {
      versionText = pair.value;
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
