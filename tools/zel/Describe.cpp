#include "Describe.h"

#include <Lumo/TypeKind.h>
#include <fnmatch.h>

#include <algorithm>
#include <vector>

#include "Records.h"

namespace ZelCli {

namespace {

const char* Or(const char* text, const char* fallback) {
  return text != nullptr && *text != '\0' ? text : fallback;
}

// ", one of: A B C (zel.X.E)" for a string property the records name an
// enumeration for.
std::string AllowedValues(const Lumo::TypeInfo* type, const Lumo::Type* owner,
                          const char* property) {
  if (type == nullptr || std::string(type->name) != "string" || property == nullptr) return "";
  const Lumo::EnumType* enumeration = EnumerationOf(owner, property);
  if (enumeration == nullptr) return "";
  std::string text = ", one of:";
  for (int i = 0; i < enumeration->GetValueCount(); ++i) {
    text += std::string(" ") + enumeration->ToWireString(i);
  }
  return text + " (" + enumeration->GetName() + ")";
}

// Writes slots (properties, parameters), and the properties of the data
// objects they hold down to the depth asked for; a type already open on the
// way down is not opened again.
class SlotWriter {
 public:
  SlotWriter(std::ostream& out, int depth) : _out(out), _depth(depth) {}

  void Slot(int level, const char* name, const Lumo::TypeInfo* type, uint32_t flags,
            const char* version, const Lumo::Type* owner, const Lumo::Type* inheritedFrom) {
    _out << std::string(2 * level, ' ') << name << ": " << DescribeSlot(type, flags) << ", since "
         << Or(version, "?");
    if (inheritedFrom != nullptr) _out << ", from " << inheritedFrom->GetName();
    _out << AllowedValues(type, owner, name) << "\n";
    auto* data = dynamic_cast<const Lumo::DataObjectType*>(TypeOf(type));
    if (data != nullptr && level < _depth) Properties(level + 1, data);
  }

  // The properties of type, inherited ones first.
  void Properties(int level, const Lumo::DataObjectType* type) {
    if (std::find(_open.begin(), _open.end(), type) != _open.end()) {
      _out << std::string(2 * level, ' ') << "(" << type->GetName() << ", shown above)\n";
      return;
    }
    _open.push_back(type);
    for (const Property& property : AllProperties(type)) {
      const Lumo::PropInfo& info = *property.info;
      Slot(level, info.name, info.type, info.flags, info.version, type,
           property.owner != type ? property.owner : nullptr);
    }
    _open.pop_back();
  }

 private:
  std::ostream& _out;
  int _depth;
  std::vector<const Lumo::DataObjectType*> _open;
};

void DescribeManagedType(const Lumo::ManagedObjectType* type, std::ostream& out) {
  std::vector<Lumo::ManagedMethod*> methods = AllMethods(type);
  out << "methods and properties (" << methods.size() << "; zel describe " << type->GetName()
      << ".NAME for one):\n";
  for (Lumo::ManagedMethod* method : methods) {
    out << "  " << method->GetName() << (method->IsProperty() ? " (property)" : "")
        << ", privilege " << Or(method->GetPrivilege(), "none") << ", since "
        << Or(method->GetVersion(), "?");
    if (method->GetOwner() != type) out << ", from " << method->GetOwner()->GetName();
    out << "\n";
  }
}

void DescribeType(const Lumo::Type* type, int depth, std::ostream& out) {
  out << type->GetName() << ": " << Lumo::TypeKindName(type->GetKind()) << ", wsdl name "
      << type->GetWsdlName() << ", since " << Or(type->GetVersion(), "?") << "\n";
  if (auto* data = dynamic_cast<const Lumo::DataObjectType*>(type)) {
    out << "base: " << (data->GetBase() ? data->GetBase()->GetName() : "none") << "\n";
    out << "properties (" << AllProperties(data).size() << "; inherited ones first):\n";
    SlotWriter(out, depth).Properties(1, data);
  } else if (auto* managed = dynamic_cast<const Lumo::ManagedObjectType*>(type)) {
    out << "base: " << (managed->GetBase() ? managed->GetBase()->GetName() : "none") << "\n";
    DescribeManagedType(managed, out);
  } else if (auto* enumeration = dynamic_cast<const Lumo::EnumType*>(type)) {
    out << "values:\n";
    for (int i = 0; i < enumeration->GetValueCount(); ++i) {
      out << "  " << i << " " << enumeration->ToWireString(i) << "\n";
    }
  }
}

void DescribeMethod(const Lumo::ManagedMethod* method, int depth, std::ostream& out) {
  out << method->GetQualifiedName() << ": " << (method->IsProperty() ? "property" : "method")
      << ", wsdl name " << method->GetWsdlName() << ", since " << Or(method->GetVersion(), "?")
      << "\n";
  out << "privilege: " << Or(method->GetPrivilege(), "none") << "\n";
  SlotWriter writer(out, depth);
  if (const Lumo::PropInfo* property = method->GetPropInfo()) {
    writer.Slot(0, "value", property->type, property->flags, property->version, nullptr, nullptr);
    return;
  }
  const Lumo::MethodInfo* info = method->GetMethodInfo();
  out << "parameters:" << (info->parameters && info->parameters->name ? "\n" : " none\n");
  for (const Lumo::ParamInfo* p = info->parameters; p && p->name; ++p) {
    writer.Slot(1, p->name, p->type, p->flags, p->version, nullptr, nullptr);
  }
  if (info->result.type) {
    writer.Slot(0, "result", info->result.type, info->result.flags, info->result.version, nullptr,
                nullptr);
  } else {
    out << "result: none\n";
  }
  out << "faults:";
  bool any = false;
  for (const Lumo::TypeInfo* const* fault = info->faults; fault && *fault; ++fault) {
    out << " " << (*fault)->name;
    any = true;
  }
  out << (any ? "" : " none declared") << " (and the runtime's own faults)\n";
  out << "flags: " << DescribeMethodFlags(info->flags) << "\n";
}

}  // namespace

int ListTypes(const std::string& pattern, std::ostream& out) {
  int listed = 0;
  for (const Lumo::Type* type : Lumo::GetAllTypes()) {
    if (fnmatch(pattern.c_str(), type->GetName(), 0) != 0 &&
        fnmatch(pattern.c_str(), type->GetWsdlName(), 0) != 0) {
      continue;
    }
    out << Lumo::TypeKindName(type->GetKind()) << "\t" << type->GetName() << "\t"
        << type->GetWsdlName() << "\t" << Or(type->GetVersion(), "-") << "\n";
    ++listed;
  }
  return listed;
}

bool Describe(const std::string& name, int depth, std::ostream& out, std::string& error) {
  // A type by any name first, then a method by any name.
  std::string typeError;
  if (const Lumo::Type* type = FindTypeByAnyName(name, typeError)) {
    DescribeType(type, depth, out);
    return true;
  }
  std::string methodError;
  if (const Lumo::ManagedMethod* method = FindMethodByAnyName(name, methodError)) {
    DescribeMethod(method, depth, out);
    return true;
  }
  bool ambiguousType = typeError.find("several") != std::string::npos;
  error = ambiguousType ? typeError : "no type is named " + name + ", and " + methodError;
  return false;
}

}  // namespace ZelCli
