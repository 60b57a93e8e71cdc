// Writing and reading the profile document (ProfileDocument.h) of 1, 100 and
// 1,000 profiles as the result of zel.profile.ProfileManager.retrieveContent,
// in JSON and in the XML wire format: the time per profile and the bytes of
// each form. Reading includes the release of what was read.
#include <Lumo/Json/Json.h>
#include <Lumo/Lumo.h>
#include <Lumo/Wire/Wire.h>
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "ProfileDocument.h"

namespace {

using Kestrum::Ref;
using Lumo::Any;

struct Document {
  explicit Document(int count) : profiles(ProfileDocument::Build(count)), count(count) {
    method =
        static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.profile.ProfileManager"))
            ->FindMethod("retrieveContent");
    xml.EncodeResult(method, profiles.Get(), xmlText);
    jsonText = json.EncodeResult(method, profiles.Get());
  }
  Lumo::Wire::Codec xml;
  Lumo::Json::Codec json;
  Ref<Any> profiles;
  const Lumo::ManagedMethod* method = nullptr;
  std::string xmlText, jsonText;
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

void Count(benchmark::State& state, const Document& d, const std::string& text) {
  state.counters["per_profile"] = benchmark::Counter(
      d.count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["doc_bytes"] = static_cast<double>(text.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_JsonWrite(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  // Into one buffer, reused, as the XML writer below.
  std::string out;
  for (auto _ : state) {
    d.json.EncodeResult(d.method, d.profiles.Get(), out);
    benchmark::DoNotOptimize(out.data());
  }
  Count(state, d, d.jsonText);
}

void BM_XmlWrite(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    d.xml.EncodeResult(d.method, d.profiles.Get(), out);
    benchmark::DoNotOptimize(out.data());
  }
  Count(state, d, d.xmlText);
}

void BM_JsonRead(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Ref<Any> back = d.json.DecodeResult(d.method, d.jsonText);
    benchmark::DoNotOptimize(back.Get());
  }
  Count(state, d, d.jsonText);
}

void BM_XmlRead(benchmark::State& state) {
  Document& d = TheDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Ref<Any> back = d.xml.DecodeResponse(d.method, d.xmlText);
    benchmark::DoNotOptimize(back.Get());
  }
  Count(state, d, d.xmlText);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : {1, 100, 1000}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_JsonWrite)->Apply(Sizes);
BENCHMARK(BM_XmlWrite)->Apply(Sizes);
BENCHMARK(BM_JsonRead)->Apply(Sizes);
BENCHMARK(BM_XmlRead)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
