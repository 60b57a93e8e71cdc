// What zel reads from the runtime's description records: types by any of
// their names, properties with their bases, method signatures, API versions.
// Nothing here knows a class of a type library.
#pragma once

#include <Lumo/Lumo.h>

#include <string>
#include <utility>
#include <vector>

namespace ZelCli {

// A type by wire name ("zel.profile.ProfileId") or WSDL name ("ZelProfileId");
// null when neither names one.
Lumo::Type* FindAnyType(const std::string& name);

// A data object type's properties, those of its bases first; each with the
// record that declares it.
struct Property {
  const Lumo::PropInfo* info;
  const Lumo::DataObjectType* owner;
};
std::vector<Property> AllProperties(const Lumo::DataObjectType* type);

// The runtime type a property or parameter record names (the element type
// for an array); null when the runtime does not know it.
Lumo::Type* TypeOf(const Lumo::TypeInfo* info);

// "zel.profile.ProfileId[] optional" and the like.
std::string DescribeSlot(const Lumo::TypeInfo* type, uint32_t flags);

// A managed type by wire name, WSDL name or the last part of its wire name
// ("ProfileManager"); on failure null and why in error.
Lumo::ManagedObjectType* FindManagedType(const std::string& name, std::string& error);

// Any type by wire name, WSDL name or the last part of its wire name
// ("ProfileId"); on failure null and why in error.
Lumo::Type* FindTypeByAnyName(const std::string& name, std::string& error);

// A method or property getter by any of its names: "create" when one type
// alone has it, "ProfileManager.create", "zel.profile.ProfileManager.create".
// On failure null and why in error (the types of an ambiguous name named).
Lumo::ManagedMethod* FindMethodByAnyName(const std::string& name, std::string& error);

// The enumeration whose wire strings a string property of owner may take:
// the records carry enumeration values in plain strings, and name the
// enumeration after the property ("objectType": ObjectType, "profileCategory":
// ProfileCategoryEnum), nested in the type or one of its bases, in its
// package, or unique in all; null when none is named so.
const Lumo::EnumType* EnumerationOf(const Lumo::Type* owner, const std::string& property);

// Words for the flag bits of a property or parameter beyond array and
// optional, and of a method; empty when none is set.
std::string DescribeExtraFlags(uint32_t flags);
std::string DescribeMethodFlags(uint32_t flags);

// Every method of a type and its bases, and its properties' getters.
std::vector<Lumo::ManagedMethod*> AllMethods(const Lumo::ManagedObjectType* type);

// The registered API versions: (name, version id) pairs in record order.
std::vector<std::pair<std::string, std::string>> KnownVersions();
// A version by name ("zel.version.version2"), last name part ("version2") or
// id ("2.0"); empty when unknown.
std::string ResolveVersion(const std::string& text);

}  // namespace ZelCli
