#include <Kestrum/Exception.h>
#include <Lumo/Lumo.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Wire/Wsdl.h>
#include <Olyx/Zel/AboutInfo.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/PropertyMetadata.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectSchema.h>
#include <Olyx/Zel/Capability/TypeInfo.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Compliance/PolicyStatus.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelDemo/Conversation.h>
#include <ZelSample/Token.h>

#include <cstring>
#include <functional>
#include <iomanip>
#include <map>
#include <ostream>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "StorageSteps.h"
#include "Transcript.h"

namespace ZelDemo {

using Detail::Expect;
using Detail::FaultName;
using Detail::Shortened;
using Detail::Transcript;
using Kestrum::Ref;
using Zel::Capability::CapabilityInstance;
using Zel::Profile::ProfileId;

namespace {

// ---- versions ------------------------------------------------------------------------------

// Whether a call of version `spoken` carries an element of version `element`.
bool Carries(const std::string& spoken, const char* element) {
  return Lumo::Wire::ApiVersionCarries(spoken, element);
}

const char* MethodVersion(Lumo::ManagedObjectType* type, const char* method) {
  Lumo::ManagedMethod* found = type->FindMethod(method);
  return found ? found->GetVersion() : nullptr;
}

const char* PropertyVersion(Lumo::DataObjectType* type, const char* property) {
  int index = type->FindProperty(property);
  return index < 0 ? nullptr : type->GetProperty(index).version;
}

// ---- building what the client sends ----------------------------------------------------------

constexpr char kNamespace[] = "sample.storage";

Ref<Lumo::Any> Int(int32_t v) { return Ref<Lumo::Any>(new Lumo::Primitive<int32_t>(v)); }
Ref<Lumo::Any> Bool(bool v) { return Ref<Lumo::Any>(Lumo::BoxBool(v)); }
Ref<Lumo::Any> Text(const char* v) { return Ref<Lumo::Any>(new Lumo::Primitive<std::string>(v)); }

Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi) {
  Ref<Zel::Capability::Types::Range> range(new Zel::Capability::Types::Range);
  range->SetMin(Int(lo).Get());
  range->SetMax(Int(hi).Get());
  return Ref<Lumo::Any>(range.Get());
}

Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values) {
  Ref<Zel::Capability::Types::DiscreteSet> set(new Zel::Capability::Types::DiscreteSet);
  for (const char* v : values) set->GetValues()->Append(Text(v).Get());
  return Ref<Lumo::Any>(set.Get());
}

// A capability constrained by one property of the same id.
Ref<CapabilityInstance> Capability(const char* id, Ref<Lumo::Any> value) {
  Ref<Zel::Capability::PropertyInstance> property(new Zel::Capability::PropertyInstance);
  property->SetId(id);
  property->SetValue(value.Get());
  Ref<Zel::Capability::ConstraintInstance> constraint(new Zel::Capability::ConstraintInstance);
  constraint->GetPropertyInstance()->Append(property.Get());
  Ref<Zel::Capability::CapabilityMetadata::UniqueId> uid(
      new Zel::Capability::CapabilityMetadata::UniqueId);
  uid->SetNamespace(kNamespace);
  uid->SetId(id);
  Ref<CapabilityInstance> capability(new CapabilityInstance);
  capability->SetId(uid.Get());
  capability->GetConstraint()->Append(constraint.Get());
  return capability;
}

using SubProfile = Zel::Profile::SubProfileCapabilityConstraints::SubProfile;

Ref<SubProfile> Sub(const char* name, std::vector<Ref<CapabilityInstance>> capabilities) {
  Ref<SubProfile> sub(new SubProfile);
  sub->SetName(name);
  for (auto& capability : capabilities) sub->GetCapability()->Append(capability.Get());
  return sub;
}

Ref<Zel::Profile::ResourceType> Storage() {
  Ref<Zel::Profile::ResourceType> type(new Zel::Profile::ResourceType);
  type->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  return type;
}

Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(const char* name, const char* description,
                                                         std::vector<Ref<SubProfile>> subs) {
  Ref<Zel::Profile::SubProfileCapabilityConstraints> constraints(
      new Zel::Profile::SubProfileCapabilityConstraints);
  for (auto& sub : subs) constraints->GetSubProfiles()->Append(sub.Get());
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec(
      new Zel::Profile::CapabilityBasedProfileCreateSpec);
  spec->SetName(name);
  spec->SetDescription(Kestrum::Optional<std::string>(description));
  spec->SetResourceType(Storage().Get());
  spec->SetConstraints(constraints.Get());
  return spec;
}

Ref<Zel::ServerObjectRef> Entity(const char* type, const char* key) {
  Ref<Zel::ServerObjectRef> entity(new Zel::ServerObjectRef);
  entity->SetObjectType(type);
  entity->SetKey(key);
  return entity;
}

Ref<ProfileId> Id(const std::string& uniqueId) {
  Ref<ProfileId> id(new ProfileId);
  id->SetUniqueId(uniqueId);
  return id;
}

template <class T>
Ref<Lumo::DataArray<T>> ArrayOf(std::vector<Ref<T>> items) {
  Ref<Lumo::DataArray<T>> array(new Lumo::DataArray<T>);
  for (auto& item : items) array->Append(item.Get());
  return array;
}

// ---- describing what comes back --------------------------------------------------------------

std::string Describe(const Lumo::Any* value) {
  if (value == nullptr) return "(none)";
  if (auto* i = dynamic_cast<const Lumo::Primitive<int32_t>*>(value)) {
    return std::to_string(i->GetValue());
  }
  if (auto* l = dynamic_cast<const Lumo::Primitive<int64_t>*>(value)) {
    return std::to_string(l->GetValue());
  }
  if (auto* b = dynamic_cast<const Lumo::Primitive<bool>*>(value)) {
    return b->GetValue() ? "true" : "false";
  }
  if (auto* s = dynamic_cast<const Lumo::Primitive<std::string>*>(value)) {
    return "\"" + s->GetValue() + "\"";
  }
  if (auto* range = dynamic_cast<const Zel::Capability::Types::Range*>(value)) {
    return Describe(range->GetMin()) + ".." + Describe(range->GetMax());
  }
  if (auto* set = dynamic_cast<const Zel::Capability::Types::DiscreteSet*>(value)) {
    std::string text = "{";
    const auto* values = set->GetPtrValues();
    for (int i = 0; values != nullptr && i < values->GetLength(); ++i) {
      text += (i ? ", " : "") + Describe(values->GetAt(i));
    }
    return text + "}";
  }
  return value->_GetType()->GetName();
}

// "replicaCount = 2", "performanceTier in {"gold"}", "stripeWidth in 2..8".
std::string Describe(const CapabilityInstance& capability) {
  std::string text;
  const auto* constraints = capability.GetPtrConstraint();
  for (int c = 0; constraints != nullptr && c < constraints->GetLength(); ++c) {
    if (c > 0) text += " or ";
    const auto* properties = constraints->Get(c)->GetPtrPropertyInstance();
    for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
      const auto* property = properties->Get(p);
      if (p > 0) text += " and ";
      const Lumo::Any* value = property->GetValue();
      bool many = dynamic_cast<const Zel::Capability::Types::Range*>(value) != nullptr ||
                  dynamic_cast<const Zel::Capability::Types::DiscreteSet*>(value) != nullptr;
      const std::string* op = property->PeekOperator();
      text += property->GetId() + (op ? " " + *op : "") + (many ? " in " : " = ") + Describe(value);
    }
  }
  return text;
}

std::string Describe(const Zel::ServerObjectRef& entity) {
  return entity.GetKey() + " (" + entity.GetObjectType() + ")";
}

}  // namespace

// ---- public helpers ----------------------------------------------------------------------------

Kestrum::Ref<Lumo::MoRef> ServiceInstanceRef() {
  return Kestrum::Ref<Lumo::MoRef>(new Lumo::MoRef("zel.ServiceInstance", "ServiceInstance"));
}

std::vector<std::pair<std::string, std::string>> KnownVersions() {
  std::vector<std::pair<std::string, std::string>> all;
  for (const Lumo::Wire::ApiVersion& version : Lumo::Wire::ListApiVersions()) {
    if (version.ns == "zel") all.emplace_back(version.name, version.versionId);
  }
  return all;
}

std::string ResolveVersion(const std::string& text) {
  return Lumo::Wire::ResolveApiVersion("zel", text);
}

std::string DefaultVersion() { return Lumo::Wire::DefaultApiVersion("zel"); }

// ---- the conversation ------------------------------------------------------------------------

std::string CheckVersion(const std::string& version) {
  const char* login = MethodVersion(Lumo::GetMoType<Zel::Auth::SessionManager>(), "loginByToken");
  if (Carries(version, login)) return std::string();
  return "the conversation logs in by token, which " + version + " does not have (it came with " +
         login + "): choose that version or a later one";
}

ConversationResult RunConversation(Lumo::StubAdapter* adapter, Lumo::MoRef* serviceInstance,
                                   const ConversationOptions& options, std::ostream& out) {
  Transcript t(out);
  const std::string& version = options.version;
  std::string unsuitable = CheckVersion(version);
  if (!unsuitable.empty()) {
    out << "The conversation cannot run: " << unsuitable << ".\n";
    ConversationResult refused;
    refused.failed.push_back(unsuitable);
    return refused;
  }
  Ref<Zel::ServiceInstanceStub> instance(
      new Zel::ServiceInstanceStub(serviceInstance, adapter, nullptr));
  Ref<Zel::ServiceInstanceContent> content;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;
  std::string gold;
  std::string bronze;
  auto goldSpec = Spec("Gold", "two encrypted replicas, or the gold tier striped wide",
                       {Sub("replicated", {Capability("replicaCount", Int(2)),
                                           Capability("encryption", Bool(true))}),
                        Sub("fast", {Capability("performanceTier", TextSet({"gold"})),
                                     Capability("stripeWidth", IntRange(2, 8))})});
  auto bronzeSpec =
      Spec("Bronze", "one or two copies on economical media",
           {Sub("economy", {Capability("replicaCount", IntRange(1, 2)),
                            Capability("performanceTier", TextSet({"silver", "bronze"}))}),
            Sub("narrow", {Capability("stripeWidth", Int(1))})});
  auto vm = Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, "vm-42");
  auto disk0 = Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, "vm-42:2000");
  auto disk1 = Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, "vm-42:2001");

  t.Step("Retrieve the service content (no login needed)", [&] {
    instance->RetrieveContent(content);
    if (!t.Check(content && content->GetAboutInfo(), "a content with about information")) return;
    const Zel::AboutInfo* about = content->GetAboutInfo();
    t.Say("service: " + about->GetName() + " " + about->GetVersion() + ", instance " +
          about->GetInstanceUuid());
    struct Manager {
      const char* name;
      Lumo::MoRef* ref;
    };
    const Manager managers[] = {
        {"sessionManager", content->GetSessionManager()},
        {"profileManager", content->GetProfileManager()},
        {"capabilityMetadataManager", content->GetCapabilityMetadataManager()},
        {"complianceManager", content->GetComplianceManager()},
        {"placementSolver", content->GetPlacementSolver()},
    };
    for (const Manager& manager : managers) {
      if (t.Check(manager.ref != nullptr, std::string("a reference to the ") + manager.name)) {
        t.Say(std::string(manager.name) + ": " + manager.ref->GetTypeName() + " \"" +
              manager.ref->GetId() + "\"");
      }
    }
    bool replication = Carries(
        version,
        PropertyVersion(Lumo::GetDoType<Zel::ServiceInstanceContent>(), "replicationManager"));
    if (replication) {
      if (t.Check(content->GetReplicationManager() != nullptr,
                  "a reference to the replication manager")) {
        t.Say("replicationManager: " + content->GetReplicationManager()->GetTypeName() + " \"" +
              content->GetReplicationManager()->GetId() + "\"");
      }
    } else {
      t.Check(content->GetReplicationManager() == nullptr, "no replication manager in " + version);
      t.Say("replicationManager: not part of " + version);
    }
    sessions = new Zel::Auth::SessionManagerStub(content->GetSessionManager(), adapter, nullptr);
    profiles = new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter, nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(content->GetComplianceManager(),
                                                            adapter, nullptr);
  });
  if (!profiles) return t.Result();

  t.Step("Ask for the resource types before logging in: refused", [&] {
    auto fault = Expect<Lumo::MethodFault::Exception>(t, "the call is refused", [&] {
      Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
      profiles->FetchResourceType(types);
    });
    if (fault) t.Say("refused with " + FaultName(fault.Get()) + ": " + fault->GetMsg());
  });

  t.Step("Log in by token as " + options.user, [&] {
    auto forged = Expect<Zel::Fault::InvalidLogin::Exception>(t, "a forged token is refused", [&] {
      sessions->LoginByToken("<DelegatedToken><Subject>mallory</Subject>");
    });
    if (forged) {
      t.Say("a malformed token: caught Zel::Fault::InvalidLogin::Exception (" +
            Shortened(forged->GetMsg(), 80) + ")");
    }
    sessions->LoginByToken(ZelSample::MakeDelegatedToken(options.user));
    t.Say("a token of the sample issuer: logged in");
  });

  t.Step("List the resource types", [&] {
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
    profiles->FetchResourceType(types);
    std::string names;
    bool storage = false;
    for (int i = 0; i < types->GetLength(); ++i) {
      names += (i ? ", " : "") + types->Get(i)->GetResourceType();
      storage = storage || types->Get(i)->GetResourceType() == "STORAGE";
    }
    t.Say("resource types: " + names);
    t.Check(storage, "STORAGE among the resource types");
  });

  t.Step("Read the capability metadata", [&] {
    Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectSchema::VendorResourceTypeInfo>>
        vendors;
    profiles->FetchVendorInfo(Storage().Get(), vendors);
    for (int i = 0; i < vendors->GetLength(); ++i) {
      const auto* pairs = vendors->Get(i)->GetPtrVendorNamespaceInfo();
      for (int j = 0; pairs != nullptr && j < pairs->GetLength(); ++j) {
        t.Say("vendor \"" + pairs->Get(j)->GetVendorInfo()->GetInfo()->GetLabel() +
              "\", namespace " + pairs->Get(j)->GetNamespaceInfo()->GetNamespace() + " " +
              pairs->Get(j)->GetNamespaceInfo()->GetVersion());
      }
    }
    Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectMetadataPerCategory>> metadata;
    profiles->FetchCapabilityMetadata(Storage().Get(), Kestrum::Optional<std::string>(), metadata);
    std::set<std::string> found;
    for (int c = 0; c < metadata->GetLength(); ++c) {
      const auto* capabilities = metadata->Get(c)->GetPtrCapabilityMetadata();
      for (int i = 0; capabilities != nullptr && i < capabilities->GetLength(); ++i) {
        const auto* capability = capabilities->Get(i);
        found.insert(capability->GetId()->GetNamespace() + "." + capability->GetId()->GetId());
        const auto* property = capability->GetPropertyMetadata()->Get(0);
        std::string type =
            property && property->GetType() ? property->GetType()->GetTypeName() : std::string("?");
        std::string allowed = property && property->GetAllowedValue()
                                  ? ", allowed " + Describe(property->GetAllowedValue())
                                  : std::string();
        t.Say(metadata->Get(c)->GetSubCategory() + ": " + capability->GetId()->GetId() + " \"" +
              capability->GetSummary()->GetLabel() + "\" (" + type + allowed + ")");
      }
    }
    for (const char* needed : {"replicaCount", "encryption", "performanceTier", "stripeWidth"}) {
      t.Check(found.count(std::string(kNamespace) + "." + needed) != 0,
              std::string("the capability ") + needed + " in the metadata");
    }
  });

  auto create = [&](const Ref<Zel::Profile::CapabilityBasedProfileCreateSpec>& spec,
                    std::string& id) {
    Ref<ProfileId> created;
    profiles->Create(spec.Get(), created);
    id = created ? created->GetUniqueId() : std::string();
    t.Check(!id.empty(), "an identifier for the new profile");
    const auto* subs =
        static_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(spec->GetConstraints())
            ->GetSubProfiles();
    for (int s = 0; s < subs->GetLength(); ++s) {
      std::string rules;
      const auto* capabilities = subs->Get(s)->GetCapability();
      for (int c = 0; c < capabilities->GetLength(); ++c) {
        rules += (c ? ", " : "") + Describe(*capabilities->Get(c));
      }
      t.Say("sub-profile " + subs->Get(s)->GetName() + ": " + rules);
    }
    t.Say("created " + spec->GetName() + ": " + id);
  };

  t.Step("Create the profile \"Gold\"", [&] { create(goldSpec, gold); });
  t.Step("Create the profile \"Bronze\"", [&] { create(bronzeSpec, bronze); });

  t.Step("Create \"Gold\" once more: the name is in use", [&] {
    auto fault = Expect<Zel::Fault::DuplicateName::Exception>(t, "a DuplicateName fault", [&] {
      Ref<ProfileId> id;
      profiles->Create(goldSpec.Get(), id);
    });
    if (!fault) return;
    auto* duplicate = static_cast<Zel::Fault::DuplicateName*>(fault.Get());
    t.Say("caught Zel::Fault::DuplicateName::Exception, name \"" + duplicate->GetName() + "\"");
    t.Check(duplicate->GetName() == "Gold", "the fault names \"Gold\"");
  });

  t.Step("Query the storage profiles", [&] {
    Ref<Lumo::DataArray<ProfileId>> ids;
    profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    std::set<std::string> listed;
    for (int i = 0; i < ids->GetLength(); ++i) listed.insert(ids->Get(i)->GetUniqueId());
    t.Say(std::to_string(ids->GetLength()) + " profile(s)");
    t.Check(listed.count(gold) == 1 && listed.count(bronze) == 1, "both new profiles listed");
  });

  t.Step("Retrieve the two profiles", [&] {
    Ref<Lumo::DataArray<Zel::Profile::Profile>> content;
    profiles->RetrieveContent(ArrayOf<ProfileId>({Id(gold), Id(bronze)}).Get(), content);
    if (!t.Check(content->GetLength() == 2, "two profiles")) return;
    const Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> specs[] = {goldSpec, bronzeSpec};
    for (int i = 0; i < 2; ++i) {
      auto* profile = dynamic_cast<const Zel::Profile::CapabilityBasedProfile*>(content->Get(i));
      if (!t.Check(profile != nullptr, "a capability-based profile")) continue;
      const auto* subs = dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(
          profile->GetConstraints());
      t.Say(profile->GetName() + ": " + profile->GetProfileCategory() + ", " +
            std::to_string(subs ? subs->GetSubProfiles()->GetLength() : 0) +
            " sub-profiles, created by " + profile->GetCreatedBy() + ", generation " +
            std::to_string(profile->PeekGenerationId() ? *profile->PeekGenerationId() : -1));
      t.Check(profile->GetName() == specs[i]->GetName(), "the name given at creation");
      t.Check(profile->GetConstraints()->_IsEqual(specs[i]->GetConstraints()),
              "the constraints given at creation");
      t.Check(profile->GetCreatedBy() == options.user, "created by " + options.user);
    }
  });

  t.Step("Associate \"Gold\" with the virtual machine vm-42 and its two disks", [&] {
    for (const auto& entity : {vm, disk0, disk1}) {
      profiles->Associate(entity.Get(), Id(gold).Get(), nullptr);
      t.Say("associated " + Describe(*entity));
    }
  });

  t.Step("Query the associations from the entities", [&] {
    Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>> results;
    profiles->QueryAssociatedProfiles(ArrayOf<Zel::ServerObjectRef>({vm, disk0, disk1}).Get(),
                                      results);
    if (!t.Check(results->GetLength() == 3, "one answer per entity")) return;
    for (int i = 0; i < results->GetLength(); ++i) {
      const auto* one = results->Get(i);
      const auto* ids = one->GetPtrProfileId();
      std::string id = ids != nullptr && ids->GetLength() == 1 ? ids->Get(0)->GetUniqueId() : "";
      t.Say(Describe(*one->GetObject()) + " -> " + (id == gold ? "Gold" : id));
      t.Check(id == gold, "Gold associated with " + one->GetObject()->GetKey());
    }
    Ref<Lumo::DataArray<ProfileId>> ofVm;
    profiles->QueryAssociatedProfile(vm.Get(), ofVm);
    t.Check(ofVm->GetLength() == 1 && ofVm->Get(0)->GetUniqueId() == gold,
            "queryAssociatedProfile of vm-42 answers Gold");
  });

  t.Step("Query the associations from the profile", [&] {
    Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities;
    profiles->QueryAssociatedEntity(Id(gold).Get(), Kestrum::Optional<std::string>(), entities);
    std::string listed;
    for (int i = 0; i < entities->GetLength(); ++i) {
      listed += (i ? ", " : "") + entities->Get(i)->GetKey();
    }
    t.Say("Gold -> " + listed);
    t.Check(entities->GetLength() == 3, "three entities");
    profiles->QueryAssociatedEntity(
        Id(gold).Get(),
        Kestrum::Optional<std::string>(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID), entities);
    t.Say("Gold -> " + std::to_string(entities->GetLength()) + " of type virtualDiskId");
    t.Check(entities->GetLength() == 2, "two disks");
    profiles->QueryAssociatedEntity(Id(bronze).Get(), Kestrum::Optional<std::string>(), entities);
    t.Check(entities->GetLength() == 0, "nothing associated with Bronze");
  });

  t.Step("Check compliance of the virtual machine and its disks", [&] {
    Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
    compliance->CheckCompliance(ArrayOf<Zel::ServerObjectRef>({vm, disk0, disk1}).Get(), nullptr,
                                results);
    if (!t.Check(results->GetLength() == 3, "one result per entity")) return;
    const char* expected[] = {"compliant", "compliant", "nonCompliant"};
    for (int i = 0; i < 3; ++i) {
      const auto* result = results->Get(i);
      t.Say(Describe(*result->GetEntity()) + ": " + result->GetComplianceStatus());
      const auto* violated = result->GetPtrViolatedPolicies();
      for (int v = 0; violated != nullptr && v < violated->GetLength(); ++v) {
        const auto* status = violated->Get(v);
        t.Say("  wanted " + Describe(*status->GetExpectedValue()) + ", offered " +
              (status->GetCurrentValue() ? Describe(*status->GetCurrentValue()) : "nothing"));
      }
      t.Check(result->GetComplianceStatus() == expected[i],
              result->GetEntity()->GetKey() + " is " + expected[i]);
    }
  });

  Detail::RunStorageSteps(t, adapter, *content, gold);

  t.Step("Delete the two profiles and one that does not exist", [&] {
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    profiles->Delete(ArrayOf<ProfileId>({Id(gold), Id(bronze), Id("no-such-profile")}).Get(),
                     outcomes);
    if (!t.Check(outcomes->GetLength() == 3, "one outcome per profile")) return;
    for (int i = 0; i < 3; ++i) {
      const auto* outcome = outcomes->Get(i);
      const Lumo::MethodFault* fault = outcome->GetFault();
      t.Say(outcome->GetProfileId()->GetUniqueId() + ": " +
            (fault ? FaultName(fault) + " (" + fault->GetMsg() + ")" : "deleted"));
    }
    t.Check(outcomes->Get(0)->GetFault() == nullptr && outcomes->Get(1)->GetFault() == nullptr,
            "Gold and Bronze deleted");
    t.Check(outcomes->Get(2)->GetFault() != nullptr &&
                outcomes->Get(2)->GetFault()->_GetType() == Lumo::GetDoType<Zel::Fault::NotFound>(),
            "a zel.fault.NotFound inside the third outcome");
    Ref<Lumo::DataArray<ProfileId>> ids;
    profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    for (int i = 0; i < ids->GetLength(); ++i) {
      t.Check(ids->Get(i)->GetUniqueId() != gold && ids->Get(i)->GetUniqueId() != bronze,
              "the deleted profiles are gone");
    }
  });

  t.Step("Log out; the session no longer serves", [&] {
    sessions->Logout();
    t.Say("logged out");
    auto fault = Expect<Lumo::MethodFault::Exception>(t, "a call after logout is refused", [&] {
      Ref<Lumo::DataArray<ProfileId>> ids;
      profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
    });
    if (fault) t.Say("queryProfile refused: " + Shortened(fault->GetMsg(), 90));
  });

  out << "\n"
      << (t.Result().failed.empty() ? "Conversation complete: " : "Conversation FAILED: ")
      << t.Result().steps << " steps, "
      << (t.Result().failed.empty() ? std::string("every answer as expected")
                                    : std::to_string(t.Result().failed.size()) + " not as expected")
      << ".\n";
  return t.Result();
}

// ---- TracingTransport ----------------------------------------------------------------------

namespace {

// The XML indented, each line set in; the text as it is when it is not XML.
std::string Indented(const std::string& xml) {
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size())) return xml;
  std::ostringstream pretty;
  document.save(pretty, "  ", pugi::format_indent | pugi::format_no_declaration);
  std::istringstream lines(pretty.str());
  std::string line;
  std::string text;
  while (std::getline(lines, line)) text += "      " + line + "\n";
  return text;
}

}  // namespace

TracingTransport::TracingTransport(Lumo::Wire::Transport* inner, std::ostream& out)
    : _inner(inner), _out(out) {}

TracingTransport::~TracingTransport() = default;

void TracingTransport::Send(const Lumo::Wire::TransportRequest& request,
                            Lumo::Wire::TransportResponse& response) {
  {
    std::lock_guard<std::mutex> lock(_mutex);
    _out << "    >>> request (SOAPAction " << request.action << ")\n" << Indented(request.body);
  }
  _inner->Send(request, response);
  std::lock_guard<std::mutex> lock(_mutex);
  _out << "    <<< response (status " << response.status;
  for (const auto& [name, value] : response.headers) {
    if (name == "Set-Cookie" || name == "set-cookie") _out << ", Set-Cookie: " << value;
  }
  _out << ")\n" << Indented(response.body);
}

}  // namespace ZelDemo
