// Behaviour before the runtime has started, and the start itself. Nothing in
// this binary starts the runtime before its tests do.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Derived.h>
#include <LumoTest/Widget.h>
#include <gtest/gtest.h>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

TEST(BeforeStart, LoadersAreRegisteredButHaveNotRun) {
  EXPECT_FALSE(Lumo::TypeInfoLoader::_versionInfoIsAvailable);
  EXPECT_FALSE(Lumo::IsRuntimeStarted());
  auto loaders = Lumo::GetLoaderRegistrations();
  ASSERT_EQ(loaders.size(), 1u);
  EXPECT_EQ(loaders[0].name, "test");
  EXPECT_FALSE(loaders[0].hasRun);
  EXPECT_EQ(gTestWidgetMethodObjects[0], nullptr);
  EXPECT_EQ(Lumo::FindTypeByName("test.Base"), nullptr);
}

TEST(BeforeStart, RuntimeOwnTypesAreAvailable) {
  EXPECT_STREQ(Lumo::GetNoType<std::string>()->GetName(), "string");
  EXPECT_STREQ(Lumo::GetDoType<Lumo::KeyAnyValue>()->GetName(), "olyx.KeyAnyValue");
  EXPECT_EQ(Lumo::FindTypeByName("olyx.MethodFault"), Lumo::GetDoType<Lumo::MethodFault>());
}

TEST(BeforeStart, ObjectsCanBeBuiltAndValidatedWithoutTheirTypes) {
  auto base = MakeRef<LumoTest::Base>();
  base->SetName("accepted without any type look-up");
  EXPECT_EQ(base->ToString(), "LumoTest::Base");
  try {
    base->SetName(std::string("\x01"));
    FAIL() << "accepted";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    // The type is not created yet: the class names the owner.
    EXPECT_NE(std::string(e.what()).find("LumoTest::Base"), std::string::npos) << e.what();
  }
}

TEST(BeforeStart, AStubCallNamesTheMissingStart) {
  // Without a started runtime the stub has no method objects: the call is
  // refused with a message that says what to do, whatever the adapter.
  auto ref = MakeRef<Lumo::MoRef>("test.Widget", "widget");
  auto stub = MakeRef<LumoTest::WidgetStub>(ref.Get(), nullptr, nullptr);
  try {
    stub->Ping();
    FAIL() << "the call went through";
  } catch (const Kestrum::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("before Lumo::StartRuntime()"), std::string::npos)
        << e.what();
  }
}

TEST(BeforeStartDeathTest, TypeAccessorsOfALibraryAssert) {
  // The generated accessor names the package's description unit.
  EXPECT_DEATH(Lumo::GetDoType<LumoTest::Base>(),
               "ASSERT lumo\\\\tests\\\\test\\\\typeinfo:[0-9]+\n");
}

TEST(Start, RunsTheCallbackAndLinksTheTypes) {
  Lumo::StartRuntime();
  EXPECT_TRUE(Lumo::TypeInfoLoader::_versionInfoIsAvailable);
  auto loaders = Lumo::GetLoaderRegistrations();
  EXPECT_TRUE(loaders[0].hasRun);
  EXPECT_EQ(loaders[0].types.size(), 7u);
  EXPECT_EQ(Lumo::GetDoType<LumoTest::Derived>()->GetBase(), Lumo::GetDoType<LumoTest::Base>());
  EXPECT_EQ(Lumo::GetDoType<LumoTest::Base>()->GetBase(), Lumo::GetDoType<Lumo::DynamicData>());
  EXPECT_NE(gTestWidgetMethodObjects[0], nullptr);
  EXPECT_TRUE(Lumo::GetTypesWithMissingBase().empty());
  ASSERT_NE(Lumo::GetVersionInfo(), nullptr);
  EXPECT_EQ(Lumo::GetVersionInfo(), loaders[0].versions);
  // The runtime's own types come first in creation order.
  auto all = Lumo::GetAllTypes();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.front(), Lumo::GetNoType<std::string>());
}

}  // namespace
