// zel.profile.ProfileManager: the default requirement profiles of hubs and
// the error mode.
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Type.h>
#include <Olyx/Zel/Placement/PlacementHubInfo.h>
#include <Olyx/Zel/Profile/DefaultProfileInfo.h>

#include "objects/Managers.h"

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
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (const std::string* id = _state.DefaultOf(hub->GetHubId())) result = MakeId(*id);
}

void ProfileManagerImpl::ResetDefaultRequirementProfile(ProfileId* profile) {
  ChangeSet changes;
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (profile != nullptr && _state.FindProfile(profile->GetUniqueId()) == nullptr) {
    Faults::InvalidArgument("profile", "no profile has the id " + profile->GetUniqueId());
  }
  for (const auto& [hub, id] : _state.Defaults()) {
    if (profile == nullptr || id == profile->GetUniqueId()) changes.push_back(DropDefault{hub});
  }
  CommitChanges(_core, changes, {}, &Faults::ZelFault);
}

void ProfileManagerImpl::AssignDefaultRequirementProfile(ProfileId* profile, HubArray* datastores) {
  if (profile == nullptr) Faults::InvalidArgument("profile", "no profile given");
  std::vector<const InventoryHub*> hubs =
      RequireHubs(_core.inventory, datastores, "datastores", true);
  Ref<CapabilityBasedProfile> content;
  {
    std::lock_guard<std::mutex> lock(_state.mutex);
    const auto* stored = _state.FindProfile(profile->GetUniqueId());
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
  std::lock_guard<std::mutex> lock(_state.mutex);
  const auto* stored = _state.FindProfile(profile->GetUniqueId());
  if (stored == nullptr || stored->profile != content) {
    Faults::ZelFault("the profile changed while it was being assigned: assign it again");
  }
  CommitChanges(_core, changes, {}, &Faults::ZelFault);
}

void ProfileManagerImpl::FindApplicableDefaultProfile(
    HubArray* datastores, Ref<Lumo::DataArray<Zel::Profile::Profile>>& result) {
  RequireHubs(_core.inventory, datastores, "datastores", true);
  auto candidates = MakeRef<Lumo::DataArray<Zel::Profile::Profile>>();
  {
    std::lock_guard<std::mutex> lock(_state.mutex);
    for (const auto& [sequence, id] : _state.ProfilesInOrder()) {
      const auto& profile = _state.FindProfile(id)->profile;
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
  std::lock_guard<std::mutex> lock(_state.mutex);
  for (const InventoryHub* hub : hubs) {
    const std::string* id = _state.DefaultOf(hub->id);
    const std::string key = id ? *id : std::string();
    Ref<DefaultProfileInfo> info;
    for (auto& [k, existing] : groups) {
      if (k == key) info = existing;
    }
    if (!info) {
      info = new DefaultProfileInfo;
      if (id != nullptr) info->SetDefaultProfile(_state.FindProfile(*id)->profile->_Clone());
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
    if (type != Zel::ServerObjectRef::LODETYPE_CONFIG &&
        type != Zel::ServerObjectRef::LODETYPE_DATA &&
        type != Zel::ServerObjectRef::LODETYPE_SWAP) {
      Faults::InvalidArgument(Indexed("lodeType", i), "unknown Lode type \"" + type + "\"");
    }
  }
  result = new Lumo::DataArray<ProfileId>;
  std::lock_guard<std::mutex> lock(_state.mutex);
  if (entity != nullptr) {
    CheckEntity(entity, "entity");
    const InventoryHub* hub = _core.inventory.HubOf(entity->GetObjectType(), entity->GetKey());
    if (hub == nullptr) Faults::NotFound("the inventory puts " + EntityKey(*entity) + " on no hub");
    if (const std::string* id = _state.DefaultOf(hub->id)) result->Append(MakeId(*id).Get());
    return;
  }
  std::set<std::string> seen;
  for (const auto& [hub, id] : _state.Defaults()) {
    if (seen.insert(id).second) result->Append(MakeId(id).Get());
  }
}

void ProfileManagerImpl::ConfigureErrorMode(bool enable,
                                            const Kestrum::Optional<std::string>& methodToFail,
                                            const Kestrum::Optional<std::string>& fault) {
  if (!enable) {
    if (methodToFail.IsSet()) {
      _core.errorMode.Clear(methodToFail.GetValue());
    } else {
      _core.errorMode.ClearAll();
    }
    return;
  }
  if (!methodToFail.IsSet()) Faults::InvalidArgument("methodToFail", "no method named");
  const std::string& qualified = methodToFail.GetValue();
  size_t dot = qualified.rfind('.');
  auto* owner =
      dot == std::string::npos
          ? nullptr
          : dynamic_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName(qualified.substr(0, dot)));
  Lumo::ManagedMethod* method = owner ? owner->FindMethod(qualified.substr(dot + 1)) : nullptr;
  if (method == nullptr || method->IsProperty()) {
    Faults::InvalidArgument(
        "methodToFail",
        "no method is named \"" + qualified + "\" (give it as zel.profile.ProfileManager.create)");
  }
  if (method == _GetType()->FindMethod("configureErrorMode")) {
    Faults::NotSupported("the error mode cannot fail configureErrorMode itself");
  }
  const std::string faultName = fault.IsSet() ? fault.GetValue() : "zel.fault.ZELFault";
  auto* faultType = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(faultName));
  if (faultType == nullptr || !faultType->IsA(Lumo::FindTypeByName("olyx.MethodFault"))) {
    Faults::InvalidArgument("fault", "no fault type is named \"" + faultName + "\"");
  }
  _core.errorMode.Set(method->GetQualifiedName(), faultName);
}

}  // namespace ZelSample
