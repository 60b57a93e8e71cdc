#include "Describe.h"

#include <Lumo/TypeKind.h>
#include <fnmatch.h>

#include <vector>

#include "Records.h"

namespace ZelCli {

namespace {

const char* Or(const char* text, const char* fallback) {
  return text != nullptr && *text != '\0' ? text : fallback;
}

void DescribeDataType(const Lumo::DataObjectType* type, std::ostream& out) {
  std::vector<Property> properties = AllProperties(type);
  out << "properties (" << properties.size() << "; inherited ones first):\n";
  for (const Property& property : properties) {
    const Lumo::PropInfo& info = *property.info;
    out << "  " << info.name << ": " << DescribeSlot(info.type, info.flags) << ", since "
        << Or(info.version, "?");
    if (property.owner != type) out << ", from " << property.owner->GetName();
    out << "\n";
  }
}

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

void DescribeType(const Lumo::Type* type, std::ostream& out) {
  out << type->GetName() << ": " << Lumo::TypeKindName(type->GetKind()) << ", wsdl name "
      << type->GetWsdlName() << ", since " << Or(type->GetVersion(), "?") << "\n";
  if (auto* data = dynamic_cast<const Lumo::DataObjectType*>(type)) {
    out << "base: " << (data->GetBase() ? data->GetBase()->GetName() : "none") << "\n";
    DescribeDataType(data, out);
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

void DescribeMethod(const Lumo::ManagedMethod* method, std::ostream& out) {
  out << method->GetQualifiedName() << ": " << (method->IsProperty() ? "property" : "method")
      << ", wsdl name " << method->GetWsdlName() << ", since " << Or(method->GetVersion(), "?")
      << "\n";
  out << "privilege: " << Or(method->GetPrivilege(), "none") << "\n";
  if (const Lumo::PropInfo* property = method->GetPropInfo()) {
    out << "value: " << DescribeSlot(property->type, property->flags) << "\n";
    return;
  }
  const Lumo::MethodInfo* info = method->GetMethodInfo();
  out << "parameters:" << (info->parameters && info->parameters->name ? "\n" : " none\n");
  for (const Lumo::ParamInfo* p = info->parameters; p && p->name; ++p) {
    out << "  " << p->name << ": " << DescribeSlot(p->type, p->flags) << ", since "
        << Or(p->version, "?") << "\n";
  }
  out << "result: "
      << (info->result.type ? DescribeSlot(info->result.type, info->result.flags) : "none") << "\n";
  out << "faults:";
  bool any = false;
  for (const Lumo::TypeInfo* const* fault = info->faults; fault && *fault; ++fault) {
    out << " " << (*fault)->name;
    any = true;
  }
  out << (any ? "" : " none declared") << " (and the runtime's own faults)\n";
  out << "flags: 0x" << std::hex << info->flags << std::dec << "\n";
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

bool Describe(const std::string& name, std::ostream& out, std::string& error) {
  if (const Lumo::Type* type = FindAnyType(name)) {
    DescribeType(type, out);
    return true;
  }
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    std::string typeError;
    Lumo::ManagedObjectType* type = FindManagedType(name.substr(0, dot), typeError);
    if (type == nullptr) {
      error = "no type is named " + name + ", and " + typeError;
      return false;
    }
    if (Lumo::ManagedMethod* method = type->FindMethod(name.substr(dot + 1))) {
      DescribeMethod(method, out);
      return true;
    }
    error = std::string(type->GetName()) + " has no method or property " + name.substr(dot + 1);
    return false;
  }
  // A bare method name: the methods of that name across the managed types.
  std::vector<const Lumo::ManagedMethod*> found;
  for (const Lumo::Type* type : Lumo::GetAllTypes()) {
    auto* managed = dynamic_cast<const Lumo::ManagedObjectType*>(type);
    for (int i = 0; managed && i < managed->GetMethodObjectCount(); ++i) {
      const Lumo::ManagedMethod* method = managed->GetMethod(i);
      if (method && name == method->GetName()) found.push_back(method);
    }
  }
  if (found.size() == 1) {
    DescribeMethod(found.front(), out);
    return true;
  }
  if (found.empty()) {
    error = "no type or method is named " + name + " (see: zel types)";
  } else {
    error = name + " is a method of several types; name one:";
    for (const auto* method : found) error += " " + method->GetQualifiedName();
  }
  return false;
}

}  // namespace ZelCli
