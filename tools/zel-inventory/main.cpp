// zel-inventory: loads the type libraries, starts the runtime and prints what
// got registered: the loaders, the version record and every type by kind.
#include <Lumo/Lumo.h>
#include <Lumo/TypeKind.h>
#include <ZelCommandLine/Program.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Kinds in the order they are printed.
const uint32_t kKindOrder[] = {Lumo::kTypeKindPrimitive, Lumo::kTypeKindDataObject,
                               Lumo::kTypeKindFault, Lumo::kTypeKindEnum,
                               Lumo::kTypeKindManagedObject};

std::string Details(const Lumo::Type* type) {
  std::string text;
  if (auto* data = dynamic_cast<const Lumo::DataObjectType*>(type)) {
    if (data->GetBase()) text += std::string("  : ") + data->GetBase()->GetName();
    text += "  (" + std::to_string(data->GetPropertyCount()) + " own properties)";
  } else if (auto* managed = dynamic_cast<const Lumo::ManagedObjectType*>(type)) {
    if (managed->GetBase()) text += std::string("  : ") + managed->GetBase()->GetName();
    text += "  (" + std::to_string(managed->GetOwnMethodCount()) + " methods, " +
            std::to_string(managed->GetOwnPropertyCount()) + " properties)";
  } else if (auto* enumeration = dynamic_cast<const Lumo::EnumType*>(type)) {
    text += "  {";
    for (int i = 0; i < enumeration->GetValueCount(); ++i) {
      text += std::string(i ? ", " : "") + enumeration->ToWireString(i);
    }
    text += "}";
  }
  return text;
}

void PrintVersions(const Lumo::OlyxVersions* versions) {
  std::printf("    versions:");
  for (uint32_t i = 0; i < versions->versionCount; ++i) {
    std::printf(" %s (%s)", versions->versions[i].name, versions->versions[i].versionId);
  }
  std::printf("\n    depends on:");
  for (uint32_t i = 0; i < versions->dependencyCount; ++i) {
    std::printf(" %s", versions->dependencies[i]);
  }
  std::printf("\n    %u parent relations\n", versions->relationCount);
}

}  // namespace

int main(int argc, char** argv) {
  ZelCommandLine::Program program(
      "zel-inventory", ZEL_VERSION,
      "Loads the type libraries, starts the runtime and prints what got registered:\n"
      "the loaders with their version records, then every type by kind.");
  program.AddManSection("exit status",
                        "0 every type was created, 1 a type has no created base type (named in "
                        "a warning), 2 bad usage.");
  if (int status = program.Parse(argc, argv); status >= 0) return status;
  Lumo::StartRuntime();

  auto loaders = Lumo::GetLoaderRegistrations();
  std::printf("Loaders, in registration order (%zu):\n", loaders.size());
  std::map<std::string, std::pair<int, size_t>> byName;  // loaders and types per name
  for (const auto& loader : loaders) {
    std::printf("  %-6s %3zu types, first %s%s\n", loader.name.c_str(), loader.types.size(),
                loader.types.empty() ? "-" : loader.types.front()->GetName(),
                loader.versions ? "  + version record" : "");
    if (loader.versions) PrintVersions(loader.versions);
    byName[loader.name].first += 1;
    byName[loader.name].second += loader.types.size();
  }
  for (const auto& [name, counts] : byName) {
    std::printf("  total %-6s %d loaders, %zu types\n", name.c_str(), counts.first, counts.second);
  }

  std::map<uint32_t, std::vector<const Lumo::Type*>> byKind;
  for (const Lumo::Type* type : Lumo::GetAllTypes()) byKind[type->GetKind()].push_back(type);

  size_t total = 0;
  for (uint32_t kind : kKindOrder) {
    const auto& types = byKind[kind];
    total += types.size();
    std::printf("\n%ss (%zu):\n", Lumo::TypeKindName(kind), types.size());
    for (const Lumo::Type* type : types) {
      std::printf("  %-48s wsdl %-34s %s%s\n", type->GetName(), type->GetWsdlName(),
                  type->GetVersion(), Details(type).c_str());
    }
  }
  std::printf("\n%zu types in all\n", total);

  auto missing = Lumo::GetTypesWithMissingBase();
  for (const Lumo::Type* type : missing) {
    std::printf("warning: %s has no created base type\n", type->GetName());
  }
  return missing.empty() ? 0 : 1;
}
