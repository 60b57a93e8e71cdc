// Faults and their exception classes.
#include <Lumo/Lumo.h>
#include <LumoTest/Fault.h>
#include <LumoTest/SubFault.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

TEST(FaultException, MessageHasTheThreeLinesOfTheTemplate) {
  auto fault = MakeRef<LumoTest::Fault>();
  fault->SetMsg("disk full");
  LumoTest::Fault::Exception e(fault.Get());
  EXPECT_STREQ(e.what(),
               "Message is: disk full,\nFault cause: test.Fault\nFault Messages are:\n\n");
}

TEST(FaultException, MessageListsTheFaultMessages) {
  auto fault = MakeRef<Lumo::Fault::NotSupported>();
  fault->GetFaultMessage()->Append(new Lumo::KeyAnyValue("reason", nullptr));
  Lumo::Fault::NotSupported::Exception e(fault.Get());
  EXPECT_STREQ(e.what(),
               "Message is: ,\nFault cause: olyx.fault.NotSupported\nFault Messages are:\n"
               "(olyx.KeyAnyValue[]) [\n"
               "   (olyx.KeyAnyValue) {\n"
               "      key = \"reason\",\n"
               "      value = <unset>\n"
               "   }\n"
               "]\n");
}

TEST(FaultException, MessageIsComposedOnceAtConstruction) {
  auto fault = MakeRef<Lumo::MethodFault>();
  fault->SetMsg("before");
  Lumo::MethodFault::Exception e(fault.Get());
  fault->SetMsg("after");
  Lumo::MethodFault::Exception copy(e);
  EXPECT_NE(std::string(copy.what()).find("before"), std::string::npos);
  EXPECT_EQ(copy.GetFault(), fault.Get());
}

TEST(FaultException, HoldsOneReferenceSharedByCopies) {
  auto fault = MakeRef<LumoTest::Fault>();
  {
    LumoTest::Fault::Exception e(fault.Get());
    EXPECT_EQ(fault->GetRefCount(), 2);
    LumoTest::Fault::Exception copy(e);
    EXPECT_EQ(fault->GetRefCount(), 3);
    std::unique_ptr<Kestrum::Exception> clone(e.Clone());
    EXPECT_EQ(fault->GetRefCount(), 4);
    EXPECT_EQ(dynamic_cast<LumoTest::Fault::Exception*>(clone.get())->GetFault(), fault.Get());
  }
  EXPECT_EQ(fault->GetRefCount(), 1);
}

TEST(FaultThrow, EndsInTheMostDerivedThrowInternal) {
  auto sub = MakeRef<LumoTest::SubFault>();
  Lumo::MethodFault* asBase = sub.Get();
  try {
    asBase->Throw();
    FAIL() << "did not throw";
  } catch (const LumoTest::SubFault::Exception& e) {
    EXPECT_EQ(e.GetFault(), sub.Get());
  }
  // Caught as every ancestor's exception too.
  EXPECT_THROW(asBase->Throw(), LumoTest::Fault::Exception);
  EXPECT_THROW(asBase->Throw(), Lumo::MethodFault::Exception);
  EXPECT_THROW(asBase->Throw(), Kestrum::Exception);
  EXPECT_THROW(asBase->Throw(), std::exception);
}

TEST(FaultThrow, RethrowThroughABaseReferenceKeepsTheClass) {
  LumoTest::SubFault::Exception original(0);
  const LumoTest::Fault::Exception& asBase = original;
  EXPECT_THROW(asBase.Throw(), LumoTest::SubFault::Exception);
  const Kestrum::Exception& asCore = original;
  EXPECT_THROW(asCore.Throw(), LumoTest::SubFault::Exception);
}

TEST(FaultThrow, CreateExceptionFollowsTheFaultClass) {
  Ref<Lumo::MethodFault> fault = MakeRef<Lumo::Fault::InvalidArgument>();
  std::unique_ptr<Lumo::MethodFault::Exception> e(fault->CreateException());
  EXPECT_NE(dynamic_cast<Lumo::Fault::InvalidArgument::Exception*>(e.get()), nullptr);
  EXPECT_EQ(e->GetFault(), fault.Get());
}

TEST(FaultException, ValueConstructorsCreateAFault) {
  Lumo::Fault::InvalidArgument::Exception e(Kestrum::Optional<std::string>("name"));
  ASSERT_NE(e.GetFault(), nullptr);
  EXPECT_EQ(e.GetFault()->GetInvalidProperty().GetValue(), "name");
  EXPECT_EQ(e.GetFault()->GetRefCount(), 1);
  LumoTest::Fault::Exception coded(42);
  EXPECT_EQ(coded.GetFault()->GetCode(), 42);
}

TEST(FaultEquality, ComparesMessagesAndProperties) {
  auto a = MakeRef<LumoTest::Fault>();
  auto b = MakeRef<LumoTest::Fault>();
  a->SetMsg("m");
  EXPECT_FALSE(a->_IsEqual(b.Get()));
  EXPECT_TRUE(a->_IsEqual(b.Get(), true));  // b's msg unset: loose match
  EXPECT_FALSE(b->_IsEqual(a.Get(), true));
  b->SetMsg("m");
  b->SetCode(1);
  EXPECT_FALSE(a->_IsEqual(b.Get()));
  // Faults diff through the records: MethodFault's properties first.
  Lumo::PropertyDiffSet diffs;
  a->GetFaultMessage();  // an empty list is the same as none
  a->_DiffProperties(b.Get(), "f", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "f.code");
}

TEST(FaultAccessors, FaultMessageIsCreatedOnceOnFirstUse) {
  auto fault = MakeRef<Lumo::MethodFault>();
  EXPECT_EQ(fault->GetPtrFaultMessage(), nullptr);
  EXPECT_FALSE(fault->IsSetFaultMessage());
  const Lumo::MethodFault* asConst = fault.Get();
  const auto* created = asConst->GetFaultMessage();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(fault->GetFaultMessage(), created);
  EXPECT_EQ(fault->PeekFaultMessage(), nullptr);
  EXPECT_EQ(fault->GetMsg(), "");
  EXPECT_EQ(fault->PeekMsg(), nullptr);
}

TEST(FaultDeathTest, GetFaultOfTheWrongClassAsserts) {
  // A base exception class can hold a fault that a derived exception does
  // not accept; GetFault of the derived class checks it.
  struct Probe : LumoTest::SubFault::Exception {
    using LumoTest::SubFault::Exception::Exception;
    void Replace(Lumo::MethodFault* f) { _fault = f; }
  };
  Probe probe(0);
  probe.Replace(new LumoTest::Fault);
  // The generated check names the declaration header it stands in.
  EXPECT_DEATH(probe.GetFault(), "ASSERT lumo/tests/LumoTest/SubFault-decl:[0-9]+\n");
}

}  // namespace
