// The capabilities the service knows (a built-in sample schema plus what
// providers register), the checks of property values against their metadata,
// and the sample inventory that says what the storage of an entity offers.
#pragma once

#include <Kestrum/Ref.h>
#include <Lumo/Any.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/PropertyMetadata.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataInfo.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectSchema.h>
#include <Olyx/Zel/Capability/Provider/CapabilityProviderInfo.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <mutex>
#include <string>
#include <vector>

namespace ZelSample {

using SchemaList = std::vector<Kestrum::Ref<Zel::Capability::Provider::CapabilityObjectSchema>>;

// Thread-safe. Stored schemas are never changed once stored, so a snapshot
// may be read without the lock.
class Catalogue {
 public:
  static constexpr char kNamespace[] = "sample.storage";
  static constexpr char kVendorUuid[] = "9f2b1c3e-5a6d-4e7f-8a9b-0c1d2e3f4a5b";

  Catalogue();

  // Every schema: the built-in one first, then the registered ones in the
  // order of their registration.
  SchemaList GetSchemas() const;

  // Registers the schemas of one provider and schema id, replacing an earlier
  // registration of the same pair; refuses (InvalidArgument) an empty id, a
  // resource type other than STORAGE, a schema without vendor, namespace or
  // capabilities, and a namespace that another registration already serves.
  void Register(const Zel::Capability::Provider::CapabilityProviderInfo& info,
                const Zel::Capability::Provider::CapabilityObjectMetadataInfo& metadata);
  // Removes a registration; zel.fault.NotFound when there is none.
  void Unregister(const Zel::Capability::Provider::CapabilityProviderInfo& info);
  // Removes every registration; true when there was one.
  bool RemoveAllRegistered();

 private:
  struct Registration {
    std::string providerUuid;
    std::string schemaId;
    SchemaList schemas;
  };

  mutable std::mutex _mutex;
  SchemaList _builtIn;
  std::vector<Registration> _registered;
};

// The capability of a namespace and id in a snapshot; null when unknown.
const Zel::Capability::CapabilityMetadata* FindCapability(const SchemaList& schemas,
                                                          const std::string& ns,
                                                          const std::string& id);
// The property of a capability; null when unknown.
const Zel::Capability::PropertyMetadata* FindProperty(
    const Zel::Capability::CapabilityMetadata& capability, const std::string& id);

// Whether a value suits a property: an integer property takes an integer, a
// range of integers or a set of integers, a boolean property a boolean, a
// string property a string or a set of strings, all within the property's
// allowed value, a time span property a positive time span in a time unit.
// Properties of other types take any value. False with the
// reason when refused.
bool CheckValue(const Zel::Capability::PropertyMetadata& property, const Lumo::Any* value,
                std::string& reason);

// The sample inventory: an entity whose key ends in an odd digit lives on the
// datastore "ds-bulk", every other entity on "ds-fast".
std::string DatastoreOf(const Zel::ServerObjectRef& entity);
// What the storage of an entity offers for a property of the built-in
// schema; null for a property it knows nothing of.
Kestrum::Ref<Lumo::Any> OfferedValue(const Zel::ServerObjectRef& entity, const std::string& ns,
                                     const std::string& capability, const std::string& property);
// Whether an offered value meets a wanted property instance: equal to a plain
// value, inside a range, one of a set, a time span no longer than the wanted
// one; the operator NOT turns the answer. An
// unknown offer meets nothing.
bool Satisfies(const Lumo::Any* offered, const Zel::Capability::PropertyInstance& wanted);
// Whether the storage of an entity meets a capability instance: one of its
// constraints has every property instance met.
bool Satisfies(const Zel::ServerObjectRef& entity,
               const Zel::Capability::CapabilityInstance& capability);
// The capability instance that the storage of an entity offers for the
// properties a wanted instance names (one constraint); null when it offers
// none of them.
Kestrum::Ref<Zel::Capability::CapabilityInstance> OfferedInstance(
    const Zel::ServerObjectRef& entity, const Zel::Capability::CapabilityInstance& wanted);

// Text of a value for messages: 2, true, "gold", [1..3], {gold, silver}, 3 HOURS.
std::string DescribeValue(const Lumo::Any* value);

}  // namespace ZelSample
