// Positional formatting and functors.
#include <Kestrum/Functor.h>
#include <Kestrum/Print.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using Kestrum::Nil;
using Kestrum::Detail::ASPrintInternal;

TEST(ASPrint, ReplacesPositionalArgumentsInAnyOrder) {
  EXPECT_EQ(ASPrintInternal("%2-%1-%3", "a", 2, std::string("c")), "2-a-c");
  EXPECT_EQ(ASPrintInternal("%1%1", "x"), "xx");
}

TEST(ASPrint, KeepsOtherPercentSignsAndUnescapesDoubles) {
  EXPECT_EQ(ASPrintInternal("100%% of %1 at 5%", "it"), "100% of it at 5%");
  EXPECT_EQ(ASPrintInternal("%4 %", "a"), "%4 %");
}

TEST(ASPrint, FormatsTheFaultTemplate) {
  EXPECT_EQ(ASPrintInternal("Message is: %1,\nFault cause: %2\nFault Messages are:\n%3\n", "m",
                            "olyx.MethodFault", ""),
            "Message is: m,\nFault cause: olyx.MethodFault\nFault Messages are:\n\n");
}

TEST(ASPrint, RendersNumbersAndBooleans) {
  EXPECT_EQ(ASPrintInternal("%1 %2 %3", -5, 7ull, true), "-5 7 true");
  EXPECT_EQ(ASPrintInternal("%1", 0.5), "0.5");
  EXPECT_EQ(ASPrintInternal("%1", static_cast<const char*>(nullptr)), "(null)");
}

TEST(Functor, DropsNilArguments) {
  using F = Kestrum::Functor<int, int, int, Nil, Nil, Nil, Nil, Nil>;
  static_assert(std::is_same_v<F::Signature, int(int, int)>);
  F add([](int a, int b) { return a + b; });
  EXPECT_EQ(add(2, 3), 5);
}

TEST(Functor, CarriesStateAndCopies) {
  int calls = 0;
  Kestrum::Functor<void, int> f([&calls](int n) { calls += n; });
  auto copy = f;
  f(1);
  copy(2);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(static_cast<bool>(f));
  EXPECT_FALSE(static_cast<bool>(Kestrum::Functor<void>()));
}

TEST(FunctorDeathTest, CallingAnEmptyFunctorAsserts) {
  Kestrum::Functor<void> empty;
  EXPECT_DEATH(empty(), "ASSERT Kestrum/Functor:88\n");
}

}  // namespace
