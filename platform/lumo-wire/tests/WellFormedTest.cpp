// What the readers and writers promise beyond a single spelling:
// - text that XML 1.0 cannot carry, stored without validation through the
//   generated const char* setters, never reaches the wire: a client's call is
//   refused before anything is sent, a server answers a proper fault instead
//   of the broken result or fault;
// - xsi:nil on parameters: an optional one is unset, a required one refused;
// - responses are read with the same namespace rules as requests, and the
//   envelope and header refusals reach the caller with their own reasons.
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <gtest/gtest.h>

#include <functional>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

// Byte sequences a well-formed UTF-8 XML 1.0 document cannot hold.
const char* const kBadTexts[] = {
    "bad \xff byte",          // not UTF-8 at all
    "trunc\xc3",              // a sequence cut short
    "over \xc0\xaf long",     // an overlong form
    "sur \xed\xa0\x80 gate",  // a UTF-16 surrogate
    "non \xef\xbf\xbe char",  // U+FFFE
    "ctl \x01 char",          // a C0 control
    "big \xf4\x90\x80\x80",   // beyond U+10FFFF
};

class WellFormedTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  const Lumo::ManagedObjectType* Manager() {
    return WireTest::ManagedTypeNamed("zel.profile.ProfileManager");
  }
  Lumo::ManagedMethod* Method(const char* name) { return Manager()->FindMethod(name); }

  // Calls method on the profile manager through the wire adapter.
  Ref<Any> Call(const char* name, std::vector<Ref<Any>> args,
                Lumo::RequestContext* context = nullptr) {
    Ref<Lumo::StubAdapter> adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
    Ref<Lumo::Stub> stub = service.ClientStub(Manager(), adapter.Get(), context);
    Ref<Any> result;
    stub->_Invoke_Task(Method(name), args, result);
    return result;
  }

  static std::string Reason(const std::function<void()>& call) {
    try {
      call();
    } catch (const Lumo::MethodFault::Exception& e) {
      return WireTest::ReasonOf(e) + ": " + e.GetFault()->GetMsg();
    }
    return "(no fault)";
  }

  static Ref<Zel::Profile::ProfileId> IdWith(const char* text) {
    auto id = MakeRef<Zel::Profile::ProfileId>();
    id->SetUniqueId(text);  // stored as is: this setter does not validate
    return id;
  }

  WireTest::Service service;
};

TEST_F(WellFormedTest, AClientRefusesTextXmlCannotCarryBeforeSending) {
  for (const char* bad : kBadTexts) {
    SCOPED_TRACE(bad);
    size_t served = service.recorder->Count();
    service.transport->lastRequest = Lumo::Wire::TransportRequest();
    std::string why = Reason([&] { Call("queryAssociatedEntity", {Ref<Any>(IdWith(bad).Get())}); });
    EXPECT_EQ(why.substr(0, 9), "badValue:") << why;
    EXPECT_NE(why.find("profile.uniqueId"), std::string::npos) << why;
    EXPECT_EQ(service.recorder->Count(), served);
    EXPECT_TRUE(service.transport->lastRequest.body.empty()) << "something was sent";
  }
  // The request context and the target's id are checked the same way.
  auto context = MakeRef<Lumo::RequestContext>();
  context->Set("operationID", "op \xff");
  EXPECT_EQ(Reason([&] {
              Call("queryAssociatedEntity", {Ref<Any>(IdWith("ok").Get())}, context.Get());
            }).substr(0, 9),
            "badValue:");
  std::string out;
  auto target = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "pm \xc3");
  std::vector<Ref<Any>> args{Ref<Any>(IdWith("ok").Get())};
  EXPECT_EQ(Reason([&] {
              Lumo::Wire::Codec().EncodeRequest(Method("queryAssociatedEntity"), target.Get(), args,
                                                out);
            }).substr(0, 9),
            "badValue:");
  // Good multi-byte text passes untouched.
  service.recorder->Answer(nullptr);
  Call("queryAssociatedEntity", {Ref<Any>(IdWith("caf\xc3\xa9 \xf0\x9f\x98\x80").Get())});
  ASSERT_EQ(service.recorder->Last().args.size(), 2u);
  auto* received = dynamic_cast<Zel::Profile::ProfileId*>(service.recorder->Last().args[0].Get());
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(received->GetUniqueId(), "caf\xc3\xa9 \xf0\x9f\x98\x80");
}

TEST_F(WellFormedTest, AServerAnswersAFaultInsteadOfABrokenResultOrFault) {
  for (const char* bad : kBadTexts) {
    SCOPED_TRACE(bad);
    // A result: create answers a ProfileId.
    service.recorder->Answer(IdWith(bad).Get());
    std::string createRequest;
    {
      auto target = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", service.IdOf(Manager()));
      Ref<Any> spec(WireTest::Filler(3).Object(
          WireTest::DataTypeNamed("zel.profile.CapabilityBasedProfileCreateSpec")));
      Lumo::Wire::Codec().EncodeRequest(Method("create"), target.Get(), {spec}, createRequest);
    }
    Lumo::Wire::TransportResponse response;
    service.dispatcher->Handle({"", createRequest, {}}, response);
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(Lumo::FindInvalidXmlText(response.body), std::string::npos);
    EXPECT_NE(response.body.find("<faultcode>soapenv:Server</faultcode>"), std::string::npos)
        << response.body;
    std::string why =
        Reason([&] { Lumo::Wire::Codec().DecodeResponse(Method("create"), response.body); });
    EXPECT_EQ(why.substr(0, 9), "badValue:") << why;
    EXPECT_NE(why.find("create.result"), std::string::npos) << why;

    // A fault: a typed fault whose name cannot be written.
    auto duplicate = MakeRef<Zel::Fault::DuplicateName>();
    duplicate->SetName(bad);
    service.recorder->Fail(duplicate.Get());
    service.dispatcher->Handle({"", createRequest, {}}, response);
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(Lumo::FindInvalidXmlText(response.body), std::string::npos);
    why = Reason([&] { Lumo::Wire::Codec().DecodeResponse(Method("create"), response.body); });
    EXPECT_EQ(why.substr(0, 9), "badValue:") << why;
  }
}

TEST_F(WellFormedTest, NilParametersAreUnsetWhenOptionalAndRefusedWhenRequired) {
  auto serve = [&](const std::string& parameters) {
    std::string body =
        "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>"
        "<ZelQueryProfile xmlns=\"urn:zel\"><_this type=\"ZelProfileProfileManager\">" +
        service.IdOf(Manager()) + "</_this>" + parameters +
        "</ZelQueryProfile></soapenv:Body></soapenv:Envelope>";
    Lumo::Wire::TransportResponse response;
    service.dispatcher->Handle({"", body, {}}, response);
    return response;
  };
  const std::string resourceType =
      "<resourceType><resourceType>STORAGE</resourceType></resourceType>";
  service.recorder->Answer(nullptr);
  size_t before = service.recorder->Count();
  Lumo::Wire::TransportResponse response =
      serve(resourceType + "<profileCategory xsi:nil=\"true\"/>");
  EXPECT_EQ(response.status, 200) << response.body;
  ASSERT_EQ(service.recorder->Count(), before + 1);
  ASSERT_EQ(service.recorder->Last().args.size(), 2u);
  EXPECT_FALSE(service.recorder->Last().args[1]) << "nil must not read as the empty string";

  response = serve(resourceType + "<profileCategory></profileCategory>");
  ASSERT_TRUE(service.recorder->Last().args[1]);  // the empty string is a value

  response =
      serve("<resourceType xsi:nil=\"true\"/><profileCategory>REQUIREMENT</profileCategory>");
  EXPECT_EQ(response.status, 500);
  std::string why =
      Reason([&] { Lumo::Wire::Codec().DecodeResponse(Method("queryProfile"), response.body); });
  EXPECT_EQ(why.substr(0, 16), "missingProperty:") << why;
  EXPECT_NE(why.find("resourceType"), std::string::npos) << why;
}

// Responses: the client reads them with the same namespace rules.
TEST_F(WellFormedTest, ResponsesAreReadByNamespaceAndEnvelopeRefusalsReachTheCaller) {
  const Lumo::ManagedMethod* method = Method("queryProfile");
  Lumo::Wire::Codec codec;
  auto envelope = [](const std::string& head, const std::string& body) {
    return "<S:Envelope xmlns:S=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\">" +
           head + "<S:Body>" + body + "</S:Body></S:Envelope>";
  };
  // Prefixed elements, a result of two items.
  Ref<Any> result =
      codec.DecodeResponse(method, envelope("",
                                            "<r:ZelQueryProfileResponse xmlns:r=\"urn:zel\">"
                                            "<r:returnval><r:uniqueId>a</r:uniqueId></r:returnval>"
                                            "<r:returnval><r:uniqueId>b</r:uniqueId></r:returnval>"
                                            "</r:ZelQueryProfileResponse>"));
  auto* ids = dynamic_cast<Lumo::DataArrayBase*>(result.Get());
  ASSERT_NE(ids, nullptr);
  EXPECT_EQ(ids->GetStorage().size(), 2u);

  // A typed fault without xsi:type is typed by its element's name.
  try {
    codec.DecodeResponse(method, envelope("",
                                          "<S:Fault><faultcode>S:Server</faultcode><faultstring>dup"
                                          "</faultstring><detail><ZelDuplicateNameFault "
                                          "xmlns=\"urn:zel\"><name>Gold</name>"
                                          "</ZelDuplicateNameFault></detail></S:Fault>"));
    ADD_FAILURE() << "no fault thrown";
  } catch (const Zel::Fault::DuplicateName::Exception& e) {
    EXPECT_EQ(e.GetFault()->GetName(), "Gold");
  } catch (const Lumo::MethodFault::Exception& e) {
    ADD_FAILURE() << "not typed: " << e.what();
  }

  struct Row {
    const char* name;
    std::string message;
    std::string reason;
  };
  const Row rows[] = {
      {"SOAP 1.2 response",
       "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body/></e:Envelope>",
       "versionMismatch"},
      {"header block to understand",
       envelope("<S:Header><x:Session xmlns:x=\"urn:x\" S:mustUnderstand=\"1\"/></S:Header>",
                "<ZelQueryProfileResponse xmlns=\"urn:zel\"/>"),
       "mustUnderstand"},
      {"VersionMismatch fault without detail",
       envelope("",
                "<S:Fault><faultcode>S:VersionMismatch</faultcode><faultstring>v"
                "</faultstring></S:Fault>"),
       "versionMismatch"},
      {"MustUnderstand fault without detail",
       envelope("",
                "<S:Fault><faultcode>S:MustUnderstand</faultcode><faultstring>m"
                "</faultstring></S:Fault>"),
       "mustUnderstand"},
      {"response in a foreign namespace",
       envelope("", "<ZelQueryProfileResponse xmlns=\"urn:other\"/>"), "unknownElement"},
      {"result item in no namespace",
       envelope("",
                "<ZelQueryProfileResponse xmlns=\"urn:zel\"><returnval xmlns=\"\">"
                "<uniqueId>a</uniqueId></returnval></ZelQueryProfileResponse>"),
       "unknownElement"},
      {"fault detail in a foreign namespace",
       envelope("",
                "<S:Fault><faultcode>S:Server</faultcode><faultstring>x</faultstring>"
                "<detail><ZelFaultNotFoundFault xmlns=\"urn:other\"/></detail></S:Fault>"),
       "unknownElement"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string why = Reason([&] { codec.DecodeResponse(method, row.message); });
    EXPECT_EQ(why.substr(0, row.reason.size() + 1), row.reason + ":") << why;
  }
}

}  // namespace

namespace {

// The service's namespace comes from the version records, not a constant: a
// codec of the sister library's versions speaks urn:hox, one of every
// version names a value after its type's library, and a message of one
// namespace is refused by a reader of another.
TEST(ServiceNamespaceTest, ComesFromTheVersionRecords) {
  WireTest::StartRuntime();
  Ref<Any> id(
      WireTest::Filler(9).Object(WireTest::DataTypeNamed("hox.vm.replication.ReplicationGroupId")));
  Lumo::Wire::Options hox;
  hox.version = "hox.version.version14";
  Lumo::Wire::Codec hoxCodec(hox);
  std::string bytes;
  hoxCodec.EncodeValue(id.Get(), bytes);
  EXPECT_NE(bytes.find("<value xmlns=\"urn:hox\""), std::string::npos) << bytes;
  std::string why;
  EXPECT_TRUE(WireTest::SameValue(hoxCodec.DecodeValue(bytes).Get(), id.Get(), &why)) << why;

  Lumo::Wire::Codec every;
  std::string again;
  every.EncodeValue(id.Get(), again);
  EXPECT_EQ(again, bytes);
  EXPECT_TRUE(WireTest::SameValue(every.DecodeValue(again).Get(), id.Get(), &why)) << why;

  Lumo::Wire::Options zel;
  zel.version = "zel.version.version14";
  try {
    Lumo::Wire::Codec(zel).DecodeValue(bytes);
    ADD_FAILURE() << "read a urn:hox value as urn:zel";
  } catch (const Lumo::MethodFault::Exception& e) {
    EXPECT_EQ(WireTest::ReasonOf(e), "unknownElement");
    EXPECT_NE(std::string(e.GetFault()->GetMsg()).find("urn:hox"), std::string::npos);
  }
  // The same value inside a zel message is in urn:zel, like everything there.
  std::string inZel;
  Lumo::Wire::Codec(zel).EncodeValue(id.Get(), inZel);
  EXPECT_NE(inZel.find("<value xmlns=\"urn:zel\""), std::string::npos) << inZel;
}

// A message may only declare so many namespaces: look-ups stay cheap.
TEST(ServiceNamespaceTest, DeclarationsAreBounded) {
  WireTest::StartRuntime();
  std::string declarations;
  for (int i = 0; i < 300; ++i)
    declarations += " xmlns:p" + std::to_string(i) + "=\"urn:n" + std::to_string(i) + "\"";
  std::string bytes =
      "<value xmlns=\"urn:zel\"" + declarations +
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xsi:type=\"xsd:int\">1</value>";
  try {
    Lumo::Wire::Codec().DecodeValue(bytes);
    ADD_FAILURE() << "read";
  } catch (const Lumo::MethodFault::Exception& e) {
    EXPECT_EQ(WireTest::ReasonOf(e), "malformed") << e.GetFault()->GetMsg();
  }
}

}  // namespace
