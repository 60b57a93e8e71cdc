// Exceptions and Panic.
#include <Kestrum/Exception.h>
#include <Kestrum/Panic.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {

struct Expected {
  virtual ~Expected() = default;
};
struct Actual {
  virtual ~Actual() = default;
};

TEST(Exceptions, MessageIsKeptAndCopied) {
  Kestrum::Exception e("something broke");
  EXPECT_STREQ(e.what(), "something broke");
  Kestrum::Exception copy(e);
  EXPECT_STREQ(copy.what(), "something broke");
}

TEST(Exceptions, CloneAndThrowKeepTheDynamicClass) {
  Kestrum::TypeMismatchException original(typeid(Expected), typeid(Actual));
  std::unique_ptr<Kestrum::Exception> clone(original.Clone());
  EXPECT_NE(dynamic_cast<Kestrum::TypeMismatchException*>(clone.get()), nullptr);
  const Kestrum::Exception& base = original;
  EXPECT_THROW(base.Throw(), Kestrum::TypeMismatchException);
}

TEST(Exceptions, TypeMismatchNamesBothClassesReadably) {
  try {
    Kestrum::ThrowTypeMismatchException(typeid(Expected), typeid(std::string));
    FAIL() << "did not throw";
  } catch (const Kestrum::TypeMismatchException& e) {
    std::string message = e.what();
    EXPECT_NE(message.find("(anonymous namespace)::Expected"), std::string::npos) << message;
    EXPECT_NE(message.find("std::string"), std::string::npos) << message;
    EXPECT_EQ(e.GetActual(), "std::string");
  }
}

TEST(Exceptions, TypeMismatchIsCaughtAsEveryBase) {
  EXPECT_THROW(Kestrum::ThrowTypeMismatchException(typeid(int), typeid(long)), Kestrum::Exception);
  EXPECT_THROW(Kestrum::ThrowTypeMismatchException(typeid(int), typeid(long)), Kestrum::Throwable);
  EXPECT_THROW(Kestrum::ThrowTypeMismatchException(typeid(int), typeid(long)), std::exception);
}

TEST(Exceptions, DumpShowsClassMessageAndBacktrace) {
  Kestrum::Exception e("dump me");
  std::ostringstream out;
  e.Dump(out);
  EXPECT_NE(out.str().find("Kestrum::Exception: dump me"), std::string::npos);
  EXPECT_NE(e.GetBacktrace().find("#0"), std::string::npos);
  EXPECT_FALSE(e.Where().empty());
}

TEST(Exceptions, DemangledStringIsShort) {
  EXPECT_EQ(Kestrum::DemangleClassName(typeid(std::string)), "std::string");
  EXPECT_EQ(Kestrum::DemangleClassName(typeid(int)), "int");
}

TEST(PanicDeathTest, FormatsToStderrAndAborts) {
  EXPECT_DEATH(Kestrum::Panic("custom %s %d\n", "text", 7), "custom text 7\n");
  EXPECT_DEATH(KESTRUM_ASSERT_AT(1 + 1 == 3, "some/path", 12), "ASSERT some/path:12\n");
  EXPECT_DEATH(KESTRUM_NOT_REACHED_AT("other/path", 34), "NOT_REACHED other/path:34\n");
}

TEST(Panic, PassingAssertionDoesNothing) {
  int evaluated = 0;
  KESTRUM_ASSERT_AT(++evaluated == 1, "never", 1);
  EXPECT_EQ(evaluated, 1);
}

}  // namespace
