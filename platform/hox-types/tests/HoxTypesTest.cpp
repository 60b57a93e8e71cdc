// The hox data objects: records, loader, classes and record accessors.
#include <Hox/Vm/ProfileSpec.h>
#include <Hox/Vm/Replication/ReplicationGroupId.h>
#include <Hox/Vm/Replication/ReplicationSpec.h>
#include <Lumo/Lumo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Hox::Vm::ProfileSpec;
using Hox::Vm::Replication::ReplicationGroupId;
using Hox::Vm::Replication::ReplicationSpec;
using Kestrum::MakeRef;
using Kestrum::Ref;

class HoxTypes : public ::testing::Test {
 protected:
  void SetUp() override { Lumo::StartRuntime(); }

  static Ref<ReplicationGroupId> Group(const std::string& domain, const std::string& device) {
    auto g = MakeRef<ReplicationGroupId>();
    g->SetFaultDomainId(domain);
    g->SetDeviceGroupId(device);
    return g;
  }
};

TEST_F(HoxTypes, RecordsNameTheTypesAndTheirVersion) {
  const Lumo::TypeInfo* records[] = {&gHoxVmProfileSpecTypeInfo,
                                     &gHoxVmReplicationReplicationSpecTypeInfo,
                                     &gHoxVmReplicationReplicationGroupIdTypeInfo};
  const char* names[] = {"hox.vm.ProfileSpec", "hox.vm.replication.ReplicationSpec",
                         "hox.vm.replication.ReplicationGroupId"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i]->kind, Lumo::kTypeKindDataObject);
    EXPECT_STREQ(records[i]->name, names[i]);
    EXPECT_STREQ(records[i]->version, "hox.version.version11");
    Lumo::Type* type = Lumo::FindTypeByName(names[i]);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetTypeInfo(), records[i]);
  }
  EXPECT_EQ(Lumo::GetDoType<ProfileSpec>()->GetTypeInfo(), &gHoxVmProfileSpecTypeInfo);
  EXPECT_EQ(Lumo::GetDoType<ReplicationGroupId>()->GetBase(), Lumo::GetDoType<Lumo::DynamicData>());
  EXPECT_EQ(Lumo::FindType(typeid(ReplicationSpec)), Lumo::GetDoType<ReplicationSpec>());
}

TEST_F(HoxTypes, RecordsPointingIntoTheRuntimeWereCompletedAtLoad) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<ProfileSpec>()->GetInfo();
  EXPECT_EQ(info->parent, &gOlyxDynamicDataTypeInfo);
  EXPECT_EQ(info->properties[0].type, &gStringTypeInfo);
  EXPECT_EQ(info->properties[2].type, &gLongTypeInfo);
  EXPECT_EQ(info->properties[3].type, &gHoxVmReplicationReplicationSpecTypeInfo);
  EXPECT_EQ(info->properties[3].flags, Lumo::kFlagOptional);
  EXPECT_EQ(info->properties[4].name, nullptr);
  EXPECT_EQ(info->properties[4].flags, 0xffffffffu);
}

TEST_F(HoxTypes, LoadersAreNamedHoxAndTheRootOneCarriesTheVersions) {
  std::vector<Lumo::LoaderRegistration> hox;
  for (auto& loader : Lumo::GetLoaderRegistrations()) {
    if (loader.name == "hox") hox.push_back(loader);
  }
  // One loader per package: hox (its task type), hox.vm, hox.vm.replication.
  ASSERT_EQ(hox.size(), 3u);
  ASSERT_NE(hox[0].versions, nullptr);
  EXPECT_STREQ(hox[0].versions->versions[0].name, "hox.version.version11");
  EXPECT_EQ(hox[1].versions, nullptr);
  ASSERT_EQ(hox[1].types.size(), 1u);
  EXPECT_EQ(hox[1].types[0], Lumo::GetDoType<ProfileSpec>());
  ASSERT_EQ(hox[2].types.size(), 2u);
  EXPECT_EQ(hox[2].types[0], Lumo::GetDoType<ReplicationGroupId>());
  EXPECT_EQ(hox[2].types[1], Lumo::GetDoType<ReplicationSpec>());
}

TEST_F(HoxTypes, CloneIsDeepAndEqualityLooseOnOptionals) {
  auto spec = MakeRef<ProfileSpec>();
  spec->SetProfileId("p-1");
  spec->SetProfileData(Kestrum::Optional<std::string>("<xml/>"));
  spec->SetReplicationSpec(new ReplicationSpec);
  spec->GetReplicationSpec()->SetReplicationGroupId(Group("fd", "dg").Get());

  Ref<ProfileSpec> copy(spec->_Clone());
  EXPECT_NE(copy->GetReplicationSpec(), spec->GetReplicationSpec());
  EXPECT_NE(copy->GetReplicationSpec()->GetReplicationGroupId(),
            spec->GetReplicationSpec()->GetReplicationGroupId());
  EXPECT_TRUE(spec->_IsEqual(copy.Get()));

  copy->GetReplicationSpec()->GetReplicationGroupId()->SetDeviceGroupId("other");
  EXPECT_EQ(spec->GetReplicationSpec()->GetReplicationGroupId()->GetDeviceGroupId(), "dg");
  EXPECT_FALSE(spec->_IsEqual(copy.Get()));

  auto sparse = MakeRef<ProfileSpec>();
  sparse->SetProfileId("p-1");
  EXPECT_TRUE(spec->_IsEqual(sparse.Get(), true));
  EXPECT_FALSE(spec->_IsEqual(sparse.Get(), false));
  EXPECT_FALSE(sparse->_IsEqual(spec.Get(), true));
}

TEST_F(HoxTypes, DiffRecursesIntoNestedObjects) {
  auto a = MakeRef<ProfileSpec>();
  a->SetReplicationSpec(new ReplicationSpec);
  a->GetReplicationSpec()->SetReplicationGroupId(Group("fd", "dg").Get());
  Ref<ProfileSpec> b(a->_Clone());
  b->GetReplicationSpec()->GetReplicationGroupId()->SetFaultDomainId("fd2");
  b->SetProfileGenerationId(Kestrum::Optional<int64_t>(7));
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(b.Get(), "spec", diffs);
  std::vector<std::string> paths;
  for (const auto& p : diffs.GetChanged()) paths.push_back(p.ToString());
  EXPECT_EQ(paths,
            (std::vector<std::string>{"spec.profileGenerationId",
                                      "spec.replicationSpec.replicationGroupId.faultDomainId"}));
  Lumo::PropertyDiffSet viaRecords;
  a->Lumo::DynamicData::_DiffProperties(b.Get(), "spec", viaRecords);
  EXPECT_EQ(viaRecords.GetChanged(), diffs.GetChanged());
}

TEST_F(HoxTypes, RecordAccessorsReadAndWriteProperties) {
  const Lumo::DataTypeInfo* info = Lumo::GetDoType<ProfileSpec>()->GetInfo();
  Ref<Lumo::Any> object(info->createInstance());
  auto* spec = static_cast<ProfileSpec*>(object.Get());

  std::string id = "p-9";
  info->setProperty(object.Get(), 0, &id);
  EXPECT_EQ(spec->GetProfileId(), "p-9");
  EXPECT_FALSE(info->isPropertySet(object.Get(), 1));
  EXPECT_EQ(info->peekProperty(object.Get(), 1), nullptr);
  std::string data = "d";
  info->setProperty(object.Get(), 1, &data);
  EXPECT_TRUE(info->isPropertySet(object.Get(), 1));
  std::string read;
  info->getProperty(object.Get(), 1, &read);
  EXPECT_EQ(read, "d");
  info->unsetProperty(object.Get(), 1);
  EXPECT_FALSE(spec->GetProfileData().IsSet());

  int64_t generation = 3;
  info->setProperty(object.Get(), 2, &generation);
  EXPECT_EQ(*static_cast<const int64_t*>(info->peekProperty(object.Get(), 2)), 3);

  Ref<Lumo::Any> replication = MakeRef<ReplicationSpec>();
  info->setProperty(object.Get(), 3, &replication);
  EXPECT_EQ(spec->GetReplicationSpec(), replication.Get());
  EXPECT_EQ(info->peekProperty(object.Get(), 3), static_cast<const void*>(replication.Get()));
  Ref<Lumo::Any> out;
  info->getProperty(object.Get(), 3, &out);
  EXPECT_EQ(out.Get(), replication.Get());

  // A reference of another class is refused and nothing changes.
  Ref<Lumo::Any> wrong = MakeRef<ReplicationGroupId>();
  EXPECT_THROW(info->setProperty(object.Get(), 3, &wrong), Kestrum::TypeMismatchException);
  EXPECT_EQ(spec->GetReplicationSpec(), replication.Get());

  // Swaps exchange without copying.
  Ref<Lumo::Any> incoming = MakeRef<ReplicationSpec>();
  Lumo::Any* incomingRaw = incoming.Get();
  info->swapProperty(object.Get(), 3, &incoming);
  EXPECT_EQ(spec->GetReplicationSpec(), incomingRaw);
  EXPECT_EQ(incoming.Get(), replication.Get());
  std::string swapped = "swapped";
  info->swapProperty(object.Get(), 0, &swapped);
  EXPECT_EQ(spec->GetProfileId(), "swapped");
  EXPECT_EQ(swapped, "p-9");
  EXPECT_TRUE(info->isPropertySet(object.Get(), 99));
}

TEST_F(HoxTypes, StringSettersValidate) {
  Ref<ReplicationGroupId> group(Group("fd", "dg"));
  try {
    group->SetDeviceGroupId(std::string("bad\xFF"));
    FAIL() << "accepted";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("hox.vm.replication.ReplicationGroupId.deviceGroupId"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(group->GetDeviceGroupId(), "dg");
  auto spec = MakeRef<ReplicationSpec>();
  EXPECT_THROW(spec->SetReplicationTarget(Kestrum::Optional<std::string>("\x01")),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_FALSE(spec->GetReplicationTarget().IsSet());
}

TEST_F(HoxTypes, ArrayOfGroupIdsUsesTheTypeAccessor) {
  auto groups = MakeRef<Lumo::DataArray<ReplicationGroupId>>();
  EXPECT_EQ(groups->_GetElementType(), Lumo::GetDoType<ReplicationGroupId>());
  EXPECT_EQ(groups->_GetType(), Lumo::GetDoType<ReplicationGroupId>()->GetArrayType());
  auto notAGroup = MakeRef<ReplicationSpec>();
  EXPECT_FALSE(groups->_IsValidElement(notAGroup.Get()));
  groups->Append(Group("a", "b").Get());
  EXPECT_EQ(groups->Get(0)->GetFaultDomainId(), "a");
}

TEST_F(HoxTypes, SwapWithNullAsserts) {
  auto spec = MakeRef<ProfileSpec>();
  // Value-typed accessors live in the declaration header, reference-held ones in the full header.
  EXPECT_DEATH(spec->SwapProfileId(nullptr),
               "ASSERT LIBRARIES/hox/generic/beta/Hox/Vm/ProfileSpec-decl:[0-9]+\n");
  EXPECT_DEATH(spec->SwapReplicationSpec(nullptr),
               "ASSERT LIBRARIES/hox/generic/beta/Hox/Vm/ProfileSpec:[0-9]+\n");
}

TEST(HoxBeforeStartDeathTest, TypeAccessorAssertsBeforeTheStart) {
  EXPECT_DEATH(
      Lumo::GetDoType<ReplicationGroupId>(),
      "ASSERT "
      "LIBRARIES\\\\hox\\\\generic\\\\beta\\\\hox\\\\vm\\\\replication\\\\typeinfo:[0-9]+\n");
}

}  // namespace
