// Speed of the object model and the wire format on the profile document
// (ProfileDocument.h) of 1, 100 and 1,000 profiles: building it with the
// setters, a deep copy, writing and reading it as the response of
// zel.profile.ProfileManager.retrieveContent, and the bare parse of the same
// bytes by pugixml; each with the time per profile, and building, copying
// and reading with the release of what they made inside the timed loop. Then
// a stub call over the local and the wire adapter. The run ends with reading
// as a fraction of the bare parse at each size.
#include <Kestrum/DateTime.h>
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ProfileDocument.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

// ---- The profile document at 1, 100 and 1,000 profiles ---------------------------------

constexpr int kSizes[] = {1, 100, 1000};

struct Document {
  explicit Document(int count) : profiles(ProfileDocument::Build(count)), count(count) {
    method =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"))
            ->FindMethod("retrieveContent");
    codec.EncodeResult(method, profiles.Get(), message);
  }
  Lumo::Wire::Codec codec;
  Ref<Any> profiles;
  const Lumo::ManagedMethod* method = nullptr;
  std::string message;
  int count;
};

Document& TheDocument(int count) {
  static std::map<int, Document*>* documents = [] {
    Lumo::StartRuntime();
    return new std::map<int, Document*>();
  }();
  Document*& document = (*documents)[count];
  if (!document) document = new Document(count);
  return *document;
}

// Time per profile (CPU time / profiles per iteration).
void CountProfiles(benchmark::State& state, const Document& d) {
  state.counters["per_profile"] = benchmark::Counter(
      d.count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Data objects made per second (every profile's objects, each iteration).
void CountObjects(benchmark::State& state, const Document& d) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * d.count *
                          ProfileDocument::ObjectsPerProfile());
}

void CountBytes(benchmark::State& state, const Document& d) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(d.message.size()));
}

// Building the tree with the generated setters, and releasing it.
void BM_Build(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Ref<Any> built = ProfileDocument::Build(d.count);
    benchmark::DoNotOptimize(built.Get());
  }
  CountProfiles(state, d);
  CountObjects(state, d);
}

// A deep copy, and its release.
void BM_Clone(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Ref<Any> copy(d.profiles->_Clone());
    benchmark::DoNotOptimize(copy.Get());
  }
  CountProfiles(state, d);
  CountObjects(state, d);
}

void BM_Write(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    d.codec.EncodeResult(d.method, d.profiles.Get(), out);
    benchmark::DoNotOptimize(out.data());
  }
  CountBytes(state, d);
  CountProfiles(state, d);
}

// Reading the response and releasing what was read, as a caller of the
// codec pays it.
void BM_Read(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Ref<Any> back = d.codec.DecodeResponse(d.method, d.message);
    benchmark::DoNotOptimize(back.Get());
  }
  CountBytes(state, d);
  CountProfiles(state, d);
}

// What reading costs beyond the parser: the same copy of the bytes and the
// same parser and options (the readers' own), nothing built.
void BM_BareParse(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) Lumo::Wire::ParseOnly(d.message);
  CountBytes(state, d);
  CountProfiles(state, d);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int size : kSizes) b->Arg(size);
  b->Unit(benchmark::kMicrosecond);
}

// ---- Stub calls --------------------------------------------------------------------------

// Serves a call by answering a fixed result.
class Answering : public Lumo::StubAdapter {
 public:
  explicit Answering(Any* result) : _result(result) {}
  void Invoke(Lumo::Stub*, Lumo::ManagedMethod*, std::vector<Ref<Any>>&,
              Ref<Any>& result) override {
    result = _result;
  }

 private:
  Ref<Any> _result;
};

// A new data object of the named type, a property set through its record.
Ref<Any> New(const char* typeName) {
  auto* type = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(typeName));
  if (!type) Kestrum::Panic("no type %s\n", typeName);
  return Ref<Any>(type->CreateInstance());
}

void SetString(Any* object, const char* name, const std::string& value) {
  auto* type = static_cast<const Lumo::DynamicData*>(object)->_GetDataType();
  type->GetInfo()->setProperty(object, type->FindProperty(name), &value);
}

Ref<Any> ArrayOf(const char* typeName, const std::vector<Ref<Any>>& items) {
  auto* type = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(typeName));
  Ref<Any> array(type->CreateArray());
  for (const auto& item : items) static_cast<Lumo::DataArrayBase*>(array.Get())->Append(item.Get());
  return array;
}

struct CallFixture {
  CallFixture() {
    TheDocument(1);
    type =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"));
    method = type->FindMethod("queryProfile");
    std::vector<Ref<Any>> ids;
    for (int i = 0; i < 3; ++i) {
      Ref<Any> id = New("zel.profile.ProfileId");
      SetString(id.Get(), "uniqueId", "id-" + std::to_string(i));
      ids.push_back(id);
    }
    Ref<Any> answer = ArrayOf("zel.profile.ProfileId", ids);
    Ref<Lumo::StubAdapter> serving = MakeRef<Answering>(answer.Get());
    auto ref = MakeRef<Lumo::MoRef>(type->GetName(), "ProfileManager");
    Ref<Lumo::Stub> server(type->CreateStub(ref.Get(), serving.Get(), nullptr));
    registry = new Lumo::ObjectRegistry();
    registry->Register("ProfileManager", server.Get());
    auto dispatcher = MakeRef<Lumo::Wire::Dispatcher>(registry.Get());
    Ref<Lumo::Wire::Transport> loopback = MakeRef<Lumo::Wire::LoopbackTransport>(dispatcher.Get());
    Ref<Lumo::StubAdapter> wire = MakeRef<Lumo::Wire::WireStubAdapter>(loopback.Get());
    Ref<Lumo::StubAdapter> local = MakeRef<Lumo::Wire::LocalStubAdapter>(registry.Get());
    wireStub = type->CreateStub(ref.Get(), wire.Get(), nullptr);
    localStub = type->CreateStub(ref.Get(), local.Get(), nullptr);
    resourceType = New("zel.profile.ResourceType");
    SetString(resourceType.Get(), "resourceType", "STORAGE");
  }
  Lumo::ManagedObjectType* type;
  Lumo::ManagedMethod* method;
  Ref<Lumo::ObjectRegistry> registry;
  Ref<Lumo::Stub> wireStub, localStub;
  Ref<Any> resourceType;
};

CallFixture& TheCalls() {
  static CallFixture* calls = new CallFixture();
  return *calls;
}

void Call(benchmark::State& state, Lumo::Stub* stub) {
  CallFixture& c = TheCalls();
  for (auto _ : state) {
    std::vector<Ref<Any>> args{c.resourceType,
                               Ref<Any>(new Lumo::Primitive<std::string>("REQUIREMENT"))};
    Ref<Any> result;
    stub->_Invoke_Task(c.method, args, result);
    benchmark::DoNotOptimize(result.Get());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StubCallLocal(benchmark::State& state) { Call(state, TheCalls().localStub.Get()); }
void BM_StubCallWire(benchmark::State& state) { Call(state, TheCalls().wireStub.Get()); }

BENCHMARK(BM_Build)->Apply(Sizes);
BENCHMARK(BM_Clone)->Apply(Sizes);
BENCHMARK(BM_Write)->Apply(Sizes);
BENCHMARK(BM_Read)->Apply(Sizes);
BENCHMARK(BM_BareParse)->Apply(Sizes);
BENCHMARK(BM_StubCallLocal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StubCallWire)->Unit(benchmark::kMicrosecond);

// Keeps the throughput of the reading and parsing runs for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end()) rates[run.benchmark_name()] = bytes->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int size : kSizes) {
    const Document& d = TheDocument(size);
    std::printf("document of %d profiles: %d objects, %zu bytes\n", size,
                size * ProfileDocument::ObjectsPerProfile(), d.message.size());
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // With repetitions, the medians; else the single runs.
  auto rate = [&](const std::string& name) {
    auto median = reporter.rates.find(name + "_median");
    if (median != reporter.rates.end()) return median->second;
    auto single = reporter.rates.find(name);
    return single != reporter.rates.end() ? single->second : 0.0;
  };
  std::map<int, double> readRates;
  for (int size : kSizes) {
    std::string arg = "/" + std::to_string(size);
    double read = rate("BM_Read" + arg);
    double parse = rate("BM_BareParse" + arg);
    if (read > 0 && parse > 0) {
      readRates[size] = read;
      std::printf("reading %4d profiles: %4.0f MB/s = %.2f of the bare parse (%.0f MB/s)\n", size,
                  read / 1e6, read / parse, parse / 1e6);
    }
  }
  if (readRates.count(100) && readRates.count(1000)) {
    std::printf("reading time per byte at 1000 profiles: %.2fx that at 100\n",
                readRates[100] / readRates[1000]);
  }
  benchmark::Shutdown();
  return 0;
}
