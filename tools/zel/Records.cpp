#include "Records.h"

namespace ZelCli {

Lumo::Type* FindAnyType(const std::string& name) {
  if (Lumo::Type* type = Lumo::FindTypeByName(name)) return type;
  return Lumo::FindTypeByWsdlName(name);
}

std::vector<Property> AllProperties(const Lumo::DataObjectType* type) {
  std::vector<const Lumo::DataObjectType*> chain;
  for (const Lumo::DataObjectType* t = type; t != nullptr; t = t->GetBase()) chain.push_back(t);
  std::vector<Property> properties;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (int i = 0; i < (*it)->GetPropertyCount(); ++i) {
      properties.push_back(Property{&(*it)->GetProperty(i), *it});
    }
  }
  return properties;
}

Lumo::Type* TypeOf(const Lumo::TypeInfo* info) {
  return info == nullptr ? nullptr : Lumo::FindTypeByName(info->name);
}

std::string DescribeSlot(const Lumo::TypeInfo* type, uint32_t flags) {
  std::string text = type != nullptr ? type->name : "?";
  if (type != nullptr && type->kind == Lumo::kTypeKindManagedObject) text = "ref " + text;
  if (flags & Lumo::kFlagArray) text += "[]";
  text += (flags & Lumo::kFlagOptional) ? " optional" : " required";
  return text;
}

Lumo::ManagedObjectType* FindManagedType(const std::string& name, std::string& error) {
  if (auto* managed = dynamic_cast<Lumo::ManagedObjectType*>(FindAnyType(name))) return managed;
  std::vector<Lumo::ManagedObjectType*> matches;
  for (Lumo::Type* type : Lumo::GetAllTypes()) {
    auto* managed = dynamic_cast<Lumo::ManagedObjectType*>(type);
    if (managed == nullptr) continue;
    std::string wire = managed->GetName();
    size_t dot = wire.rfind('.');
    if (wire.substr(dot == std::string::npos ? 0 : dot + 1) == name) matches.push_back(managed);
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    error = "no managed object type is named " + name + " (see: zel types)";
  } else {
    error = name + " names several managed types:";
    for (auto* match : matches) error += std::string(" ") + match->GetName();
  }
  return nullptr;
}

std::vector<Lumo::ManagedMethod*> AllMethods(const Lumo::ManagedObjectType* type) {
  std::vector<Lumo::ManagedMethod*> methods;
  for (const Lumo::ManagedObjectType* t = type; t != nullptr; t = t->GetBase()) {
    for (int i = 0; i < t->GetMethodObjectCount(); ++i) {
      if (Lumo::ManagedMethod* method = t->GetMethod(i)) methods.push_back(method);
    }
  }
  return methods;
}

std::vector<std::pair<std::string, std::string>> KnownVersions() {
  std::vector<std::pair<std::string, std::string>> versions;
  for (const auto& loader : Lumo::GetLoaderRegistrations()) {
    if (loader.versions == nullptr) continue;
    for (uint32_t i = 0; i < loader.versions->versionCount; ++i) {
      const Lumo::OlyxVersion& version = loader.versions->versions[i];
      versions.emplace_back(version.name, version.versionId ? version.versionId : "");
    }
  }
  return versions;
}

std::string ResolveVersion(const std::string& text) {
  for (const auto& [name, id] : KnownVersions()) {
    size_t dot = name.rfind('.');
    if (text == name || text == id || text == name.substr(dot + 1)) return name;
  }
  return std::string();
}

}  // namespace ZelCli
