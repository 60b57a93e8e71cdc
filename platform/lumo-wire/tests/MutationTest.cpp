// Bounded, deterministic mutation of valid messages: whatever the bytes, a
// reader either returns a complete value or refuses with a fault of the
// runtime, and the dispatcher always answers. Runs in ctest, under the
// sanitizer preset too; the libFuzzer target explores further.
#include <gtest/gtest.h>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

class Random {
 public:
  explicit Random(uint64_t seed) : _state(seed * 2654435761u + 1) {}
  uint64_t Next() {
    _state ^= _state << 13;
    _state ^= _state >> 7;
    _state ^= _state << 17;
    return _state;
  }
  size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }

 private:
  uint64_t _state;
};

const char* const kTokens[] = {"<",
                               ">",
                               "&",
                               "&#0;",
                               "&#x110000;",
                               "&lt",
                               "<!DOCTYPE x [<!ENTITY e \"e\">]>",
                               "&e;",
                               " xsi:type=\"Nope\"",
                               " xsi:type=\"xsd:int\"",
                               " xsi:type=\"ArrayOfAnyType\"",
                               "</x>",
                               "\"",
                               "]]>",
                               "<![CDATA[x]]>",
                               "<a><a><a><a><a>",
                               "\xff",
                               "\xc3",
                               "99999999999999999999",
                               "-",
                               "<returnval/>",
                               " type=\"ZelServiceInstance\"",
                               "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"};

std::string Mutate(const std::string& input, Random& random) {
  std::string s = input;
  int edits = 1 + static_cast<int>(random.Below(3));
  for (int e = 0; e < edits; ++e) {
    size_t at = random.Below(s.size() + 1);
    switch (random.Below(6)) {
      case 0:
        if (!s.empty()) s[random.Below(s.size())] = static_cast<char>(random.Next());
        break;
      case 1:
        s.erase(at, random.Below(32));
        break;
      case 2: {
        size_t from = random.Below(s.size() + 1);
        s.insert(at, s.substr(from, random.Below(64)));
        break;
      }
      case 3:
        s.insert(at, kTokens[random.Below(sizeof kTokens / sizeof kTokens[0])]);
        break;
      case 4:
        s.resize(at);
        break;
      default: {
        // Swap two element names' worth of text.
        size_t from = random.Below(s.size() + 1);
        std::string piece = s.substr(from, random.Below(16));
        s.replace(at, piece.size(), piece);
        break;
      }
    }
  }
  return s;
}

enum class Kind { kValue, kRequest, kResponse };

struct Seed {
  Kind kind;
  std::string bytes;
  const Lumo::ManagedMethod* method;
};

class MutationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  std::vector<Seed> Seeds() {
    std::vector<Seed> seeds;
    WireTest::Filler filler(77);
    Lumo::Wire::Codec codec;
    for (const char* name :
         {"zel.ServiceInstanceContent", "zel.profile.CapabilityBasedProfile",
          "zel.capability.PropertyInstance", "zel.placement.CompatibilityResult",
          "zel.fault.IncompatibleVendorSpecificRuleSet", "zel.compliance.ComplianceResult"}) {
      std::string bytes;
      codec.EncodeValue(filler.Object(WireTest::DataTypeNamed(name)).Get(), bytes);
      seeds.push_back({Kind::kValue, bytes, nullptr});
    }
    auto pair = MakeRef<Lumo::KeyAnyValue>("k", filler.AnyValue(0).Get());
    std::string bytes;
    codec.EncodeValue(pair.Get(), bytes);
    seeds.push_back({Kind::kValue, bytes, nullptr});
    auto* manager = WireTest::ManagedTypeNamed("zel.profile.ProfileManager");
    for (const char* name : {"create", "associate", "queryProfile", "retrieveContent"}) {
      const Lumo::ManagedMethod* m = manager->FindMethod(name);
      std::vector<Ref<Any>> args;
      for (const Lumo::ParamInfo* p = WireTest::ParametersOf(m); p->name; ++p) {
        args.push_back(filler.Boxed(p->type, p->flags));
      }
      auto target = MakeRef<Lumo::MoRef>(manager->GetName(), "zel.profile.ProfileManager-1");
      codec.EncodeRequest(m, target.Get(), args, bytes);
      seeds.push_back({Kind::kRequest, bytes, m});
      const Lumo::TypeInfo* type;
      uint32_t flags;
      if (WireTest::ResultOf(m, &type, &flags)) {
        codec.EncodeResult(m, filler.Boxed(type, flags).Get(), bytes);
        seeds.push_back({Kind::kResponse, bytes, m});
      }
      Ref<Any> fault = filler.Object(
          WireTest::DataTypeNamed("zel.fault.CapabilityProfilePropertyMismatchFault"));
      codec.EncodeFault(static_cast<Lumo::MethodFault*>(fault.Get()), bytes);
      seeds.push_back({Kind::kResponse, bytes, m});
    }
    return seeds;
  }
};

TEST_F(MutationTest, ReadersReturnWholeValuesOrRefuse) {
  Lumo::Wire::Options options;
  options.limits.maxDepth = 24;
  Lumo::Wire::Codec codec(options);
  WireTest::Service service;
  Random random(2024);
  int refused = 0, read = 0;
  for (const Seed& seed : Seeds()) {
    for (int i = 0; i < 250; ++i) {
      std::string bytes = Mutate(seed.bytes, random);
      try {
        Ref<Any> value;
        switch (seed.kind) {
          case Kind::kValue:
            value = codec.DecodeValue(bytes);
            break;
          case Kind::kRequest: {
            Lumo::Wire::DecodedRequest call = codec.DecodeRequest(bytes);
            ASSERT_TRUE(call.method);
            ASSERT_TRUE(call.target);
            break;
          }
          case Kind::kResponse:
            value = codec.DecodeResponse(seed.method, bytes);
            break;
        }
        ++read;
        // What was read can be written again.
        if (value) {
          std::string again;
          try {
            codec.EncodeValue(value.Get(), again);
          } catch (const Lumo::MethodFault::Exception&) {
          }
        }
      } catch (const Lumo::MethodFault::Exception& e) {
        ++refused;
        EXPECT_FALSE(std::string(e.what()).empty());
      } catch (const std::exception& e) {
        ADD_FAILURE() << "not a fault of the runtime: " << e.what() << "\n" << bytes;
      }
      if (seed.kind == Kind::kRequest) {
        Lumo::Wire::TransportResponse response;
        service.dispatcher->Handle({"", bytes, {}}, response);
        EXPECT_TRUE(response.status == 200 || response.status == 500);
        EXPECT_FALSE(response.body.empty());
      }
    }
  }
  EXPECT_GT(refused, 1000);
  EXPECT_GT(read, 10);
}

}  // namespace
