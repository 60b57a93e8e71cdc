// Type accessors before the runtime has started: nothing here starts it, so
// every accessor must refuse with the root description unit in its message.
#include <Lumo/TypeInfoLoader.h>
#include <Olyx/Zel/AboutInfo.h>
#include <gtest/gtest.h>

namespace {

TEST(BeforeStartTest, TypeAccessorAssertsNamingTheRootUnit) {
  ASSERT_FALSE(Lumo::TypeInfoLoader::_versionInfoIsAvailable);
  EXPECT_DEATH(Lumo::GetDoType<Zel::AboutInfo>(),
               "ASSERT LIBRARIES\\\\olyx\\\\generic\\\\beta\\\\zel\\\\typeinfo:[0-9]+");
}

}  // namespace
