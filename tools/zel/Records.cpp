#include "Records.h"

#include <cstdio>

namespace ZelCli {

namespace {

std::string LastPart(const std::string& name) {
  size_t dot = name.rfind('.');
  return name.substr(dot == std::string::npos ? 0 : dot + 1);
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace

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
  std::string extra = DescribeExtraFlags(flags);
  if (!extra.empty()) text += ", " + extra;
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

Lumo::Type* FindTypeByAnyName(const std::string& name, std::string& error) {
  if (Lumo::Type* type = FindAnyType(name)) return type;
  std::vector<Lumo::Type*> matches;
  for (Lumo::Type* type : Lumo::GetAllTypes()) {
    if (LastPart(type->GetName()) == name) matches.push_back(type);
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    error = "no type is named " + name + " (see: zel types)";
  } else {
    error = name + " names several types:";
    for (Lumo::Type* match : matches) error += std::string(" ") + match->GetName();
  }
  return nullptr;
}

Lumo::ManagedMethod* FindMethodByAnyName(const std::string& name, std::string& error) {
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    std::string typeError;
    Lumo::ManagedObjectType* type = FindManagedType(name.substr(0, dot), typeError);
    if (type == nullptr) {
      error = typeError;
      return nullptr;
    }
    if (Lumo::ManagedMethod* method = type->FindMethod(name.substr(dot + 1))) return method;
    error = std::string(type->GetName()) + " has no method or property " + name.substr(dot + 1) +
            " (see: zel describe " + type->GetName() + ")";
    return nullptr;
  }
  std::vector<Lumo::ManagedMethod*> found;
  for (Lumo::Type* type : Lumo::GetAllTypes()) {
    auto* managed = dynamic_cast<Lumo::ManagedObjectType*>(type);
    for (int i = 0; managed && i < managed->GetMethodObjectCount(); ++i) {
      Lumo::ManagedMethod* method = managed->GetMethod(i);
      if (method && name == method->GetName()) found.push_back(method);
    }
  }
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    error = "no method is named " + name + " (see: zel types)";
  } else {
    error = name + " is a method of several types; name one:";
    for (const auto* method : found) error += " " + method->GetQualifiedName();
  }
  return nullptr;
}

const Lumo::EnumType* EnumerationOf(const Lumo::Type* owner, const std::string& property) {
  if (property.empty()) return nullptr;
  std::string capital = property;
  capital[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capital[0])));
  const std::string names[] = {capital, capital + "Enum"};
  std::vector<const Lumo::EnumType*> all;
  for (Lumo::Type* type : Lumo::GetAllTypes()) {
    if (auto* enumeration = dynamic_cast<const Lumo::EnumType*>(type)) all.push_back(enumeration);
  }
  auto find = [&](const std::string& scope) -> const Lumo::EnumType* {
    for (const std::string& name : names) {
      for (const Lumo::EnumType* enumeration : all) {
        if (enumeration->GetName() == scope + "." + name) return enumeration;
      }
    }
    return nullptr;
  };
  // Nested in the type or a base, then in the type's package.
  auto* data = dynamic_cast<const Lumo::DataObjectType*>(owner);
  for (const Lumo::DataObjectType* t = data; t != nullptr; t = t->GetBase()) {
    if (const Lumo::EnumType* found = find(t->GetName())) return found;
  }
  if (owner != nullptr) {
    std::string wire = owner->GetName();
    size_t dot = wire.rfind('.');
    if (dot != std::string::npos) {
      if (const Lumo::EnumType* found = find(wire.substr(0, dot))) return found;
    }
  }
  // Anywhere, when one alone has the name.
  for (const std::string& name : names) {
    const Lumo::EnumType* only = nullptr;
    int count = 0;
    for (const Lumo::EnumType* enumeration : all) {
      if (LastPart(enumeration->GetName()) == name) {
        only = enumeration;
        ++count;
      }
    }
    if (count == 1) return only;
  }
  return nullptr;
}

std::string DescribeExtraFlags(uint32_t flags) {
  uint32_t extra = flags & ~static_cast<uint32_t>(Lumo::kFlagArray | Lumo::kFlagOptional);
  if (extra == 0) return std::string();
  return "flags " + Hex(extra) + " (marked so in the schema; the runtime reads it as any other)";
}

std::string DescribeMethodFlags(uint32_t flags) {
  if (flags == 0) return "0x0 (none: an ordinary method)";
  if (flags == 0x100) {
    return "0x100 (marked in the schema as an internal or debugging method; called as any "
           "other)";
  }
  return Hex(flags) + " (bits this client does not know; called as any other)";
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
