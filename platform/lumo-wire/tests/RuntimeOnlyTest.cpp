// A program that loads no type library: the codec of every version writes the
// values of the runtime's own types in the runtime's namespace and reads back
// what it wrote.
#include <Lumo/Array.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Wire/Wire.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;
using Lumo::Wire::Codec;
using Lumo::Wire::WireFormatFault;

class RuntimeOnly : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  // The value written and read back by a codec of every version.
  Ref<Any> RoundTrip(const Any* value, std::string& message) {
    codec.EncodeValue(value, message);
    return codec.DecodeValue(message);
  }

  Codec codec{Lumo::Wire::Options()};
};

TEST_F(RuntimeOnly, ValuesOfTheRuntimeTypesReadBack) {
  std::string message;
  Ref<Any> number = MakeRef<Lumo::Primitive<int32_t>>(7);
  Ref<Any> back = RoundTrip(number.Get(), message);
  EXPECT_EQ(message.find("xmlns=\"urn:\""), std::string::npos) << message;
  EXPECT_NE(message.find("xmlns=\"urn:olyx\""), std::string::npos) << message;
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->_IsEqual(number.Get())) << message;

  auto words = MakeRef<Lumo::Array<std::string>>();
  words->Append("one");
  words->Append("two & three");
  back = RoundTrip(words.Get(), message);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->_IsEqual(words.Get())) << message;

  // A data object of the runtime: the wire's own fault.
  auto fault = MakeRef<WireFormatFault>();
  fault->SetReason(std::string("malformed"));
  back = RoundTrip(fault.Get(), message);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->_IsEqual(fault.Get())) << message;
}

TEST_F(RuntimeOnly, ValuesInOtherNamespacesAreStillRefused) {
  for (const char* uri : {"urn:", "urn:other", ""}) {
    std::string message =
        std::string("<value xmlns=\"") + uri +
        "\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"xsd:int\">7</value>";
    try {
      codec.DecodeValue(message);
      ADD_FAILURE() << "read a value in '" << uri << "'";
    } catch (const WireFormatFault::Exception& e) {
      ASSERT_TRUE(e.GetFault()->GetReason().IsSet());
      EXPECT_EQ(e.GetFault()->GetReason().GetValue(), "unknownElement") << uri;
    }
  }
}

}  // namespace
