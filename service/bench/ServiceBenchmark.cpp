// The time of create, queryProfile and checkCompliance with 10 and 10,000
// profiles stored, in memory, in an SQLite data file and in a PostgreSQL
// database (a scratch cluster the benchmark starts, or the one
// ZEL_BENCH_POSTGRES names by URI). Calls go through the service's entry
// (privilege check, invokeByIndex), without a wire. With PostgreSQL, also
// the read that follows another service's change (the reload it costs).
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
#include <ZelTest/PgCluster.h>
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
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

enum StoreKind { kMemory = 0, kSqlite = 1, kPostgres = 2 };

// The PostgreSQL server: ZEL_BENCH_POSTGRES, else a scratch cluster.
std::string PostgresUri() {
  if (const char* given = std::getenv("ZEL_BENCH_POSTGRES")) return given;
  static ZelTest::PgCluster cluster(ZEL_PG_CLUSTER_SCRIPT);
  if (!cluster.Available()) {
    std::fprintf(stderr, "no PostgreSQL server programs; set ZEL_BENCH_POSTGRES\n");
    std::exit(1);
  }
  return cluster.Uri();
}

// A fresh database of that server for one fixture.
std::string FreshDatabase(const std::string& name) {
  const std::string server = PostgresUri();
  PGconn* conn = PQconnectdb(server.c_str());
  for (std::string sql : {"DROP DATABASE IF EXISTS " + name, "CREATE DATABASE " + name}) {
    PQclear(PQexec(conn, sql.c_str()));
  }
  PQfinish(conn);
  return server.substr(0, server.rfind('/') + 1) + name;
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

  // Another service on the same PostgreSQL database.
  std::unique_ptr<ZelSample::SampleService> other;
  Ref<Zel::Profile::ProfileManagerStub> otherProfiles;

  Fixture(int count, StoreKind kind) {
    ZelSample::ServiceSettings settings;
    settings.quotas.profilesPerSession = 1u << 30;
    settings.quotas.resultsPerSession = 1u << 30;
    settings.quotas.bytesPerSession = size_t{1} << 40;
    if (kind == kPostgres) {
      settings.dataFile = FreshDatabase("zel_bench_" + std::to_string(count));
    } else if (kind == kSqlite) {
      dataFile = "/tmp/zel-bench-" + std::to_string(getpid()) + "-" + std::to_string(count) + ".db";
      std::remove(dataFile.c_str());
      settings.dataFile = dataFile;
    }
    service = std::make_unique<ZelSample::SampleService>(settings);
    adapter = new ZelSample::DirectAdapter(*service);
    Ref<Zel::ServiceInstanceContent> content = LogIn(*service, adapter);
    profiles =
        new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter.Get(), nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(content->GetComplianceManager(),
                                                            adapter.Get(), nullptr);
    if (kind == kPostgres) {
      other = std::make_unique<ZelSample::SampleService>(settings);
      Ref<ZelSample::DirectAdapter> otherAdapter = new ZelSample::DirectAdapter(*other);
      otherProfiles = new Zel::Profile::ProfileManagerStub(
          LogIn(*other, otherAdapter)->GetProfileManager(), otherAdapter.Get(), nullptr);
    }
    for (int i = 0; i < count; ++i) {
      Ref<Zel::Profile::ProfileId> id;
      profiles->Create(OneRuleSpec("stored-" + std::to_string(i)).Get(), id);
      if (i == 0) associated = id;
    }
    profiles->Associate(Vm("vm-42").Get(), associated.Get(), nullptr);
  }
  static Ref<Zel::ServiceInstanceContent> LogIn(ZelSample::SampleService& to,
                                                Ref<ZelSample::DirectAdapter>& through) {
    auto instance =
        MakeRef<Zel::ServiceInstanceStub>(to.GetServiceInstanceRef().Get(), through.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    instance->RetrieveContent(content);
    auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(content->GetSessionManager(),
                                                           through.Get(), nullptr);
    sessions->LoginByToken(ZelSample::MakeDelegatedToken("bench@sample.test"));
    return content;
  }

  ~Fixture() {
    other.reset();
    service.reset();
    if (!dataFile.empty()) {
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((dataFile + suffix).c_str());
    }
  }
};

Fixture& FixtureFor(const benchmark::State& state) {
  static std::map<std::pair<int, int>, std::unique_ptr<Fixture>> fixtures;
  const int count = static_cast<int>(state.range(0));
  const int kind = static_cast<int>(state.range(1));
  auto& fixture = fixtures[{count, kind}];
  if (!fixture) fixture = std::make_unique<Fixture>(count, static_cast<StoreKind>(kind));
  return *fixture;
}

void Label(benchmark::State& state) {
  static const char* const kKinds[] = {"memory", "SQLite", "PostgreSQL"};
  state.SetLabel(std::to_string(state.range(0)) + " profiles, " + kKinds[state.range(1)]);
}

// Creates a profile; the timing leaves out deleting it again, so that the
// count stays as set.
void BM_Create(benchmark::State& state) {
  Fixture& f = FixtureFor(state);
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
  Fixture& f = FixtureFor(state);
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
  Fixture& f = FixtureFor(state);
  Ref<Lumo::DataArray<Zel::ServerObjectRef>> entities =
      ArrayOf<Zel::ServerObjectRef>({Vm("vm-42")});
  for (auto _ : state) {
    Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
    f.compliance->CheckCompliance(entities.Get(), nullptr, results);
    benchmark::DoNotOptimize(results.Get());
  }
  Label(state);
}

// Lists every profile after another service changed one: the first read
// after a change elsewhere loads the data again.
void BM_QueryProfileAfterAnotherChange(benchmark::State& state) {
  Fixture& f = FixtureFor(state);
  Ref<Zel::Profile::ResourceType> storage = Storage();
  for (auto _ : state) {
    state.PauseTiming();
    Ref<Zel::Profile::ProfileId> id;
    f.otherProfiles->Create(OneRuleSpec("elsewhere-" + std::to_string(f.created++)).Get(), id);
    auto ids = MakeRef<Lumo::DataArray<Zel::Profile::ProfileId>>();
    ids->Append(id.Get());
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    f.otherProfiles->Delete(ids.Get(), outcomes);
    state.ResumeTiming();
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> listed;
    f.profiles->QueryProfile(storage.Get(), Kestrum::Optional<std::string>(), listed);
    benchmark::DoNotOptimize(listed.Get());
  }
  Label(state);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int kind : {kMemory, kSqlite, kPostgres}) {
    for (int count : {10, 10000}) b->Args({count, kind});
  }
}

void SharedSizes(benchmark::internal::Benchmark* b) {
  for (int count : {10, 10000}) b->Args({count, kPostgres});
}

BENCHMARK(BM_Create)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryProfile)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckCompliance)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryProfileAfterAnotherChange)->Apply(SharedSizes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  Lumo::StartRuntime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
