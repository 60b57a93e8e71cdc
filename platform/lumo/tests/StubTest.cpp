// Stubs: calls go through the pluggable adapter.
#include <Lumo/Lumo.h>
#include <LumoTest/Fault.h>
#include <LumoTest/SubFault.h>
#include <LumoTest/Widget.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

// Records every call and answers with a canned result or a fault.
class RecordingAdapter : public Lumo::StubAdapter {
 public:
  struct Call {
    Lumo::Stub* stub;
    Lumo::ManagedMethod* method;
    std::vector<Ref<Lumo::Any>> args;
  };
  std::vector<Call> calls;
  Ref<Lumo::Any> answer;
  Ref<Lumo::MethodFault> fault;

  void Invoke(Lumo::Stub* stub, Lumo::ManagedMethod* method, std::vector<Ref<Lumo::Any>>& args,
              Ref<Lumo::Any>& result) override {
    calls.push_back(Call{stub, method, args});
    if (fault) fault->Throw();
    result = answer;
  }
};

Ref<LumoTest::WidgetStub> MakeStub(RecordingAdapter* adapter,
                                   Lumo::RequestContext* context = nullptr) {
  auto ref = MakeRef<Lumo::MoRef>("test.Widget", "w-1");
  return Ref<LumoTest::WidgetStub>(new LumoTest::WidgetStub(ref.Get(), adapter, context));
}

TEST(Stub, SynchronousCallsGoToTheAdapterWithTheMethodObject) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto stub = MakeStub(adapter.Get());
  adapter->answer = new Lumo::Primitive<std::string>("pong");
  EXPECT_EQ(stub->Ping(), "pong");
  stub->Poke("hello");
  ASSERT_EQ(adapter->calls.size(), 2u);
  EXPECT_EQ(adapter->calls[0].method, gTestWidgetMethodObjects[1]);
  EXPECT_EQ(adapter->calls[0].stub, static_cast<Lumo::Stub*>(stub.Get()));
  EXPECT_EQ(adapter->calls[1].method, gTestWidgetMethodObjects[0]);
  ASSERT_EQ(adapter->calls[1].args.size(), 1u);
  auto* arg = dynamic_cast<Lumo::Primitive<std::string>*>(adapter->calls[1].args[0].Get());
  ASSERT_NE(arg, nullptr);
  EXPECT_EQ(arg->GetValue(), "hello");
}

TEST(Stub, ResultOfTheWrongClassIsATypeMismatch) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto stub = MakeStub(adapter.Get());
  adapter->answer = new Lumo::Primitive<int64_t>(1);
  EXPECT_THROW(stub->Ping(), Kestrum::TypeMismatchException);
}

TEST(Stub, FaultsPassThroughAsTheirOwnExceptionClass) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto stub = MakeStub(adapter.Get());
  adapter->fault = new LumoTest::SubFault;
  EXPECT_THROW(stub->Poke("x"), LumoTest::SubFault::Exception);
}

TEST(Stub, StartFormCompletesWithTheResult) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto stub = MakeStub(adapter.Get());
  adapter->answer = new Lumo::Primitive<std::string>("later");
  std::string received;
  bool failed = true;
  Kestrum::System::ScheduledItem* seenItem = nullptr;
  Ref<Kestrum::System::ScheduledItem> item;
  stub->Ping(Lumo::CompletionFunctor(
                 [&](Kestrum::System::ScheduledItem* i, Kestrum::Exception* e, Lumo::Any* result) {
                   seenItem = i;
                   failed = e != nullptr;
                   if (auto* s = dynamic_cast<Lumo::Primitive<std::string>*>(result)) {
                     received = s->GetValue();
                   }
                 }),
             item);
  ASSERT_TRUE(item);
  item->Wait();
  EXPECT_EQ(seenItem, item.Get());
  EXPECT_FALSE(failed);
  EXPECT_EQ(received, "later");
}

TEST(Stub, StartFormCompletesWithTheFaultException) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto stub = MakeStub(adapter.Get());
  adapter->fault = new LumoTest::Fault;
  Ref<Kestrum::System::ScheduledItem> item;
  bool gotTypedFault = false;
  Lumo::Any* seenResult = reinterpret_cast<Lumo::Any*>(1);
  stub->Ping(Lumo::CompletionFunctor(
                 [&](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Lumo::Any* result) {
                   gotTypedFault = dynamic_cast<LumoTest::Fault::Exception*>(e) != nullptr;
                   seenResult = result;
                 }),
             item);
  ASSERT_TRUE(item);
  item->Wait();
  EXPECT_TRUE(gotTypedFault);
  EXPECT_EQ(seenResult, nullptr);
}

TEST(Stub, KeepsReferenceAdapterAndRequestContext) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto context = MakeRef<Lumo::RequestContext>();
  context->Set("locale", "en");
  auto stub = MakeStub(adapter.Get(), context.Get());
  EXPECT_EQ(stub->_GetRef()->GetId(), "w-1");
  EXPECT_EQ(stub->_GetStubAdapter(), adapter.Get());
  EXPECT_EQ(stub->_GetRequestContext(), context.Get());
  EXPECT_EQ(*stub->_GetRequestContext()->Get("locale"), "en");
  EXPECT_EQ(stub->_GetRequestContext()->Get("missing"), nullptr);
  stub->_SetRequestContext(nullptr);
  EXPECT_EQ(stub->_GetRequestContext(), nullptr);
  EXPECT_EQ(context->GetRefCount(), 1);
  EXPECT_EQ(stub->_GetType(), Lumo::GetMoType<LumoTest::Widget>());
  stub->_Unregistered();
  EXPECT_TRUE(stub->IsUnregistered());
}

TEST(Stub, IsCountedThroughObjectImplAndReleasesWhatItHolds) {
  auto adapter = MakeRef<RecordingAdapter>();
  {
    auto stub = MakeStub(adapter.Get());
    Ref<Lumo::Stub> asStub(stub.Get());
    EXPECT_EQ(stub->GetRefCount(), 2);
    EXPECT_EQ(adapter->GetRefCount(), 2);
  }
  EXPECT_EQ(adapter->GetRefCount(), 1);
}

TEST(Stub, CreatedThroughTheTypeRecord) {
  auto adapter = MakeRef<RecordingAdapter>();
  auto ref = MakeRef<Lumo::MoRef>("test.Widget", "w-2");
  Ref<Lumo::Stub> stub(
      Lumo::GetMoType<LumoTest::Widget>()->CreateStub(ref.Get(), adapter.Get(), nullptr));
  ASSERT_TRUE(stub);
  EXPECT_NE(dynamic_cast<LumoTest::WidgetStub*>(stub.Get()), nullptr);
  EXPECT_EQ(stub->_GetRef(), ref.Get());
}

TEST(Stub, WithoutAnAdapterCallsAreNotSupported) {
  auto stub = MakeStub(nullptr);
  EXPECT_THROW(stub->Ping(), Lumo::Fault::NotSupported::Exception);
}

}  // namespace
