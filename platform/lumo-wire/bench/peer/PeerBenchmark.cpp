// The peer figure for building and copying: the profile document of the
// wire benchmark as protocol buffers messages, built with the generated
// setters on an arena (and on the heap), copied, and released, per profile.
// Built only where protobuf's compiler and library are installed.
#include <benchmark/benchmark.h>
#include <google/protobuf/arena.h>

#include <string>

#include "ProfileDocument.pb.h"
#include "ProfileShape.h"

namespace {

using namespace ProfileShape;

void SetValue(peer::PropertyInstance* property, int i) {
  switch (i % 4) {
    case 0:
      property->set_int_value(i * 17);
      break;
    case 1:
      property->set_string_value("thin <" + std::to_string(i) + ">");
      break;
    case 2:
      property->set_bool_value(i % 3 == 0);
      break;
    default:
      property->set_long_value(int64_t{1} << 36 | i);
  }
}

void FillCapability(peer::CapabilityInstance* capability, int seed, int c) {
  capability->mutable_id()->set_namespace_(std::string(kCapabilityNamespace));
  capability->mutable_id()->set_id("capability-" + std::to_string(c));
  for (int k = 0; k < kConstraints; ++k) {
    peer::ConstraintInstance* constraint = capability->add_constraint();
    int base = seed + c * kConstraints + k;
    for (int j = 0; j < kProperties; ++j) {
      peer::PropertyInstance* property = constraint->add_property_instance();
      property->set_id(std::string(kPropertyIds[j]));
      if (j == 1) property->set_operator_(std::string("NOT"));
      SetValue(property, base + j);
    }
  }
}

void FillProfile(peer::CapabilityBasedProfile* profile, int p) {
  profile->mutable_profile_id()->set_unique_id("aa6d5a82-1c88-45da-85d3-" +
                                               std::to_string(100000000000 + p));
  profile->set_name("Gold policy & replication #" + std::to_string(p));
  profile->set_description(
      std::string("Storage policy for tier-1 databases, FTT=1 with <mirroring>"));
  int64_t when = 1709288430123456 + int64_t{86400000000} * (p % 28);
  profile->mutable_creation_time()->set_utc_microseconds(when);
  profile->mutable_creation_time()->set_offset_minutes(60);
  profile->set_created_by(std::string("Temporary user handle"));
  profile->mutable_last_updated_time()->set_utc_microseconds(when);
  profile->mutable_last_updated_time()->set_offset_minutes(60);
  profile->set_last_updated_by(std::string("Temporary user handle"));
  profile->set_profile_category(std::string("REQUIREMENT"));
  profile->mutable_resource_type()->set_resource_type(std::string("STORAGE"));
  for (int s = 0; s < kSubProfiles; ++s) {
    peer::SubProfile* sub = profile->mutable_constraints()->add_sub_profiles();
    sub->set_name("Rule-Set " + std::to_string(s + 1));
    for (int c = 0; c < kCapabilities; ++c) FillCapability(sub->add_capability(), p + s, c);
  }
  profile->set_generation_id(p);
  profile->set_is_default(p % 10 == 0);
}

void Fill(peer::Profiles* profiles, int count) {
  for (int p = 0; p < count; ++p) FillProfile(profiles->add_profile(), p);
}

void CountProfiles(benchmark::State& state) {
  state.counters["per_profile"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_PeerBuildArena(benchmark::State& state) {
  for (auto _ : state) {
    google::protobuf::Arena arena;
    auto* profiles = google::protobuf::Arena::CreateMessage<peer::Profiles>(&arena);
    Fill(profiles, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(profiles);
  }
  CountProfiles(state);
}

void BM_PeerBuildHeap(benchmark::State& state) {
  for (auto _ : state) {
    peer::Profiles profiles;
    Fill(&profiles, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(&profiles);
  }
  CountProfiles(state);
}

void BM_PeerCloneArena(benchmark::State& state) {
  peer::Profiles original;
  Fill(&original, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    google::protobuf::Arena arena;
    auto* copy = google::protobuf::Arena::CreateMessage<peer::Profiles>(&arena);
    copy->CopyFrom(original);
    benchmark::DoNotOptimize(copy);
  }
  CountProfiles(state);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int size : {1, 100, 1000}) b->Arg(size);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_PeerBuildArena)->Apply(Sizes);
BENCHMARK(BM_PeerBuildHeap)->Apply(Sizes);
BENCHMARK(BM_PeerCloneArena)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
