// zel.profile.ProfileManager (ProfileManager.h): association operations in
// bulk, profile content for a hub, and the secondary queries (space, I/O
// filters, data-service parents, policy summaries, provisioning, capability
// values).
#include <Hox/Vm/ProfileSpec.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Primitive.h>
#include <Lumo/Wire/Codec.h>
#include <Olyx/Zel/Capability/AssociatedPolicyCapabilities.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/TypeInfo.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Profile/AssociateOp.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/DataServiceToPoliciesMap.h>
#include <Olyx/Zel/Profile/DissociateOp.h>
#include <Olyx/Zel/Profile/EntityAssociations.h>
#include <Olyx/Zel/Profile/FcdDetachOp.h>
#include <Olyx/Zel/Profile/IofilterInfo.h>
#include <Olyx/Zel/Profile/PmemPolicyInfo.h>
#include <Olyx/Zel/Profile/PolicyAssociation.h>
#include <Olyx/Zel/Profile/PolicySummaryResult.h>
#include <Olyx/Zel/Profile/ProfileToIofilterMap.h>
#include <Olyx/Zel/Profile/Provider/DatastoreSpaceStatistics.h>
#include <Olyx/Zel/Profile/QueryOrinPolicyResult.h>
#include <Olyx/Zel/Profile/QueryProfileResult.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

#include "domain/Catalogue.h"
#include "domain/Matching.h"
#include "objects/Arguments.h"
#include "objects/ComplianceResults.h"
#include "objects/Hubs.h"
#include "objects/ProfileManager.h"
#include "objects/ProviderCalls.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Profile::CapabilityBasedProfile;
using Zel::Profile::ProfileId;
using IdArray = Lumo::DataArray<ProfileId>;

namespace {

// The ids asked, or every profile's (in creation order) when none are.
std::vector<std::string> IdsOrAll(const ProfileState& state, const IdArray* ids,
                                  const QuotaTable& quotas, const char* path) {
  std::vector<std::string> all;
  if (ids != nullptr) {
    quotas.CheckEntityCount(static_cast<size_t>(ids->GetLength()), path);
    for (int i = 0; i < ids->GetLength(); ++i) all.push_back(ids->Get(i)->GetUniqueId());
    return all;
  }
  for (const auto& [sequence, id] : state.ProfilesInOrder()) all.push_back(id);
  return all;
}

Ref<CapabilityBasedProfile> NarrowedForHub(const CapabilityBasedProfile& profile,
                                           const InventoryHub& hub) {
  // The profile as the hub applies it: only the sub-profiles the hub meets.
  const auto* constraints =
      dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(profile.GetConstraints());
  const auto* subs = constraints ? constraints->GetPtrSubProfiles() : nullptr;
  auto kept = MakeRef<Zel::Profile::SubProfileCapabilityConstraints>();
  for (int s = 0; subs != nullptr && s < subs->GetLength(); ++s) {
    auto one = MakeRef<Zel::Profile::SubProfileCapabilityConstraints>();
    one->GetSubProfiles()->Append(subs->Get(s)->_Clone());
    if (Evaluate(hub, one.Get()).meets) kept->GetSubProfiles()->Append(subs->Get(s)->_Clone());
  }
  if (kept->GetSubProfiles()->IsEmpty()) return Ref<CapabilityBasedProfile>();
  Ref<CapabilityBasedProfile> narrowed(profile._Clone());
  narrowed->SetConstraints(kept.Get());
  return narrowed;
}

const InventoryHub* RequireHub(const Inventory& inventory, Zel::Placement::PlacementHub* hub) {
  if (hub == nullptr) Faults::InvalidArgument("hub", "no hub given");
  auto one = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHub>>();
  one->Append(hub);
  return RequireHubs(inventory, one.Get(), "hub", false).front();
}

std::string AsXml(const Lumo::Any* value) {
  static const Lumo::Wire::Codec codec;
  std::string xml;
  codec.EncodeValue(value, xml);
  return xml;
}

}  // namespace

// ---- associations in bulk ---------------------------------------------------------------

void ProfileManagerImpl::ReconfigEntityAssociations(
    Lumo::DataArray<Zel::Profile::ChangeAssociationOp>* ops, Zel::Profile::UserAuth*) {
  // userAuth names whom the change is made for; associations record no user,
  // so it changes nothing here.
  if (ops == nullptr || ops->IsEmpty()) Faults::InvalidArgument("ops", "no operations given");
  _core.quotas.CheckEntityCount(static_cast<size_t>(ops->GetLength()), "ops");
  ChangeSet changes;
  QuotaUse adds;
  ChangingState state = _state.LockForChange();
  // What the associations will be after the operations so far, by entity.
  std::map<std::string, std::string> after;
  auto current = [&](const std::string& key) -> std::string {
    auto it = after.find(key);
    if (it != after.end()) return it->second;
    const auto* association = state->FindAssociation(key);
    return association ? association->profileId : std::string();
  };
  auto associate = [&](const Zel::ServerObjectRef* entity, const std::string& path,
                       const std::string& profileId) {
    CheckEntity(entity, path);
    const std::string key = EntityKey(*entity);
    if (state->FindAssociation(key) == nullptr && after.count(key) == 0) ++adds.associations;
    after[key] = profileId;
    changes.push_back(
        AssociationRecord{key, Ref<Zel::ServerObjectRef>(entity->_Clone()), profileId});
  };
  auto dissociate = [&](const Zel::ServerObjectRef* entity, const std::string& path,
                        const std::string* profileId) {
    CheckEntity(entity, path);
    const std::string key = EntityKey(*entity);
    const std::string was = current(key);
    if (was.empty() || (profileId != nullptr && *profileId != was)) {
      Faults::InvalidArgument(path, "the entity " + key + " is not associated with " +
                                        (profileId ? "the profile " + *profileId : "a profile"));
    }
    after[key] = std::string();
    changes.push_back(DropAssociation{key});
  };
  for (int i = 0; i < ops->GetLength(); ++i) {
    const std::string path = Indexed("ops", i);
    const Zel::Profile::ChangeAssociationOp* op = ops->Get(i);
    if (auto* add = dynamic_cast<const Zel::Profile::AssociateOp*>(op)) {
      const std::string& profileId = add->GetProfile()->GetUniqueId();
      if (state->FindProfile(profileId) == nullptr) {
        Faults::NotFound("no profile has the id " + profileId);
      }
      if (add->GetReplicationSpec() != nullptr) {
        Faults::NotSupported(
            "the sample service does not replicate: associate without replicationSpec");
      }
      associate(add->GetEntity(), path + ".entity", profileId);
      const auto* disks = add->GetPtrDiskEntity();
      for (int d = 0; disks != nullptr && d < disks->GetLength(); ++d) {
        associate(disks->Get(d), Indexed(path + ".diskEntity", d), profileId);
      }
    } else if (auto* remove = dynamic_cast<const Zel::Profile::DissociateOp*>(op)) {
      const ProfileId* profile = remove->GetProfile();
      dissociate(remove->GetEntity(), path + ".entity",
                 profile ? &profile->GetUniqueId() : nullptr);
      if (auto* detach = dynamic_cast<const Zel::Profile::FcdDetachOp*>(op)) {
        const auto* disks = detach->GetPtrVmDiskKey();
        for (int d = 0; disks != nullptr && d < disks->GetLength(); ++d) {
          const std::string key = EntityKey(*disks->Get(d));
          if (!current(key).empty())
            dissociate(disks->Get(d), Indexed(path + ".vmDiskKey", d), nullptr);
        }
      }
    } else {
      Faults::InvalidArgument(path, "an operation of a kind the service does not know");
    }
  }
  CommitChanges(_core, state, std::move(changes), adds, &Faults::ZelFault);
}

// ---- content for a hub ----------------------------------------------------------------

Kestrum::Optional<std::string> ProfileManagerImpl::RetrieveContentAsString(
    ProfileId* profileId, Zel::Placement::PlacementHub* hub,
    Hox::Vm::Replication::ReplicationSpec* spec) {
  if (spec != nullptr) {
    Faults::NotSupported("the sample service does not replicate: ask without a replication spec");
  }
  Ref<Zel::Profile::Profile> content;
  RetrieveContentForHub(profileId, hub, content);
  if (!content) return Kestrum::Optional<std::string>();
  return Kestrum::Optional<std::string>(AsXml(content.Get()));
}

void ProfileManagerImpl::RetrieveContentForHub(ProfileId* profileId,
                                               Zel::Placement::PlacementHub* hub,
                                               Ref<Zel::Profile::Profile>& result) {
  if (profileId == nullptr) Faults::InvalidArgument("profileId", "no profile given");
  const InventoryHub* found = RequireHub(_core.inventory, hub);
  Ref<CapabilityBasedProfile> profile;
  {
    SharedState state = _state.LockShared();
    const auto* stored = state->FindProfile(profileId->GetUniqueId());
    if (stored == nullptr) Faults::NotFound("no profile has the id " + profileId->GetUniqueId());
    profile = stored->profile;
  }
  result = NarrowedForHub(*profile, *found);
}

Kestrum::Optional<std::string> ProfileManagerImpl::RetrieveContentAsStringBySpec(
    Zel::Profile::CapabilityBasedProfileCreateSpec* profileSpec,
    Zel::Placement::PlacementHub* hub) {
  if (profileSpec == nullptr) Faults::InvalidArgument("profileSpec", "no create spec given");
  CheckConstraints(_catalogue, profileSpec->GetConstraints(), "profileSpec.constraints");
  const InventoryHub* found = RequireHub(_core.inventory, hub);
  auto draft = MakeRef<CapabilityBasedProfile>();
  draft->SetProfileId(MakeId("").Get());
  draft->SetName(profileSpec->GetName());
  draft->SetDescription(profileSpec->GetDescription());
  draft->SetCreationTime(Now());
  draft->SetCreatedBy(CurrentUser(_sessions));
  draft->SetLastUpdatedTime(draft->GetCreationTime());
  draft->SetLastUpdatedBy(draft->GetCreatedBy());
  draft->SetProfileCategory(profileSpec->GetCategory().IsSet()
                                ? profileSpec->GetCategory().GetValue()
                                : CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT);
  if (profileSpec->GetResourceType())
    draft->SetResourceType(profileSpec->GetResourceType()->_Clone());
  draft->SetConstraints(profileSpec->GetConstraints()->_Clone());
  draft->SetIsDefault(false);
  Ref<CapabilityBasedProfile> narrowed = NarrowedForHub(*draft, *found);
  if (!narrowed) return Kestrum::Optional<std::string>();
  return Kestrum::Optional<std::string>(AsXml(narrowed.Get()));
}

// ---- storage and filters ----------------------------------------------------------------

void ProfileManagerImpl::QuerySpaceStatsForStorageContainer(
    Zel::ServerObjectRef* datastore, IdArray* capabilityProfileId,
    Ref<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>>& result) {
  Lumo::ManagedObject* provider = AnyProfileProvider(_core);
  if (provider == nullptr) Faults::ZelFault("no profile provider of this process is registered");
  result = ProviderAnswer<Lumo::DataArray<Zel::Profile::Provider::DatastoreSpaceStatistics>>(
      provider, "querySpaceStatsForStorageContainer",
      {Ref<Lumo::Any>(datastore), Ref<Lumo::Any>(capabilityProfileId)});
}

void ProfileManagerImpl::QueryIOFiltersFromProfileId(
    IdArray* profileIds, Ref<Lumo::DataArray<Zel::Profile::ProfileToIofilterMap>>& result) {
  // The sample catalogue has no capability that asks for an I/O filter: a
  // profile maps to none.
  if (profileIds == nullptr) Faults::InvalidArgument("profileIds", "no profiles given");
  _core.quotas.CheckEntityCount(static_cast<size_t>(profileIds->GetLength()), "profileIds");
  result = new Lumo::DataArray<Zel::Profile::ProfileToIofilterMap>;
  SharedState state = _state.LockShared();
  for (int i = 0; i < profileIds->GetLength(); ++i) {
    auto one = MakeRef<Zel::Profile::ProfileToIofilterMap>();
    one->SetKey(profileIds->Get(i)->_Clone());
    if (state->FindProfile(profileIds->Get(i)->GetUniqueId()) == nullptr) {
      one->SetFault(
          Faults::MakeNotFound("no profile has the id " + profileIds->Get(i)->GetUniqueId()).Get());
    }
    result->Append(one.Get());
  }
}

void ProfileManagerImpl::QueryIOFilterInfo(
    Lumo::Array<std::string>* kitIds, Ref<Lumo::DataArray<Zel::Profile::IofilterInfo>>& result) {
  if (kitIds == nullptr) Faults::InvalidArgument("kitIds", "no kit ids given");
  _core.quotas.CheckEntityCount(static_cast<size_t>(kitIds->GetLength()), "kitIds");
  result = new Lumo::DataArray<Zel::Profile::IofilterInfo>;
  for (int i = 0; i < kitIds->GetLength(); ++i) {
    const std::string* type = _core.inventory.FindIoFilter(kitIds->Get(i));
    if (type == nullptr)
      Faults::NotFound("no I/O filter of the kit " + kitIds->Get(i) + " is installed");
    auto info = MakeRef<Zel::Profile::IofilterInfo>();
    info->SetKitId(kitIds->Get(i));
    info->SetFilterType(Kestrum::Optional<std::string>(*type));
    result->Append(info.Get());
  }
}

// ---- reporting ------------------------------------------------------------------------

void ProfileManagerImpl::QueryAssociatedEntities(
    IdArray* profiles, Ref<Lumo::DataArray<Zel::Profile::QueryProfileResult>>& result) {
  // One result per associated entity, with its profile.
  result = new Lumo::DataArray<Zel::Profile::QueryProfileResult>;
  SharedState state = _state.LockShared();
  for (const std::string& id : IdsOrAll(*state, profiles, _core.quotas, "profiles")) {
    if (state->FindProfile(id) == nullptr) Faults::NotFound("no profile has the id " + id);
    const std::set<std::string>* keys = state->EntitiesOf(id);
    for (auto it = keys ? keys->begin() : std::set<std::string>::const_iterator();
         keys != nullptr && it != keys->end(); ++it) {
      auto one = MakeRef<Zel::Profile::QueryProfileResult>();
      one->SetObject(state->FindAssociation(*it)->entity->_Clone());
      one->GetProfileId()->Append(MakeId(id).Get());
      result->Append(one.Get());
    }
  }
}

void ProfileManagerImpl::QueryParentStoragePolicies(
    IdArray* policy, Ref<Lumo::DataArray<Zel::Profile::DataServiceToPoliciesMap>>& result) {
  // No capability of the sample catalogue lets a storage policy include a
  // data-service policy, so a data-service policy has no parents.
  result = new Lumo::DataArray<Zel::Profile::DataServiceToPoliciesMap>;
  SharedState state = _state.LockShared();
  for (const std::string& id : IdsOrAll(*state, policy, _core.quotas, "policy")) {
    const auto* stored = state->FindProfile(id);
    const bool dataService =
        stored != nullptr && stored->profile->GetProfileCategory() ==
                                 CapabilityBasedProfile::PROFILECATEGORYENUM_DATA_SERVICE_POLICY;
    if (policy == nullptr && !dataService) continue;
    auto one = MakeRef<Zel::Profile::DataServiceToPoliciesMap>();
    one->SetDataServicePolicy(MakeId(id).Get());
    if (stored == nullptr) {
      one->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else if (!dataService) {
      try {
        Faults::InvalidArgument("policy", "the profile " + id + " is not a data-service policy");
      } catch (const Lumo::MethodFault::Exception& refused) {
        one->SetFault(refused.GetFault());
      }
    }
    result->Append(one.Get());
  }
}

void ProfileManagerImpl::QueryOrinPolicies(
    Lumo::DataArray<Zel::ServerObjectRef>* entities,
    Ref<Lumo::DataArray<Zel::Profile::QueryOrinPolicyResult>>& result) {
  // The sample service keeps one policy per entity: its associated profile.
  CheckEntities(entities, "entities", _core.quotas, true);
  result = new Lumo::DataArray<Zel::Profile::QueryOrinPolicyResult>;
  SharedState state = _state.LockShared();
  auto answer = [&](const Zel::ServerObjectRef& entity) {
    auto one = MakeRef<Zel::Profile::QueryOrinPolicyResult>();
    one->SetObject(entity._Clone());
    if (const auto* association = state->FindAssociation(EntityKey(entity))) {
      one->SetPolicy(state->FindProfile(association->profileId)->profile->_Clone());
    } else {
      one->SetFault(
          Faults::MakeNotFound("the entity " + EntityKey(entity) + " has no associated profile")
              .Get());
    }
    result->Append(one.Get());
  };
  if (entities != nullptr && !entities->IsEmpty()) {
    for (int i = 0; i < entities->GetLength(); ++i) answer(*entities->Get(i));
    return;
  }
  for (const auto& [key, association] : state->Associations()) answer(*association.entity);
}

void ProfileManagerImpl::QueryPolicySummary(
    IdArray* policy, Ref<Lumo::DataArray<Zel::Profile::PolicySummaryResult>>& result) {
  using Zel::Compliance::ComplianceResult;
  result = new Lumo::DataArray<Zel::Profile::PolicySummaryResult>;
  SharedState state = _state.LockShared();
  for (const std::string& id : IdsOrAll(*state, policy, _core.quotas, "policy")) {
    auto one = MakeRef<Zel::Profile::PolicySummaryResult>();
    one->SetProfile(MakeId(id).Get());
    int32_t counts[5] = {0, 0, 0, 0,
                         0};  // compliant, nonCompliant, notApplicable, outOfDate, unknown
    int32_t assigned = 0;
    if (state->FindProfile(id) == nullptr) {
      one->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    } else if (const std::set<std::string>* keys = state->EntitiesOf(id)) {
      for (const std::string& key : *keys) {
        ++assigned;
        auto status = StoredCompliance(*state, *state->FindAssociation(key)->entity, &id)
                          ->GetComplianceStatus();
        int slot = status == ComplianceResult::COMPLIANCESTATUS_COMPLIANT       ? 0
                   : status == ComplianceResult::COMPLIANCESTATUS_NONCOMPLIANT  ? 1
                   : status == ComplianceResult::COMPLIANCESTATUS_NOTAPPLICABLE ? 2
                   : status == ComplianceResult::COMPLIANCESTATUS_OUTOFDATE     ? 3
                                                                                : 4;
        ++counts[slot];
      }
    }
    one->SetAssigned(assigned);
    one->SetCompliant(counts[0]);
    one->SetNonCompliant(counts[1]);
    one->SetNotApplicable(counts[2]);
    one->SetOutOfDate(counts[3]);
    one->SetUnknown(counts[4]);
    result->Append(one.Get());
  }
}

void ProfileManagerImpl::PreProvisionProcess(Zel::Profile::EntityAssociations* entityAssociations,
                                             Ref<Zel::Profile::EntityAssociations>& result) {
  // Fills in the policy of each planned association that names none: the
  // default profile of its hub.
  using Zel::Profile::EntityAssociations;
  if (entityAssociations == nullptr) {
    Faults::InvalidArgument("entityAssociations", "no associations given");
  }
  const std::string& operation = entityAssociations->GetOperation();
  if (!IsValueOf<EntityAssociations::Operation>(operation)) {
    Faults::InvalidArgument("entityAssociations.operation",
                            "unknown operation \"" + operation + "\"");
  }
  Ref<EntityAssociations> filled(entityAssociations->_Clone());
  auto* planned = filled->GetPolicyAssociations();
  _core.quotas.CheckEntityCount(static_cast<size_t>(planned->GetLength()),
                                "entityAssociations.policyAssociations");
  SharedState state = _state.LockShared();
  for (int i = 0; i < planned->GetLength(); ++i) {
    Zel::Profile::PolicyAssociation* one = planned->Get(i);
    const std::string path = Indexed("entityAssociations.policyAssociations", i);
    CheckEntity(one->GetEntity(), path + ".entity");
    if (one->GetHub() == nullptr || FindHub(_core.inventory, *one->GetHub()) == nullptr) {
      filled->SetFault(Faults::MakeNotFound(path + ": the inventory has no such hub").Get());
      continue;
    }
    if (const Hox::Vm::ProfileSpec* spec = one->GetPolicySpec()) {
      if (state->FindProfile(spec->GetProfileId()) == nullptr) {
        filled->SetFault(
            Faults::MakeNotFound(path + ": no profile has the id " + spec->GetProfileId()).Get());
      }
      continue;
    }
    const std::string* id = state->DefaultOf(one->GetHub()->GetHubId());
    if (id == nullptr) continue;
    auto spec = MakeRef<Hox::Vm::ProfileSpec>();
    spec->SetProfileId(*id);
    spec->SetProfileGenerationId(Kestrum::Optional<int64_t>(state->GenerationOf(*id)));
    one->SetPolicySpec(spec.Get());
    one->SetDefaultPolicy(true);
  }
  result = filled;
}

void ProfileManagerImpl::FindTargetProfileCapabilityValues(
    Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>* associatedPolicyCapabilities,
    Ref<Lumo::DataArray<Zel::Capability::AssociatedPolicyCapabilities>>& result) {
  // A canonical property id is NAMESPACE.CAPABILITY.PROPERTY; its value is
  // what the policy asks for it in the sub-profile that applies (the first
  // the hub meets, or the first that names it).
  using Zel::Capability::AssociatedPolicyCapabilities;
  result = new Lumo::DataArray<AssociatedPolicyCapabilities>;
  if (associatedPolicyCapabilities == nullptr) return;
  _core.quotas.CheckEntityCount(static_cast<size_t>(associatedPolicyCapabilities->GetLength()),
                                "associatedPolicyCapabilities");
  SchemaList schemas = _catalogue.GetSchemas();
  SharedState state = _state.LockShared();
  for (int i = 0; i < associatedPolicyCapabilities->GetLength(); ++i) {
    Ref<AssociatedPolicyCapabilities> one(associatedPolicyCapabilities->Get(i)->_Clone());
    auto answer = MakeRef<AssociatedPolicyCapabilities::AssociatedPolicyCapabilitiesResult>();
    const std::string& profileId = one->GetPolicySpec()->GetProfileId();
    const auto* stored = state->FindProfile(profileId);
    if (stored == nullptr) {
      answer->SetFault(Faults::MakeNotFound("no profile has the id " + profileId).Get());
      one->SetResult(answer.Get());
      result->Append(one.Get());
      continue;
    }
    answer->SetEffectiveProfileId(MakeId(profileId).Get());
    const auto* constraints = dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(
        stored->profile->GetConstraints());
    const auto* subs = constraints ? constraints->GetPtrSubProfiles() : nullptr;
    const InventoryHub* hub = one->GetHub() ? FindHub(_core.inventory, *one->GetHub()) : nullptr;
    int chosen = -1;
    for (int s = 0; hub != nullptr && subs != nullptr && s < subs->GetLength() && chosen < 0; ++s) {
      auto single = MakeRef<Zel::Profile::SubProfileCapabilityConstraints>();
      single->GetSubProfiles()->Append(subs->Get(s)->_Clone());
      if (Evaluate(*hub, single.Get()).meets) chosen = s;
    }
    // Every property the profile constrains, as (id, value) in order.
    auto asked = [&](const std::string& ns, const std::string& cap, const std::string& prop,
                     const Lumo::Any*& value) {
      for (int s = 0; subs != nullptr && s < subs->GetLength(); ++s) {
        if (chosen >= 0 && s != chosen) continue;
        const auto* capabilities = subs->Get(s)->GetPtrCapability();
        for (int c = 0; capabilities != nullptr && c < capabilities->GetLength(); ++c) {
          const auto* capability = capabilities->Get(c);
          if (capability->GetId()->GetNamespace() != ns || capability->GetId()->GetId() != cap) {
            continue;
          }
          const auto* properties = capability->GetPtrConstraint()->Get(0)->GetPtrPropertyInstance();
          for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
            if (properties->Get(p)->GetId() == prop) {
              value = properties->Get(p)->GetValue();
              return true;
            }
          }
        }
      }
      return false;
    };
    std::vector<std::string> wanted;
    if (const auto* ids = one->GetPtrCanonicalPropertyIds()) {
      for (int k = 0; k < ids->GetLength(); ++k)
        wanted.push_back(ids->Get(k)->GetDistinguishedId());
    } else {
      for (int s = 0; subs != nullptr && s < subs->GetLength(); ++s) {
        if (chosen >= 0 && s != chosen) continue;
        const auto* capabilities = subs->Get(s)->GetPtrCapability();
        for (int c = 0; capabilities != nullptr && c < capabilities->GetLength(); ++c) {
          const auto* capability = capabilities->Get(c);
          const auto* properties = capability->GetPtrConstraint()->Get(0)->GetPtrPropertyInstance();
          for (int p = 0; properties != nullptr && p < properties->GetLength(); ++p) {
            wanted.push_back(capability->GetId()->GetNamespace() + "." +
                             capability->GetId()->GetId() + "." + properties->Get(p)->GetId());
          }
        }
        break;
      }
    }
    for (const std::string& distinguished : wanted) {
      auto value = MakeRef<AssociatedPolicyCapabilities::CanonicalPropertyValue>();
      auto canonical = MakeRef<AssociatedPolicyCapabilities::CanonicalPropertyId>();
      canonical->SetDistinguishedId(distinguished);
      value->SetCanonicalId(canonical.Get());
      size_t last = distinguished.rfind('.');
      size_t middle = last == std::string::npos || last == 0 ? std::string::npos
                                                             : distinguished.rfind('.', last - 1);
      const Lumo::Any* found = nullptr;
      if (middle == std::string::npos) {
        value->SetFault(
            Faults::MakeNotFound("\"" + distinguished + "\" is not NAMESPACE.CAPABILITY.PROPERTY")
                .Get());
      } else {
        const std::string ns = distinguished.substr(0, middle);
        const std::string cap = distinguished.substr(middle + 1, last - middle - 1);
        const std::string prop = distinguished.substr(last + 1);
        if (asked(ns, cap, prop, found)) {
          value->SetValue(const_cast<Lumo::Any*>(found));
          if (const auto* metadata = FindCapability(schemas, ns, cap)) {
            if (const auto* property = FindProperty(*metadata, prop)) {
              if (property->GetType()) value->SetTypeInfo(property->GetType()->_Clone());
            }
          }
        } else {
          value->SetFault(
              Faults::MakeNotFound("the profile does not constrain " + distinguished).Get());
        }
      }
      answer->GetValues()->Append(value.Get());
    }
    one->SetResult(answer.Get());
    result->Append(one.Get());
  }
}

void ProfileManagerImpl::QueryPmemPolicyInfo(
    IdArray* profileIds, Ref<Lumo::DataArray<Zel::Profile::PmemPolicyInfo>>& result) {
  // No capability of the sample catalogue asks for persistent memory: no
  // profile is a Pmem policy.
  result = new Lumo::DataArray<Zel::Profile::PmemPolicyInfo>;
  SharedState state = _state.LockShared();
  for (const std::string& id : IdsOrAll(*state, profileIds, _core.quotas, "profileIds")) {
    auto one = MakeRef<Zel::Profile::PmemPolicyInfo>();
    one->SetProfileId(MakeId(id).Get());
    one->SetPmemPolicy(false);
    if (state->FindProfile(id) == nullptr) {
      one->SetFault(Faults::MakeNotFound("no profile has the id " + id).Get());
    }
    result->Append(one.Get());
  }
}

}  // namespace ZelSample
