// The service description against real outside parts: the WSDL and schema
// that zel-server's GET handler serves, libxml2's schema validator checking
// every message of the demo conversation (over HTTP) and values of every
// kind, the sister library's own description, and the zel-wsdl program's
// files.
#include <Kestrum/DateTime.h>
#include <Lumo/Array.h>
#include <Lumo/DataArray.h>
#include <Lumo/Fault/NotSupported.h>
#include <Lumo/Lumo.h>
#include <Lumo/MoRef.h>
#include <Lumo/Primitive.h>
#include <Lumo/TypeName.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Lumo/Wire/Wsdl.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Capability/Types/TimeSpan.h>
#include <Olyx/Zel/Capability/Types/TimeUnitEnum.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <ZelDemo/Conversation.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>

#include "SchemaValidator.h"
#include "ServiceDescription.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using ZelServerTest::SchemaValidator;
using ZelServerTest::XPathValues;

namespace fs = std::filesystem;

const std::vector<std::pair<std::string, std::string>> kWsdlNs = {
    {"wsdl", "http://schemas.xmlsoap.org/wsdl/"},
    {"soap", "http://schemas.xmlsoap.org/wsdl/soap/"},
    {"xsd", "http://www.w3.org/2001/XMLSchema"}};

// A fresh directory under the system's temporary one, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zel-description-XXXXXX").string();
    _path = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!_path.empty()) fs::remove_all(_path, ignored);
  }
  std::string operator/(const std::string& name) const { return _path + "/" + name; }
  const std::string& Path() const { return _path; }

 private:
  std::string _path;
};

// A validator of whole SOAP envelopes: the test's SOAP 1.1 envelope schema,
// which validates body elements, header blocks and fault details strictly,
// and the API schema given.
std::unique_ptr<SchemaValidator> EnvelopeValidator(const TempDir& dir, const std::string& apiSchema,
                                                   const std::string& tns, const std::string& tag) {
  ZelServerTest::WriteTextFile(dir / (tag + ".xsd"), apiSchema);
  fs::copy_file(ZEL_TEST_DATA_DIR "/soap-envelope.xsd", dir / "soap-envelope.xsd",
                fs::copy_options::overwrite_existing);
  ZelServerTest::WriteTextFile(
      dir / (tag + "-envelope.xsd"),
      "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n"
      " <xsd:import namespace=\"http://schemas.xmlsoap.org/soap/envelope/\""
      " schemaLocation=\"soap-envelope.xsd\"/>\n"
      " <xsd:import namespace=\"" +
          tns + "\" schemaLocation=\"" + tag + ".xsd\"/>\n</xsd:schema>\n");
  auto validator = std::make_unique<SchemaValidator>(dir / (tag + "-envelope.xsd"));
  EXPECT_TRUE(validator->IsValid()) << validator->GetErrors();
  return validator;
}

// Keeps the bytes of every request and response it carries.
class RecordingTransport : public Lumo::Wire::Transport {
 public:
  struct Exchange {
    std::string request, response;
    int status = 0;
  };
  explicit RecordingTransport(Lumo::Wire::Transport* inner) : _inner(inner) {}
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override {
    _inner->Send(request, response);
    std::lock_guard<std::mutex> lock(_mutex);
    _exchanges.push_back(Exchange{request.body, response.body, response.status});
  }
  std::vector<Exchange> Exchanges() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _exchanges;
  }

 protected:
  ~RecordingTransport() override = default;

 private:
  Ref<Lumo::Wire::Transport> _inner;
  std::mutex _mutex;
  std::vector<Exchange> _exchanges;
};

// The sample service served over HTTP, with zel-server's description
// documents behind GET.
class DescribedServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  void SetUp() override {
    service = std::make_unique<ZelSample::SampleService>();
    endpoint = new ZelSample::WireEndpoint(*service);
    auto description = std::make_shared<ZelServer::ServiceDescription>("zel");
    ZelHttp::HttpServerSettings settings;
    // The address is the server's own, known once it listens.
    struct Address {
      std::mutex mutex;
      std::string url;
    };
    auto address = std::make_shared<Address>();
    settings.getHandler = [description, address](const std::string& target, std::string& type,
                                                 std::string& body) {
      std::string url;
      {
        std::lock_guard<std::mutex> lock(address->mutex);
        url = address->url;
      }
      return description->Answer(target, url, type, body);
    };
    Ref<ZelSample::WireEndpoint> held = endpoint;
    server = std::make_unique<ZelHttp::HttpServer>(
        [held](const Lumo::Wire::TransportRequest& request,
               Lumo::Wire::TransportResponse& response) { held->Handle(request, response); },
        settings);
    server->Start();
    {
      std::lock_guard<std::mutex> lock(address->mutex);
      address->url = server->GetUrl();
    }
    ASSERT_FALSE(dir.Path().empty());
  }

  void TearDown() override {
    server->Stop();
    endpoint.Reset();
  }

  // The body of a GET of the service's path with a query; the status too.
  std::string Get(const std::string& query, int* status = nullptr) {
    namespace http = boost::beast::http;
    boost::asio::io_context io;
    boost::asio::ip::tcp::socket socket(io);
    socket.connect({boost::asio::ip::make_address("127.0.0.1"),
                    static_cast<unsigned short>(server->GetPort())});
    http::request<http::empty_body> request{http::verb::get, "/zel" + query, 11};
    request.set(http::field::host, "127.0.0.1");
    http::write(socket, request);
    boost::beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(16 * 1024 * 1024);
    http::read(socket, buffer, parser);
    http::response<http::string_body> response = parser.release();
    if (status) {
      *status = response.result_int();
    } else {
      EXPECT_EQ(response.result_int(), 200) << query;
      EXPECT_EQ(response[http::field::content_type], "text/xml; charset=utf-8");
    }
    return response.body();
  }

  std::unique_ptr<SchemaValidator> ServedValidator(const std::string& version) {
    return EnvelopeValidator(dir, Get("?xsd&version=" + version), "urn:zel", version);
  }

  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
  TempDir dir;
};

// ---- The demo conversation -------------------------------------------------------------------

class ConversationMessagesTest : public DescribedServerTest,
                                 public ::testing::WithParamInterface<const char*> {};

TEST_P(ConversationMessagesTest, EveryRequestResponseAndFaultValidatesAgainstTheServedSchema) {
  const std::string version = GetParam();
  std::unique_ptr<SchemaValidator> validator = ServedValidator(version);
  ASSERT_TRUE(validator->IsValid());

  auto recorder = MakeRef<RecordingTransport>(new ZelHttp::HttpTransport(server->GetUrl()));
  Lumo::Wire::Options options;
  options.version = version;
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(recorder.Get(), options);
  ZelDemo::ConversationOptions conversation;
  conversation.version = version;
  std::ostringstream transcript;
  ZelDemo::ConversationResult result = ZelDemo::RunConversation(
      adapter.Get(), ZelDemo::ServiceInstanceRef().Get(), conversation, transcript);
  ASSERT_TRUE(result.Succeeded()) << transcript.str();

  size_t faults = 0, checked = 0;
  for (const RecordingTransport::Exchange& exchange : recorder->Exchanges()) {
    if (exchange.status == 500) ++faults;
    for (const std::string* message : {&exchange.request, &exchange.response}) {
      ++checked;
      std::string errors = validator->Validate(*message);
      EXPECT_EQ(errors, "") << message->substr(0, 1500);
    }
  }
  // Requests with and without parameters, results, typed faults and
  // refusals all passed through.
  EXPECT_GE(checked, 40u);
  EXPECT_GE(faults, 4u);
}

INSTANTIATE_TEST_SUITE_P(NewestAndVersion2, ConversationMessagesTest,
                         ::testing::Values("zel.version.version14", "zel.version.version2"));

// ---- Values of every kind --------------------------------------------------------------------

Ref<Lumo::Any> Boxed(Lumo::Any* value) { return Ref<Lumo::Any>(value); }

template <class T>
Ref<Lumo::Any> ArrayOf(std::initializer_list<T> items) {
  auto array = MakeRef<Lumo::Array<T>>();
  for (const T& item : items) array->Append(item);
  return Ref<Lumo::Any>(array.Get());
}

Ref<Lumo::Any> TimeUnit(int ordinal) {
  return Boxed(
      Lumo::GetEnumType<Zel::Capability::Types::TimeUnitEnum>()->GetFuncs().boxValue(ordinal));
}

// Every kind of value an anyType property carries on the wire.
std::vector<Ref<Lumo::Any>> ValuesOfEveryKind() {
  using namespace Zel::Capability::Types;
  auto range = MakeRef<Range>();
  range->SetMin(Boxed(new Lumo::Primitive<int64_t>(1)).Get());
  range->SetMax(Boxed(new Lumo::Primitive<int64_t>(1LL << 40)).Get());
  auto set = MakeRef<DiscreteSet>();
  set->GetValues()->Append(Boxed(new Lumo::Primitive<std::string>("gold")).Get());
  set->GetValues()->Append(Boxed(new Lumo::Primitive<double>(2.5)).Get());
  set->GetValues()->Append(range.Get());
  auto span = MakeRef<TimeSpan>();
  span->SetValue(3);
  span->SetUnit(TIMEUNITENUM_HOURS);
  auto mixed = MakeRef<Lumo::DataArray<Lumo::Any>>();
  mixed->Append(Boxed(new Lumo::Primitive<int32_t>(7)).Get());
  mixed->Append(span.Get());
  auto ids = MakeRef<Lumo::DataArray<Zel::Profile::ProfileId>>();
  auto id = MakeRef<Zel::Profile::ProfileId>();
  id->SetUniqueId("p-1");
  ids->Append(id.Get());
  auto refs = MakeRef<Lumo::DataArray<Lumo::MoRef>>();
  refs->Append(new Lumo::MoRef("zel.profile.ProfileManager", "ProfileManager"));
  auto unitNames = MakeRef<Lumo::Array<std::string>>();
  unitNames->Append(TIMEUNITENUM_DAYS);
  auto* enumType = Lumo::GetEnumType<TimeUnitEnum>();
  Ref<Lumo::Any> units(enumType->GetFuncs().fromStringArray(unitNames.Get(), enumType));
  return {Boxed(new Lumo::Primitive<int64_t>(-5)),
          Boxed(new Lumo::Primitive<int32_t>(12)),
          Boxed(new Lumo::Primitive<std::string>("text & <markup>")),
          Boxed(Lumo::BoxBool(true)),
          Boxed(new Lumo::Primitive<double>(-0.125)),
          Boxed(new Lumo::Primitive<Kestrum::System::DateTime>(
              Kestrum::System::DateTime(1700000000123456LL, 90))),
          Boxed(new Lumo::Primitive<Lumo::TypeName>(Lumo::TypeName{"zel.profile.ProfileId"})),
          Boxed(new Lumo::MoRef("zel.profile.ProfileManager", "ProfileManager")),
          TimeUnit(1),
          Ref<Lumo::Any>(range.Get()),
          Ref<Lumo::Any>(set.Get()),
          Ref<Lumo::Any>(span.Get()),
          ArrayOf<std::string>({"a", "b"}),
          ArrayOf<int64_t>({1, 2}),
          ArrayOf<int32_t>({3}),
          ArrayOf<bool>({true, false}),
          ArrayOf<double>({1e300}),
          ArrayOf<Kestrum::System::DateTime>({Kestrum::System::DateTime(0)}),
          ArrayOf<Lumo::TypeName>({Lumo::TypeName{"string"}}),
          Ref<Lumo::Any>(mixed.Get()),
          Ref<Lumo::Any>(ids.Get()),
          Ref<Lumo::Any>(refs.Get()),
          units};
}

Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> SpecCarrying(
    const std::vector<Ref<Lumo::Any>>& values) {
  auto constraint = MakeRef<Zel::Capability::ConstraintInstance>();
  for (size_t i = 0; i < values.size(); ++i) {
    auto property = MakeRef<Zel::Capability::PropertyInstance>();
    property->SetId("p" + std::to_string(i));
    property->SetValue(values[i].Get());
    constraint->GetPropertyInstance()->Append(property.Get());
  }
  auto uid = MakeRef<Zel::Capability::CapabilityMetadata::UniqueId>();
  uid->SetNamespace("sample.storage");
  uid->SetId("everything");
  auto capability = MakeRef<Zel::Capability::CapabilityInstance>();
  capability->SetId(uid.Get());
  capability->GetConstraint()->Append(constraint.Get());
  return ZelSample::Build::Spec("Everything", {ZelSample::Build::Sub("all kinds", {capability})});
}

Lumo::ManagedMethod* ProfileManagerMethod(const char* name) {
  return Lumo::GetMoType<Zel::Profile::ProfileManager>()->FindMethod(name);
}

TEST_F(DescribedServerTest, AnyTypeValuesOfEveryKindAndEveryFaultOfTheRuntimeValidate) {
  const std::string version = "zel.version.version14";
  std::unique_ptr<SchemaValidator> validator = ServedValidator(version);
  ASSERT_TRUE(validator->IsValid());
  Lumo::Wire::Options options;
  options.version = version;
  Lumo::Wire::Codec codec(options);
  auto target = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "ProfileManager");
  auto context = MakeRef<Lumo::RequestContext>();
  context->Set("operationID", "op-7");

  std::string message;
  std::vector<Ref<Lumo::Any>> args{Ref<Lumo::Any>(SpecCarrying(ValuesOfEveryKind()).Get())};
  codec.EncodeRequest(ProfileManagerMethod("create"), target.Get(), args, message, context.Get());
  EXPECT_EQ(validator->Validate(message), "") << message;

  auto duplicate = MakeRef<Zel::Fault::DuplicateName>();
  duplicate->SetName("Gold");
  duplicate->SetMsg("the name is in use");
  auto wire = MakeRef<Lumo::Wire::WireFormatFault>();
  wire->SetReason(Kestrum::Optional<std::string>("badValue"));
  wire->SetInvalidProperty(Kestrum::Optional<std::string>("/Envelope/Body"));
  for (Lumo::MethodFault* fault : std::initializer_list<Lumo::MethodFault*>{
           duplicate.Get(), wire.Get(), new Lumo::Fault::NotSupported, new Lumo::MethodFault}) {
    Ref<Lumo::MethodFault> held(fault);
    codec.EncodeFault(fault, message);
    EXPECT_EQ(validator->Validate(message), "") << message;
  }
}

// ---- The validator is not a rubber stamp -----------------------------------------------------

// Every occurrence, at least one.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  for (; at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

TEST_F(DescribedServerTest, MessagesTheSchemaDoesNotDescribeAreRefused) {
  std::unique_ptr<SchemaValidator> newest = ServedValidator("zel.version.version14");
  std::unique_ptr<SchemaValidator> version2 = ServedValidator("zel.version.version2");
  ASSERT_TRUE(newest->IsValid() && version2->IsValid());
  Lumo::Wire::Options options;
  options.version = "zel.version.version14";
  Lumo::Wire::Codec codec(options);
  auto target = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "ProfileManager");
  std::string create;
  std::vector<Ref<Lumo::Any>> args{Ref<Lumo::Any>(SpecCarrying({TimeUnit(2)}).Get())};
  codec.EncodeRequest(ProfileManagerMethod("create"), target.Get(), args, create);
  ASSERT_EQ(newest->Validate(create), "");

  struct Broken {
    const char* what;
    const char* from;
    const char* to;
  };
  for (const Broken& broken : std::initializer_list<Broken>{
           {"an unknown operation", "ZelCreate", "ZelCreateIt"},
           {"a misspelt property", "resourceType>", "resourcetype>"},
           {"a missing target", "_this", "that"},
           {"an enumeration value not in the list", ">HOURS<", ">FORTNIGHTS<"},
           {"an unknown xsi:type", "\"ZelCapabilityTimeUnitType\"", "\"ZelNoSuchType\""},
           {"an operation in another namespace", "\"urn:zel\"", "\"urn:other\""}}) {
    std::string message = create;
    ReplaceAll(message, broken.from, broken.to);
    EXPECT_NE(newest->Validate(message), "") << broken.what;
  }

  // What a newer version has is not in an older version's schema: a method
  // of version11, and the parameter version11 added to an older method.
  std::string schemaCall;
  std::vector<Ref<Lumo::Any>> none(2);
  codec.EncodeRequest(ProfileManagerMethod("fetchCapabilitySchema"), target.Get(), none,
                      schemaCall);
  EXPECT_EQ(newest->Validate(schemaCall), "");
  EXPECT_NE(version2->Validate(schemaCall), "");
}

// What the schema allows and the reader reads agree on a value without
// xsi:type: text alone is valid against anyType, and the reader takes it as
// a string; a _this in no namespace is no valid request, and the reader
// refuses it.
TEST_F(DescribedServerTest, AnUntypedTextValueValidatesAndIsReadAsAString) {
  std::unique_ptr<SchemaValidator> newest = ServedValidator("zel.version.version14");
  ASSERT_TRUE(newest->IsValid());
  Lumo::Wire::Options options;
  options.version = "zel.version.version14";
  Lumo::Wire::Codec codec(options);
  auto target = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "ProfileManager");
  std::string create;
  Ref<Lumo::Any> gold(new Lumo::Primitive<std::string>("gold"));
  std::vector<Ref<Lumo::Any>> args{Ref<Lumo::Any>(SpecCarrying({gold}).Get())};
  codec.EncodeRequest(ProfileManagerMethod("create"), target.Get(), args, create);
  std::string typed = create;
  ReplaceAll(create, " xsi:type=\"xsd:string\">gold<", ">gold<");
  EXPECT_EQ(newest->Validate(create), "") << create;
  EXPECT_EQ(codec.DecodeRequest(create).args[0]->ToString(),
            codec.DecodeRequest(typed).args[0]->ToString());

  ReplaceAll(create, "<_this ", "<_this xmlns=\"\" ");
  EXPECT_NE(newest->Validate(create), "");
  EXPECT_THROW(codec.DecodeRequest(create), Lumo::Wire::WireFormatFault::Exception);
}

// ---- The WSDL --------------------------------------------------------------------------------

TEST_F(DescribedServerTest, TheServedWsdlDescribesEachVersionAsTheCodecSpeaksIt) {
  struct Expected {
    const char* query;
    const char* action;
    size_t operations;
    bool hasVersion11;
  };
  const std::string url = server->GetUrl();
  for (const Expected& expected : std::initializer_list<Expected>{
           {"?wsdl", "urn:zel/6.7.2", 90, true},
           {"?WSDL&version=6.7.2", "urn:zel/6.7.2", 90, true},
           {"?wsdl&version=version2", "urn:zel/2.0", 77, false},
           {"?wsdl&version=zel.version.version1", "urn:zel/1.0", 63, false},
           {"?wsdl&version=all", "urn:zel", 94, true}}) {
    SCOPED_TRACE(expected.query);
    std::string wsdl = Get(expected.query);
    auto values = [&](const std::string& xpath) { return XPathValues(wsdl, xpath, kWsdlNs); };
    EXPECT_EQ(values("//wsdl:portType/wsdl:operation").size(), expected.operations);
    EXPECT_EQ(values("//wsdl:binding/wsdl:operation").size(), expected.operations);
    for (const std::string& action : values("//soap:operation/@soapAction")) {
      ASSERT_EQ(action, expected.action);
    }
    EXPECT_EQ(values("//soap:address/@location"), std::vector<std::string>{url});
    // The schema comes from the same server.
    std::vector<std::string> include = values("//xsd:include/@schemaLocation");
    ASSERT_EQ(include.size(), 1u);
    EXPECT_EQ(include[0].rfind(url + "?xsd&version=", 0), 0u) << include[0];
    // Declared faults, as the version sends them.
    EXPECT_EQ(values("//wsdl:portType/wsdl:operation[@name='ZelCreate']/wsdl:fault/@name"),
              (std::vector<std::string>{"InvalidArgumentFault", "ZelFaultProfileStorageFaultFault",
                                        "ZelDuplicateNameFault"}));
    EXPECT_EQ(values("//wsdl:operation[@name='ZelFetchCapabilitySchema']").size(),
              expected.hasVersion11 ? 2u : 0u);

    std::string schema = Get(include[0].substr(url.size()));
    auto inSchema = [&](const std::string& xpath) { return XPathValues(schema, xpath, kWsdlNs); };
    // A parameter that version11 added to an older method.
    EXPECT_EQ(inSchema("//xsd:element[@name='ZelAssociate']//xsd:element/@name"),
              expected.hasVersion11
                  ? (std::vector<std::string>{"_this", "entity", "profile", "replSpec"})
                  : (std::vector<std::string>{"_this", "entity", "profile"}));
    EXPECT_EQ(inSchema("//xsd:complexType[@name='HoxProfileSpec']").size(),
              expected.hasVersion11 ? 1u : 0u);
  }
}

TEST_F(DescribedServerTest, GetAnswersTheDescriptionQueriesOnly) {
  for (const char* query : {"", "?", "?wsdl&version=version99", "?wsdl=1", "?wsdl&xsd",
                            "?wsdl&version=2.0&version=6.5", "?xsd&version=%zz", "?other"}) {
    int status = 0;
    Get(query, &status);
    EXPECT_EQ(status, 404) << query;
  }
  int status = 0;
  std::string schema = Get("?xsd&version=zel%2Eversion%2Eversion2", &status);
  EXPECT_EQ(status, 200);
  EXPECT_NE(schema.find("<xsd:schema"), std::string::npos);
}

// ---- Other type libraries and the program ----------------------------------------------------

TEST(OtherLibraryTest, TheSisterLibraryGetsADescriptionOfItsOwn) {
  Lumo::StartRuntime();
  TempDir dir;
  Lumo::Wire::WsdlOptions options;
  options.version = Lumo::Wire::DefaultApiVersion("hox");
  ASSERT_EQ(options.version, "hox.version.version14");
  options.location = "http://127.0.0.1:1/hox";
  Lumo::Wire::WsdlDocuments documents = Lumo::Wire::MakeWsdl(options);
  EXPECT_EQ(documents.operationCount, 0u);
  std::unique_ptr<SchemaValidator> validator =
      EnvelopeValidator(dir, documents.schema, "urn:hox", "hox");
  ASSERT_TRUE(validator->IsValid());
  EXPECT_EQ(XPathValues(documents.schema,
                        "//xsd:complexType[@name='HoxProfileSpec']//xsd:extension/@base", kWsdlNs),
            std::vector<std::string>{"tns:DynamicData"});
  EXPECT_TRUE(XPathValues(documents.schema, "//xsd:complexType[starts-with(@name, 'Zel')]", kWsdlNs)
                  .empty());
  // A fault from a codec of the sister API's version validates against it.
  Lumo::Wire::Options codecOptions;
  codecOptions.version = options.version;
  Lumo::Wire::Codec codec(codecOptions);
  auto fault = MakeRef<Lumo::Fault::NotSupported>();
  std::string message;
  codec.EncodeFault(fault.Get(), message);
  EXPECT_EQ(validator->Validate(message), "") << message;
}

TEST(OtherLibraryTest, UnknownVersionsAndNamespacesAreRefused) {
  Lumo::StartRuntime();
  auto reasonOf = [](const Lumo::Wire::WsdlOptions& options) {
    try {
      Lumo::Wire::MakeWsdl(options);
    } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
      return e.GetFault()->GetReason().GetValue();
    }
    return std::string("none");
  };
  Lumo::Wire::WsdlOptions options;
  options.version = "zel.version.version99";
  EXPECT_EQ(reasonOf(options), "version");
  options.version.clear();
  options.ns = "nothing";
  EXPECT_EQ(reasonOf(options), "version");
  options.version = "hox.version.version11";
  options.ns = "zel";
  EXPECT_EQ(reasonOf(options), "version");
  options.version = "zel.version.version2";
  options.location = std::string("http://127.0.0.1/") + '\x01';  // no XML carries it
  EXPECT_EQ(reasonOf(options), "badValue");
  EXPECT_EQ(Lumo::Wire::ResolveApiVersion("zel", "6.5"), "zel.version.version11");
  EXPECT_EQ(Lumo::Wire::ResolveApiVersion("hox", "6.5"), "hox.version.version11");
  EXPECT_EQ(Lumo::Wire::ResolveApiVersion("zel", "version99"), "");
}

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZelWsdlProgramTest, WritesFilesThatLibxml2CompilesAsSchemas) {
  TempDir dir;
  const std::string program = ZEL_WSDL_PROGRAM;
  ASSERT_EQ(
      RunCommand(program + " --every-version --out " + dir.Path() + " > " + (dir / "out.txt")), 0);
  size_t pairs = 0;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    if (entry.path().extension() != ".wsdl") continue;
    ++pairs;
    fs::path xsd = entry.path();
    xsd.replace_extension(".xsd");
    SchemaValidator schema(xsd.string());
    EXPECT_TRUE(schema.IsValid()) << xsd << ": " << schema.GetErrors();
    std::string wsdl = ZelServerTest::ReadTextFile(entry.path().string());
    EXPECT_EQ(XPathValues(wsdl, "//xsd:include/@schemaLocation", kWsdlNs),
              std::vector<std::string>{xsd.filename().string()});
  }
  EXPECT_EQ(pairs, 10u);  // nine versions and all at once

  EXPECT_EQ(RunCommand(program + " --help > /dev/null"), 0);
  EXPECT_EQ(RunCommand(program + " --version > /dev/null"), 0);
  EXPECT_EQ(RunCommand(program + " --api-version version99 --out " + dir.Path() + " 2> /dev/null"),
            2);
  EXPECT_EQ(RunCommand(program + " --out 2> /dev/null"), 2);
  ASSERT_EQ(RunCommand(program + " --api-version 2.0 --out " + (dir / "v2") + " > /dev/null"), 0);
  EXPECT_TRUE(fs::exists(dir / "v2/zel.version.version2.xsd"));
}

}  // namespace
