// The readers walk the parsed tree through direct reads of pugixml's node
// records (NodeAccess.h). With the pugixml this is built with, the layout
// check passes, and the direct reads and pugixml's own accessors read every
// message alike: the same values, the same refusals at the same place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../src/NodeAccess.h"
#include "WireTestSupport.h"

namespace {

using Kestrum::Ref;
using Lumo::Any;
namespace Detail = Lumo::Wire::Detail;

// What reading a message gave: the value, or the fault's reason and place.
struct Outcome {
  Ref<Any> value;
  std::string refusal;
};

Outcome Read(const Lumo::Wire::Codec& codec, const std::string& message, bool direct) {
  const bool before = Detail::gDirectNodes;
  Detail::gDirectNodes = direct;
  Outcome outcome;
  try {
    outcome.value = codec.DecodeValue(message);
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    const std::string* where = e.GetFault()->PeekInvalidProperty();
    outcome.refusal = WireTest::ReasonOf(e) + " at " + (where ? *where : "");
  }
  Detail::gDirectNodes = before;
  return outcome;
}

class NodeAccess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }
  Lumo::Wire::Codec codec;
};

TEST_F(NodeAccess, LayoutMatchesTheInstalledParser) {
  EXPECT_TRUE(Detail::CheckNodeLayout());
  EXPECT_TRUE(Detail::gDirectNodes);
}

TEST_F(NodeAccess, DirectReadsAndAccessorsReadAlike) {
  std::vector<std::string> messages;
  WireTest::Filler filler(5);
  for (const char* name : {"zel.profile.CapabilityBasedProfile", "zel.ServiceInstanceContent",
                           "zel.compliance.ComplianceResult"}) {
    std::string bytes;
    codec.EncodeValue(filler.Object(WireTest::DataTypeNamed(name)).Get(), bytes);
    messages.push_back(bytes);
  }
  const std::string open =
      "<value xmlns=\"urn:zel\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
  messages.push_back(open + " xsi:type=\"ZelProfileId\">x<uniqueId>a</uniqueId></value>");
  messages.push_back(open + " xsi:type=\"ZelProfileId\"><uniqueId xsi:nil=\"true\">a</uniqueId>" +
                     "</value>");
  messages.push_back(open + " xsi:type=\"ZelProfileId\"><other>a</other></value>");
  messages.push_back(open + " xsi:type=\"ArrayOfString\"><string>a</string><string>b<i/>" +
                     "</string></value>");
  messages.push_back(open + " xsi:type=\"ArrayOfString\"><string>a</string>" +
                     "<p:string xmlns:p=\"urn:zel\">&lt;b&#x41;</p:string></value>");
  size_t refused = 0;
  for (const std::string& message : messages) {
    Outcome direct = Read(codec, message, true);
    if (!direct.refusal.empty()) ++refused;
    Outcome accessors = Read(codec, message, false);
    EXPECT_EQ(direct.refusal, accessors.refusal) << message;
    std::string why;
    EXPECT_TRUE(WireTest::SameValue(direct.value.Get(), accessors.value.Get(), &why)) << why << "\n"
                                                                                      << message;
  }
  EXPECT_EQ(refused, 4u);
}

}  // namespace
