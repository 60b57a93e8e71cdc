// The transport of --wire: every message written as indented XML before it
// is handed on.
#include <ZelDemo/Conversation.h>

#include <ostream>
#include <pugixml.hpp>
#include <sstream>

namespace ZelDemo {

namespace {

// The XML indented, each line set in; the text as it is when it is not XML.
std::string Indented(const std::string& xml) {
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size())) return xml;
  std::ostringstream pretty;
  document.save(pretty, "  ", pugi::format_indent | pugi::format_no_declaration);
  std::istringstream lines(pretty.str());
  std::string line;
  std::string text;
  while (std::getline(lines, line)) text += "      " + line + "\n";
  return text;
}

}  // namespace

TracingTransport::TracingTransport(Lumo::Wire::Transport* inner, std::ostream& out)
    : _inner(inner), _out(out) {}

TracingTransport::~TracingTransport() = default;

void TracingTransport::Send(const Lumo::Wire::TransportRequest& request,
                            Lumo::Wire::TransportResponse& response) {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    _out << "    >>> request (SOAPAction " << request.action << ")\n" << Indented(request.body);
  }
  _inner->Send(request, response);
  std::lock_guard<std::mutex> lock(_mutex);
  _out << "    <<< response (status " << response.status;
  for (const auto& [name, value] : response.headers) {
    if (name == "Set-Cookie" || name == "set-cookie") _out << ", Set-Cookie: " << value;
  }
  _out << ")\n" << Indented(response.body);
}

}  // namespace ZelDemo
