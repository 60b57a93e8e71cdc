// Every type of the library written as JSON and read back: data objects and
// faults with every property set, arrays of them with derived elements, boxed
// enumeration values and enumeration arrays, references to every managed
// type, the runtime's boxed values and anyType values of every kind.
#include <Lumo/Json/Json.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "WireTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

class JsonRoundTripTest : public ::testing::Test {
 protected:
  void ExpectRoundTrip(const Any* value, const std::string& what) {
    std::string text, why;
    Ref<Any> back;
    try {
      text = codec.EncodeValue(value);
      back = codec.DecodeValue(text);
    } catch (const Lumo::Json::Error& e) {
      ADD_FAILURE() << what << ": " << e.what() << "\n" << text;
      return;
    }
    EXPECT_TRUE(WireTest::SameValue(value, back.Get(), &why)) << what << ": " << why << "\n"
                                                              << text;
    // Writing what was read gives the same document.
    EXPECT_EQ(codec.EncodeValue(back.Get()), text) << what;
  }

  Lumo::Json::Codec codec;
};

TEST_F(JsonRoundTripTest, EveryDataObjectAndFaultWithEveryProperty) {
  int count = 0;
  for (uint32_t seed : {1u, 7u, 23u}) {
    WireTest::Filler filler(seed);
    for (const Lumo::Type* type : WireTest::ZelTypes()) {
      if (!type->IsDataObject()) continue;
      Ref<Any> value = filler.Object(static_cast<const Lumo::DataObjectType*>(type));
      ASSERT_TRUE(value) << type->GetName();
      ExpectRoundTrip(value.Get(), type->GetName());
      ++count;
    }
  }
  EXPECT_EQ(count, 3 * 112);
}

TEST_F(JsonRoundTripTest, ArraysOfEveryDataObjectWithDerivedElements) {
  WireTest::Filler filler(5);
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    if (!type->IsDataObject()) continue;
    auto* data = static_cast<const Lumo::DataObjectType*>(type);
    Ref<Any> array(data->CreateArray());
    auto* items = static_cast<Lumo::DataArrayBase*>(array.Get());
    items->Append(filler.Derived(data, 1).Get());
    items->Append(filler.Derived(data, 1).Get());
    items->Append(filler.Object(data, 2).Get());
    ExpectRoundTrip(array.Get(), std::string(type->GetName()) + "[]");
  }
}

TEST_F(JsonRoundTripTest, EveryEnumerationBoxedAndAsArray) {
  int count = 0;
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    if (!type->IsEnum()) continue;
    auto* e = static_cast<const Lumo::EnumType*>(type);
    for (int ordinal = 0; ordinal < e->GetValueCount(); ++ordinal) {
      Ref<Any> boxed(e->GetFuncs().boxValue(ordinal));
      ExpectRoundTrip(boxed.Get(), std::string(type->GetName()) + " #" + std::to_string(ordinal));
    }
    auto strings = MakeRef<Lumo::Array<std::string>>();
    for (int ordinal = e->GetValueCount() - 1; ordinal >= 0; --ordinal) {
      strings->Append(e->ToWireString(ordinal));
    }
    Ref<Any> array(e->GetFuncs().fromStringArray(strings.Get(), e));
    ExpectRoundTrip(array.Get(), std::string(type->GetName()) + "[]");
    Ref<Any> empty(e->GetFuncs().createEnumArray());
    ExpectRoundTrip(empty.Get(), std::string(type->GetName()) + "[] empty");
    ++count;
  }
  EXPECT_EQ(count, 18);
}

TEST_F(JsonRoundTripTest, ReferencesToEveryManagedType) {
  int count = 0;
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    if (!type->IsManagedObject()) continue;
    Ref<Any> ref = MakeRef<Lumo::MoRef>(type->GetName(), "id <1> & \"2\" \\ \xE2\x82\xAC");
    ExpectRoundTrip(ref.Get(), type->GetName());
    auto refs = MakeRef<Lumo::DataArray<Lumo::MoRef>>();
    refs->Append(new Lumo::MoRef(type->GetName(), "a"));
    refs->Append(new Lumo::MoRef("zel.ServiceInstance", "b"));
    ExpectRoundTrip(refs.Get(), std::string(type->GetName()) + "[]");
    ++count;
  }
  EXPECT_EQ(count, 19);
}

TEST_F(JsonRoundTripTest, BoxedRuntimeValuesAndTheirArrays) {
  using namespace Lumo;
  using Kestrum::System::DateTime;
  std::vector<Ref<Any>> values = {
      Ref<Any>(new Primitive<std::string>("")),
      Ref<Any>(new Primitive<std::string>("a\r\nb\tc \"d\" \\ / \xE2\x82\xAC \xF0\x9F\x98\x80")),
      Ref<Any>(BoxBool(false)),
      Ref<Any>(BoxBool(true)),
      Ref<Any>(new Primitive<int32_t>(-2147483647 - 1)),
      Ref<Any>(new Primitive<int32_t>(2147483647)),
      Ref<Any>(new Primitive<int64_t>(INT64_MIN)),
      Ref<Any>(new Primitive<int64_t>(INT64_MAX)),
      Ref<Any>(new Primitive<double>(0.1)),
      Ref<Any>(new Primitive<double>(-1e-308)),
      Ref<Any>(new Primitive<double>(1e300)),
      Ref<Any>(new Primitive<double>(5)),
      Ref<Any>(new Primitive<double>(std::numeric_limits<double>::infinity())),
      Ref<Any>(new Primitive<double>(-std::numeric_limits<double>::infinity())),
      Ref<Any>(new Primitive<DateTime>(DateTime())),
      Ref<Any>(new Primitive<DateTime>(DateTime::FromLocal(1, 1, 1, 0, 0, 0, 1, -720))),
      Ref<Any>(new Primitive<DateTime>(DateTime::FromLocal(9999, 12, 31, 23, 59, 59, 999999, 840))),
      Ref<Any>(new Primitive<TypeName>(TypeName{"zel.profile.ProfileManager"})),
      Ref<Any>(new Array<std::string>()),
      Ref<Any>(new Array<std::string>({"", " x ", "y"})),
      Ref<Any>(new Array<bool>({true, false})),
      Ref<Any>(new Array<int32_t>({1, -2})),
      Ref<Any>(new Array<int64_t>({INT64_MIN, 0})),
      Ref<Any>(new Array<double>({0.5, -3})),
      Ref<Any>(new Array<TypeName>({TypeName{"a"}, TypeName{"b"}})),
      Ref<Any>(new Array<DateTime>({DateTime(123456789)})),
      Ref<Any>(new DataArray<Any>()),
  };
  for (const auto& v : values) ExpectRoundTrip(v.Get(), v->ToString());
}

TEST_F(JsonRoundTripTest, NotANumberReadsBackAsNotANumber) {
  Ref<Any> nan(new Lumo::Primitive<double>(std::numeric_limits<double>::quiet_NaN()));
  std::string text = codec.EncodeValue(nan.Get());
  EXPECT_EQ(text, R"({"_type":"double","_value":"NaN"})");
  Ref<Any> read = codec.DecodeValue(text);
  auto* back = dynamic_cast<Lumo::Primitive<double>*>(read.Get());
  ASSERT_TRUE(back);
  EXPECT_TRUE(std::isnan(back->GetValue()));
}

TEST_F(JsonRoundTripTest, ValuesOfSeveralKindsInAnyTypeProperties) {
  // KeyAnyValue holds an anyType value: rotate through every kind the filler makes.
  WireTest::Filler filler(100);
  for (int i = 0; i < 60; ++i) {
    auto pair = MakeRef<Lumo::KeyAnyValue>("k" + std::to_string(i), nullptr);
    pair->SetValue(filler.AnyValue(0).Get());
    ExpectRoundTrip(pair.Get(), pair->ToString());
  }
}

TEST_F(JsonRoundTripTest, TheSameValuesAsTheXmlWireReads) {
  // A value read from XML and one read from JSON are the same value.
  Lumo::Wire::Codec xml;
  WireTest::Filler filler(11);
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    if (!type->IsDataObject()) continue;
    Ref<Any> value = filler.Object(static_cast<const Lumo::DataObjectType*>(type));
    std::string bytes;
    xml.EncodeValue(value.Get(), bytes);
    Ref<Any> fromXml = xml.DecodeValue(bytes);
    Ref<Any> fromJson = codec.DecodeValue(codec.EncodeValue(fromXml.Get()));
    std::string why;
    EXPECT_TRUE(WireTest::SameValue(fromXml.Get(), fromJson.Get(), &why))
        << type->GetName() << ": " << why;
  }
}

}  // namespace
