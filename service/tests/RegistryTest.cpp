// Provider registries, capability metadata registration, and the methods the
// sample service does not serve.
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Fault/NotSupported.h>
#include <Olyx/Zel/Association/AssociationMetadata.h>
#include <Olyx/Zel/Association/AssociationProviderRegistry.h>
#include <Olyx/Zel/Association/Provider/AssociationProviderInfo.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Capability/PropertyMetadata.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataInfo.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectMetadataPerCategory.h>
#include <Olyx/Zel/Capability/Provider/CapabilityObjectSchema.h>
#include <Olyx/Zel/Capability/Provider/CapabilityProviderInfo.h>
#include <Olyx/Zel/Capability/TypeInfo.h>
#include <Olyx/Zel/Compliance/ComplianceProviderRegistry.h>
#include <Olyx/Zel/Compliance/Provider/ComplianceProviderInfo.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/AlreadyExists.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Placement/HubFinderRegistry.h>
#include <Olyx/Zel/Placement/PlacementHubFinder.h>
#include <Olyx/Zel/Placement/PlacementSolver.h>
#include <Olyx/Zel/Profile/ProfileProviderRegistry.h>
#include <Olyx/Zel/Profile/Provider/ProfileProviderInfo.h>
#include <Olyx/Zel/Replication/ReplicationManager.h>

#include <functional>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

namespace Ids = ZelSample::ObjectIds;

class RegistryTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    client->Login();
  }
  template <class StubT>
  Ref<StubT> StubOn(const char* type, const char* id) {
    return Ref<StubT>(new StubT(RefOf(type, id).Get(), client->adapter.Get(), nullptr));
  }
};

// Registers, refuses a second registration, unregisters, refuses an unknown id.
template <class Register, class Unregister>
void ExerciseRegistry(Register reg, Unregister unreg) {
  reg("p1");
  auto again = CatchFault<Zel::Fault::AlreadyExists::Exception>([&] { reg("p1"); });
  ASSERT_TRUE(again);
  EXPECT_EQ(*static_cast<Zel::Fault::AlreadyExists*>(again.Get())->PeekName(), "p1");
  reg("p2");
  unreg("p1");
  auto missing = CatchFault<Zel::Fault::NotFound::Exception>([&] { unreg("p1"); });
  EXPECT_TRUE(IsExactly<Zel::Fault::NotFound>(missing.Get()));
  unreg("p2");
  CatchFault<Zel::Fault::NotFound::Exception>([&] { unreg("never"); });
  auto empty = CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] { reg(""); });
  EXPECT_TRUE(empty);
}

template <class Info>
Ref<Info> Record(const std::string& id) {
  auto info = MakeRef<Info>();
  info->SetUniqueId(id);
  info->SetLocation("https://127.0.0.1/provider");
  return info;
}

TEST_F(RegistryTest, ProfileProviders) {
  auto registry = StubOn<Zel::Profile::ProfileProviderRegistryStub>(
      "zel.profile.ProfileProviderRegistry", Ids::kProfileProviderRegistry);
  ExerciseRegistry(
      [&](const std::string& id) {
        auto info = Record<Zel::Profile::Provider::ProfileProviderInfo>(id);
        info->SetProvider(RefOf("zel.profile.provider.ProfileProvider", "pp").Get());
        registry->RegisterProfileProvider(info.Get());
      },
      [&](const std::string& id) { registry->UnregisterProfileProvider(id); });
  auto noReference = Record<Zel::Profile::Provider::ProfileProviderInfo>("p3");
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { registry->RegisterProfileProvider(noReference.Get()); });
}

TEST_F(RegistryTest, ComplianceProviders) {
  auto registry = StubOn<Zel::Compliance::ComplianceProviderRegistryStub>(
      "zel.compliance.ComplianceProviderRegistry", Ids::kComplianceProviderRegistry);
  ExerciseRegistry(
      [&](const std::string& id) {
        auto info = Record<Zel::Compliance::Provider::ComplianceProviderInfo>(id);
        info->SetProvider(RefOf("zel.compliance.provider.ComplianceProvider", "cp").Get());
        auto metadata = MakeRef<Zel::Association::AssociationMetadata>();
        metadata->SetAssociableEntityType("virtualMachine");
        metadata->SetAssociableProfileType("CapabilityBasedProfile");
        info->SetMetadata(metadata.Get());
        registry->RegisterComplianceProvider(info.Get());
      },
      [&](const std::string& id) { registry->UnregisterComplianceProvider(id); });
}

TEST_F(RegistryTest, HubFinders) {
  auto registry = StubOn<Zel::Placement::HubFinderRegistryStub>("zel.placement.HubFinderRegistry",
                                                                Ids::kHubFinderRegistry);
  ExerciseRegistry(
      [&](const std::string& id) {
        auto info = Record<Zel::Placement::PlacementHubFinder::Info>(id);
        info->SetFinder(RefOf("zel.placement.PlacementHubFinder", "hf").Get());
        registry->RegisterPlacementHubFinder(info.Get());
      },
      [&](const std::string& id) { registry->UnregisterPlacementHubFinder(id); });
}

TEST_F(RegistryTest, AssociationProviders) {
  auto registry = StubOn<Zel::Association::AssociationProviderRegistryStub>(
      "zel.association.AssociationProviderRegistry", Ids::kAssociationProviderRegistry);
  ExerciseRegistry(
      [&](const std::string& id) {
        auto info = Record<Zel::Association::Provider::AssociationProviderInfo>(id);
        info->SetProvider(RefOf("zel.association.provider.AssociationProvider", "ap").Get());
        registry->RegisterAssociationProvider(info.Get());
      },
      [&](const std::string& id) { registry->UnregisterAssociationProvider(id); });
}

Ref<Zel::ExtendedElementDescription> Text_(const char* label) {
  auto d = MakeRef<Zel::ExtendedElementDescription>();
  d->SetLabel(label);
  d->SetSummary(label);
  d->SetKey(label);
  d->SetMessageCatalogKeyPrefix("acme");
  return d;
}

// A schema of namespace ns with one boolean capability "dedup".
Ref<Zel::Capability::Provider::CapabilityObjectMetadataInfo> Metadata(const std::string& ns) {
  using namespace Zel::Capability;
  auto type = MakeRef<TypeInfo>();
  type->SetTypeName("XSD_BOOLEAN");
  auto property = MakeRef<PropertyMetadata>();
  property->SetId("dedup");
  property->SetSummary(Text_("Deduplication").Get());
  property->SetType(type.Get());
  auto uid = MakeRef<CapabilityMetadata::UniqueId>();
  uid->SetNamespace(ns);
  uid->SetId("dedup");
  auto capability = MakeRef<CapabilityMetadata>();
  capability->SetId(uid.Get());
  capability->SetSummary(Text_("Deduplication").Get());
  capability->GetPropertyMetadata()->Append(property.Get());
  auto category = MakeRef<Provider::CapabilityObjectMetadataPerCategory>();
  category->SetSubCategory("efficiency");
  category->GetCapabilityMetadata()->Append(capability.Get());
  auto vendor = MakeRef<Provider::CapabilityObjectSchema::VendorInfo>();
  vendor->SetVendorUuid("vendor-2");
  vendor->SetInfo(Text_("Second vendor").Get());
  auto nsInfo = MakeRef<Provider::CapabilityObjectSchema::NamespaceInfo>();
  nsInfo->SetVersion("1");
  nsInfo->SetNamespace(ns);
  auto schema = MakeRef<Provider::CapabilityObjectSchema>();
  schema->SetVendorInfo(vendor.Get());
  schema->SetNamespaceInfo(nsInfo.Get());
  schema->GetCapabilityMetadataPerCategory()->Append(category.Get());
  auto info = MakeRef<Provider::CapabilityObjectMetadataInfo>();
  info->SetResourceType("STORAGE");
  info->GetCapabilitySchema()->Append(schema.Get());
  return info;
}

TEST_F(RegistryTest, RegisteredCapabilityMetadataJoinsTheCatalogueUntilUnregistered) {
  Ref<Zel::ServiceInstanceContent> content;
  client->instance->RetrieveContent(content);
  auto manager = MakeRef<Zel::Capability::CapabilityMetadataManagerStub>(
      content->GetCapabilityMetadataManager(), client->adapter.Get(), nullptr);
  auto provider = MakeRef<Zel::Capability::Provider::CapabilityProviderInfo>();
  provider->SetProviderUuid("provider-2");
  provider->SetSchemaId("schema-1");
  manager->RegisterCapabilityMetadata(provider.Get(), Metadata("acme.efficiency").Get());

  // A profile may now use the new capability, and the vendor is listed.
  Create(Spec("Dedup", {Sub("d", {Capability("dedup", Bool(true), "acme.efficiency")})}));
  Ref<Lumo::DataArray<Zel::Capability::Provider::CapabilityObjectMetadataPerCategory>> metadata;
  client->profiles->FetchCapabilityMetadata(
      nullptr, Kestrum::Optional<std::string>(std::string("vendor-2")), metadata);
  ASSERT_EQ(metadata->GetLength(), 1);
  EXPECT_EQ(metadata->Get(0)->GetSubCategory(), "efficiency");

  // Another provider may not take the namespace; bad registrations are refused.
  Ref<Zel::Capability::Provider::CapabilityProviderInfo> intruder(provider->_Clone());
  intruder->SetProviderUuid("provider-3");
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] {
    manager->RegisterCapabilityMetadata(intruder.Get(), Metadata("acme.efficiency").Get());
  });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] {
    manager->RegisterCapabilityMetadata(intruder.Get(), Metadata("sample.storage").Get());
  });
  auto empty = Metadata("x");
  empty->GetCapabilitySchema()->Clear();
  CatchFault<Lumo::Fault::InvalidArgument::Exception>(
      [&] { manager->RegisterCapabilityMetadata(intruder.Get(), empty.Get()); });

  manager->UnregisterCapabilityMetadata(provider.Get());
  CatchFault<Zel::Fault::NotFound::Exception>(
      [&] { manager->UnregisterCapabilityMetadata(provider.Get()); });
  CatchFault<Lumo::Fault::InvalidArgument::Exception>([&] {
    Create(Spec("Dedup2", {Sub("d", {Capability("dedup", Bool(true), "acme.efficiency")})}));
  });
  EXPECT_FALSE(manager->RemoveAllCapabilityMetadataDocuments());
}

}  // namespace
}  // namespace ZelSampleTest
