// Asynchronous calls of generated stubs over one wire transport: they return
// at once, run on the runtime's call pool, are in flight together, and their
// completions arrive on pool threads. Nothing here waits on time: a barrier
// inside the serving handler opens only when every call is inside it at
// once, and a generous deadline turns a hang into a failure.
#include <Lumo/CallPool.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <ZelTest/Barrier.h>
#include <ZelTest/Completions.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

// A create spec with every required property set.
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> CreateSpec() {
  WireTest::Filler filler(7);
  Ref<Lumo::Any> spec =
      filler.Object(WireTest::DataTypeNamed("zel.profile.CapabilityBasedProfileCreateSpec"));
  return Ref<Zel::Profile::CapabilityBasedProfileCreateSpec>(
      static_cast<Zel::Profile::CapabilityBasedProfileCreateSpec*>(spec.Get()));
}

TEST(AsyncCalls, HundredCallsOverOneTransportAreInFlightTogether) {
  constexpr int kCalls = 100;
  ASSERT_GE(Lumo::GetCallPool().GetSettings().maxThreads, static_cast<size_t>(kCalls));
  WireTest::Service service;
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
  Ref<Lumo::Stub> stub =
      service.ClientStub(WireTest::ManagedTypeNamed("zel.profile.ProfileManager"), adapter.Get());
  auto* manager = dynamic_cast<Zel::Profile::ProfileManagerStub*>(stub.Get());
  ASSERT_TRUE(manager);
  auto answer = MakeRef<Zel::Profile::ProfileId>();
  answer->SetUniqueId("p-1");
  service.recorder->Answer(answer.Get());
  ZelTest::Barrier barrier(kCalls);
  service.recorder->Hold([&] { barrier.Arrive(); });

  ZelTest::Completions completions([](Lumo::Any* result) {
    auto* id = dynamic_cast<Zel::Profile::ProfileId*>(result);
    return id != nullptr && id->GetUniqueId() == "p-1";
  });
  const Lumo::CompletionFunctor completion = completions.Functor();
  std::vector<Ref<Kestrum::System::ScheduledItem>> items(kCalls);
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec = CreateSpec();
  for (Ref<Kestrum::System::ScheduledItem>& item : items) {
    // Were a call to run on this thread, it would wait in the barrier for
    // calls not yet started, and the barrier's deadline would fail the test.
    manager->Create(spec.Get(), completion, item);
    ASSERT_TRUE(item);
  }
  for (Ref<Kestrum::System::ScheduledItem>& item : items) item->Wait();

  EXPECT_FALSE(barrier.TimedOut());
  EXPECT_EQ(barrier.MostInside(), kCalls);
  EXPECT_EQ(completions.Completed(), kCalls);
  EXPECT_EQ(completions.Answered(), kCalls);
  EXPECT_EQ(completions.OnPool(), kCalls);
  EXPECT_FALSE(completions.RanOn(std::this_thread::get_id()));
  EXPECT_EQ(service.recorder->Count(), static_cast<size_t>(kCalls));
}

TEST(AsyncCalls, FaultsOfStartedCallsReachTheCompletionTyped) {
  WireTest::Service service;
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
  Ref<Lumo::Stub> stub =
      service.ClientStub(WireTest::ManagedTypeNamed("zel.profile.ProfileManager"), adapter.Get());
  auto* manager = dynamic_cast<Zel::Profile::ProfileManagerStub*>(stub.Get());
  auto fault = MakeRef<Zel::Fault::NotFound>();
  fault->SetMsg("gone");
  service.recorder->Fail(fault.Get());
  std::string message;
  Ref<Kestrum::System::ScheduledItem> item;
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec = CreateSpec();
  manager->Create(spec.Get(),
                  Lumo::CompletionFunctor(
                      [&](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Lumo::Any*) {
                        if (auto* typed = dynamic_cast<Zel::Fault::NotFound::Exception*>(e)) {
                          message = typed->GetFault()->GetMsg();
                        }
                      }),
                  item);
  // The stub and adapter may go while the call runs: it keeps them.
  stub.Reset();
  adapter.Reset();
  item->Wait();
  EXPECT_EQ(message, "gone");
}

}  // namespace
