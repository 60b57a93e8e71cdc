// A plain value is read the same way wherever it stands: as a value of its
// own (xsi:type), as an item of an array and as a property of a data object.
// Text that is not a value of its type is refused in each place with the
// same reason and words; good text is read in each place.
#include <gtest/gtest.h>

#include <cctype>

#include "CallTestSupport.h"

namespace {

using Kestrum::Ref;
using Lumo::Any;

struct PlainCase {
  const char* xsd;       // the XML Schema type and the item name of its arrays
  const char* good;      // a text of a value
  const char* bad;       // a text of none
  const char* dataType;  // a data object with a property of the type ("" for none)
  const char* property;
};

const PlainCase kCases[] = {
    {"boolean", "true", "yes", "PmemPolicyInfo", "pmemPolicy"},
    {"int", "-42", "4x2", "ZelCapabilityTimeSpan", "value"},
    {"long", "9000000000", "9e9", "ZelCapabilityProfile", "generationId"},
    {"double", "2.5", "two", "", ""},
    {"dateTime", "2024-05-06T07:08:09Z", "2024-13-45", "ZelProfile", "creationTime"},
};

const std::string kOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<value xmlns=\"urn:zel\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" ";

std::string Boxed(const PlainCase& c, const char* text) {
  return kOpen + "xsi:type=\"xsd:" + c.xsd + "\">" + text + "</value>";
}

std::string Item(const PlainCase& c, const char* text) {
  std::string array = c.xsd;
  array[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(array[0])));
  return kOpen + "xsi:type=\"ArrayOf" + array + "\"><" + c.xsd + ">" + c.good + "</" + c.xsd +
         "><" + c.xsd + ">" + text + "</" + c.xsd + "></value>";
}

std::string Property(const PlainCase& c, const char* text) {
  return kOpen + "xsi:type=\"" + c.dataType + "\"><" + c.property + ">" + text + "</" + c.property +
         "></value>";
}

// The refusal of message, as "reason: text".
std::string Refusal(const std::string& message) {
  Lumo::Wire::Codec codec{Lumo::Wire::Options()};
  try {
    Ref<Any> value = codec.DecodeValue(message);
    return "read: " + (value ? value->ToString() : std::string("null"));
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    return WireTest::ReasonOf(e) + ": " + e.GetFault()->GetMsg();
  }
}

TEST(PlainValues, BadTextIsRefusedAlikeAsAValueAnItemAndAProperty) {
  for (const PlainCase& c : kCases) {
    SCOPED_TRACE(c.xsd);
    std::string expected = std::string("'") + c.bad + "' is not a valid " + c.xsd;
    std::string boxed = Refusal(Boxed(c, c.bad));
    EXPECT_EQ(boxed.rfind("badValue: ", 0), 0u) << boxed;
    EXPECT_NE(boxed.find(expected), std::string::npos) << boxed;
    std::string item = Refusal(Item(c, c.bad));
    EXPECT_EQ(item.rfind("badValue: ", 0), 0u) << item;
    EXPECT_NE(item.find(expected), std::string::npos) << item;
    if (*c.dataType == '\0') continue;
    std::string property = Refusal(Property(c, c.bad));
    EXPECT_EQ(property.rfind("badValue: ", 0), 0u) << property;
    EXPECT_NE(property.find(expected), std::string::npos) << property;
  }
}

TEST(PlainValues, GoodTextIsReadAsAValueAndAsItems) {
  Lumo::Wire::Codec codec{Lumo::Wire::Options()};
  for (const PlainCase& c : kCases) {
    SCOPED_TRACE(c.xsd);
    Ref<Any> boxed = codec.DecodeValue(Boxed(c, c.good));
    ASSERT_TRUE(boxed);
    Ref<Any> items = codec.DecodeValue(Item(c, c.good));
    ASSERT_TRUE(items);
    // Both items read to the value read on its own ("(int) -42" shows -42).
    std::string one = boxed->ToString();
    one = one.substr(one.find(") ") + 2);
    std::string shown = items->ToString();
    size_t first = shown.find(one);
    ASSERT_NE(first, std::string::npos) << shown << " / " << one;
    EXPECT_NE(shown.find(one, first + one.size()), std::string::npos) << shown;
  }
}

}  // namespace
