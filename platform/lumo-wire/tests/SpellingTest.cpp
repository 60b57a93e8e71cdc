// One request, many spellings: XML namespaces allow the same message to be
// written with the default namespace or prefixes, declared on the envelope or
// on any element, other prefixes for the SOAP, XML Schema and instance
// namespaces, prefixed or unprefixed xsi:type values, comments, CDATA and
// whitespace. Every spelling must be read as the same call and get the same
// answer. Then the refusals: each names what is wrong, with the SOAP 1.1
// faultcode the serving side answers.
#include <gtest/gtest.h>

#include <map>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

const std::string kSoap = "http://schemas.xmlsoap.org/soap/envelope/";
const std::string kXsd = "http://www.w3.org/2001/XMLSchema";
const std::string kXsi = "http://www.w3.org/2001/XMLSchema-instance";

// How a spelling writes the call. The request always has the same content:
// zel.profile.ProfileManager.create with a sub-profile whose property
// instances carry anyType values of several kinds, and a request context.
struct Spelling {
  std::string envelopeAttrs;  // declarations on the envelope
  std::string soap = "soapenv";
  std::string xsi = "xsi";
  std::string xsd = "xsd";
  std::string el;            // prefix of service elements, with its colon
  std::string wrapperAttrs;  // declarations on the operation element
  std::string api;           // prefix of API xsi:type values, with its colon
  std::string gap;           // between elements: whitespace, comments
  std::string header;        // the whole header block text ("" for the default)
  std::string description;   // the optional description element ("" for none)
  std::string secondItem;    // prefix of the second property instance only, with its colon
  std::string name = "Gold";
};

std::string Spell(const Spelling& s) {
  const std::string& e = s.el;
  const std::string& g = s.gap;
  auto type = [&](const std::string& qname) { return " " + s.xsi + ":type=\"" + qname + "\""; };
  auto open = [&](const std::string& name) { return g + "<" + e + name + ">"; };
  auto close = [&](const std::string& name) { return "</" + e + name + ">"; };
  auto simple = [&](const std::string& name, const std::string& text) {
    return open(name) + text + close(name);
  };
  std::string header = s.header;
  if (header.empty()) {
    std::string declaration =
        e.empty() ? " xmlns=\"urn:zel\"" : " xmlns:" + e.substr(0, e.size() - 1) + "=\"urn:zel\"";
    header = "<" + e + "requestContext" + declaration + ">" + "<" + e +
             "entry key=\"operationID\">op-7</" + e + "entry>" + "</" + e + "requestContext>";
  }
  std::string property1 = open("propertyInstance") + simple("id", "replicaCount") + g + "<" + e +
                          "value" + type(s.xsd + ":int") + ">2</" + e + "value>" +
                          close("propertyInstance");
  const std::string& item = s.secondItem.empty() ? e : s.secondItem;
  std::string property2 = g + "<" + item + "propertyInstance>" + simple("id", "stripeWidth") + g +
                          "<" + e + "value" + type(s.api + "ZelCapabilityRange") + ">" + g + "<" +
                          e + "min" + type(s.xsd + ":long") + ">2</" + e + "min>" + g + "<" + e +
                          "max" + type(s.xsd + ":long") + ">8</" + e + "max>" + close("value") +
                          "</" + item + "propertyInstance>";
  std::string property3 = open("propertyInstance") + simple("id", "tier") + g + "<" + e + "value" +
                          type(s.api + "ZelCapabilityDiscreteSet") + ">" + g + "<" + e + "values" +
                          type(s.xsd + ":string") + ">gold</" + e + "values>" + g + "<" + e +
                          "values" + type(s.xsd + ":boolean") + ">true</" + e + "values>" +
                          close("value") + close("propertyInstance");
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + g + "<" + s.soap + ":Envelope" +
         s.envelopeAttrs + ">" + g + "<" + s.soap + ":Header>" + header + "</" + s.soap +
         ":Header>" + g + "<" + s.soap + ":Body>" + g + "<" + e + "ZelCreate" + s.wrapperAttrs +
         ">" + g + "<" + e +
         "_this type=\"ZelProfileProfileManager\">zel.profile.ProfileManager-1" + close("_this") +
         open("createSpec") + simple("name", s.name) + s.description + g + "<" + e +
         "resourceType>" + simple("resourceType", "STORAGE") + close("resourceType") + g + "<" + e +
         "constraints" + type(s.api + "ZelCapabilitySubProfileConstraints") + ">" +
         open("subProfiles") + simple("name", "fast") + open("capability") + open("id") +
         simple("namespace", "sample.storage") + simple("id", "perf") + close("id") +
         open("constraint") + property1 + property2 + property3 + close("constraint") +
         close("capability") + close("subProfiles") + close("constraints") + close("createSpec") +
         g + close("ZelCreate") + g + "</" + s.soap + ":Body>" + g + "</" + s.soap + ":Envelope>" +
         g;
}

std::string Declare(const std::string& prefix, const std::string& uri) {
  return " xmlns" + (prefix.empty() ? "" : ":" + prefix) + "=\"" + uri + "\"";
}

// The usual spelling: what the library writes itself.
Spelling Usual() {
  Spelling s;
  s.envelopeAttrs = Declare("soapenv", kSoap) + Declare("xsd", kXsd) + Declare("xsi", kXsi);
  s.wrapperAttrs = Declare("", "urn:zel");
  return s;
}

std::map<std::string, Spelling> Spellings() {
  std::map<std::string, Spelling> all;
  all["default namespace on the wrapper"] = Usual();
  {
    Spelling s = Usual();
    s.envelopeAttrs += Declare("", "urn:zel");
    s.wrapperAttrs = "";
    all["default namespace on the envelope"] = s;
  }
  {
    Spelling s = Usual();
    s.el = "z:";
    s.api = "z:";
    s.wrapperAttrs = Declare("z", "urn:zel");
    all["prefixed elements, prefix on the wrapper"] = s;
  }
  {
    Spelling s = Usual();
    s.envelopeAttrs += Declare("ns0", "urn:zel");
    s.el = "ns0:";
    s.api = "ns0:";
    s.wrapperAttrs = "";
    all["prefixed elements, prefix on the envelope"] = s;
  }
  {
    Spelling s = Usual();
    s.envelopeAttrs += Declare("ns0", "urn:zel");
    s.el = "ns0:";
    s.api = "";  // unprefixed xsi:type values through a default namespace
    s.wrapperAttrs = Declare("", "urn:zel");
    all["prefixed elements, unprefixed xsi:type values"] = s;
  }
  {
    Spelling s;
    s.soap = "S";
    s.xsi = "i";
    s.xsd = "xs";
    s.envelopeAttrs = Declare("S", kSoap) + Declare("xs", kXsd) + Declare("i", kXsi);
    s.wrapperAttrs = Declare("", "urn:zel");
    all["other prefixes for SOAP, XML Schema and instance"] = s;
  }
  {
    Spelling s;
    s.envelopeAttrs = Declare("soapenv", kSoap);
    s.wrapperAttrs = Declare("", "urn:zel") + Declare("xsi", kXsi) + Declare("xsd", kXsd);
    s.header =
        "<requestContext xmlns=\"urn:zel\"><entry key=\"operationID\">op-7</entry>"
        "</requestContext>";
    all["schema prefixes declared on the wrapper only"] = s;
  }
  {
    Spelling s = Usual();
    s.wrapperAttrs += Declare("z", "urn:zel");
    s.secondItem = "z:";
    all["one array item prefixed among unprefixed ones"] = s;
  }
  {
    Spelling s = Usual();
    s.gap = "\n  <!-- a comment -->\r\n\t ";
    all["comments and whitespace between elements"] = s;
  }
  {
    Spelling s = Usual();
    s.name = "Go<!-- inside -->l<![CDATA[d]]>";
    all["comment and CDATA inside text"] = s;
  }
  {
    Spelling s = Usual();
    s.header =
        "<z:requestContext xmlns:z=\"urn:zel\"><z:entry key=\"operationID\">op-7"
        "</z:entry></z:requestContext>"
        "<o:Trace xmlns:o=\"urn:other\" soapenv:mustUnderstand=\"0\">t</o:Trace>"
        "<o:Audit xmlns:o=\"urn:other\" soapenv:mustUnderstand=\"1\" "
        "soapenv:actor=\"urn:someone-else\"/>";
    all["prefixed header, blocks not for us or optional"] = s;
  }
  {
    Spelling s = Usual();
    s.description = "<description xsi:nil=\"true\"/>";
    all["nil optional property"] = s;
  }
  {
    Spelling s = Usual();
    s.description = "<description xsi:nil=\"1\"></description>";
    all["nil optional property, written 1"] = s;
  }
  {
    Spelling s = Usual();
    s.description = "<x:description xmlns:x=\"urn:zel\" xmlns:y=\"" + kXsi + "\" y:nil=\"true\"/>";
    all["nil with its own declarations"] = s;
  }
  return all;
}

class SpellingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  void SetUp() override {
    auto* profileId = WireTest::DataTypeNamed("zel.profile.ProfileId");
    answer = WireTest::Filler(5).Object(profileId);
    service.recorder->Answer(answer.Get());
  }

  // The serving side's answer to the bytes of a request.
  Lumo::Wire::TransportResponse Serve(const std::string& body, const std::string& action = "") {
    Lumo::Wire::TransportResponse response;
    service.dispatcher->Handle({action, body, {}}, response);
    return response;
  }

  // The faultcode of a fault response, as written.
  static std::string FaultCodeOf(const std::string& body) {
    size_t start = body.find("<faultcode>");
    size_t end = body.find("</faultcode>");
    if (start == std::string::npos || end == std::string::npos) return "";
    return body.substr(start + 11, end - start - 11);
  }

  // The fault a response carries, read as a client of create reads it.
  static std::pair<std::string, std::string> ReasonAndMessage(const std::string& body) {
    const Lumo::ManagedMethod* method =
        WireTest::ManagedTypeNamed("zel.profile.ProfileManager")->FindMethod("create");
    try {
      Lumo::Wire::Codec().DecodeResponse(method, body);
    } catch (const Lumo::MethodFault::Exception& e) {
      return {WireTest::ReasonOf(e), e.GetFault()->GetMsg()};
    }
    return {"(no fault)", ""};
  }

  WireTest::Service service;
  Ref<Any> answer;
};

TEST_F(SpellingTest, EverySpellingIsTheSameCallWithTheSameAnswer) {
  const std::string usual = Spell(Usual());
  Lumo::Wire::TransportResponse expected = Serve(usual);
  ASSERT_EQ(expected.status, 200) << expected.body;
  WireTest::RecordingAdapter::Call reference = service.recorder->Last();
  ASSERT_EQ(reference.args.size(), 1u);
  ASSERT_TRUE(reference.args[0]);
  ASSERT_EQ(reference.context.size(), 1u);
  // The usual spelling is what the library writes for the same call.
  {
    auto context = MakeRef<Lumo::RequestContext>();
    context->Set("operationID", "op-7");
    const Lumo::ManagedMethod* method =
        WireTest::ManagedTypeNamed("zel.profile.ProfileManager")->FindMethod("create");
    auto target =
        MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "zel.profile.ProfileManager-1");
    std::string written;
    Lumo::Wire::Codec().EncodeRequest(method, target.Get(), reference.args, written, context.Get());
    Lumo::Wire::TransportResponse again = Serve(written);
    EXPECT_EQ(again.body, expected.body);
    std::string why;
    EXPECT_TRUE(
        WireTest::SameValue(service.recorder->Last().args[0].Get(), reference.args[0].Get(), &why))
        << why << "\n"
        << written;
  }
  for (const auto& [name, spelling] : Spellings()) {
    SCOPED_TRACE(name);
    std::string request = Spell(spelling);
    Lumo::Wire::TransportResponse response = Serve(request);
    EXPECT_EQ(response.status, 200) << response.body << "\n" << request;
    EXPECT_EQ(response.body, expected.body);
    WireTest::RecordingAdapter::Call call = service.recorder->Last();
    ASSERT_EQ(call.args.size(), 1u);
    std::string why;
    EXPECT_TRUE(WireTest::SameValue(call.args[0].Get(), reference.args[0].Get(), &why)) << why;
    EXPECT_EQ(call.context, reference.context);
  }
}

struct Refusal {
  std::string name;
  std::string request;
  std::string faultCode;              // as the serving side writes it
  std::string reason;                 // of the WireFormatFault a client reads ("" when none)
  std::vector<std::string> mentions;  // parts of the fault's message
};

std::vector<Refusal> Refusals() {
  auto replace = [](std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
      text.replace(at, from.size(), to);
    }
    return text;
  };
  const std::string usual = Spell(Usual());
  const std::string soap12 = "http://www.w3.org/2003/05/soap-envelope";
  Spelling mustUnderstand = Usual();
  mustUnderstand.header += "<o:Security xmlns:o=\"urn:other\" soapenv:mustUnderstand=\"1\"/>";
  Spelling mustUnderstandTrue = Usual();
  mustUnderstandTrue.header +=
      "<o:Security xmlns:o=\"urn:other\" soapenv:mustUnderstand=\"true\" "
      "soapenv:actor=\"http://schemas.xmlsoap.org/soap/actor/next\"/>";
  Spelling noDefault = Usual();
  noDefault.el = "z:";
  noDefault.wrapperAttrs = Declare("z", "urn:zel");  // API xsi:type values left unprefixed
  return {
      {"SOAP 1.2 envelope",
       replace(usual, Declare("soapenv", kSoap), Declare("soapenv", soap12)),
       "soapenv:VersionMismatch",
       "versionMismatch",
       {soap12}},
      {"envelope in no namespace",
       replaceAll(usual, "soapenv:Envelope", "Envelope"),
       "soapenv:VersionMismatch",
       "versionMismatch",
       {"no namespace"}},
      {"header block that must be understood",
       Spell(mustUnderstand),
       "soapenv:MustUnderstand",
       "mustUnderstand",
       {"urn:other", "Security"}},
      {"header block that must be understood (true, next actor)",
       Spell(mustUnderstandTrue),
       "soapenv:MustUnderstand",
       "mustUnderstand",
       {"Security"}},
      {"operation in a foreign namespace",
       replace(usual, "<ZelCreate xmlns=\"urn:zel\">", "<ZelCreate xmlns=\"urn:other\">"),
       "soapenv:Client",
       "unknownElement",
       {"urn:other"}},
      {"operation in no namespace",
       replace(usual, "<ZelCreate xmlns=\"urn:zel\">", "<ZelCreate>"),
       "soapenv:Client",
       "unknownElement",
       {"no namespace"}},
      {"target in no namespace",
       replace(usual, "<_this type=", "<_this xmlns=\"\" type="),
       "soapenv:Client",
       "malformed",
       {"_this is in no namespace", "namespace 'urn:zel'"}},
      {"target in a foreign namespace",
       replace(usual, "<_this type=", "<_this xmlns=\"urn:other\" type="),
       "soapenv:Client",
       "malformed",
       {"_this is in namespace 'urn:other'", "namespace 'urn:zel'"}},
      {"parameter in no namespace",
       replace(usual, "<createSpec>", "<createSpec xmlns=\"\">"),
       "soapenv:Client",
       "unknownElement",
       {"createSpec", "no namespace", "urn:zel"}},
      {"property deep inside in a foreign namespace",
       replace(usual, "<min xsi:type", "<min xmlns=\"urn:other\" xsi:type"),
       "soapenv:Client",
       "unknownElement",
       {"min", "urn:other", "urn:zel"}},
      {"undeclared element prefix",
       replace(replace(usual, "<createSpec>", "<q:createSpec>"), "</createSpec>",
               "</q:createSpec>"),
       "soapenv:Client",
       "malformed",
       {"q:createSpec"}},
      {"xsi:type with an undeclared prefix",
       replace(usual, "xsi:type=\"xsd:int\"", "xsi:type=\"nope:int\""),
       "soapenv:Client",
       "unknownType",
       {"nope"}},
      {"unprefixed xsi:type without a default namespace",
       Spell(noDefault),
       "soapenv:Client",
       "unknownType",
       {"no namespace"}},
      {"xsi:type in a foreign namespace",
       replace(usual, "xsi:type=\"ZelCapabilityRange\"",
               "xmlns:o=\"urn:other\" xsi:type=\"o:ZelCapabilityRange\""),
       "soapenv:Client",
       "unknownType",
       {"urn:other"}},
      {"xsd prefix bound elsewhere",
       replace(usual, "xsi:type=\"xsd:int\"", "xmlns:xsd=\"urn:not-xsd\" xsi:type=\"xsd:int\""),
       "soapenv:Client",
       "unknownType",
       {"urn:not-xsd"}},
      {"a type attribute of another namespace is not xsi:type",
       replace(usual, "xsi:type=\"ZelCapabilityRange\"",
               "xmlns:o=\"urn:other\" o:type=\"ZelCapabilityRange\""),
       "soapenv:Client",
       "malformed",
       {"elements inside has no xsi:type"}},
      {"an instance namespace of another prefix only counts when bound",
       replace(usual, "xsi:type=\"ZelCapabilitySubProfileConstraints\"",
               "xmlns:o=\"urn:other\" o:type=\"ZelCapabilitySubProfileConstraints\""),
       "soapenv:Client",
       "unknownElement",
       {"subProfiles"}},
      {"nil required property",
       replace(usual, "<name>Gold</name>", "<name xsi:nil=\"true\"/>"),
       "soapenv:Client",
       "missingProperty",
       {"name", "nil"}},
      {"nil required parameter",
       replace(usual,
               usual.substr(usual.find("<createSpec>"),
                            usual.find("</createSpec>") + 13 - usual.find("<createSpec>")),
               "<createSpec xsi:nil=\"true\"/>"),
       "soapenv:Client",
       "missingProperty",
       {"createSpec"}},
      {"nil anyType value",
       replace(usual, "<value xsi:type=\"xsd:int\">2</value>", "<value xsi:nil=\"true\"/>"),
       "soapenv:Client",
       "missingProperty",
       {"value"}},
      {"nil that is not a boolean",
       replace(usual, "<name>Gold</name>", "<name>Gold</name><description xsi:nil=\"maybe\"/>"),
       "soapenv:Client",
       "badValue",
       {"maybe"}},
      {"nil with content",
       replace(usual, "<name>Gold</name>",
               "<name>Gold</name><description xsi:nil=\"true\">text</description>"),
       "soapenv:Client",
       "malformed",
       {"content"}},
      {"nil item among array items",
       replace(usual, "<values xsi:type=\"xsd:string\">gold</values>",
               "<values xsi:type=\"xsd:string\">gold</values><values xsi:nil=\"true\"/>"),
       "soapenv:Client",
       "badValue",
       {"nil"}},
      {"prefix declared empty",
       replace(usual, "<ZelCreate xmlns=\"urn:zel\">",
               "<ZelCreate xmlns=\"urn:zel\" xmlns:p=\"\">"),
       "soapenv:Client",
       "malformed",
       {"empty namespace"}},
  };
}

TEST_F(SpellingTest, RefusalsNameWhatIsWrongWithTheirFaultCode) {
  for (const Refusal& refusal : Refusals()) {
    SCOPED_TRACE(refusal.name);
    size_t before = service.recorder->Count();
    Lumo::Wire::TransportResponse response = Serve(refusal.request);
    EXPECT_EQ(response.status, 500) << refusal.request;
    EXPECT_EQ(service.recorder->Count(), before) << "the call was made";
    EXPECT_EQ(FaultCodeOf(response.body), refusal.faultCode) << response.body;
    auto [reason, message] = ReasonAndMessage(response.body);
    EXPECT_EQ(reason, refusal.reason) << message;
    for (const std::string& part : refusal.mentions) {
      EXPECT_NE(message.find(part), std::string::npos) << "'" << part << "' in: " << message;
    }
  }
}

// The fault codes of failures past reading: unknown objects and arguments
// the service refuses are the caller's, other failures the service's.
TEST_F(SpellingTest, FaultCodesTellTheCallersFaultFromTheServices) {
  std::string usual = Spell(Usual());
  std::string nobody = usual;
  nobody.replace(nobody.find("zel.profile.ProfileManager-1"), 28, "nobody");
  Lumo::Wire::TransportResponse response = Serve(nobody);
  EXPECT_EQ(FaultCodeOf(response.body), "soapenv:Client") << response.body;
  EXPECT_EQ(ReasonAndMessage(response.body).first, "unknownObject");

  auto invalid = MakeRef<Lumo::Fault::InvalidArgument>();
  invalid->SetMsg("no such resource type");
  service.recorder->Fail(invalid.Get());
  response = Serve(usual);
  EXPECT_EQ(FaultCodeOf(response.body), "soapenv:Client") << response.body;

  auto failure = MakeRef<Lumo::MethodFault>();
  failure->SetMsg("the store is down");
  service.recorder->Fail(failure.Get());
  response = Serve(usual);
  EXPECT_EQ(FaultCodeOf(response.body), "soapenv:Server") << response.body;

  service.recorder->FailPlainly(1);
  service.recorder->Answer(answer.Get());
  response = Serve(usual);
  EXPECT_EQ(FaultCodeOf(response.body), "soapenv:Server") << response.body;
  service.recorder->FailPlainly(0);

  response = Serve(usual, "urn:zel/99.0");
  EXPECT_EQ(FaultCodeOf(response.body), "soapenv:Client") << response.body;
}

}  // namespace
