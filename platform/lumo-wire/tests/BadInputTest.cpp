// Malformed and hostile messages, one row each: every one is refused with a
// WireFormatFault whose reason and element path say what was wrong, and none
// crashes or yields a partly read value. Run under the sanitizer preset too.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

enum class Read { kValue, kRequest, kResponse };

struct Row {
  std::string name;
  Read read;
  std::string message;
  std::string reason;
  std::string path;  // expected invalidProperty ("" to skip the check)
  std::function<void(Lumo::Wire::Limits&)> limits;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<value xmlns=\"urn:zel\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" ";

std::string Value(const std::string& typeAndBody) { return kHead + typeAndBody; }

std::string Envelope(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>" +
         body + "</soapenv:Body></soapenv:Envelope>";
}

// The table is built before the runtime starts: WSDL names are spelled out
// (the test checks them against the runtime).
std::string Wsdl(const char* wireName) {
  static const std::map<std::string, std::string> kNames = {
      {"zel.ServiceInstanceContent", "ZelServiceInstanceContent"},
      {"zel.ServerObjectRef.ObjectType", "ZelObjectType"},
      {"zel.profile.ProfileId", "ZelProfileId"},
      {"zel.ExtendedElementDescription", "ZelExtendedElementDescription"},
  };
  return kNames.at(wireName);
}

// count attributes prefix0="u0" .. prefixN="uN", then extra="u7" (the
// value of the eighth).
std::string Many(int count, const std::string& prefix, const std::string& extra) {
  std::string attributes;
  for (int i = 0; i < count; ++i) {
    attributes += " " + prefix + std::to_string(i) + "=\"urn:u" + std::to_string(i) + "\"";
  }
  return attributes + " " + extra + "=\"urn:u7\"";
}

std::vector<Row> Rows() {
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<anyType xsi:type=\"ArrayOfAnyType\">";
  for (int i = 0; i < 100; ++i) deep += "</anyType>";
  const std::string content = Wsdl("zel.ServiceInstanceContent");
  const std::string enumName = Wsdl("zel.ServerObjectRef.ObjectType");
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE value [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<value xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:type=\"xsd:string\">&c;</value>";
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE value [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
      "<value xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:type=\"xsd:string\">&x;</value>";
  auto small = [](size_t Lumo::Wire::Limits::*field, size_t n) {
    return [field, n](Lumo::Wire::Limits& l) { l.*field = n; };
  };
  const std::string si = "<_this type=\"ZelServiceInstance\">ServiceInstance</_this>";
  return {
      {"empty message", Read::kValue, "", "malformed", "/", {}},
      {"not XML", Read::kValue, "hello", "malformed", "/", {}},
      {"mismatched tags",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</valu>"),
       "malformed",
       "/",
       {}},
      {"truncated", Read::kValue, Value("xsi:type=\"xsd:int\">1"), "malformed", "/", {}},
      {"entity expansion bomb", Read::kValue, laughs, "doctype", "/", {}},
      {"external entity", Read::kValue, external, "doctype", "/", {}},
      {"undeclared entity",
       Read::kValue,
       Value("xsi:type=\"xsd:string\">&foo;</value>"),
       "malformed",
       "/value",
       {}},
      {"bare ampersand",
       Read::kValue,
       Value("xsi:type=\"xsd:string\">a & b</value>"),
       "malformed",
       "/value",
       {}},
      {"character XML does not allow",
       Read::kValue,
       Value("xsi:type=\"xsd:string\">a&#1;b</value>"),
       "malformed",
       "/value",
       {}},
      {"invalid UTF-8",
       Read::kValue,
       Value("xsi:type=\"xsd:string\">a\xff\xfe</value>"),
       "badValue",
       "/value",
       {}},
      {"encoding other than UTF-8",
       Read::kValue,
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><value/>",
       "malformed",
       "/",
       {}},
      {"two root elements",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</value><value/>"),
       "malformed",
       "/",
       {}},
      {"text after the root element",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</value>\n trailing\n"),
       "malformed",
       "/",
       {}},
      {"one character after the root element",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</value>x"),
       "malformed",
       "/",
       {}},
      {"text ending in a bracket after the root element",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</value><!-- c -->x>"),
       "malformed",
       "/",
       {}},
      {"text before the root element",
       Read::kValue,
       "junk<value xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
       "xsi:type=\"xsd:int\">1</value>",
       "malformed",
       "/",
       {}},
      {"an XML declaration after the root element",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">1</value><?xml version=\"1.0\"?>"),
       "malformed",
       "/",
       {}},
      {"an attribute twice",
       Read::kValue,
       Value("xsi:type=\"xsd:int\" xsi:type=\"xsd:string\">1</value>"),
       "malformed",
       "/value",
       {}},
      {"an attribute twice under two prefixes of one namespace",
       Read::kValue,
       Value("xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"xsd:int\" "
             "i:type=\"xsd:string\">1</value>"),
       "malformed",
       "/value",
       {}},
      {"an attribute twice deep in a request",
       Read::kRequest,
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this type=\"a\" "
                "type=\"ZelServiceInstance\">ServiceInstance</_this></ZelRetrieveServiceContent>"),
       "malformed",
       "/Envelope/Body/ZelRetrieveServiceContent/_this",
       {}},
      {"an attribute twice among many",
       Read::kValue,
       Value(Many(20, "a", "a7") + ">1</value>"),
       "malformed",
       "/value",
       {}},
      {"an attribute twice among many by namespace",
       Read::kValue,
       Value(Many(12, "xmlns:p", "xmlns:q") + " p3:x=\"1\" p7:x=\"1\" q:x=\"1\">1</value>"),
       "malformed",
       "/value",
       {}},
      {"wrong root element",
       Read::kValue,
       "<other xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
       "xsi:type=\"xsd:int\">1</other>",
       "malformed",
       "/other",
       {}},
      {"unknown type name",
       Read::kValue,
       Value("xsi:type=\"ZelNoSuchType\">1</value>"),
       "unknownType",
       "/value",
       {}},
      {"unknown type inside",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\"><key>k</key><value xsi:type=\"Nope\">1</value></value>"),
       "unknownType",
       "/value/value",
       {}},
      {"anyType without its type",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\"><key>k</key><value><x>1</x></value></value>"),
       "malformed",
       "/value/value",
       {}},
      {"wrong class for a property",
       Read::kValue,
       Value("xsi:type=\"" + content + "\"><aboutInfo xsi:type=\"" + Wsdl("zel.profile.ProfileId") +
             "\"><uniqueId>x</uniqueId></aboutInfo></value>"),
       "wrongType",
       "/value/aboutInfo",
       {}},
      {"wrong kind of reference",
       Read::kValue,
       Value("xsi:type=\"" + content +
             "\"><sessionManager type=\"ZelServiceInstance\">x</sessionManager></value>"),
       "wrongType",
       "/value/sessionManager",
       {}},
      {"missing required property",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\"><key>k</key></value>"),
       "missingProperty",
       "/value",
       {}},
      {"unknown element",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\"><key>k</key><extra/><value xsi:type=\"xsd:int\">1</value>"
             "</value>"),
       "unknownElement",
       "/value/extra",
       {}},
      {"property given twice",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\"><key>k</key><key>l</key></value>"),
       "duplicateProperty",
       "/value/key[1]",
       {}},
      {"text among elements",
       Read::kValue,
       Value("xsi:type=\"KeyAnyValue\">stray<key>k</key></value>"),
       "malformed",
       "/value",
       {}},
      {"element inside a simple value",
       Read::kValue,
       Value("xsi:type=\"xsd:string\"><b/></value>"),
       "malformed",
       "/value/b",
       {}},
      {"int out of range",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">2147483648</value>"),
       "badValue",
       "/value",
       {}},
      {"long out of range",
       Read::kValue,
       Value("xsi:type=\"xsd:long\">9223372036854775808</value>"),
       "badValue",
       "/value",
       {}},
      {"not a number",
       Read::kValue,
       Value("xsi:type=\"xsd:int\">12a</value>"),
       "badValue",
       "/value",
       {}},
      {"not a double",
       Read::kValue,
       Value("xsi:type=\"xsd:double\">1.0.0</value>"),
       "badValue",
       "/value",
       {}},
      {"not a boolean",
       Read::kValue,
       Value("xsi:type=\"xsd:boolean\">yes</value>"),
       "badValue",
       "/value",
       {}},
      {"impossible date",
       Read::kValue,
       Value("xsi:type=\"xsd:dateTime\">2023-02-29T00:00:00Z</value>"),
       "badValue",
       "/value",
       {}},
      {"unknown enumeration value",
       Read::kValue,
       Value("xsi:type=\"" + enumName + "\">NOPE</value>"),
       "badValue",
       "/value",
       {}},
      {"reference without its type",
       Read::kValue,
       Value("xsi:type=\"ManagedObjectReference\">x</value>"),
       "malformed",
       "/value",
       {}},
      {"reference to an unknown type",
       Read::kValue,
       Value("xsi:type=\"ManagedObjectReference\" type=\"Nope\">x</value>"),
       "unknownType",
       "/value",
       {}},
      {"array item of another name",
       Read::kValue,
       Value("xsi:type=\"ArrayOfString\"><int>1</int></value>"),
       "unknownElement",
       "/value/int",
       {}},
      {"too deep",
       Read::kValue,
       Value("xsi:type=\"ArrayOfAnyType\">" + deep + "</value>"),
       "tooDeep",
       "",
       {}},
      {"too large", Read::kValue,
       Value("xsi:type=\"xsd:string\">" + std::string(300, 'x') + "</value>"), "tooLarge", "/",
       small(&Lumo::Wire::Limits::maxMessageBytes, 200)},
      {"too many array elements", Read::kValue,
       Value("xsi:type=\"ArrayOfString\"><string>a</string><string>b</string>"
             "<string>c</string><string>d</string></value>"),
       "tooManyElements", "/value/string[3]", small(&Lumo::Wire::Limits::maxArrayElements, 3)},
      {"too many property elements", Read::kValue,
       Value("xsi:type=\"" + Wsdl("zel.ExtendedElementDescription") +
             "\"><key>k</key><label>l</label><summary>s</summary>"
             "<messageArg><key>a</key><value xsi:type=\"xsd:int\">1</value></messageArg>"
             "<messageArg><key>b</key><value xsi:type=\"xsd:int\">2</value></messageArg>"
             "<messageArg><key>c</key><value xsi:type=\"xsd:int\">3</value></messageArg>"
             "</value>"),
       "tooManyElements", "", small(&Lumo::Wire::Limits::maxArrayElements, 2)},
      {"too long string", Read::kValue, Value("xsi:type=\"xsd:string\">123456789</value>"),
       "stringTooLong", "/value", small(&Lumo::Wire::Limits::maxStringBytes, 8)},
      {"not an envelope",
       Read::kRequest,
       Value("xsi:type=\"xsd:int\">1</value>"),
       "malformed",
       "/value",
       {}},
      {"unknown method",
       Read::kRequest,
       Envelope("<ZelNoSuch xmlns=\"urn:zel\">" + si + "</ZelNoSuch>"),
       "unknownMethod",
       "/Envelope/Body/ZelNoSuch",
       {}},
      {"call without its target",
       Read::kRequest,
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\"/>"),
       "malformed",
       "",
       {}},
      {"target of an unknown type",
       Read::kRequest,
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this type=\"Nope\">x</_this>"
                "</ZelRetrieveServiceContent>"),
       "unknownType",
       "/Envelope/Body/ZelRetrieveServiceContent/_this",
       {}},
      {"missing required parameter",
       Read::kRequest,
       Envelope("<ZelQueryAtomFeedQsProviderIds xmlns=\"urn:zel\">" + si +
                "</ZelQueryAtomFeedQsProviderIds>"),
       "missingProperty",
       "/Envelope/Body/ZelQueryAtomFeedQsProviderIds",
       {}},
      {"unknown parameter",
       Read::kRequest,
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\">" + si +
                "<x>1</x></ZelRetrieveServiceContent>"),
       "unknownElement",
       "/Envelope/Body/ZelRetrieveServiceContent/x",
       {}},
      {"two body elements",
       Read::kRequest,
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\">" + si +
                "</ZelRetrieveServiceContent><x/>"),
       "malformed",
       "/Envelope/Body/x",
       {}},
      {"fault of an unknown type",
       Read::kResponse,
       Envelope("<soapenv:Fault><faultcode>x</faultcode><faultstring>y</faultstring><detail>"
                "<NopeFault xmlns=\"urn:zel\" xsi:type=\"Nope\"/></detail></soapenv:Fault>"),
       "unknownType",
       "/Envelope/Body/Fault/detail/NopeFault",
       {}},
      {"fault detail that is not a fault",
       Read::kResponse,
       Envelope("<soapenv:Fault><faultstring>y</faultstring><detail>"
                "<x xmlns=\"urn:zel\" xsi:type=\"" +
                Wsdl("zel.profile.ProfileId") +
                "\"><uniqueId>u</uniqueId></x></detail></soapenv:Fault>"),
       "wrongType",
       "/Envelope/Body/Fault/detail/x",
       {}},
      {"response of another method",
       Read::kResponse,
       Envelope("<ZelOtherResponse xmlns=\"urn:zel\"/>"),
       "malformed",
       "/Envelope/Body/ZelOtherResponse",
       {}},
  };
}

class BadInputTest : public ::testing::TestWithParam<Row> {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }
};

TEST_P(BadInputTest, IsRefusedWithItsReasonAndPlace) {
  for (const char* name : {"zel.ServiceInstanceContent", "zel.ServerObjectRef.ObjectType",
                           "zel.profile.ProfileId", "zel.ExtendedElementDescription"}) {
    ASSERT_EQ(Wsdl(name), Lumo::FindTypeByName(name)->GetWsdlName());
  }
  const Row& row = GetParam();
  Lumo::Wire::Options options;
  if (row.limits) row.limits(options.limits);
  Lumo::Wire::Codec codec(options);
  const Lumo::ManagedMethod* method =
      WireTest::ManagedTypeNamed("zel.ServiceInstance")->FindMethod("retrieveContent");
  try {
    switch (row.read) {
      case Read::kValue: {
        Ref<Any> value = codec.DecodeValue(row.message);
        FAIL() << "read: " << (value ? value->ToString() : "null");
      }
      case Read::kRequest:
        codec.DecodeRequest(row.message);
        FAIL() << "read a request";
      case Read::kResponse:
        codec.DecodeResponse(method, row.message);
        FAIL() << "read a response";
    }
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_EQ(WireTest::ReasonOf(e), row.reason) << e.what();
    if (!row.path.empty()) {
      ASSERT_TRUE(e.GetFault()->PeekInvalidProperty()) << e.what();
      EXPECT_EQ(*e.GetFault()->PeekInvalidProperty(), row.path) << e.what();
    }
    EXPECT_FALSE(e.GetFault()->GetMsg().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (char c : info.param.name) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

// What the well-formedness checks must let through: one local name in
// several namespaces (few attributes and many), prefixes declared again
// below, blanks, comments and instructions around the root.
TEST(WellFormedInput, LookalikeAttributesAndMarkupAroundTheRootAreRead) {
  WireTest::StartRuntime();
  Lumo::Wire::Codec codec;
  for (const std::string& attributes :
       {std::string(" xmlns:a=\"urn:a\" xmlns:b=\"urn:b\" a:x=\"1\" b:x=\"2\" x=\"3\""),
        Many(12, "xmlns:p", "xmlns:q") + " p1:x=\"1\" p2:x=\"1\" q:x=\"1\" x=\"1\""}) {
    SCOPED_TRACE(attributes);
    std::string message = "<!-- before -->\n" + Value(attributes) +
                          " xsi:type=\"xsd:int\">7</value>\n<!-- after -->\n<?pi done?>\n";
    EXPECT_NO_THROW(EXPECT_TRUE(codec.DecodeValue(message)));
  }
  // a and b name one namespace, but not where b is declared again.
  const std::string open =
      "<ZelRetrieveServiceContent xmlns=\"urn:zel\" xmlns:a=\"urn:a\" xmlns:b=\"urn:a\">"
      "<_this xmlns:b=\"urn:b\" a:t=\"1\" b:t=\"1\" type=\"ZelServiceInstance\">"
      "ServiceInstance</_this>";
  EXPECT_NO_THROW(codec.DecodeRequest(Envelope(open + "</ZelRetrieveServiceContent>")));
  // Past that element, b is a's namespace again.
  try {
    codec.DecodeRequest(Envelope(open + "<x a:t=\"1\" b:t=\"1\"/></ZelRetrieveServiceContent>"));
    ADD_FAILURE() << "read";
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("one attribute twice"), std::string::npos) << e.what();
  }
}

// The serving side answers bad requests with the same faults, typed, and
// refuses calls to objects it does not have.
TEST(BadRequestsOverTheWire, TheCallerGetsTheWireFaultTyped) {
  WireTest::StartRuntime();
  WireTest::Service service;
  const Lumo::ManagedMethod* method =
      WireTest::ManagedTypeNamed("zel.ServiceInstance")->FindMethod("retrieveContent");
  Lumo::Wire::Codec codec;
  Lumo::Wire::TransportResponse response;
  service.dispatcher->Handle(
      {"",
       Envelope("<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this type=\"Nope\">x"
                "</_this></ZelRetrieveServiceContent>"),
       {}},
      response);
  EXPECT_EQ(response.status, 500);
  try {
    codec.DecodeResponse(method, response.body);
    FAIL();
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_EQ(WireTest::ReasonOf(e), "unknownType");
  }

  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
  auto ref = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "nobody");
  Ref<Lumo::Stub> stub(WireTest::ManagedTypeNamed("zel.ServiceInstance")
                           ->CreateStub(ref.Get(), adapter.Get(), nullptr));
  std::vector<Ref<Any>> args;
  Ref<Any> result;
  try {
    stub->_Invoke_Task(const_cast<Lumo::ManagedMethod*>(method), args, result);
    FAIL();
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_EQ(WireTest::ReasonOf(e), "unknownObject");
  }
}

}  // namespace
