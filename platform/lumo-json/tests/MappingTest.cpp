// The shape of the documents: what each kind of value looks like, where the
// type is named, versions, and the arguments and results of calls.
#include <Lumo/Json/Json.h>
#include <gtest/gtest.h>

#include "JsonTestSupport.h"
#include "WireTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

// A PropertyInstance (id, operator of version11, value anyType) through its record.
Ref<Any> PropertyInstance(const std::string& id, const std::string* op, Any* value) {
  auto* type = WireTest::DataTypeNamed("zel.capability.PropertyInstance");
  Ref<Any> object(type->CreateInstance());
  const Lumo::DataTypeInfo* info = type->GetInfo();
  std::string idCopy = id;
  info->setProperty(object.Get(), 0, &idCopy);
  if (op) {
    std::string opCopy = *op;
    info->setProperty(object.Get(), 1, &opCopy);
  }
  Ref<Any> held(value);
  info->setProperty(object.Get(), 2, &held);
  return object;
}

const Lumo::ManagedMethod* Method(const char* type, const char* name) {
  return WireTest::ManagedTypeNamed(type)->FindMethod(name);
}

TEST(JsonMapping, DataObjectsNameTheirTypeOnlyWhereItIsNotTheDeclaredOne) {
  Lumo::Json::Codec codec;
  const std::string op = "NOT";
  Ref<Any> instance = PropertyInstance("stripeWidth", &op, new Lumo::Primitive<int32_t>(4));
  EXPECT_EQ(codec.EncodeValue(instance.Get()),
            R"({"_type":"zel.capability.PropertyInstance","id":"stripeWidth","operator":"NOT",)"
            R"("value":{"_type":"int","_value":4}})");

  auto* profileId = WireTest::DataTypeNamed("zel.profile.ProfileId");
  Ref<Any> array(profileId->CreateArray());
  Ref<Any> id(profileId->CreateInstance());
  std::string unique = "aa6d";
  profileId->GetInfo()->setProperty(id.Get(), 0, &unique);
  static_cast<Lumo::DataArrayBase*>(array.Get())->Append(id.Get());
  EXPECT_EQ(codec.EncodeValue(array.Get()),
            R"({"_type":"zel.profile.ProfileId[]","_value":[{"uniqueId":"aa6d"}]})");
}

TEST(JsonMapping, ReferencesCarryTheirTypeAndId) {
  Lumo::Json::Codec codec;
  Ref<Any> ref = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "ProfileManager");
  EXPECT_EQ(codec.EncodeValue(ref.Get()),
            R"({"_type":"zel.profile.ProfileManager","_id":"ProfileManager"})");
  // Into a buffer: replaced, not appended to.
  std::string out = "left over";
  codec.EncodeValue(ref.Get(), out);
  EXPECT_EQ(out, codec.EncodeValue(ref.Get()));
}

TEST(JsonMapping, PlainValuesAndTheirText) {
  Lumo::Json::Codec codec;
  using Kestrum::System::DateTime;
  auto text = [&](Any* value) { return codec.EncodeValue(Ref<Any>(value).Get()); };
  EXPECT_EQ(text(new Lumo::Primitive<std::string>("a\"\\\n\t/")),
            R"({"_type":"string","_value":"a\"\\\n\t/"})");
  EXPECT_EQ(text(new Lumo::Primitive<int64_t>(-9007199254740993)),
            R"({"_type":"long","_value":-9007199254740993})");
  EXPECT_EQ(
      text(new Lumo::Primitive<DateTime>(DateTime::FromLocal(2024, 2, 29, 13, 5, 0, 250, 60))),
      R"({"_type":"dateTime","_value":"2024-02-29T13:05:00.000250+01:00"})");
  EXPECT_EQ(text(new Lumo::Array<bool>({true, false})),
            R"({"_type":"boolean[]","_value":[true,false]})");
  // Control characters other than tab and line ends are not text of the type system.
  EXPECT_EQ(JsonTest::ReasonOf([&] { text(new Lumo::Primitive<std::string>("a\x01")); }),
            "badValue");
}

TEST(JsonMapping, ReaderTakesMembersInAnyOrderAndNullForUnset) {
  Lumo::Json::Codec codec;
  const std::string op = "NOT";
  Ref<Any> expected = PropertyInstance("w", &op, new Lumo::Primitive<int32_t>(4));
  Ref<Any> back =
      codec.DecodeValue(R"({"value":{"_value":4,"_type":"int"},"operator":"NOT","id":"w",)"
                        R"("_type":"zel.capability.PropertyInstance"})");
  std::string why;
  EXPECT_TRUE(WireTest::SameValue(expected.Get(), back.Get(), &why)) << why;

  Ref<Any> unset = PropertyInstance("w", nullptr, new Lumo::Primitive<int32_t>(4));
  back = codec.DecodeValue(R"({"_type":"zel.capability.PropertyInstance","id":"w","operator":null,)"
                           R"("value":{"_type":"int","_value":4}})");
  EXPECT_TRUE(WireTest::SameValue(unset.Get(), back.Get(), &why)) << why;
}

TEST(JsonMapping, NewerPropertiesAreLeftOutAndRefusedForAnOlderVersion) {
  Lumo::Json::Options old;
  old.version = "zel.version.version1";
  Lumo::Json::Codec v1(old);
  Lumo::Json::Codec every;
  const std::string op = "NOT";
  Ref<Any> instance = PropertyInstance("w", &op, new Lumo::Primitive<int32_t>(4));
  std::string written = v1.EncodeValue(instance.Get());
  EXPECT_EQ(written.find("operator"), std::string::npos) << written;
  std::string full = every.EncodeValue(instance.Get());
  EXPECT_NE(full.find("\"operator\":\"NOT\""), std::string::npos) << full;

  Lumo::Json::Error error(Lumo::Json::Reason::kMalformed, "", "");
  EXPECT_EQ(JsonTest::ReasonOf([&] { v1.DecodeValue(full); }, &error), "unknownElement");
  EXPECT_EQ(error.GetPath(), "operator");
  // A lenient reader skips it.
  old.lenient = true;
  Ref<Any> back = Lumo::Json::Codec(old).DecodeValue(full);
  Ref<Any> withoutOp = PropertyInstance("w", nullptr, new Lumo::Primitive<int32_t>(4));
  std::string why;
  EXPECT_TRUE(WireTest::SameValue(withoutOp.Get(), back.Get(), &why)) << why;

  // A type newer than the version is refused both ways.
  auto* newer = WireTest::DataTypeNamed(
      "zel.capability.AssociatedPolicyCapabilities.AssociatedPolicyCapabilitiesResult");
  ASSERT_TRUE(newer);
  Ref<Any> value = WireTest::Filler(3).Object(newer);
  EXPECT_EQ(JsonTest::ReasonOf([&] { v1.EncodeValue(value.Get()); }), "version");
  EXPECT_EQ(JsonTest::ReasonOf([&] { v1.DecodeValue(every.EncodeValue(value.Get())); }), "version");
  old.version = "zel.version.nonesuch";
  EXPECT_EQ(JsonTest::ReasonOf([&] { Lumo::Json::Codec bad(old); }), "version");
}

TEST(JsonMapping, ArgumentsByParameterName) {
  Lumo::Json::Codec codec;
  const Lumo::ManagedMethod* query = Method("zel.profile.ProfileManager", "queryProfile");
  ASSERT_TRUE(query);
  std::vector<Ref<Any>> args = codec.DecodeArguments(
      query, R"({"profileCategory":"REQUIREMENT","resourceType":{"resourceType":"STORAGE"}})");
  ASSERT_EQ(args.size(), 2u);
  ASSERT_TRUE(args[0] && args[1]);
  EXPECT_EQ(codec.EncodeArguments(query, args),
            R"({"resourceType":{"resourceType":"STORAGE"},"profileCategory":"REQUIREMENT"})");
  // Optional parameters may be left out; required ones not.
  args = codec.DecodeArguments(query, R"({"resourceType":{"resourceType":"STORAGE"}})");
  EXPECT_FALSE(args[1]);
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.DecodeArguments(query, "{}"); }), "missingProperty");
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.DecodeArguments(query, R"({"nonesuch":1})"); }),
            "unknownElement");
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.DecodeArguments(query, "[]"); }), "malformed");

  // A parameter newer than the version.
  Lumo::Json::Options old;
  old.version = "zel.version.version1";
  const Lumo::ManagedMethod* associate = Method("zel.profile.ProfileManager", "associate");
  ASSERT_TRUE(associate);
  Lumo::Json::Error error(Lumo::Json::Reason::kMalformed, "", "");
  EXPECT_EQ(JsonTest::ReasonOf(
                [&] {
                  Lumo::Json::Codec(old).DecodeArguments(
                      associate, R"({"entity":{"objectType":"vm","key":"1"},)"
                                 R"("profile":{"uniqueId":"p"},"replSpec":null})");
                },
                &error),
            "unknownElement");
  EXPECT_EQ(error.GetPath(), "replSpec");
}

TEST(JsonMapping, DocumentsLargeAndSmallInTurn) {
  // A document beyond what a thread's parser keeps, then small ones again.
  Lumo::Json::Codec codec;
  Ref<Any> large(
      new Lumo::Array<std::string>(std::vector<std::string>(3000, std::string(500, 'x'))));
  Ref<Any> small(new Lumo::Primitive<int32_t>(7));
  for (int i = 0; i < 2; ++i) {
    std::string why;
    Ref<Any> back = codec.DecodeValue(codec.EncodeValue(large.Get()));
    EXPECT_TRUE(WireTest::SameValue(large.Get(), back.Get(), &why)) << why;
    back = codec.DecodeValue(codec.EncodeValue(small.Get()));
    EXPECT_TRUE(WireTest::SameValue(small.Get(), back.Get(), &why)) << why;
  }
}

TEST(JsonMapping, ResultsInTheFormOfTheirDeclaredType) {
  Lumo::Json::Codec codec;
  const Lumo::ManagedMethod* query = Method("zel.profile.ProfileManager", "queryProfile");
  Ref<Any> result = codec.DecodeResult(query, R"([{"uniqueId":"a"},{"uniqueId":"b"}])");
  ASSERT_TRUE(result);
  EXPECT_EQ(codec.EncodeResult(query, result.Get()), R"([{"uniqueId":"a"},{"uniqueId":"b"}])");
  EXPECT_FALSE(codec.DecodeResult(query, "null"));
  EXPECT_EQ(codec.EncodeResult(query, nullptr), "null");
  // A method without result.
  const Lumo::ManagedMethod* associate = Method("zel.profile.ProfileManager", "associate");
  EXPECT_EQ(codec.EncodeResult(associate, nullptr), "null");
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.DecodeResult(associate, "1"); }), "unknownElement");
}

}  // namespace
