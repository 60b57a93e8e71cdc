// The serving path every adapter shares (Lumo/ObjectRegistry.h): look-up,
// type check, before-invoke hook, invokeByIndex, with the call current from
// the hook to the end of the implementation, on real generated types.
#include <Lumo/ObjectRegistry.h>
#include <Lumo/ServedCall.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <Olyx/Zel/Task.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;
using Args = std::vector<Ref<Any>>;

// Answers retrieveContent and notes the call it ran in.
class Instance : public Zel::ServiceInstance, public Kestrum::ObjectImpl {
 public:
  std::atomic<int> calls{0};
  std::atomic<const Lumo::ServedCall*> seen{nullptr};
  // Runs inside retrieveContent when set (a nested call, a check).
  std::function<void()> inside;
  bool fail = false;
  Ref<Zel::ServiceInstanceContent> content{new Zel::ServiceInstanceContent};

  void RetrieveContent(Ref<Zel::ServiceInstanceContent>& result) override {
    ++calls;
    seen = Lumo::CurrentCall();
    if (inside) inside();
    if (fail) throw Zel::Fault::NotFound::Exception();
    result = content;
  }
  void GetContent(Ref<Zel::ServiceInstanceContent>& result) override { result = content; }
  void QueryAtomFeedQsProviderIds(const std::string&, Ref<Lumo::Array<std::string>>&) override {}
  void GetZelDebugManager(Ref<Lumo::MoRef>&) override {}
};

class Task : public Zel::Task, public Kestrum::ObjectImpl {};

// The session each calling thread puts in its calls.
thread_local std::string tSession;

class ServingTest : public ZelRules::RulesTest {
 protected:
  void SetUp() override {
    retrieveContent = Lumo::GetMoType<Zel::ServiceInstance>()->FindMethod("retrieveContent");
    ASSERT_NE(retrieveContent, nullptr);
    registry =
        new Lumo::ObjectRegistry([this](const Lumo::ManagedMethod& method, Lumo::ServedCall& call) {
          ++hooked;
          hookSawCurrent = Lumo::CurrentCall() == &call;
          hookSawMethod = &method;
          if (refuseInHook) {
            auto refusal = MakeRef<Lumo::Fault::NotSupported>();
            refusal->SetMsg("refused by the hook");
            refusal->Throw();
          }
        });
    instanceRef = registry->Register("si", instance.Get());
  }

  Ref<Any> Call(Lumo::ServedCall& call, const Lumo::MoRef* target,
                Lumo::RefuseCall refuse = nullptr) {
    Args args;
    Ref<Any> result;
    registry->Invoke(call, target, *retrieveContent, args, result, refuse);
    return result;
  }

  Lumo::ManagedMethod* retrieveContent = nullptr;
  Ref<Instance> instance{new Instance};
  Ref<Lumo::ObjectRegistry> registry;
  Ref<Lumo::MoRef> instanceRef;
  std::atomic<int> hooked{0};
  std::atomic<bool> hookSawCurrent{false};
  std::atomic<const Lumo::ManagedMethod*> hookSawMethod{nullptr};
  bool refuseInHook = false;
};

TEST_F(ServingTest, CallRunsThroughTheHookToTheObjectWithTheCallCurrent) {
  EXPECT_EQ(instanceRef->GetTypeName(), "zel.ServiceInstance");
  EXPECT_EQ(instanceRef->GetId(), "si");
  Lumo::ServedCall call;
  call.sessionId = "s-1";
  Ref<Any> result = Call(call, instanceRef.Get());
  EXPECT_EQ(result.Get(), instance->content.Get());
  EXPECT_EQ(hooked, 1);
  EXPECT_TRUE(hookSawCurrent);
  EXPECT_EQ(hookSawMethod, retrieveContent);
  EXPECT_EQ(instance->seen, &call);
  EXPECT_EQ(Lumo::CurrentCall(), nullptr);

  // A reference naming a base type of the object finds it too.
  auto asBase = MakeRef<Lumo::MoRef>("olyx.ManagedObject", "si");
  Call(call, asBase.Get());
  EXPECT_EQ(instance->calls, 2);
}

TEST_F(ServingTest, CallsThatCannotBeMadeAreRefusedBeforeTheHookInTheCallersWords) {
  auto task = MakeRef<Task>();
  registry->Register("t", task.Get());
  static std::vector<std::pair<Lumo::Refusal, const Lumo::ManagedObject*>> refusals;
  refusals.clear();
  auto refuse = [](Lumo::Refusal why, const Lumo::MoRef*, const Lumo::ManagedMethod&,
                   const Lumo::ManagedObject* object) {
    refusals.emplace_back(why, object);
    throw std::runtime_error("refused");
  };
  auto unknownId = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "nobody");
  auto otherType = MakeRef<Lumo::MoRef>("zel.Task", "si");
  auto unknownType = MakeRef<Lumo::MoRef>("zel.Nope", "si");
  auto wrongObject = MakeRef<Lumo::MoRef>("zel.Task", "t");
  Lumo::ServedCall call;
  for (const Lumo::MoRef* target : {unknownId.Get(), otherType.Get(), unknownType.Get(),
                                    static_cast<Lumo::MoRef*>(nullptr), wrongObject.Get()}) {
    EXPECT_THROW(Call(call, target, refuse), std::runtime_error);
  }
  ASSERT_EQ(refusals.size(), 5u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(refusals[i].first, Lumo::Refusal::kNoObject) << i;
    EXPECT_EQ(refusals[i].second, nullptr) << i;
  }
  EXPECT_EQ(refusals[4].first, Lumo::Refusal::kWrongType);
  EXPECT_EQ(refusals[4].second, task.Get());

  // Without words of its own, the caller gets an InvalidArgument naming
  // what it refused.
  auto propertyOf = [&](const Lumo::MoRef* target) -> std::string {
    try {
      Call(call, target);
    } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
      return e.GetFault()->GetInvalidProperty().GetValue() + ": " + e.GetFault()->GetMsg();
    }
    return "not refused";
  };
  EXPECT_EQ(propertyOf(unknownId.Get()), "_this: no object zel.ServiceInstance:nobody");
  EXPECT_EQ(propertyOf(nullptr), "_this: the call names no object");
  EXPECT_EQ(propertyOf(wrongObject.Get()),
            "method: zel.Task has no method zel.ServiceInstance.retrieveContent");
  EXPECT_EQ(hooked, 0);
  EXPECT_EQ(instance->calls, 0);
  EXPECT_EQ(Lumo::CurrentCall(), nullptr);

  // Once unregistered, an object is not found; Clear empties the registry.
  EXPECT_TRUE(registry->Unregister("si"));
  EXPECT_FALSE(registry->Unregister("si"));
  EXPECT_FALSE(registry->Find(instanceRef.Get()));
  registry->Clear();
  EXPECT_FALSE(registry->Find(wrongObject.Get()));
  EXPECT_THROW(registry->Register("x", nullptr), Lumo::Fault::InvalidArgument::Exception);
}

TEST_F(ServingTest, FaultsOfTheHookAndTheObjectPassUnchangedAndEndTheCall) {
  Lumo::ServedCall call;
  refuseInHook = true;
  EXPECT_THROW(Call(call, instanceRef.Get()), Lumo::Fault::NotSupported::Exception);
  EXPECT_EQ(instance->calls, 0);
  EXPECT_EQ(Lumo::CurrentCall(), nullptr);

  refuseInHook = false;
  instance->fail = true;
  EXPECT_THROW(Call(call, instanceRef.Get()), Zel::Fault::NotFound::Exception);
  EXPECT_EQ(instance->calls, 1);
  EXPECT_EQ(Lumo::CurrentCall(), nullptr);

  // A call made while serving another has its own call; the outer one is
  // current again once it ends.
  instance->fail = false;
  Lumo::ServedCall inner;
  const Lumo::ServedCall* afterInner = nullptr;
  bool nested = false;
  instance->inside = [&] {
    if (nested) return;
    nested = true;
    Call(inner, instanceRef.Get());
    EXPECT_EQ(instance->seen, &inner);
    afterInner = Lumo::CurrentCall();
  };
  Call(call, instanceRef.Get());
  EXPECT_EQ(afterInner, &call);
  EXPECT_EQ(Lumo::CurrentCall(), nullptr);
}

TEST_F(ServingTest, CallsOnManyThreadsEachSeeTheirOwnCallWhileObjectsComeAndGo) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 300;
  std::atomic<int> mismatches{0};
  instance->inside = [&] {
    const Lumo::ServedCall* current = Lumo::CurrentCall();
    if (current == nullptr || current->sessionId != tSession) ++mismatches;
  };
  std::atomic<bool> done{false};
  std::thread churn([&] {
    while (!done) {
      auto task = MakeRef<Task>();
      registry->Register("churn", task.Get());
      registry->Unregister("churn");
    }
  });
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t) {
    callers.emplace_back([&, t] {
      tSession = "thread-" + std::to_string(t);
      for (int i = 0; i < kCalls; ++i) {
        Lumo::ServedCall call;
        call.sessionId = tSession;
        Args args;
        Ref<Any> result;
        registry->Invoke(call, instanceRef.Get(), *retrieveContent, args, result);
        if (result.Get() != instance->content.Get()) ++mismatches;
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  done = true;
  churn.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(instance->calls, kThreads * kCalls);
  EXPECT_EQ(hooked, kThreads * kCalls);
}

}  // namespace
