// Every type of the library written and read back through the wire format:
// data objects and faults with every property set, arrays of them, boxed
// enumeration values and enumeration arrays, references to every managed type.
#include <gtest/gtest.h>

#include <set>

#include "WireTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

class RoundTripTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  Ref<Any> RoundTrip(const Any* value, std::string* text = nullptr) {
    std::string bytes;
    codec.EncodeValue(value, bytes);
    if (text) *text = bytes;
    return codec.DecodeValue(bytes);
  }

  void ExpectRoundTrip(const Any* value, const std::string& what) {
    std::string bytes, why;
    Ref<Any> back;
    try {
      back = RoundTrip(value, &bytes);
    } catch (const Lumo::MethodFault::Exception& e) {
      ADD_FAILURE() << what << ": " << e.what();
      return;
    }
    EXPECT_TRUE(WireTest::SameValue(value, back.Get(), &why)) << what << ": " << why << "\n"
                                                              << bytes;
  }

  Lumo::Wire::Codec codec;
};

TEST_F(RoundTripTest, CoversAll149Types) {
  auto types = WireTest::ZelTypes();
  EXPECT_EQ(types.size(), 149u);
  std::set<uint32_t> kinds;
  for (auto* t : types) kinds.insert(t->GetKind());
  EXPECT_EQ(kinds.size(), 4u);
}

TEST_F(RoundTripTest, EveryDataObjectAndFaultWithEveryProperty) {
  int count = 0;
  for (uint32_t seed : {1u, 7u, 23u}) {
    WireTest::Filler filler(seed);
    for (const Lumo::Type* type : WireTest::ZelTypes()) {
      if (!type->IsDataObject()) continue;
      auto* data = static_cast<const Lumo::DataObjectType*>(type);
      Ref<Any> value = filler.Object(data);
      ASSERT_TRUE(value) << type->GetName();
      ExpectRoundTrip(value.Get(), type->GetName());
      ++count;
    }
  }
  EXPECT_EQ(count, 3 * 112);
}

TEST_F(RoundTripTest, ArraysOfEveryDataObjectWithDerivedElements) {
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

TEST_F(RoundTripTest, EveryEnumerationBoxedAndAsArray) {
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

TEST_F(RoundTripTest, ReferencesToEveryManagedType) {
  int count = 0;
  for (const Lumo::Type* type : WireTest::ZelTypes()) {
    if (!type->IsManagedObject()) continue;
    Ref<Any> ref = MakeRef<Lumo::MoRef>(type->GetName(), "id <1> & \"2\"");
    ExpectRoundTrip(ref.Get(), type->GetName());
    auto refs = MakeRef<Lumo::DataArray<Lumo::MoRef>>();
    refs->Append(new Lumo::MoRef(type->GetName(), "a"));
    refs->Append(new Lumo::MoRef("zel.ServiceInstance", "b"));
    ExpectRoundTrip(refs.Get(), std::string(type->GetName()) + "[]");
    ++count;
  }
  EXPECT_EQ(count, 19);
}

TEST_F(RoundTripTest, BoxedRuntimeValuesAndTheirArrays) {
  using namespace Lumo;
  std::vector<Ref<Any>> values = {
      Ref<Any>(new Primitive<std::string>("")),
      Ref<Any>(new Primitive<std::string>("   ")),
      Ref<Any>(new Primitive<std::string>("a\r\nb\tc <d> &amp; \xE2\x82\xAC")),
      Ref<Any>(BoxBool(false)),
      Ref<Any>(new Primitive<int32_t>(-2147483647 - 1)),
      Ref<Any>(new Primitive<int64_t>(INT64_MIN)),
      Ref<Any>(new Primitive<double>(0.1)),
      Ref<Any>(new Primitive<double>(-1e-308)),
      Ref<Any>(new Primitive<Kestrum::System::DateTime>(Kestrum::System::DateTime())),
      Ref<Any>(new Primitive<Kestrum::System::DateTime>(
          Kestrum::System::DateTime::FromLocal(1, 1, 1, 0, 0, 0, 1, -720))),
      Ref<Any>(new Primitive<TypeName>(TypeName{"zel.profile.ProfileManager"})),
      Ref<Any>(new Array<std::string>()),
      Ref<Any>(new Array<std::string>({"", " x ", "y"})),
      Ref<Any>(new Array<TypeName>({TypeName{"a"}, TypeName{"b"}})),
      Ref<Any>(new Array<Kestrum::System::DateTime>({Kestrum::System::DateTime(123456789)})),
      Ref<Any>(new DataArray<Any>()),
  };
  for (const auto& v : values) ExpectRoundTrip(v.Get(), v->ToString());
}

TEST_F(RoundTripTest, ValuesOfSeveralKindsInAnyTypeProperties) {
  // KeyAnyValue holds an anyType value: rotate through every kind the filler makes.
  WireTest::Filler filler(100);
  for (int i = 0; i < 60; ++i) {
    auto pair = MakeRef<Lumo::KeyAnyValue>("k" + std::to_string(i), nullptr);
    pair->SetValue(filler.AnyValue(0).Get());
    ExpectRoundTrip(pair.Get(), pair->ToString());
  }
}

TEST_F(RoundTripTest, TheMessageNamesDerivedTypesOnlyWhereTheyDiffer) {
  auto* profileId = WireTest::DataTypeNamed("zel.profile.ProfileId");
  WireTest::Filler filler(3);
  Ref<Any> array(profileId->CreateArray());
  static_cast<Lumo::DataArrayBase*>(array.Get())->Append(filler.Object(profileId).Get());
  std::string bytes;
  codec.EncodeValue(array.Get(), bytes);
  EXPECT_NE(bytes.find("<value xmlns=\"urn:zel\" xmlns:xsd="), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("xsi:type=\"ArrayOfZelProfileId\""), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("<ZelProfileId><uniqueId>"), std::string::npos) << bytes;
}

}  // namespace

namespace {

// Properties are found by name whatever their order; a property given twice
// or not known is refused however far from its place it stands.
TEST(ReadingInAnyOrder, PropertiesAreFoundByNameWhereverTheyStand) {
  WireTest::StartRuntime();
  const std::string type =
      WireTest::DataTypeNamed("zel.capability.PropertyInstance")->GetWsdlName();
  auto message = [&](const std::string& properties) {
    return "<value xmlns=\"urn:zel\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xsi:type=\"" +
           type + "\">" + properties + "</value>";
  };
  const std::string id = "<id>stripeWidth</id>";
  const std::string op = "<operator>NOT</operator>";
  const std::string value = "<value xsi:type=\"xsd:int\">4</value>";
  Lumo::Wire::Codec codec;
  Ref<Any> inOrder = codec.DecodeValue(message(id + op + value));
  for (const std::string& shuffled : {value + op + id, op + value + id, value + id + op}) {
    Ref<Any> back = codec.DecodeValue(message(shuffled));
    std::string why;
    EXPECT_TRUE(WireTest::SameValue(inOrder.Get(), back.Get(), &why)) << shuffled << ": " << why;
  }
  auto reasonOf = [&](const std::string& properties) {
    try {
      codec.DecodeValue(message(properties));
    } catch (const Lumo::MethodFault::Exception& e) {
      return WireTest::ReasonOf(e);
    }
    return std::string("read");
  };
  EXPECT_EQ(reasonOf(value + op + id + value), "duplicateProperty");
  EXPECT_EQ(reasonOf(op + id + op), "duplicateProperty");
  EXPECT_EQ(reasonOf(value + "<ID>x</ID>" + id), "unknownElement");
  EXPECT_EQ(reasonOf(value + "<i>x</i>" + id), "unknownElement");
  EXPECT_EQ(reasonOf(op + value), "missingProperty");
}

}  // namespace
