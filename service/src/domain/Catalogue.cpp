#include "domain/Catalogue.h"

#include <Lumo/DataArray.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/TypeInfo.h>
#include <Olyx/Zel/Capability/Types/BuiltinTypesEnum.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Capability/Types/TimeSpan.h>
#include <Olyx/Zel/Capability/Types/TimeUnitEnum.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <ZelSample/ProfileSpecs.h>

#include <optional>

#include "Support.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Capability::CapabilityInstance;
using Zel::Capability::CapabilityMetadata;
using Zel::Capability::ConstraintInstance;
using Zel::Capability::PropertyInstance;
using Zel::Capability::PropertyMetadata;
using Zel::Capability::Provider::CapabilityObjectMetadataPerCategory;
using Zel::Capability::Provider::CapabilityObjectSchema;
using Zel::Capability::Types::DiscreteSet;
using Zel::Capability::Types::Range;
using Zel::Capability::Types::TimeSpan;

// ---- values -----------------------------------------------------------------------

std::optional<int64_t> AsInteger(const Lumo::Any* value) {
  if (auto* i = dynamic_cast<const Lumo::Primitive<int32_t>*>(value)) return i->GetValue();
  if (auto* l = dynamic_cast<const Lumo::Primitive<int64_t>*>(value)) return l->GetValue();
  return std::nullopt;
}

const std::string* AsString(const Lumo::Any* value) {
  auto* s = dynamic_cast<const Lumo::Primitive<std::string>*>(value);
  return s ? &s->GetValue() : nullptr;
}

std::optional<bool> AsBool(const Lumo::Any* value) {
  if (auto* b = dynamic_cast<const Lumo::Primitive<bool>*>(value)) return b->GetValue();
  return std::nullopt;
}

// A time span in seconds (a month counts 30 days, a year 365); empty for a
// span that is not positive or whose unit is not a time unit.
std::optional<int64_t> SpanSeconds(const Lumo::Any* value) {
  using namespace Zel::Capability::Types;
  auto* span = dynamic_cast<const TimeSpan*>(value);
  if (span == nullptr || span->GetValue() <= 0) return std::nullopt;
  static const std::pair<const char*, int64_t> kUnits[] = {
      {TIMEUNITENUM_SECONDS, 1},        {TIMEUNITENUM_MINUTES, 60},
      {TIMEUNITENUM_HOURS, 3600},       {TIMEUNITENUM_DAYS, 86400},
      {TIMEUNITENUM_WEEKS, 7 * 86400},  {TIMEUNITENUM_MONTHS, 30 * 86400},
      {TIMEUNITENUM_YEARS, 365 * 86400}};
  for (const auto& [unit, seconds] : kUnits) {
    if (span->GetUnit() == unit) return span->GetValue() * seconds;
  }
  return std::nullopt;
}

Ref<Lumo::Any> Span(int32_t value, const char* unit) {
  auto span = MakeRef<TimeSpan>();
  span->SetValue(value);
  span->SetUnit(unit);
  return Ref<Lumo::Any>(span.Get());
}

bool SameValue(const Lumo::Any* a, const Lumo::Any* b) {
  if (auto x = AsInteger(a)) {
    auto y = AsInteger(b);
    return y && *x == *y;
  }
  if (auto x = AsBool(a)) {
    auto y = AsBool(b);
    return y && *x == *y;
  }
  if (const std::string* x = AsString(a)) {
    const std::string* y = AsString(b);
    return y && *x == *y;
  }
  return false;
}

namespace {

using Build::Bool;
using Build::Int;
using Build::IntRange;
using Build::Text;
using Build::TextSet;

// ---- the built-in schema ----------------------------------------------------------

Ref<Zel::ExtendedElementDescription> Describe(const std::string& key, const char* label,
                                              const char* summary) {
  auto description = MakeRef<Zel::ExtendedElementDescription>();
  description->SetLabel(label);
  description->SetSummary(summary);
  description->SetKey(key);
  description->SetMessageCatalogKeyPrefix(Catalogue::kNamespace);
  return description;
}

struct BuiltInCapability {
  const char* category;
  const char* id;
  const char* label;
  const char* summary;
  const char* typeName;
  Ref<Lumo::Any> (*defaultValue)();
  Ref<Lumo::Any> (*allowedValue)();
};

const BuiltInCapability kBuiltIn[] = {
    {"availability", "replicaCount", "Number of replicas",
     "How many copies of each block the storage keeps (1 to 3).",
     Zel::Capability::Types::BUILTINTYPESENUM_XSD_INT, [] { return Int(1); },
     [] { return IntRange(1, 3); }},
    {"security", "encryption", "Encryption at rest",
     "Whether the storage encrypts the data it keeps.",
     Zel::Capability::Types::BUILTINTYPESENUM_XSD_BOOLEAN, [] { return Bool(false); },
     [] { return Ref<Lumo::Any>(); }},
    {"performance", "performanceTier", "Performance tier",
     "The class of media behind the storage: gold, silver or bronze.",
     Zel::Capability::Types::BUILTINTYPESENUM_XSD_STRING, [] { return Text("silver"); },
     [] {
       return TextSet({"gold", "silver", "bronze"});
     }},
    {"performance", "stripeWidth", "Stripe width",
     "Over how many devices each object is striped (1 to 12).",
     Zel::Capability::Types::BUILTINTYPESENUM_XSD_INT, [] { return Int(1); },
     [] { return IntRange(1, 12); }},
    {"availability", "snapshotInterval", "Snapshot interval",
     "At most how long the storage waits between two snapshots of the data.",
     Zel::Capability::Types::BUILTINTYPESENUM_KXT_TIMESPAN,
     [] { return Span(1, Zel::Capability::Types::TIMEUNITENUM_DAYS); },
     [] { return Ref<Lumo::Any>(); }},
};

Ref<CapabilityMetadata> MakeCapability(const BuiltInCapability& entry) {
  std::string key = std::string(Catalogue::kNamespace) + "." + entry.id;
  auto id = MakeRef<CapabilityMetadata::UniqueId>();
  id->SetNamespace(Catalogue::kNamespace);
  id->SetId(entry.id);

  auto type = MakeRef<Zel::Capability::TypeInfo>();
  type->SetTypeName(entry.typeName);
  auto property = MakeRef<PropertyMetadata>();
  property->SetId(entry.id);
  property->SetSummary(Describe(key + ".value", entry.label, entry.summary).Get());
  property->SetMandatory(true);
  property->SetType(type.Get());
  property->SetDefaultValue(entry.defaultValue().Get());
  Ref<Lumo::Any> allowed = entry.allowedValue();
  if (allowed) property->SetAllowedValue(allowed.Get());

  auto capability = MakeRef<CapabilityMetadata>();
  capability->SetId(id.Get());
  capability->SetSummary(Describe(key, entry.label, entry.summary).Get());
  capability->SetMandatory(Kestrum::Optional<bool>(false));
  capability->SetAllowMultipleConstraints(Kestrum::Optional<bool>(false));
  capability->GetPropertyMetadata()->Append(property.Get());
  return capability;
}

Ref<CapabilityObjectSchema> MakeBuiltInSchema() {
  auto vendor = MakeRef<CapabilityObjectSchema::VendorInfo>();
  vendor->SetVendorUuid(Catalogue::kVendorUuid);
  vendor->SetInfo(
      Describe("sample.vendor", "Sample storage", "The storage of the sample service's inventory.")
          .Get());
  auto ns = MakeRef<CapabilityObjectSchema::NamespaceInfo>();
  ns->SetVersion("1.0");
  ns->SetNamespace(Catalogue::kNamespace);
  ns->SetInfo(Describe("sample.namespace", "Sample storage capabilities",
                       "Availability, security and performance of the sample storage.")
                  .Get());

  auto schema = MakeRef<CapabilityObjectSchema>();
  schema->SetVendorInfo(vendor.Get());
  schema->SetNamespaceInfo(ns.Get());
  auto* categories = schema->GetCapabilityMetadataPerCategory();
  for (const BuiltInCapability& entry : kBuiltIn) {
    CapabilityObjectMetadataPerCategory* category = nullptr;
    for (int i = 0; i < categories->GetLength(); ++i) {
      if (categories->Get(i)->GetSubCategory() == entry.category) category = categories->Get(i);
    }
    if (category == nullptr) {
      auto created = MakeRef<CapabilityObjectMetadataPerCategory>();
      created->SetSubCategory(entry.category);
      categories->Append(created.Get());
      category = created.Get();
    }
    category->GetCapabilityMetadata()->Append(MakeCapability(entry).Get());
  }
  return schema;
}

bool IsIntegerType(const std::string& name) {
  using namespace Zel::Capability::Types;
  return name == BUILTINTYPESENUM_XSD_INT || name == BUILTINTYPESENUM_XSD_LONG ||
         name == BUILTINTYPESENUM_XSD_SHORT || name == BUILTINTYPESENUM_XSD_INTEGER;
}

// Whether one plain value lies within a property's allowed value.
bool Allowed(const Lumo::Any* allowed, const Lumo::Any* value) {
  if (allowed == nullptr) return true;
  if (auto* range = dynamic_cast<const Range*>(allowed)) {
    auto v = AsInteger(value);
    auto lo = AsInteger(range->GetMin());
    auto hi = AsInteger(range->GetMax());
    return v && lo && hi && *lo <= *v && *v <= *hi;
  }
  if (auto* set = dynamic_cast<const DiscreteSet*>(allowed)) {
    const auto* values = set->GetPtrValues();
    for (int i = 0; values != nullptr && i < values->GetLength(); ++i) {
      if (SameValue(values->GetAt(i), value)) return true;
    }
    return false;
  }
  return true;
}

}  // namespace

// ---- Catalogue ------------------------------------------------------------------------

Catalogue::Catalogue() { _builtIn.push_back(MakeBuiltInSchema()); }

SchemaList Catalogue::GetSchemas() const {
  std::lock_guard<std::mutex> lock(_mutex);
  SchemaList all = _builtIn;
  for (const Registration& registration : _registered) {
    all.insert(all.end(), registration.schemas.begin(), registration.schemas.end());
  }
  return all;
}

void Catalogue::Register(const Zel::Capability::Provider::CapabilityProviderInfo& info,
                         const Zel::Capability::Provider::CapabilityObjectMetadataInfo& metadata) {
  if (info.GetProviderUuid().empty()) {
    Faults::InvalidArgument("info.providerUuid", "the provider UUID is empty");
  }
  if (info.GetSchemaId().empty())
    Faults::InvalidArgument("info.schemaId", "the schema id is empty");
  if (metadata.GetResourceType() != Zel::Profile::RESOURCETYPEENUM_STORAGE) {
    Faults::InvalidArgument("capabilityMetadata.resourceType",
                            "unknown resource type \"" + metadata.GetResourceType() + "\"");
  }
  const auto* schemas = metadata.GetPtrCapabilitySchema();
  if (schemas == nullptr || schemas->IsEmpty()) {
    Faults::InvalidArgument("capabilityMetadata.capabilitySchema", "no capability schema given");
  }
  Registration registration{info.GetProviderUuid(), info.GetSchemaId(), {}};
  for (int i = 0; i < schemas->GetLength(); ++i) {
    const CapabilityObjectSchema* schema = schemas->Get(i);
    std::string path = "capabilityMetadata.capabilitySchema[" + std::to_string(i) + "]";
    if (schema->GetVendorInfo() == nullptr || schema->GetVendorInfo()->GetVendorUuid().empty()) {
      Faults::InvalidArgument(path + ".vendorInfo", "the schema names no vendor");
    }
    if (schema->GetNamespaceInfo() == nullptr ||
        schema->GetNamespaceInfo()->GetNamespace().empty()) {
      Faults::InvalidArgument(path + ".namespaceInfo", "the schema names no namespace");
    }
    const auto* categories = schema->GetPtrCapabilityMetadataPerCategory();
    if (categories == nullptr || categories->IsEmpty()) {
      Faults::InvalidArgument(path + ".capabilityMetadataPerCategory",
                              "the schema has no capability");
    }
    registration.schemas.emplace_back(schema->_Clone());
  }

  std::lock_guard<std::mutex> lock(_mutex);
  auto servedElsewhere = [&](const std::string& ns) {
    for (const auto& schema : _builtIn) {
      if (schema->GetNamespaceInfo()->GetNamespace() == ns) return true;
    }
    for (const Registration& other : _registered) {
      if (other.providerUuid == registration.providerUuid &&
          other.schemaId == registration.schemaId) {
        continue;
      }
      for (const auto& schema : other.schemas) {
        if (schema->GetNamespaceInfo()->GetNamespace() == ns) return true;
      }
    }
    return false;
  };
  for (size_t i = 0; i < registration.schemas.size(); ++i) {
    const std::string& ns = registration.schemas[i]->GetNamespaceInfo()->GetNamespace();
    if (servedElsewhere(ns)) {
      Faults::InvalidArgument(
          "capabilityMetadata.capabilitySchema[" + std::to_string(i) + "].namespaceInfo.namespace",
          "the namespace \"" + ns + "\" is already served by another schema");
    }
  }
  for (Registration& existing : _registered) {
    if (existing.providerUuid == registration.providerUuid &&
        existing.schemaId == registration.schemaId) {
      existing = std::move(registration);
      return;
    }
  }
  _registered.push_back(std::move(registration));
}

void Catalogue::Unregister(const Zel::Capability::Provider::CapabilityProviderInfo& info) {
  std::lock_guard<std::mutex> lock(_mutex);
  for (auto it = _registered.begin(); it != _registered.end(); ++it) {
    if (it->providerUuid == info.GetProviderUuid() && it->schemaId == info.GetSchemaId()) {
      _registered.erase(it);
      return;
    }
  }
  Faults::NotFound("no capability metadata is registered for provider " + info.GetProviderUuid() +
                   " and schema " + info.GetSchemaId());
}

bool Catalogue::RemoveAllRegistered() {
  std::lock_guard<std::mutex> lock(_mutex);
  bool any = !_registered.empty();
  _registered.clear();
  return any;
}

std::vector<std::string> Catalogue::RegisteredProviders() const {
  std::lock_guard<std::mutex> lock(_mutex);
  std::vector<std::string> providers;
  for (const Registration& registration : _registered) {
    bool seen = false;
    for (const std::string& p : providers) seen = seen || p == registration.providerUuid;
    if (!seen) providers.push_back(registration.providerUuid);
  }
  return providers;
}

// ---- look-ups and checks -----------------------------------------------------------------

const CapabilityMetadata* FindCapability(const SchemaList& schemas, const std::string& ns,
                                         const std::string& id) {
  for (const auto& schema : schemas) {
    const auto* categories = schema->GetPtrCapabilityMetadataPerCategory();
    for (int c = 0; categories != nullptr && c < categories->GetLength(); ++c) {
      const auto* capabilities = categories->Get(c)->GetPtrCapabilityMetadata();
      for (int i = 0; capabilities != nullptr && i < capabilities->GetLength(); ++i) {
        const CapabilityMetadata* capability = capabilities->Get(i);
        const auto* uid = capability->GetId();
        if (uid != nullptr && uid->GetNamespace() == ns && uid->GetId() == id) return capability;
      }
    }
  }
  return nullptr;
}

const PropertyMetadata* FindProperty(const CapabilityMetadata& capability, const std::string& id) {
  const auto* properties = capability.GetPtrPropertyMetadata();
  for (int i = 0; properties != nullptr && i < properties->GetLength(); ++i) {
    if (properties->Get(i)->GetId() == id) return properties->Get(i);
  }
  return nullptr;
}

bool CheckValue(const PropertyMetadata& property, const Lumo::Any* value, std::string& reason) {
  if (value == nullptr) {
    reason = "no value given";
    return false;
  }
  const std::string typeName = property.GetType() ? property.GetType()->GetTypeName() : "";
  const Lumo::Any* allowed = property.GetAllowedValue();
  auto refuse = [&](const std::string& why) {
    reason = why;
    return false;
  };
  auto outside = [&](const Lumo::Any* v) {
    return refuse(DescribeValue(v) + " is not one of the allowed values " + DescribeValue(allowed));
  };
  if (IsIntegerType(typeName)) {
    if (AsInteger(value)) return Allowed(allowed, value) ? true : outside(value);
    if (auto* range = dynamic_cast<const Range*>(value)) {
      auto lo = AsInteger(range->GetMin());
      auto hi = AsInteger(range->GetMax());
      if (!lo || !hi) return refuse("a range of this property needs integer bounds");
      if (*lo > *hi) return refuse("the range " + DescribeValue(value) + " is empty");
      if (!Allowed(allowed, range->GetMin())) return outside(range->GetMin());
      if (!Allowed(allowed, range->GetMax())) return outside(range->GetMax());
      return true;
    }
    if (auto* set = dynamic_cast<const DiscreteSet*>(value)) {
      const auto* values = set->GetPtrValues();
      if (values == nullptr || values->IsEmpty()) return refuse("the set of values is empty");
      for (int i = 0; i < values->GetLength(); ++i) {
        if (!AsInteger(values->GetAt(i))) return refuse("a set of this property holds integers");
        if (!Allowed(allowed, values->GetAt(i))) return outside(values->GetAt(i));
      }
      return true;
    }
    return refuse("the property takes an integer, a range or a set of integers, not " +
                  DescribeValue(value));
  }
  if (typeName == Zel::Capability::Types::BUILTINTYPESENUM_XSD_BOOLEAN) {
    if (AsBool(value)) return true;
    return refuse("the property takes a boolean, not " + DescribeValue(value));
  }
  if (typeName == Zel::Capability::Types::BUILTINTYPESENUM_XSD_STRING) {
    if (AsString(value)) return Allowed(allowed, value) ? true : outside(value);
    if (auto* set = dynamic_cast<const DiscreteSet*>(value)) {
      const auto* values = set->GetPtrValues();
      if (values == nullptr || values->IsEmpty()) return refuse("the set of values is empty");
      for (int i = 0; i < values->GetLength(); ++i) {
        if (!AsString(values->GetAt(i))) return refuse("a set of this property holds strings");
        if (!Allowed(allowed, values->GetAt(i))) return outside(values->GetAt(i));
      }
      return true;
    }
    return refuse("the property takes a string or a set of strings, not " + DescribeValue(value));
  }
  if (typeName == Zel::Capability::Types::BUILTINTYPESENUM_KXT_TIMESPAN) {
    if (SpanSeconds(value)) return true;
    return refuse("the property takes a positive time span in a known unit, not " +
                  DescribeValue(value));
  }
  return true;
}

std::string DescribeValue(const Lumo::Any* value) {
  if (value == nullptr) return "(none)";
  if (auto i = AsInteger(value)) return std::to_string(*i);
  if (auto b = AsBool(value)) return *b ? "true" : "false";
  if (const std::string* s = AsString(value)) return "\"" + *s + "\"";
  if (auto* range = dynamic_cast<const Range*>(value)) {
    return "[" + DescribeValue(range->GetMin()) + ".." + DescribeValue(range->GetMax()) + "]";
  }
  if (auto* span = dynamic_cast<const TimeSpan*>(value)) {
    return std::to_string(span->GetValue()) + " " + span->GetUnit();
  }
  if (auto* set = dynamic_cast<const DiscreteSet*>(value)) {
    std::string text = "{";
    const auto* values = set->GetPtrValues();
    for (int i = 0; values != nullptr && i < values->GetLength(); ++i) {
      if (i > 0) text += ", ";
      text += DescribeValue(values->GetAt(i));
    }
    return text + "}";
  }
  return std::string("a value of type ") + value->_GetType()->GetName();
}

}  // namespace ZelSample
