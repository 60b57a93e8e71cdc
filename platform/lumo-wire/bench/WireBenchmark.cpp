// Speed of the wire format on a realistic message: a few hundred
// capability-based profiles with sub-profiles, capability instances and
// anyType values, written and read as the response of
// zel.profile.ProfileManager.retrieveContent; the bare parse of the same bytes
// by pugixml; and a stub call over the local and the wire adapter. Reading is
// reported as a ratio of the bare parse at the end of the run.
#include <Kestrum/DateTime.h>
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

using Kestrum::Ref;
using Lumo::Any;

// ---- Building values through the records --------------------------------------------

Ref<Any> New(const char* typeName) {
  auto* type = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(typeName));
  if (!type) Kestrum::Panic("no type %s\n", typeName);
  return Ref<Any>(type->CreateInstance());
}

// The record and own index of a property, searching the type and its bases.
std::pair<const Lumo::DataTypeInfo*, int> Find(const Any* object, const char* name) {
  auto* type = static_cast<const Lumo::DynamicData*>(object)->_GetDataType();
  for (const Lumo::DataObjectType* t = type; t; t = t->GetBase()) {
    int index = t->FindProperty(name);
    if (index >= 0) return {t->GetInfo(), index};
  }
  Kestrum::Panic("no property %s in %s\n", name, type->GetName());
}

template <class T>
void Set(Any* object, const char* name, const T& value) {
  auto [info, index] = Find(object, name);
  info->setProperty(object, index, &value);
}

void SetRef(Any* object, const char* name, Any* value) {
  Ref<Any> held(value);
  Set(object, name, held);
}

Ref<Any> ArrayOf(const char* typeName, const std::vector<Ref<Any>>& items) {
  auto* type = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(typeName));
  Ref<Any> array(type->CreateArray());
  for (const auto& item : items) static_cast<Lumo::DataArrayBase*>(array.Get())->Append(item.Get());
  return array;
}

int gObjects = 0;

Ref<Any> Value(int i) {
  ++gObjects;
  switch (i % 4) {
    case 0:
      return Ref<Any>(new Lumo::Primitive<int32_t>(i * 17));
    case 1:
      return Ref<Any>(new Lumo::Primitive<std::string>("thin <" + std::to_string(i) + ">"));
    case 2:
      return Ref<Any>(Lumo::BoxBool(i % 3 == 0));
    default:
      return Ref<Any>(new Lumo::Primitive<int64_t>(int64_t{1} << 36 | i));
  }
}

Ref<Any> Capability(int p, int s, int c) {
  std::vector<Ref<Any>> properties;
  for (int k = 0; k < 2; ++k) {
    Ref<Any> property = New("zel.capability.PropertyInstance");
    Set(property.Get(), "id", std::string(k ? "proportionalCapacity" : "hostFailuresToTolerate"));
    if (k) Set(property.Get(), "operator", std::string("NOT"));
    SetRef(property.Get(), "value", Value(p + s + c + k).Get());
    properties.push_back(property);
    ++gObjects;
  }
  Ref<Any> constraint = New("zel.capability.ConstraintInstance");
  SetRef(constraint.Get(), "propertyInstance",
         ArrayOf("zel.capability.PropertyInstance", properties).Get());
  Ref<Any> id = New("zel.capability.CapabilityMetadata.UniqueId");
  Set(id.Get(), "namespace", std::string("VSAN"));
  Set(id.Get(), "id", "capability-" + std::to_string(c));
  Ref<Any> capability = New("zel.capability.CapabilityInstance");
  SetRef(capability.Get(), "id", id.Get());
  SetRef(capability.Get(), "constraint",
         ArrayOf("zel.capability.ConstraintInstance", {constraint}).Get());
  gObjects += 3;
  return capability;
}

Ref<Any> Profile(int p) {
  Kestrum::System::DateTime when =
      Kestrum::System::DateTime::FromLocal(2024, 3, 1 + p % 28, 10, 20, 30, 123456, 60);
  Ref<Any> profile = New("zel.profile.CapabilityBasedProfile");
  Ref<Any> id = New("zel.profile.ProfileId");
  Set(id.Get(), "uniqueId", "aa6d5a82-1c88-45da-85d3-" + std::to_string(100000000000 + p));
  SetRef(profile.Get(), "profileId", id.Get());
  Set(profile.Get(), "name", "Gold policy & replication #" + std::to_string(p));
  Set(profile.Get(), "description",
      std::string("Storage policy for tier-1 databases, "
                  "FTT=1 with <mirroring>"));
  Set(profile.Get(), "creationTime", when);
  Set(profile.Get(), "createdBy", std::string("Temporary user handle"));
  Set(profile.Get(), "lastUpdatedTime", when);
  Set(profile.Get(), "lastUpdatedBy", std::string("Temporary user handle"));
  Set(profile.Get(), "profileCategory", std::string("REQUIREMENT"));
  Ref<Any> resourceType = New("zel.profile.ResourceType");
  Set(resourceType.Get(), "resourceType", std::string("STORAGE"));
  SetRef(profile.Get(), "resourceType", resourceType.Get());
  std::vector<Ref<Any>> subProfiles;
  for (int s = 0; s < 2; ++s) {
    Ref<Any> sub = New("zel.profile.SubProfileCapabilityConstraints.SubProfile");
    Set(sub.Get(), "name", "Rule-Set " + std::to_string(s + 1));
    std::vector<Ref<Any>> capabilities;
    for (int c = 0; c < 3; ++c) capabilities.push_back(Capability(p, s, c));
    SetRef(sub.Get(), "capability",
           ArrayOf("zel.capability.CapabilityInstance", capabilities).Get());
    subProfiles.push_back(sub);
    ++gObjects;
  }
  Ref<Any> constraints = New("zel.profile.SubProfileCapabilityConstraints");
  SetRef(constraints.Get(), "subProfiles",
         ArrayOf("zel.profile.SubProfileCapabilityConstraints.SubProfile", subProfiles).Get());
  SetRef(profile.Get(), "constraints", constraints.Get());
  Set(profile.Get(), "generationId", int64_t{p});
  Set(profile.Get(), "isDefault", p % 10 == 0);
  gObjects += 4;
  return profile;
}

constexpr int kProfiles = 300;

struct Fixture {
  Fixture() {
    Lumo::StartRuntime();
    std::vector<Ref<Any>> items;
    gObjects = 0;
    for (int p = 0; p < kProfiles; ++p) items.push_back(Profile(p));
    objects = gObjects;
    profiles = ArrayOf("zel.profile.Profile", items);
    method =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"))
            ->FindMethod("retrieveContent");
    codec.EncodeResult(method, profiles.Get(), message);
  }
  Lumo::Wire::Codec codec;
  Ref<Any> profiles;
  const Lumo::ManagedMethod* method = nullptr;
  std::string message;
  int objects = 0;
};

Fixture& TheFixture() {
  static Fixture* fixture = new Fixture();
  return *fixture;
}

void BM_Write(benchmark::State& state) {
  Fixture& f = TheFixture();
  std::string out;
  for (auto _ : state) {
    f.codec.EncodeResult(f.method, f.profiles.Get(), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * out.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * f.objects);
  state.counters["message_bytes"] = static_cast<double>(out.size());
}

void BM_Read(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    Ref<Any> back = f.codec.DecodeResponse(f.method, f.message);
    benchmark::DoNotOptimize(back.Get());
    // Releasing what was read is the caller's business, not reading. The C
    // library defers part of that work (merging freed chunks) to the next
    // large allocation; a large allocation here keeps it with the release.
    state.PauseTiming();
    back.Reset();
    std::free(std::malloc(64 * 1024));
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * f.message.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * f.objects);
}

// What reading costs beyond the parser: the same copy of the bytes and the
// same parser and options (the readers' own), nothing built.
void BM_BareParse(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) Lumo::Wire::ParseOnly(f.message);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * f.message.size());
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

struct CallFixture {
  CallFixture() {
    TheFixture();
    type =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"));
    method = type->FindMethod("queryProfile");
    std::vector<Ref<Any>> ids;
    for (int i = 0; i < 3; ++i) {
      Ref<Any> id = New("zel.profile.ProfileId");
      Set(id.Get(), "uniqueId", "id-" + std::to_string(i));
      ids.push_back(id);
    }
    Ref<Any> answer = ArrayOf("zel.profile.ProfileId", ids);
    Ref<Lumo::StubAdapter> serving(new Answering(answer.Get()));
    Ref<Lumo::MoRef> ref(new Lumo::MoRef(type->GetName(), "ProfileManager"));
    Ref<Lumo::Stub> server(type->CreateStub(ref.Get(), serving.Get(), nullptr));
    registry = new Lumo::Wire::ObjectRegistry();
    registry->Register("ProfileManager", server.Get());
    Ref<Lumo::Wire::Dispatcher> dispatcher(new Lumo::Wire::Dispatcher(registry.Get()));
    Ref<Lumo::Wire::Transport> loopback(new Lumo::Wire::LoopbackTransport(dispatcher.Get()));
    Ref<Lumo::StubAdapter> wire(new Lumo::Wire::WireStubAdapter(loopback.Get()));
    Ref<Lumo::StubAdapter> local(new Lumo::Wire::LocalStubAdapter(registry.Get()));
    wireStub = type->CreateStub(ref.Get(), wire.Get(), nullptr);
    localStub = type->CreateStub(ref.Get(), local.Get(), nullptr);
    resourceType = New("zel.profile.ResourceType");
    Set(resourceType.Get(), "resourceType", std::string("STORAGE"));
  }
  Lumo::ManagedObjectType* type;
  Lumo::ManagedMethod* method;
  Ref<Lumo::Wire::ObjectRegistry> registry;
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

BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StubCallLocal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StubCallWire)->Unit(benchmark::kMicrosecond);

// Keeps the throughput of the reading and parsing runs for the closing ratio.
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
  Fixture& f = TheFixture();
  std::printf("message: %d profiles, %d objects, %zu bytes\n", kProfiles, f.objects,
              f.message.size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // With repetitions, the medians; else the single runs.
  auto rate = [&](const std::string& name) {
    auto median = reporter.rates.find(name + "_median");
    if (median != reporter.rates.end()) return median->second;
    auto single = reporter.rates.find(name);
    return single != reporter.rates.end() ? single->second : 0.0;
  };
  double read = rate("BM_Read");
  double parse = rate("BM_BareParse");
  if (read > 0 && parse > 0) {
    std::printf("reading: %.0f MB/s = %.2f of the bare parse (%.0f MB/s)\n", read / 1e6,
                read / parse, parse / 1e6);
  }
  benchmark::Shutdown();
  return 0;
}
