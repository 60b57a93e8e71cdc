// zel.profile.ProfileManager (ProfileManager.h): the default requirement
// profiles of hubs.
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Placement/PlacementHubInfo.h>
#include <Olyx/Zel/Profile/DefaultProfileInfo.h>

#include <set>
#include <utility>
#include <vector>

#include "objects/Arguments.h"
#include "objects/Hubs.h"
#include "objects/ProfileManager.h"
#include "objects/ProviderCalls.h"

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Zel::Profile::CapabilityBasedProfile;
using Zel::Profile::ProfileId;
using HubArray = Lumo::DataArray<Zel::Placement::PlacementHub>;

namespace {

Lumo::ManagedObject* RequireProfileProvider(ServiceCore& core) {
  Lumo::ManagedObject* provider = AnyProfileProvider(core);
  if (provider == nullptr) Faults::ZelFault("no profile provider of this process is registered");
  return provider;
}

}  // namespace

void ProfileManagerImpl::QueryDefaultRequirementProfile(Zel::Placement::PlacementHub* hub,
                                                        Ref<ProfileId>& result) {
  if (hub == nullptr) Faults::InvalidArgument("hub", "no hub given");
  auto one = MakeRef<HubArray>();
  one->Append(hub);
  RequireHubs(_core.inventory, one.Get(), "hub", false);
  SharedState state = _state.LockShared();
  if (const std::string* id = state->DefaultOf(hub->GetHubId())) result = MakeId(*id);
}

void ProfileManagerImpl::ResetDefaultRequirementProfile(ProfileId* profile) {
  ChangeSet changes;
  ChangingState state = _state.LockForChange();
  if (profile != nullptr && state->FindProfile(profile->GetUniqueId()) == nullptr) {
    Faults::InvalidArgument("profile", "no profile has the id " + profile->GetUniqueId());
  }
  for (const auto& [hub, id] : state->Defaults()) {
    if (profile == nullptr || id == profile->GetUniqueId()) changes.push_back(DropDefault{hub});
  }
  CommitChanges(_core, state, std::move(changes), {}, &Faults::ZelFault);
}

void ProfileManagerImpl::AssignDefaultRequirementProfile(ProfileId* profile, HubArray* datastores) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  std::vector<const InventoryHub*> hubs =
      RequireHubs(_core.inventory, datastores, "datastores", true);
  Ref<CapabilityBasedProfile> content;
  {
    SharedState state = _state.LockShared();
    const auto* stored = state->FindProfile(profile->GetUniqueId());
    if (stored == nullptr) {
      Faults::InvalidArgument("profile", "no profile has the id " + profile->GetUniqueId());
    }
    content = stored->profile;
  }
  // The profile provider says whether the profile suits the hubs.
  CallProvider(RequireProfileProvider(_core), "validateDefaultPolicyForHubs",
               {Ref<Lumo::Any>(content->_Clone()), Ref<Lumo::Any>(datastores)});
  ChangeSet changes;
  for (const InventoryHub* hub : hubs) {
    changes.push_back(DefaultRecord{hub->id, profile->GetUniqueId()});
  }
  ChangingState state = _state.LockForChange();
  const auto* stored = state->FindProfile(profile->GetUniqueId());
  if (stored == nullptr || stored->profile != content) {
    Faults::ZelFault("the profile changed while it was being assigned: assign it again");
  }
  CommitChanges(_core, state, std::move(changes), {}, &Faults::ZelFault);
}

void ProfileManagerImpl::FindApplicableDefaultProfile(
    HubArray* datastores, Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) {
  RequireHubs(_core.inventory, datastores, "datastores", true);
  auto candidates = MakeRef<Lumo::DataArray<Zel::Profile::Profile>>();
  {
    SharedState state = _state.LockShared();
    for (const auto& [sequence, id] : state->ProfilesInOrder()) {
      const auto& profile = state->FindProfile(id)->profile;
      if (profile->GetProfileCategory() ==
          CapabilityBasedProfile::PROFILECATEGORYENUM_REQUIREMENT) {
        candidates->Append(profile.Get());
      }
    }
  }
  auto hubInfo = MakeRef<Lumo::DataArray<Zel::Placement::PlacementHubInfo>>();
  for (int i = 0; i < datastores->GetLength(); ++i) {
    auto info = MakeRef<Zel::Placement::PlacementHubInfo>();
    info->SetHub(datastores->Get(i)->_Clone());
    info->SetHubType(datastores->Get(i)->GetHubType());
    hubInfo->Append(info.Get());
  }
  result = ProviderAnswer<Lumo::DataArray<Zel::Profile::Profile>>(
      RequireProfileProvider(_core), "searchApplicableDefaultProfile",
      {Ref<Lumo::Any>(candidates), Ref<Lumo::Any>(hubInfo)});
}

void ProfileManagerImpl::QueryDefaultRequirementProfiles(
    HubArray* datastores, Ref<Lumo::DataArray<Zel::Profile::DefaultProfileInfo>>& result) {
  using Zel::Profile::DefaultProfileInfo;
  std::vector<const InventoryHub*> hubs =
      RequireHubs(_core.inventory, datastores, "datastores", false);
  result = new Lumo::DataArray<DefaultProfileInfo>;
  // One entry per default profile (and one for hubs without), in the order
  // of the hubs asked.
  std::vector<std::pair<std::string, Ref<DefaultProfileInfo>>> groups;
  SharedState state = _state.LockShared();
  for (const InventoryHub* hub : hubs) {
    const std::string* id = state->DefaultOf(hub->id);
    const std::string key = id ? *id : std::string();
    Ref<DefaultProfileInfo> info;
    for (auto& [k, existing] : groups) {
      if (k == key) info = existing;
    }
    if (!info) {
      info = new DefaultProfileInfo;
      if (id != nullptr) info->SetDefaultProfile(state->FindProfile(*id)->profile->_Clone());
      groups.emplace_back(key, info);
      result->Append(info.Get());
    }
    info->GetDatastores()->Append(MakeHub(*hub).Get());
  }
}

void ProfileManagerImpl::ResetKoruDefaultProfile() {
  Faults::NotSupported(
      "the sample inventory has no Koru storage, so the service keeps no Koru default profile");
}

void ProfileManagerImpl::QueryDefaultCapabilityValues(Zel::ServerObjectRef* entity,
                                                      Lumo::Array<std::string>* lodeType,
                                                      Ref<Lumo::DataArray<ProfileId>>& result) {
  for (int i = 0; lodeType != nullptr && i < lodeType->GetLength(); ++i) {
    const std::string& type = lodeType->Get(i);
    if (!IsValueOf<Zel::ServerObjectRef::LodeType>(type)) {
      Faults::InvalidArgument(Indexed("lodeType", i), "unknown Lode type \"" + type + "\"");
    }
  }
  result = new Lumo::DataArray<ProfileId>;
  SharedState state = _state.LockShared();
  if (entity != nullptr) {
    CheckEntity(entity, "entity");
    const InventoryHub* hub = _core.inventory.HubOf(entity->GetObjectType(), entity->GetKey());
    if (hub == nullptr) Faults::NotFound("the inventory puts " + EntityKey(*entity) + " on no hub");
    if (const std::string* id = state->DefaultOf(hub->id)) result->Append(MakeId(*id).Get());
    return;
  }
  std::set<std::string> seen;
  for (const auto& [hub, id] : state->Defaults()) {
    if (seen.insert(id).second) result->Append(MakeId(id).Get());
  }
}

}  // namespace ZelSample
