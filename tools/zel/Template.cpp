#include "Template.h"

#include <algorithm>
#include <vector>

#include "Records.h"

namespace ZelCli {

namespace {

// A value that the named runtime type reads, to be replaced.
std::string Placeholder(const std::string& type, const Lumo::EnumType* enumeration) {
  if (enumeration != nullptr && enumeration->GetValueCount() > 0) {
    return enumeration->ToWireString(0);
  }
  if (type == "boolean") return "false";
  if (type == "int" || type == "long") return "0";
  if (type == "double") return "0.0";
  if (type == "dateTime") return "2026-01-01T00:00:00Z";
  if (type == "typeName") return "TYPE";
  return "TEXT";
}

std::vector<const Lumo::DataObjectType*> Subtypes(const Lumo::DataObjectType* type) {
  std::vector<const Lumo::DataObjectType*> subtypes;
  for (Lumo::Type* other : Lumo::GetAllTypes()) {
    auto* data = dynamic_cast<const Lumo::DataObjectType*>(other);
    if (data != nullptr && data != type && other->IsA(type)) subtypes.push_back(data);
  }
  return subtypes;
}

class TemplateWriter {
 public:
  TemplateWriter(std::ostream& out, int depth) : _out(out), _depth(depth) {}

  void Slot(const std::string& path, int level, const Lumo::TypeInfo* declared, uint32_t flags,
            const Lumo::Type* owner, const char* name) {
    std::string at = path + ((flags & Lumo::kFlagArray) ? "[0]" : "");
    const char* note = (flags & Lumo::kFlagOptional) ? "  # optional" : "";
    Lumo::Type* type = TypeOf(declared);
    if (auto* data = dynamic_cast<const Lumo::DataObjectType*>(type)) {
      std::vector<const Lumo::DataObjectType*> subtypes = Subtypes(data);
      if (!subtypes.empty()) {
        _out << "# " << at << "@type=TYPE for a subtype:";
        for (const Lumo::DataObjectType* subtype : subtypes) _out << " " << subtype->GetName();
        _out << "\n";
        // A type with no properties of its own stands for its subtypes: the
        // first one is filled in.
        if (AllProperties(data).empty()) {
          data = subtypes.front();
          _out << at << "@type=" << data->GetName() << note << "\n";
        }
      }
      bool open = std::find(_open.begin(), _open.end(), data) != _open.end();
      if (level >= _depth || open || AllProperties(data).empty()) {
        _out << "# " << at << ": a " << data->GetName()
             << (open ? " (as above)" : ", by its properties (deeper: --depth)") << note << "\n";
        return;
      }
      if (*note) _out << "# " << at << ": optional, with all below\n";
      _open.push_back(data);
      for (const Property& property : AllProperties(data)) {
        const Lumo::PropInfo& info = *property.info;
        Slot(at + "." + info.name, level + 1, info.type, info.flags, data, info.name);
      }
      _open.pop_back();
      return;
    }
    if (declared != nullptr && declared->kind == Lumo::kTypeKindManagedObject) {
      _out << at << "=ID" << note << "\n";
      return;
    }
    std::string typeName = declared != nullptr ? declared->name : "";
    if (typeName == "anyType") {
      _out << at << "@type=xsd:string" << note << "\n";
      _out << at << "=TEXT" << note << "\n";
      return;
    }
    _out << at << "=" << Placeholder(typeName, EnumerationOf(owner, name ? name : "")) << note
         << "\n";
  }

 private:
  std::ostream& _out;
  int _depth;
  std::vector<const Lumo::DataObjectType*> _open;
};

}  // namespace

bool WriteTemplate(const std::string& methodName, int depth, std::ostream& out,
                   std::string& error) {
  Lumo::ManagedMethod* method = FindMethodByAnyName(methodName, error);
  if (method == nullptr) return false;
  std::string type = method->GetOwner()->GetName();
  out << "# " << method->GetQualifiedName() << ", privilege "
      << (method->GetPrivilege() ? method->GetPrivilege() : "none") << ": fill in, then\n"
      << "#   zel call --url URL " << type.substr(type.rfind('.') + 1) << " " << method->GetName()
      << " ASSIGNMENT...\n";
  const Lumo::MethodInfo* info = method->GetMethodInfo();
  if (info == nullptr || info->parameters == nullptr || info->parameters->name == nullptr) {
    out << "# (no arguments)\n";
    return true;
  }
  TemplateWriter writer(out, depth);
  for (const Lumo::ParamInfo* p = info->parameters; p && p->name; ++p) {
    writer.Slot(p->name, 0, p->type, p->flags, nullptr, p->name);
  }
  return true;
}

}  // namespace ZelCli
