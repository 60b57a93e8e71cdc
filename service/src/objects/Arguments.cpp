#include "objects/Arguments.h"

#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <set>

#include "Support.h"
#include "domain/Catalogue.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

std::string EntityKey(const Zel::ServerObjectRef& entity) {
  std::string key = entity.GetObjectType() + ":" + entity.GetKey();
  if (const std::string* server = entity.PeekServerUuid()) key += "@" + *server;
  return key;
}

void CheckEntity(const Zel::ServerObjectRef* entity, const std::string& path) {
  if (entity == nullptr) Faults::InvalidArgument(path, "no entity given");
  // Any value of the object type enumeration but "unknown", which names no
  // entity the service could act on.
  const std::string& type = entity->GetObjectType();
  bool known = type != Zel::ServerObjectRef::OBJECTTYPE_UNKNOWN &&
               IsValueOf<Zel::ServerObjectRef::ObjectType>(type);
  if (!known) {
    Faults::InvalidArgument(path + ".objectType", "unknown object type \"" + type + "\"");
  }
  if (entity->GetKey().empty()) Faults::InvalidArgument(path + ".key", "the entity key is empty");
}

void CheckEntities(const Lumo::DataArray<Zel::ServerObjectRef>* entities, const std::string& path,
                   const QuotaTable& quotas, bool mayBeEmpty) {
  if (!mayBeEmpty && (entities == nullptr || entities->IsEmpty())) {
    Faults::InvalidArgument(path, "no entities given");
  }
  if (entities == nullptr) return;
  quotas.CheckEntityCount(static_cast<size_t>(entities->GetLength()), path);
  for (int i = 0; i < entities->GetLength(); ++i) CheckEntity(entities->Get(i), Indexed(path, i));
}

std::string Indexed(const std::string& path, int index) {
  return path + "[" + std::to_string(index) + "]";
}

Ref<Zel::Profile::ProfileId> MakeId(const std::string& uniqueId) {
  auto id = MakeRef<Zel::Profile::ProfileId>();
  id->SetUniqueId(uniqueId);
  return id;
}

void CheckConstraints(const Catalogue& catalogue,
                      const Zel::Profile::CapabilityConstraints* constraints,
                      const std::string& path) {
  if (constraints == nullptr) Faults::InvalidArgument(path, "no constraints given");
  auto* subProfiles =
      dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(constraints);
  if (subProfiles == nullptr) {
    Faults::InvalidArgument(path, "the service takes constraints as sub-profiles only");
  }
  const auto* list = subProfiles->GetPtrSubProfiles();
  if (list == nullptr || list->IsEmpty()) Faults::InvalidArgument(path, "no sub-profile given");
  SchemaList schemas = catalogue.GetSchemas();
  std::set<std::string> names;
  for (int s = 0; s < list->GetLength(); ++s) {
    const auto* sub = list->Get(s);
    std::string subPath = Indexed(path + ".subProfiles", s);
    if (sub->GetName().empty()) Faults::InvalidArgument(subPath + ".name", "the name is empty");
    if (!names.insert(sub->GetName()).second) {
      Faults::InvalidArgument(subPath + ".name",
                              "two sub-profiles are named \"" + sub->GetName() + "\"");
    }
    const auto* capabilities = sub->GetPtrCapability();
    if (capabilities == nullptr || capabilities->IsEmpty()) {
      Faults::InvalidArgument(subPath + ".capability", "the sub-profile names no capability");
    }
    std::set<std::string> seen;
    for (int c = 0; c < capabilities->GetLength(); ++c) {
      const auto* capability = capabilities->Get(c);
      std::string capPath = Indexed(subPath + ".capability", c);
      const auto* uid = capability->GetId();
      if (uid == nullptr) Faults::InvalidArgument(capPath + ".id", "no capability id given");
      const auto* metadata = FindCapability(schemas, uid->GetNamespace(), uid->GetId());
      if (metadata == nullptr) {
        Faults::InvalidArgument(capPath + ".id",
                                "unknown capability " + uid->GetNamespace() + "." + uid->GetId());
      }
      if (!seen.insert(uid->GetNamespace() + "." + uid->GetId()).second) {
        Faults::InvalidArgument(capPath + ".id", "the capability " + uid->GetId() +
                                                     " is constrained twice in one sub-profile");
      }
      const auto* constraintList = capability->GetPtrConstraint();
      if (constraintList == nullptr || constraintList->IsEmpty()) {
        Faults::InvalidArgument(capPath + ".constraint", "the capability has no constraint");
      }
      for (int k = 0; k < constraintList->GetLength(); ++k) {
        std::string conPath = Indexed(capPath + ".constraint", k);
        const auto* properties = constraintList->Get(k)->GetPtrPropertyInstance();
        if (properties == nullptr || properties->IsEmpty()) {
          Faults::InvalidArgument(conPath + ".propertyInstance", "the constraint is empty");
        }
        for (int p = 0; p < properties->GetLength(); ++p) {
          const auto* property = properties->Get(p);
          std::string propPath = Indexed(conPath + ".propertyInstance", p);
          const auto* propertyMetadata = FindProperty(*metadata, property->GetId());
          if (propertyMetadata == nullptr) {
            Faults::InvalidArgument(propPath + ".id", "the capability " + uid->GetId() +
                                                          " has no property \"" +
                                                          property->GetId() + "\"");
          }
          const std::string* op = property->PeekOperator();
          if (op != nullptr && *op != "NOT") {
            Faults::InvalidArgument(propPath + ".operator", "unknown operator \"" + *op + "\"");
          }
          std::string reason;
          if (!CheckValue(*propertyMetadata, property->GetValue(), reason)) {
            Faults::InvalidArgument(propPath + ".value", reason);
          }
        }
      }
    }
  }
}

}  // namespace ZelSample
