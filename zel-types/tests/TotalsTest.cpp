// The loaded library against the totals of the API: packages, types, methods,
// privileges, results, external record stores and the version record. Every
// figure is read from the registered loaders and the records they created.
#include <Lumo/Lumo.h>
#include <Olyx/Zel/AboutInfo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct PackageRow {
  const char* name;
  int dataAndFaults;
  int enums;
  int managed;
};

const PackageRow kPackages[] = {
    {"zel", 5, 2, 4},
    {"zel.association", 1, 0, 1},
    {"zel.association.provider", 1, 0, 1},
    {"zel.auth", 0, 0, 1},
    {"zel.capability", 12, 1, 1},
    {"zel.capability.provider", 11, 1, 0},
    {"zel.capability.types", 4, 3, 0},
    {"zel.compliance", 6, 3, 2},
    {"zel.compliance.provider", 1, 0, 1},
    {"zel.fault", 14, 0, 0},
    {"zel.placement", 17, 1, 3},
    {"zel.profile", 36, 6, 2},
    {"zel.profile.provider", 2, 0, 1},
    {"zel.provider", 1, 1, 1},
    {"zel.replication", 1, 0, 1},
};

class TotalsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  static std::vector<Lumo::LoaderRegistration> ZelLoaders() {
    std::vector<Lumo::LoaderRegistration> out;
    for (auto& reg : Lumo::GetLoaderRegistrations()) {
      if (reg.name == "zel") out.push_back(reg);
    }
    return out;
  }

  static std::vector<const Lumo::Type*> ZelTypes() {
    std::vector<const Lumo::Type*> out;
    for (auto& reg : ZelLoaders()) out.insert(out.end(), reg.types.begin(), reg.types.end());
    return out;
  }

  static std::vector<const Lumo::MethodInfo*> Methods() {
    std::vector<const Lumo::MethodInfo*> out;
    for (const Lumo::Type* type : ZelTypes()) {
      if (!type->IsManagedObject()) continue;
      auto* managed = static_cast<const Lumo::ManagedObjectType*>(type);
      for (const Lumo::MethodInfo* m = managed->GetInfo()->methods; m->name != nullptr; ++m) {
        out.push_back(m);
      }
    }
    return out;
  }
};

// The package a wire name belongs to: everything before the first capitalised component.
std::string PackageOf(const char* wireName) {
  std::string name(wireName), package;
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    std::string component =
        name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (std::isupper(static_cast<unsigned char>(component[0]))) break;
    package += (package.empty() ? "" : ".") + component;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return package;
}

TEST_F(TotalsTest, FifteenPackagesInRegistrationOrderWithTheirCounts) {
  auto loaders = ZelLoaders();
  ASSERT_EQ(loaders.size(), 15u);
  for (size_t i = 0; i < loaders.size(); ++i) {
    const PackageRow& row = kPackages[i];
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(loaders[i].hasRun);
    int data = 0, enums = 0, managed = 0;
    for (const Lumo::Type* type : loaders[i].types) {
      ASSERT_NE(type, nullptr);
      EXPECT_EQ(PackageOf(type->GetName()), row.name) << type->GetName();
      data += type->IsDataObject();
      enums += type->IsEnum();
      managed += type->IsManagedObject();
    }
    EXPECT_EQ(data, row.dataAndFaults);
    EXPECT_EQ(enums, row.enums);
    EXPECT_EQ(managed, row.managed);
    // Slots hold data objects and faults, then enumerations, then managed objects.
    int phase = 0;
    for (const Lumo::Type* type : loaders[i].types) {
      int kindPhase = type->IsDataObject() ? 0 : type->IsEnum() ? 1 : 2;
      EXPECT_GE(kindPhase, phase) << type->GetName();
      phase = kindPhase;
    }
  }
}

TEST_F(TotalsTest, ExportedRecordsAreTheOnesTheTypesWereCreatedFrom) {
  EXPECT_EQ(Lumo::GetDoType<Zel::AboutInfo>()->GetTypeInfo(), &gZelAboutInfoTypeInfo);
  EXPECT_STREQ(gZelAboutInfoTypeInfo.wsdlName, "ZelAboutInfo");
}

TEST_F(TotalsTest, RootPackageReportsItsElevenTypesInSlotOrder) {
  const char* expected[] = {"zel.AboutInfo",
                            "zel.ExtendedElementDescription",
                            "zel.ResourceAssociation",
                            "zel.ServerObjectRef",
                            "zel.ServiceInstanceContent",
                            "zel.ServerObjectRef.LodeType",
                            "zel.ServerObjectRef.ObjectType",
                            "zel.AtomFeedQsProvider",
                            "zel.ZelDebugManager",
                            "zel.ServiceInstance",
                            "zel.Task"};
  auto root = ZelLoaders().at(0).types;
  ASSERT_EQ(root.size(), 11u);
  for (size_t i = 0; i < root.size(); ++i) EXPECT_STREQ(root[i]->GetName(), expected[i]);
}

TEST_F(TotalsTest, TypesByKind) {
  std::map<uint32_t, int> kinds;
  std::set<std::string> names;
  for (const Lumo::Type* type : ZelTypes()) {
    ++kinds[type->GetKind()];
    names.insert(type->GetName());
  }
  EXPECT_EQ(names.size(), 149u);
  EXPECT_EQ(kinds[Lumo::kTypeKindDataObject], 98);
  EXPECT_EQ(kinds[Lumo::kTypeKindFault], 14);
  EXPECT_EQ(kinds[Lumo::kTypeKindEnum], 18);
  EXPECT_EQ(kinds[Lumo::kTypeKindManagedObject], 19);
}

TEST_F(TotalsTest, MethodsPrivilegesAndResults) {
  auto methods = Methods();
  EXPECT_EQ(methods.size(), 94u);
  std::map<std::string, int> privileges;
  int withoutResult = 0, withFlag = 0;
  for (const Lumo::MethodInfo* m : methods) {
    ASSERT_NE(m->privilege, nullptr) << m->name;
    ++privileges[m->privilege];
    EXPECT_EQ(m->reserved, nullptr);
    EXPECT_STREQ(m->result.name, "result");
    EXPECT_EQ(m->result.privilege, nullptr);
    if (m->result.type == nullptr) {
      ++withoutResult;
      EXPECT_STREQ(m->result.version, "olyx.version.version0") << m->name;
      EXPECT_EQ(m->result.flags, 0u);
    }
    EXPECT_TRUE(m->flags == 0 || m->flags == 0x100) << m->name;
    withFlag += m->flags == 0x100;
    ASSERT_NE(m->parameters, nullptr);
    ASSERT_NE(m->faults, nullptr);
  }
  EXPECT_EQ(privileges["StorageProfile.View"], 70);
  EXPECT_EQ(privileges["StorageProfile.Update"], 22);
  EXPECT_EQ(privileges["System.Anonymous"], 2);
  EXPECT_EQ(privileges.size(), 3u);
  EXPECT_EQ(withoutResult, 27);
}

TEST_F(TotalsTest, MethodObjectArraysAreFilledWithOneNullSlotAtTheEnd) {
  int managed = 0, methodObjects = 0;
  for (const Lumo::Type* type : ZelTypes()) {
    if (!type->IsManagedObject()) continue;
    ++managed;
    auto* info = static_cast<const Lumo::ManagedObjectType*>(type)->GetInfo();
    int methods = 0, props = 0;
    while (info->methods[methods].name != nullptr) ++methods;
    while (info->properties[props].name != nullptr) ++props;
    ASSERT_NE(info->methodObjects, nullptr);
    for (int i = 0; i < methods + props; ++i) {
      ASSERT_NE(info->methodObjects[i], nullptr) << type->GetName() << " slot " << i;
      EXPECT_EQ(info->methodObjects[i]->GetIndex(), i);
    }
    EXPECT_EQ(info->methodObjects[methods + props], nullptr);
    methodObjects += methods + props;
    EXPECT_NE(info->invokeByIndex, nullptr);
    EXPECT_NE(info->createStub, nullptr);
    EXPECT_EQ(info->propertyIndex == nullptr, props == 0) << type->GetName();
  }
  EXPECT_EQ(managed, 19);
  EXPECT_EQ(methodObjects, 95);  // 94 methods and the one property, content
}

// Record fields that point at type records of other libraries (the runtime's
// and the sister library's) are completed by stores when the library loads.
TEST_F(TotalsTest, ThreeHundredTwentyTwoRecordFieldsPointIntoOtherLibraries) {
  std::set<const Lumo::TypeInfo*> own;
  for (const Lumo::Type* type : ZelTypes()) own.insert(type->GetTypeInfo());
  int stores = 0;
  auto count = [&](const Lumo::TypeInfo* target) {
    if (target != nullptr && own.count(target) == 0) ++stores;
  };
  for (const Lumo::Type* type : ZelTypes()) {
    if (type->IsDataObject()) {
      auto* info = static_cast<const Lumo::DataObjectType*>(type)->GetInfo();
      count(info->parent);
      for (const Lumo::PropInfo* p = info->properties; p->name != nullptr; ++p) count(p->type);
    } else if (type->IsManagedObject()) {
      auto* info = static_cast<const Lumo::ManagedObjectType*>(type)->GetInfo();
      count(info->parent);
      for (const Lumo::PropInfo* p = info->properties; p->name != nullptr; ++p) count(p->type);
      for (const Lumo::MethodInfo* m = info->methods; m->name != nullptr; ++m) {
        for (const Lumo::ParamInfo* a = m->parameters; a->name != nullptr; ++a) count(a->type);
        count(m->result.type);
        for (const Lumo::TypeInfo* const* f = m->faults; *f != nullptr; ++f) count(*f);
      }
    }
  }
  EXPECT_EQ(stores, 322);
}

TEST_F(TotalsTest, OnlyTheRootLoaderCarriesTheVersionRecord) {
  auto loaders = ZelLoaders();
  ASSERT_NE(loaders[0].versions, nullptr);
  for (size_t i = 1; i < loaders.size(); ++i) EXPECT_EQ(loaders[i].versions, nullptr);

  const Lumo::OlyxVersions* v = loaders[0].versions;
  ASSERT_EQ(v->dependencyCount, 2u);
  EXPECT_STREQ(v->dependencies[0], "olyx");
  EXPECT_STREQ(v->dependencies[1], "hox");
  const char* names[] = {"zel.version.version1",  "zel.version.version2",  "zel.version.version11",
                         "zel.version.version12", "zel.version.version13", "zel.version.version14",
                         "zel.version.stable",    "zel.version.unstable",  "zel.version.legacy"};
  const char* ids[] = {"1.0",   "2.0",    "6.5",      "6.7",   "6.7.1",
                       "6.7.2", "stable", "unstable", "legacy"};
  ASSERT_EQ(v->versionCount, 9u);
  for (int i = 0; i < 9; ++i) {
    EXPECT_STREQ(v->versions[i].name, names[i]);
    EXPECT_STREQ(v->versions[i].versionId, ids[i]);
    EXPECT_STREQ(v->versions[i].ns, "zel");
    EXPECT_STREQ(v->versions[i].taskType, "zel.Task");
    EXPECT_STREQ(v->versions[i].secondNs, "zel");
    EXPECT_EQ(v->versions[i].flags, 0x100u);
  }
  EXPECT_STREQ(v->designatedVersions[0], "zel.version.version14");
  EXPECT_STREQ(v->designatedVersions[1], "zel.version.version14");
  EXPECT_STREQ(v->designatedVersions[2], "zel.version.version14");
  EXPECT_STREQ(v->designatedVersions[3], v->versions[0].name);
  const char* relations[16][2] = {{"zel.version.version1", "olyx.version.version2"},
                                  {"zel.version.version2", "zel.version.version1"},
                                  {"zel.version.version11", "zel.version.version2"},
                                  {"zel.version.version11", "hox.version.version11"},
                                  {"zel.version.version12", "zel.version.version11"},
                                  {"zel.version.version12", "hox.version.version12"},
                                  {"zel.version.version13", "zel.version.version12"},
                                  {"zel.version.version13", "hox.version.version13"},
                                  {"zel.version.version14", "zel.version.version13"},
                                  {"zel.version.version14", "hox.version.version14"},
                                  {"zel.version.stable", "zel.version.version14"},
                                  {"zel.version.stable", "hox.version.stable"},
                                  {"zel.version.unstable", "zel.version.stable"},
                                  {"zel.version.unstable", "hox.version.unstable"},
                                  {"zel.version.legacy", "zel.version.unstable"},
                                  {"zel.version.legacy", "hox.version.legacy"}};
  ASSERT_EQ(v->relationCount, 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_STREQ(v->relations[i].version, relations[i][0]);
    EXPECT_STREQ(v->relations[i].parent, relations[i][1]);
    EXPECT_EQ(std::strncmp(v->relations[i].parent, "olyx.", 5) == 0, i == 0);
  }
}

TEST_F(TotalsTest, WhatEachVersionIntroduces) {
  struct Counts {
    int types = 0, properties = 0, methods = 0, params = 0;
  };
  std::map<std::string, Counts> intro;
  auto props = [&](const Lumo::PropInfo* p, const char* owner) {
    for (; p->name != nullptr; ++p) {
      if (std::strcmp(p->version, owner) != 0) ++intro[p->version].properties;
    }
  };
  for (const Lumo::Type* type : ZelTypes()) {
    ++intro[type->GetVersion()].types;
    if (type->IsDataObject()) {
      props(static_cast<const Lumo::DataObjectType*>(type)->GetInfo()->properties,
            type->GetVersion());
    } else if (type->IsManagedObject()) {
      auto* info = static_cast<const Lumo::ManagedObjectType*>(type)->GetInfo();
      props(info->properties, type->GetVersion());
      for (const Lumo::MethodInfo* m = info->methods; m->name != nullptr; ++m) {
        if (std::strcmp(m->version, type->GetVersion()) != 0) ++intro[m->version].methods;
        for (const Lumo::ParamInfo* a = m->parameters; a->name != nullptr; ++a) {
          if (std::strcmp(a->version, m->version) != 0) ++intro[a->version].params;
        }
      }
    }
  }
  auto expect = [&](const char* version, int types, int properties, int methods, int params) {
    SCOPED_TRACE(version);
    const Counts& c = intro[version];
    EXPECT_EQ(c.types, types);
    EXPECT_EQ(c.properties, properties);
    EXPECT_EQ(c.methods, methods);
    EXPECT_EQ(c.params, params);
  };
  expect("zel.version.version1", 101, 0, 0, 0);
  expect("zel.version.version2", 10, 1, 14, 0);
  expect("zel.version.version11", 20, 18, 9, 3);
  expect("zel.version.version12", 7, 1, 2, 0);
  expect("zel.version.version14", 2, 0, 1, 0);
  expect("zel.version.unstable", 9, 5, 4, 1);
  for (const char* none : {"zel.version.version13", "zel.version.stable", "zel.version.legacy"}) {
    EXPECT_EQ(intro.count(none), 0u) << none;
  }
}

TEST_F(TotalsTest, EveryTypeIsFoundByWireNameWsdlNameAndClass) {
  for (const Lumo::Type* type : ZelTypes()) {
    EXPECT_EQ(Lumo::FindTypeByName(type->GetName()), type);
    EXPECT_EQ(Lumo::FindTypeByWsdlName(type->GetWsdlName()), type) << type->GetName();
    if (type->IsDataObject()) {
      auto* data = static_cast<const Lumo::DataObjectType*>(type);
      Kestrum::Ref<Lumo::Any> instance(data->CreateInstance());
      ASSERT_TRUE(instance);
      EXPECT_EQ(instance->_GetType(), type);
      EXPECT_EQ(Lumo::FindType(typeid(*instance)), type);
      Kestrum::Ref<Lumo::Any> array(data->CreateArray());
      EXPECT_EQ(array->_GetType(), type->GetArrayType());
    }
  }
}

}  // namespace
