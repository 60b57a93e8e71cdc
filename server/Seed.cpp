#include "Seed.h"

#include <Lumo/Wire/XmlText.h>
#include <ZelSample/Token.h>

#include <cstring>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>

namespace ZelServer {

namespace {

constexpr char kIdMark[] = "{{id:";

std::string LocalName(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon != nullptr ? colon + 1 : name;
}

// The first element of that local name at any depth below node.
pugi::xml_node Find(pugi::xml_node node, const std::string& name) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    if (LocalName(child.name()) == name) return child;
    if (pugi::xml_node found = Find(child, name)) return found;
  }
  return pugi::xml_node();
}

// Replaces every {{id:NAME}} with the id created under NAME.
std::string WithIds(const std::string& call, const std::map<std::string, std::string>& ids) {
  std::string out;
  size_t from = 0;
  while (true) {
    size_t mark = call.find(kIdMark, from);
    if (mark == std::string::npos) break;
    size_t end = call.find("}}", mark);
    if (end == std::string::npos) throw std::runtime_error("an {{id:NAME}} is not closed");
    std::string name = call.substr(mark + sizeof kIdMark - 1, end - mark - (sizeof kIdMark - 1));
    auto id = ids.find(name);
    if (id == ids.end()) {
      throw std::runtime_error("no call before it created a profile named \"" + name + "\"");
    }
    out.append(call, from, mark - from);
    out += id->second;
    from = end + 2;
  }
  out.append(call, from, std::string::npos);
  return out;
}

// Why a call's answer is not a result: its fault's text.
std::string FaultText(const std::string& answer) {
  pugi::xml_document document;
  if (!document.load_buffer(answer.data(), answer.size())) return "an answer that does not read";
  pugi::xml_node text = Find(document, "faultstring");
  return text ? text.text().get() : "a fault";
}

class SeedRun {
 public:
  explicit SeedRun(ZelSample::WireEndpoint& endpoint) : _endpoint(endpoint) {
    _session = endpoint.GetService().GetSessions().Open(
        "seed", {ZelSample::kPrivilegeView, ZelSample::kPrivilegeUpdate});
  }
  ~SeedRun() { _endpoint.GetService().GetSessions().Close(_session); }

  size_t Run(const std::string& text) {
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed) throw std::runtime_error(std::string("not XML: ") + parsed.description());
    pugi::xml_node root = document.document_element();
    if (LocalName(root.name()) != "seed") throw std::runtime_error("the root element is not seed");
    // The prefixes every message of the wire declares, unless the seed
    // declares them otherwise.
    std::map<std::string, std::string> namespaces = {
        {"xmlns:xsd", "http://www.w3.org/2001/XMLSchema"},
        {"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"}};
    for (pugi::xml_attribute attribute : root.attributes()) {
      std::string name = attribute.name();
      if (name == "xmlns" || name.rfind("xmlns:", 0) == 0) namespaces[name] = attribute.value();
    }
    std::string declarations;
    for (const auto& [name, value] : namespaces) {
      declarations += " " + name + "=\"";
      // The value came out of a parsed document: XML can carry it.
      Lumo::Wire::AppendXmlEscaped(declarations, value, Lumo::Wire::XmlEscape::kAttribute);
      declarations += "\"";
    }
    size_t count = 0;
    for (pugi::xml_node call : root.children()) {
      if (call.type() != pugi::node_element) continue;
      ++count;
      try {
        RunCall(call, declarations);
      } catch (const std::exception& e) {
        throw std::runtime_error("call " + std::to_string(count) + " (" + call.name() +
                                 "): " + e.what());
      }
    }
    return count;
  }

 private:
  void RunCall(pugi::xml_node call, const std::string& declarations) {
    std::ostringstream printed;
    call.print(printed, "", pugi::format_raw);
    Lumo::Wire::TransportRequest request;
    request.body = "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"" +
                   declarations + "><soapenv:Body>" + WithIds(printed.str(), _ids) +
                   "</soapenv:Body></soapenv:Envelope>";
    request.headers.emplace_back("Cookie", std::string(ZelSample::kSessionCookie) + "=" + _session);
    Lumo::Wire::TransportResponse response;
    _endpoint.Handle(request, response);
    if (response.status != 200) throw std::runtime_error(FaultText(response.body));
    if (LocalName(call.name()) == "ZelCreate") Remember(call, response.body);
  }

  // The id a create answered, under the name it gave the profile.
  void Remember(pugi::xml_node call, const std::string& answer) {
    pugi::xml_node name = Find(Find(call, "createSpec"), "name");
    pugi::xml_document document;
    document.load_buffer(answer.data(), answer.size());
    pugi::xml_node id = Find(document, "uniqueId");
    if (name && id) _ids[name.text().get()] = id.text().get();
  }

  ZelSample::WireEndpoint& _endpoint;
  std::string _session;
  std::map<std::string, std::string> _ids;
};

}  // namespace

size_t SeedFromText(ZelSample::WireEndpoint& endpoint, const std::string& text) {
  if (text.size() > kMaxSeedBytes) {
    throw std::runtime_error("longer than " + std::to_string(kMaxSeedBytes) + " bytes");
  }
  return SeedRun(endpoint).Run(text);
}

size_t SeedFromFile(ZelSample::WireEndpoint& endpoint, const std::string& path) {
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be read");
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
      text.append(chunk, static_cast<size_t>(in.gcount()));
      if (text.size() > kMaxSeedBytes) {
        throw std::runtime_error("longer than " + std::to_string(kMaxSeedBytes) + " bytes");
      }
    }
    return SeedFromText(endpoint, text);
  } catch (const std::exception& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

}  // namespace ZelServer
