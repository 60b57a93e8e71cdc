// Asynchronous calls of generated stubs over the real HTTP transport and
// server: a hundred calls started from one thread return at once, are in
// flight together over one transport (the server's handler holds each until
// all of them are inside), and complete on the runtime's pool threads.
#include <Lumo/CallPool.h>
#include <ZelTest/Barrier.h>
#include <ZelTest/Completions.h>

#include <thread>
#include <vector>

#include "ServiceFixture.h"

namespace HttpTesting {
namespace {

TEST_F(HttpServiceTest, HundredAsynchronousCallsAreInFlightTogetherOverOneTransport) {
  constexpr int kCalls = 100;
  ASSERT_GE(Lumo::GetCallPool().GetSettings().maxThreads, static_cast<size_t>(kCalls));
  ZelTest::Barrier barrier(kCalls);
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.handlerThreads = kCalls;
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [&barrier, endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                                      Lumo::Wire::TransportResponse& response) {
        barrier.Arrive();
        endpoint->Handle(request, response);
      },
      settings);
  server->Start();
  // The service instance's stub alone: fetching the other managers would be
  // a call of its own held in the barrier.
  auto transport = MakeRef<ZelHttp::HttpTransport>(server->GetUrl());
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport.Get());
  auto instance = MakeRef<Zel::ServiceInstanceStub>(service->GetServiceInstanceRef().Get(),
                                                    adapter.Get(), nullptr);

  ZelTest::Completions completions(
      [](Lumo::Any* result) { return dynamic_cast<Zel::ServiceInstanceContent*>(result); });
  const Lumo::CompletionFunctor completion = completions.Functor();
  std::vector<Ref<Kestrum::System::ScheduledItem>> items(kCalls);
  for (Ref<Kestrum::System::ScheduledItem>& item : items) {
    // A call run on this thread would wait in the barrier for calls not yet
    // started, and the barrier's deadline would fail the test.
    instance->RetrieveContent(completion, item);
    ASSERT_TRUE(item);
  }
  for (Ref<Kestrum::System::ScheduledItem>& item : items) item->Wait();

  EXPECT_FALSE(barrier.TimedOut());
  EXPECT_GE(barrier.MostInside(), kCalls);
  EXPECT_EQ(completions.Answered(), kCalls);
  EXPECT_EQ(completions.OnPool(), kCalls);
  EXPECT_FALSE(completions.RanOn(std::this_thread::get_id()));
}

}  // namespace
}  // namespace HttpTesting
