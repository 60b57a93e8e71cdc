// An indented XML writer for the service description documents (WSDL and
// schema): elements with attributes, one per line. Names are checked to be
// XML names and values escaped; what XML cannot carry is refused with a
// WireFormatFault (reason "badValue").
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {
namespace Detail {

// True for a name without a colon that XML namespaces allow for elements,
// attributes and schema components (ASCII letters, digits, '_', '-', '.';
// not starting with a digit, '-' or '.'). Records name things in ASCII.
bool IsNcName(std::string_view name);
// Refuses a name that is not an NCName, saying what it names.
void CheckNcName(std::string_view name, const std::string& what);

class XmlDocWriter {
 public:
  using Attributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;

  // indent: the nesting level of the first element (for documents written
  // into another one).
  explicit XmlDocWriter(std::string& out, int indent = 0) : _out(out), _indent(indent) {}

  void Declaration();
  void Open(std::string_view name, Attributes attributes = {});
  void Empty(std::string_view name, Attributes attributes = {});
  void Close();
  // Text already in XML form (a document written by another writer).
  void Raw(std::string_view xml) { _out.append(xml); }
  int Depth() const { return _indent + static_cast<int>(_open.size()); }

 private:
  void Start(std::string_view name, Attributes attributes);

  std::string& _out;
  int _indent;
  std::vector<std::string> _open;
};

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
