// The time of create, queryProfile and checkCompliance with 10 and 10,000
// profiles stored, in memory and in an SQLite data file. Calls go through
// the service's entry (privilege check, invokeByIndex), without a wire.
#include <Lumo/Lumo.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelSample/DirectAdapter.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

using namespace ZelSample::Build;

// A profile of one constraint: two replicas.
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> OneRuleSpec(const std::string& name) {
  return Spec(name, {Sub("replicated", {Capability("replicaCount", Int(2))})});
}

// A service holding a number of profiles, one of them associated with vm-42,
// and a logged-in client of it.
struct Fixture {
  std::string dataFile;
  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::DirectAdapter> adapter;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;
  Ref<Zel::Profile::ProfileId> associated;
  int created = 0;

  Fixture(int count, bool sqlite) {
    ZelSample::ServiceSettings settings;
    settings.quotas.profilesPerSession = 1u << 30;
    settings.quotas.resultsPerSession = 1u << 30;
    settings.quotas.bytesPerSession = size_t{1} << 40;
    if (sqlite) {
      dataFile = "/tmp/zel-bench-" + std::to_string(getpid()) + "-" + std::to_string(count) + ".db";
      std::remove(dataFile.c_str());
      settings.dataFile = dataFile;
    }
    service = std::make_unique<ZelSample::SampleService>(settings);
    adapter = new ZelSample::DirectAdapter(*service);
    auto instance = MakeRef<Zel::ServiceInstanceStub>(service->GetServiceInstanceRef().Get(),
                                                      adapter.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    instance->RetrieveContent(content);
    auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(content->GetSessionManager(),
                                                           adapter.Get(), nullptr);
    sessions->LoginByToken(ZelSample::MakeDelegatedToken("bench@sample.test"));
    profiles =
        new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter.Get(), nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(content->GetComplianceManager(),
                                                            adapter.Get(), nullptr);
    for (int i = 0; i < count; ++i) {
      Ref<Zel::Profile::ProfileId> id;
      profiles->Create(OneRuleSpec("stored-" + std::to_string(i)).Get(), id);
      if (i == 0) associated = id;
    }
    profiles->Associate(Vm("vm-42").Get(), associated.Get(), nullptr);
  }
  ~Fixture() {
    service.reset();
    if (!dataFile.empty()) {
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((dataFile + suffix).c_str());
    }
  }
};

Fixture& FixtureFor(int count, bool sqlite) {
  static std::map<std::pair<int, bool>, std::unique_ptr<Fixture>> fixtures;
  auto& fixture = fixtures[{count, sqlite}];
  if (!fixture) fixture = std::make_unique<Fixture>(count, sqlite);
  return *fixture;
}

void Label(benchmark::State& state) {
  state.SetLabel(std::to_string(state.range(0)) + " profiles, " +
                 (state.range(1) ? "SQLite" : "memory"));
}

// Creates a profile; the timing leaves out deleting it again, so that the
// count stays as set.
void BM_Create(benchmark::State& state) {
  Fixture& f = FixtureFor(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    Ref<Zel::Profile::ProfileId> id;
    f.profiles->Create(OneRuleSpec("new-" + std::to_string(f.created++)).Get(), id);
    state.PauseTiming();
    auto ids = MakeRef<Lumo::DataArray<Zel::Profile::ProfileId>>();
    ids->Append(id.Get());
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    f.profiles->Delete(ids.Get(), outcomes);
    state.ResumeTiming();
  }
  Label(state);
}

// Lists every profile.
void BM_QueryProfile(benchmark::State& state) {
  Fixture& f = FixtureFor(static_cast<int>(state.range(0)), state.range(1) != 0);
  Ref<Zel::Profile::ResourceType> storage = Storage();
  for (auto _ : state) {
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
    f.profiles->QueryProfile(storage.Get(), Kestrum::Optional<std::string>(), ids);
    benchmark::DoNotOptimize(ids.Get());
  }
  Label(state);
}

// Checks one machine against its associated profile and stores the result.
void BM_CheckCompliance(benchmark::State& state) {
  Fixture& f = FixtureFor(static_cast<int>(state.range(0)), state.range(1) != 0);
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities =
      ArrayOf<Zel::ServerObjectRef>({Vm("vm-42")});
  for (auto _ : state) {
    Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
    f.compliance->CheckCompliance(entities.Get(), nullptr, results);
    benchmark::DoNotOptimize(results.Get());
  }
  Label(state);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int sqlite : {0, 1}) {
    for (int count : {10, 10000}) b->Args({count, sqlite});
  }
}

BENCHMARK(BM_Create)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryProfile)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckCompliance)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  Lumo::StartRuntime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
