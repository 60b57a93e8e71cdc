// An anyType place whose element carries no xsi:type: text alone is a string
// (clients that do not type their values send it so, and the schema allows
// it); elements inside name no type to read them by and are refused. The
// same in each place an anyType value stands: on its own, as an array item
// and as a property.
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <gtest/gtest.h>

#include "CallTestSupport.h"

namespace {

using Kestrum::Ref;
using Lumo::Any;

const std::string kOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<value xmlns=\"urn:zel\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

// The string a value read to, or what happened instead.
std::string StringOf(const Any* value) {
  if (!value) return "(null)";
  auto* text = dynamic_cast<const Lumo::Primitive<std::string>*>(value);
  return text ? text->GetValue() : "(not a string) " + value->ToString();
}

// "reason: text" of the refusal of message; "read" when it is read.
std::string Refusal(const std::string& message) {
  Lumo::Wire::Codec codec{Lumo::Wire::Options()};
  try {
    codec.DecodeValue(message);
    return "read";
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    return WireTest::ReasonOf(e) + ": " + e.GetFault()->GetMsg();
  }
}

TEST(UntypedValue, TextAloneIsReadAsAString) {
  Lumo::Wire::Codec codec{Lumo::Wire::Options()};
  EXPECT_EQ(StringOf(codec.DecodeValue(kOpen + ">gold</value>").Get()), "gold");
  EXPECT_EQ(StringOf(codec.DecodeValue(kOpen + ">2</value>").Get()), "2");
  EXPECT_EQ(StringOf(codec.DecodeValue(kOpen + "/>").Get()), "");
  EXPECT_EQ(StringOf(codec.DecodeValue(kOpen + "><![CDATA[a<b]]></value>").Get()), "a<b");
  EXPECT_EQ(StringOf(codec.DecodeValue(kOpen + ">a &amp; b</value>").Get()), "a & b");
}

TEST(UntypedValue, TextAloneIsAStringAsAnItemAndAsAProperty) {
  Lumo::Wire::Codec codec{Lumo::Wire::Options()};
  Ref<Any> items = codec.DecodeValue(kOpen +
                                     " xsi:type=\"ArrayOfAnyType\"><anyType>gold</anyType>"
                                     "<anyType xsi:type=\"xsd:int\">3</anyType></value>");
  auto* array = dynamic_cast<Lumo::DataArray<Any>*>(items.Get());
  ASSERT_TRUE(array) << (items ? items->ToString() : "null");
  ASSERT_EQ(array->GetLength(), 2);
  EXPECT_EQ(StringOf(array->GetAt(0)), "gold");
  EXPECT_TRUE(dynamic_cast<Lumo::Primitive<int32_t>*>(array->GetAt(1)));

  Ref<Any> object = codec.DecodeValue(kOpen +
                                      " xsi:type=\"ZelCapabilityPropertyInstance\">"
                                      "<id>tier</id><value>gold</value></value>");
  auto* instance = dynamic_cast<Zel::Capability::PropertyInstance*>(object.Get());
  ASSERT_TRUE(instance);
  EXPECT_EQ(StringOf(instance->GetValue()), "gold");
}

TEST(UntypedValue, ElementsInsideStayRefused) {
  auto expected = [](const std::string& path) {
    return "malformed: malformed at " + path +
           ": a value of type anyType with elements inside has no xsi:type to read them by "
           "(only text may go untyped, as xsd:string)";
  };
  EXPECT_EQ(Refusal(kOpen + "><min>2</min></value>"), expected("/value"));
  EXPECT_EQ(Refusal(kOpen + ">text<min>2</min></value>"), expected("/value"));
  EXPECT_EQ(Refusal(kOpen + " xsi:type=\"ArrayOfAnyType\"><anyType><min>2</min></anyType></value>"),
            expected("/value/anyType"));
  EXPECT_EQ(Refusal(kOpen + " xsi:type=\"ZelCapabilityPropertyInstance\">"
                            "<id>tier</id><value><min>2</min></value></value>"),
            expected("/value/value"));
  // Nil stays refused where a value is required, typed or not.
  EXPECT_EQ(Refusal(kOpen + " xsi:nil=\"true\"/>").rfind("missingProperty: ", 0), 0u);
}

}  // namespace
