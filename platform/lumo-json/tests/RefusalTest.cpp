// Documents the reader refuses, each with the reason the XML wire gives the
// same fault and the path of the place; values the writer refuses.
#include <Lumo/Json/Json.h>
#include <gtest/gtest.h>

#include "JsonTestSupport.h"
#include "WireTestSupport.h"

namespace {

using Kestrum::Ref;
using Lumo::Any;

struct Case {
  const char* document;
  const char* reason;
  const char* path;
};

void ExpectRefusals(const Lumo::Json::Codec& codec, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Lumo::Json::Error error(Lumo::Json::Reason::kMalformed, "", "");
    EXPECT_EQ(JsonTest::ReasonOf([&] { codec.DecodeValue(c.document); }, &error), c.reason)
        << c.document << "\n"
        << error.what();
    EXPECT_EQ(error.GetPath(), c.path) << c.document << "\n" << error.what();
  }
}

const char* kProfileId = R"("_type":"zel.profile.ProfileId")";

TEST(JsonRefusals, WhatIsNotJson) {
  ExpectRefusals(Lumo::Json::Codec(),
                 {
                     {"", "malformed", ""},
                     {"{", "malformed", ""},
                     {R"({"_type":"int","_value":4} x)", "malformed", ""},
                     {R"({"_type":"int","_value":04})", "malformed", ""},
                     {R"({"_type":"string","_value":"\x"})", "malformed", ""},
                     {"{\"_type\":\"string\",\"_value\":\"\xC3\x28\"}", "malformed", ""},
                     {"{\"_type\":\"string\",\"_value\":\"a\nb\"}", "malformed", ""},
                     {R"({'_type':'int'})", "malformed", ""},
                     // Integers beyond 64 bits do not parse at all.
                     {R"({"_type":"long","_value":99999999999999999999})", "malformed", ""},
                 });
}

TEST(JsonRefusals, TypesAndShapes) {
  ExpectRefusals(
      Lumo::Json::Codec(),
      {
          {"4", "malformed", ""},
          {"null", "missingProperty", ""},
          {R"({"uniqueId":"a"})", "malformed", ""},
          {R"({"_type":"zel.nonesuch"})", "unknownType", "_type"},
          {R"({"_type":4})", "malformed", "_type"},
          {R"({"_type":"anyType","_value":1})", "wrongType", ""},
          {R"({"_type":"zel.profile.ProfileId","_type":"zel.profile.ProfileId","uniqueId":"a"})",
           "duplicateProperty", "_type"},
          {R"({"_type":"int"})", "missingProperty", ""},
          {R"({"_type":"int","_value":4,"x":1})", "unknownElement", "x"},
          {R"({"_type":"int","_value":null})", "missingProperty", "_value"},
          {R"({"_type":"zel.profile.ProfileManager"})", "missingProperty", ""},
          {R"({"_type":"zel.profile.ProfileManager","_id":"a","x":1})", "unknownElement", "x"},
          {R"({"_type":"zel.profile.ProfileManager","_id":4})", "badValue", "_id"},
          // A derived type must derive from the declared one.
          {R"({"_type":"zel.profile.ProfileOperationOutcome",)"
           R"("profileId":{"_type":"zel.placement.PlacementHub","hubType":"a","hubId":"b"}})",
           "wrongType", "profileId"},
          {R"({"_type":"zel.profile.ProfileOperationOutcome","profileId":[]})", "malformed",
           "profileId"},
          {R"({"_type":"zel.placement.PlacementHubFinder.Info","finderType":"a",)"
           R"("supportedHubType":"b","finder":{"_type":"zel.profile.ProfileManager","_id":"x"}})",
           "wrongType", "finder"},
      });
}

TEST(JsonRefusals, PropertiesOfDataObjects) {
  std::string id = kProfileId;
  std::vector<std::string> documents = {
      "{" + id + "}",
      "{" + id + R"(,"uniqueId":null})",
      "{" + id + R"(,"uniqueId":"a","uniqueId":"b"})",
      "{" + id + R"(,"uniqueId":"a","uniqueid":"b"})",
      "{" + id + R"(,"uniqueId":4})",
      "{" + id + R"(,"uniqueId":"a\u0000"})",
      "{" + id + R"(,"uniqueId":"\ud800"})",
  };
  std::vector<Case> cases = {
      {documents[0].c_str(), "missingProperty", ""},
      {documents[1].c_str(), "missingProperty", "uniqueId"},
      {documents[2].c_str(), "duplicateProperty", "uniqueId"},
      {documents[3].c_str(), "unknownElement", "uniqueid"},
      {documents[4].c_str(), "badValue", "uniqueId"},
      {documents[5].c_str(), "badValue", "uniqueId"},
      {documents[6].c_str(), "malformed", ""},
  };
  ExpectRefusals(Lumo::Json::Codec(), cases);
}

TEST(JsonRefusals, PlainValues) {
  ExpectRefusals(
      Lumo::Json::Codec(),
      {
          {R"({"_type":"int","_value":2147483648})", "badValue", "_value"},
          {R"({"_type":"int","_value":1.5})", "badValue", "_value"},
          {R"({"_type":"int","_value":1e3})", "badValue", "_value"},
          {R"({"_type":"int","_value":"4"})", "badValue", "_value"},
          {R"({"_type":"long","_value":9223372036854775808})", "badValue", "_value"},
          {R"({"_type":"boolean","_value":1})", "badValue", "_value"},
          {R"({"_type":"double","_value":"Infinity"})", "badValue", "_value"},
          {R"({"_type":"dateTime","_value":"2023-02-29T00:00:00Z"})", "badValue", "_value"},
          {R"({"_type":"dateTime","_value":"2023-01-01"})", "badValue", "_value"},
          {R"({"_type":"zel.profile.ResourceTypeEnum","_value":"NONESUCH"})", "badValue", "_value"},
          {R"({"_type":"int[]","_value":[1,null]})", "badValue", "_value[1]"},
          {R"({"_type":"int[]","_value":{}})", "malformed", "_value"},
          {R"({"_type":"zel.profile.ProfileId[]","_value":[{"uniqueId":"a"},4]})", "malformed",
           "_value[1]"},
      });
}

TEST(JsonRefusals, Limits) {
  Lumo::Json::Options options;
  options.limits.maxMessageBytes = 64;
  options.limits.maxDepth = 3;
  options.limits.maxArrayElements = 2;
  options.limits.maxStringBytes = 4;
  Lumo::Json::Codec codec(options);
  std::string large = R"({"_type":"string","_value":")" + std::string(60, 'a') + "\"}";
  std::string deep = R"({"_type":"anyType[]","_value":[{"_type":"anyType[]","_value":[)"
                     R"({"_type":"int","_value":1}]}]})";
  ExpectRefusals(
      codec, {
                 {large.c_str(), "tooLarge", ""},
                 {R"({"_type":"int[]","_value":[1,2,3]})", "tooManyElements", "_value"},
                 {R"({"_type":"string","_value":"abcde"})", "stringTooLong", "_value"},
                 {R"({"_type":"string","_value":"abcd"})", "read", ""},
                 {R"({"_type":"string","_value":"\u00e9\u00e9\u00e9"})", "stringTooLong", "_value"},
             });
  Lumo::Json::Options roomy;
  roomy.limits.maxDepth = 3;
  ExpectRefusals(Lumo::Json::Codec(roomy), {{deep.c_str(), "tooDeep", "_value[0]._value[0]"}});
  // Deeper than the parser's own bound: refused before any value is built.
  std::string nested = std::string(5000, '[') + std::string(5000, ']');
  ExpectRefusals(Lumo::Json::Codec(), {{nested.c_str(), "tooDeep", ""}});
}

TEST(JsonRefusals, TheWriterRefusesWhatCannotBeRead) {
  Lumo::Json::Codec codec;
  // A required reference left unset.
  auto* outcome = WireTest::DataTypeNamed("zel.profile.ProfileOperationOutcome");
  Ref<Any> empty(outcome->CreateInstance());
  Lumo::Json::Error error(Lumo::Json::Reason::kMalformed, "", "");
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.EncodeValue(empty.Get()); }, &error), "notSet");
  EXPECT_EQ(error.GetPath(), "profileId");
  // Text that never passed validation.
  Ref<Any> bad(new Lumo::Primitive<std::string>("\xC3"));
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.EncodeValue(bad.Get()); }), "badValue");
  // A reference to a type nobody created.
  Ref<Any> ref(new Lumo::MoRef("zel.Nonesuch", "x"));
  EXPECT_EQ(JsonTest::ReasonOf([&] { codec.EncodeValue(ref.Get()); }), "unknownType");
  // Limits.
  Lumo::Json::Options options;
  options.limits.maxArrayElements = 1;
  Ref<Any> two(new Lumo::Array<int32_t>({1, 2}));
  EXPECT_EQ(JsonTest::ReasonOf([&] { Lumo::Json::Codec(options).EncodeValue(two.Get()); }),
            "tooManyElements");
  options.limits.maxMessageBytes = 10;
  EXPECT_EQ(JsonTest::ReasonOf([&] { Lumo::Json::Codec(options).EncodeValue(bad.Get()); }),
            "badValue");
  Ref<Any> one(new Lumo::Primitive<int32_t>(1));
  EXPECT_EQ(JsonTest::ReasonOf([&] { Lumo::Json::Codec(options).EncodeValue(one.Get()); }),
            "tooLarge");
}

}  // namespace
