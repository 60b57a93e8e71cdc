// The demo steps about profiles: resource types, capability metadata, and
// two profiles created, refused once more, queried and read back.
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/PropertyMetadata.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectSchema.h>
#include <Olyx/Zel/Capability/TypeInfo.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>

#include <set>

#include "Conversing.h"
#include "Describe.h"

namespace ZelDemo {
namespace Detail {

using Zel::Profile::ProfileId;

void RunProfileSteps(Conversing& demo) {
  Transcript& t = demo.t;
  const ConversationOptions& options = demo.options;
  auto& profiles = demo.profiles;
  const auto& goldSpec = demo.goldSpec;
  const auto& bronzeSpec = demo.bronzeSpec;
  std::string& gold = demo.gold;
  std::string& bronze = demo.bronze;

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
      t.Check(found.count(std::string(kSampleNamespace) + "." + needed) != 0,
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
}

}  // namespace Detail
}  // namespace ZelDemo
