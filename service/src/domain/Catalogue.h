// The capabilities the service knows (a built-in sample schema plus what
// providers register) and the checks of property values against their
// metadata.
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
#include <ZelSample/ProfileSpecs.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ZelSample {

using SchemaList = std::vector<Kestrum::Ref<Zel::Capability::Provider::CapabilityObjectSchema>>;

// Thread-safe. Stored schemas are never changed once stored, so a snapshot
// may be read without the lock.
class Catalogue {
 public:
  // The namespace clients name its capabilities in.
  static constexpr const char* kNamespace = Build::kSampleNamespace;
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
  // The providers with a registration, each once, in the order of their
  // first registration.
  std::vector<std::string> RegisteredProviders() const;

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

// The plain values of capability properties.
std::optional<int64_t> AsInteger(const Lumo::Any* value);
const std::string* AsString(const Lumo::Any* value);
std::optional<bool> AsBool(const Lumo::Any* value);
// Whether two plain values are equal (integers of any width compare by value).
bool SameValue(const Lumo::Any* a, const Lumo::Any* b);
// A positive time span in seconds (a month counts 30 days, a year 365); empty
// for a value that is not such a span.
std::optional<int64_t> SpanSeconds(const Lumo::Any* value);

// Text of a value for messages: 2, true, "gold", [1..3], {gold, silver}, 3 HOURS.
std::string DescribeValue(const Lumo::Any* value);

}  // namespace ZelSample
