// The sample service over HTTP: sessions by cookie, requests a stub would
// never send, several clients at once, stopping.
#include <Lumo/Wire/WireFormatFault.h>
#include <Olyx/Zel/Profile/ProfileId.h>

#include <atomic>
#include <thread>
#include <vector>

#include "RawHttp.h"
#include "ServiceFixture.h"

namespace HttpTesting {
namespace {

TEST(UrlTest, ParsesHttpAndHttpsUrls) {
  ZelHttp::Url parsed;
  ASSERT_TRUE(ZelHttp::ParseUrl("http://127.0.0.1:8080/zel", parsed));
  EXPECT_FALSE(parsed.tls);
  EXPECT_EQ(parsed.host, "127.0.0.1");
  EXPECT_EQ(parsed.port, 8080);
  EXPECT_EQ(parsed.path, "/zel");
  ASSERT_TRUE(ZelHttp::ParseUrl("https://zel.example.net/api", parsed));
  EXPECT_TRUE(parsed.tls);
  EXPECT_EQ(parsed.port, 443);
  ASSERT_TRUE(ZelHttp::ParseUrl("http://localhost", parsed));
  EXPECT_EQ(parsed.port, 80);
  EXPECT_EQ(parsed.path, "/");
  ASSERT_TRUE(ZelHttp::ParseUrl("http://[::1]:9/x/y", parsed));
  EXPECT_EQ(parsed.host, "::1");
  EXPECT_EQ(parsed.path, "/x/y");
  for (const char* bad : {"ftp://127.0.0.1/zel", "127.0.0.1:80/zel", "http://:80/",
                          "http://127.0.0.1:0/", "http://127.0.0.1:99999/", "http://h:8a/",
                          "http://[::1/", "http://[::1]x/", "http://user@host/", ""}) {
    EXPECT_FALSE(ZelHttp::ParseUrl(bad, parsed)) << bad;
  }
}

TEST(UrlTest, AnyHostIsAcceptedAndBadAddressesAreRefused) {
  EXPECT_THROW(new ZelHttp::HttpTransport("ftp://127.0.0.1/zel"), std::invalid_argument);
  auto remote = MakeRef<ZelHttp::HttpTransport>("http://192.0.2.1:80/zel");
  ZelHttp::HttpServerSettings settings;
  settings.host = "not an address";
  ZelHttp::HttpServer server([](auto&, auto&) {}, settings);
  EXPECT_THROW(server.Start(), std::invalid_argument);
}

TEST(TransportTest, NoServerIsATransportFault) {
  // A port nobody listens on: bind one, then close it.
  int port = 0;
  {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(
        io, boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    port = probe.local_endpoint().port();
  }
  auto transport =
      MakeRef<ZelHttp::HttpTransport>("http://127.0.0.1:" + std::to_string(port) + "/zel");
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  try {
    transport->Send(request, response);
    FAIL() << "a request without a server succeeded";
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_EQ(*e.GetFault()->PeekReason(), "transport");
  }
}

TEST_F(HttpServiceTest, TheCookieCarriesTheSessionAcrossRequests) {
  Client client = Connect();
  Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
  EXPECT_THROW(client.profiles->FetchResourceType(types), Lumo::MethodFault::Exception);
  client.sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice"));
  std::string session = client.transport->GetCookie(ZelSample::kSessionCookie);
  EXPECT_EQ(session.size(), 32u);
  client.profiles->FetchResourceType(types);
  EXPECT_EQ(types->GetLength(), 1);
  client.sessions->Logout();
  EXPECT_TRUE(client.transport->GetCookie(ZelSample::kSessionCookie).empty());
  EXPECT_THROW(client.profiles->FetchResourceType(types), Lumo::MethodFault::Exception);
}

TEST_F(HttpServiceTest, TheSessionCookieIsFoundBehindAnyNumberOfOthers) {
  Client client = Connect();
  client.sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice"));
  std::string session = client.transport->GetCookie(ZelSample::kSessionCookie);
  ASSERT_EQ(session.size(), 32u);
  std::string cookies;
  for (int i = 0; i < 1000; ++i) cookies += "c" + std::to_string(i) + "=v; ";
  const std::string fetch =
      kEnvelopeStart +
      "<ZelFetchResourceType xmlns=\"urn:zel\"><_this type=\"ZelProfileProfileManager\">"
      "ProfileManager</_this></ZelFetchResourceType>" +
      kEnvelopeEnd;
  RawAnswer answer =
      Post(Port(), "/zel", fetch, "text/xml",
           kAction + "Cookie: " + cookies + ZelSample::kSessionCookie + "=" + session + "\r\n");
  EXPECT_EQ(answer.status, 200) << answer.body;
  EXPECT_NE(answer.body.find("ZelFetchResourceTypeResponse"), std::string::npos) << answer.body;
}

// A create call spelled as a client that does not type its values sends it:
// elements under a prefix, a property's value as text with no xsi:type.
std::string UntypedCreate(const std::string& name, const std::string& property,
                          const std::string& value) {
  return kEnvelopeStart +
         "<ns1:ZelCreate xmlns:ns1=\"urn:zel\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
         "<ns1:_this type=\"ZelProfileProfileManager\">ProfileManager</ns1:_this>"
         "<ns1:createSpec><ns1:name>" +
         name +
         "</ns1:name><ns1:resourceType><ns1:resourceType>STORAGE</ns1:resourceType>"
         "</ns1:resourceType><ns1:constraints xsi:type=\"ns1:ZelCapabilitySubProfileConstraints\">"
         "<ns1:subProfiles><ns1:name>sub</ns1:name><ns1:capability><ns1:id>"
         "<ns1:namespace>sample.storage</ns1:namespace><ns1:id>" +
         property + "</ns1:id></ns1:id><ns1:constraint><ns1:propertyInstance><ns1:id>" + property +
         "</ns1:id><ns1:value>" + value +
         "</ns1:value></ns1:propertyInstance></ns1:constraint></ns1:capability>"
         "</ns1:subProfiles></ns1:constraints></ns1:createSpec></ns1:ZelCreate>" +
         kEnvelopeEnd;
}

TEST_F(HttpServiceTest, AValueWithoutItsTypeIsAString) {
  Client client = Connect();
  client.sessions->LoginByToken(ZelSample::MakeDelegatedToken("alice"));
  std::string cookie = kAction + "Cookie: " + ZelSample::kSessionCookie + "=" +
                       client.transport->GetCookie(ZelSample::kSessionCookie) + "\r\n";
  RawAnswer created =
      Post(Port(), "/zel", UntypedCreate("Untyped", "performanceTier", "gold"), "text/xml", cookie);
  EXPECT_EQ(created.status, 200) << created.body;
  EXPECT_NE(created.body.find("ZelCreateResponse"), std::string::npos) << created.body;
  // The service sees the string: an integer property refuses it as one.
  RawAnswer refused =
      Post(Port(), "/zel", UntypedCreate("Untyped2", "stripeWidth", "4"), "text/xml", cookie);
  EXPECT_EQ(refused.status, 500) << refused.body;
  EXPECT_NE(refused.body.find("not \"4\"</msg>"), std::string::npos) << refused.body;
}

struct BadRequest {
  const char* name;
  std::string path;
  std::string body;
  std::string contentType;
  std::string action;
  int status;
  // For a SOAP fault: a part of its text.
  const char* faultPart;
};

class BadRequestTest : public HttpServiceTest, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(BadRequestTest, GetsAFaultOrAnHttpErrorAndTheServerKeepsServing) {
  const BadRequest& bad = GetParam();
  std::string headers = bad.action.empty() ? "" : "SOAPAction: " + bad.action + "\r\n";
  RawAnswer answer = Post(Port(), bad.path, bad.body, bad.contentType, headers);
  EXPECT_EQ(answer.status, bad.status) << answer.body;
  if (bad.faultPart != nullptr) {
    EXPECT_EQ(answer.contentType.find("text/xml"), 0u);
    EXPECT_NE(answer.body.find("<soapenv:Fault>"), std::string::npos) << answer.body;
    EXPECT_NE(answer.body.find(bad.faultPart), std::string::npos) << answer.body;
  }
  EXPECT_TRUE(StillServes());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadRequestTest,
    ::testing::Values(
        BadRequest{"WrongPath", "/other", kEnvelopeStart + kEnvelopeEnd, "text/xml", "", 404,
                   nullptr},
        BadRequest{"WrongContentType", "/zel", kEnvelopeStart + kEnvelopeEnd, "text/plain", "", 415,
                   nullptr},
        BadRequest{"FormContentType", "/zel", "a=b", "application/x-www-form-urlencoded", "", 415,
                   nullptr},
        BadRequest{"OversizedBody", "/zel", std::string(70 * 1024, 'x'), "text/xml", "", 413,
                   nullptr},
        BadRequest{"EmptyBody", "/zel", "", "text/xml", "", 500, "malformed"},
        BadRequest{"NotXml", "/zel", "this is not XML at all", "text/xml", "", 500, "malformed"},
        BadRequest{"TruncatedXml", "/zel", kEnvelopeStart + "<ZelRetrieveServiceContent>",
                   "text/xml", "", 500, "malformed"},
        BadRequest{"EntityDeclarations", "/zel",
                   "<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
                       kEnvelopeStart + kEnvelopeEnd,
                   "text/xml", "", 500, "doctype"},
        BadRequest{"UnknownMethod", "/zel",
                   kEnvelopeStart +
                       "<ZelSelfDestruct xmlns=\"urn:zel\"><_this type=\"ZelServiceInstance\">"
                       "ServiceInstance</_this></ZelSelfDestruct>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/6.7.2\"", 500, "ZelSelfDestruct"},
        BadRequest{"UnknownObject", "/zel",
                   kEnvelopeStart +
                       "<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this "
                       "type=\"ZelServiceInstance\">Nobody</_this></ZelRetrieveServiceContent>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/6.7.2\"", 500, "Nobody"},
        BadRequest{"UnknownVersion", "/zel",
                   kEnvelopeStart +
                       "<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this "
                       "type=\"ZelServiceInstance\">ServiceInstance</_this>"
                       "</ZelRetrieveServiceContent>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/99.0\"", 500, "99.0"},
        BadRequest{"TargetInNoNamespace", "/zel",
                   kEnvelopeStart +
                       "<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this xmlns=\"\" "
                       "type=\"ZelServiceInstance\">ServiceInstance</_this>"
                       "</ZelRetrieveServiceContent>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/6.7.2\"", 500, "_this is in no namespace"},
        BadRequest{"PrivilegedWithoutSession", "/zel",
                   kEnvelopeStart +
                       "<ZelFetchResourceType xmlns=\"urn:zel\"><_this "
                       "type=\"ZelProfileProfileManager\">ProfileManager</_this>"
                       "</ZelFetchResourceType>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/6.7.2\"", 500, "Permission denied"}),
    [](const ::testing::TestParamInfo<BadRequest>& info) { return std::string(info.param.name); });

TEST_F(HttpServiceTest, OtherMethodsAndGarbageBytesDoNotStopTheServer) {
  RawConnection get(Port());
  ASSERT_TRUE(get.Send("GET /zel HTTP/1.1\r\nHost: x\r\n\r\n"));
  RawAnswer answer = get.Read();
  EXPECT_EQ(answer.status, 405);
  EXPECT_EQ(answer.header("Allow"), "POST");
  ASSERT_TRUE(get.Send("PUT /zel HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\n\r\nx"));
  EXPECT_EQ(get.Read().status, 405);

  // Bytes that are not HTTP get a 400 and a closed connection; a connection
  // closed half-way through a request is simply dropped.
  RawConnection garbage(Port());
  ASSERT_TRUE(garbage.Send(std::string("\x16\x03\x01\x02\x00garbage\r\n\r\n", 16)));
  EXPECT_EQ(garbage.Read().status, 400);
  EXPECT_TRUE(garbage.WaitForClose());
  RawConnection half(Port());
  ASSERT_TRUE(half.Send("POST /zel HTTP/1.1\r\nContent-Length: 100\r\n\r\n<soap"));
  half.Socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send);
  EXPECT_TRUE(half.WaitForClose());
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, GetRequestsGoToTheGetHandler) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.getHandler = [](const std::string& target, std::string& type, std::string& body) {
    if (target != "/zel?wsdl") return false;
    type = "text/xml";
    body = "<definitions/>";
    return true;
  };
  Restart(settings);
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send("GET /zel?wsdl HTTP/1.1\r\nHost: x\r\n\r\n"));
  RawAnswer page = connection.Read();
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "<definitions/>");
  ASSERT_TRUE(connection.Send("GET /other HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(connection.Read().status, 404);
  EXPECT_TRUE(StillServes());
}

// A page handler sees the header fields as sent (a repeated one twice, any
// case) and answers the status it chooses.
TEST_F(HttpServiceTest, GetRequestsGoToThePageHandlerWithTheirHeaders) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.getHandler = [](const std::string&, std::string&, std::string&) -> bool {
    ADD_FAILURE() << "the page handler comes first";
    return false;
  };
  settings.pageHandler = [](const ZelHttp::PageRequest& request, ZelHttp::Page& page) {
    if (request.target != "/readyz") return false;
    std::vector<std::string> hosts = request.Values("HOST");
    std::vector<std::string> tags = request.Values("x-tag");
    page.status = 503;
    page.body = hosts.empty() ? "" : hosts.front();
    for (const std::string& tag : tags) page.body += "," + tag;
    return true;
  };
  Restart(settings);
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(
      "GET /readyz HTTP/1.1\r\nHost: example.test:8443\r\nX-Tag: a\r\nx-tag: b\r\n\r\n"));
  RawAnswer page = connection.Read();
  EXPECT_EQ(page.status, 503);
  EXPECT_EQ(page.contentType, "text/plain; charset=utf-8");
  EXPECT_EQ(page.body, "example.test:8443,a,b");
  ASSERT_TRUE(connection.Send("GET /other HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(connection.Read().status, 404);
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, SeveralClientsAtOnceAllGetCorrectAnswers) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 15;
  std::atomic<int> wrong{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        Client client = Connect();
        std::string user = "user" + std::to_string(t);
        client.sessions->LoginByToken(ZelSample::MakeDelegatedToken(user));
        for (int r = 0; r < kRounds; ++r) {
          auto storage = MakeRef<Zel::Profile::ResourceType>();
          storage->SetResourceType("STORAGE");
          Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
          client.profiles->FetchResourceType(types);
          if (types->GetLength() != 1 || types->Get(0)->GetResourceType() != "STORAGE") ++wrong;
          Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
          client.profiles->QueryProfile(storage.Get(), Kestrum::Optional<std::string>(), ids);
          if (ids->GetLength() != 0) ++wrong;
          // Each client keeps its own session: the cookie is the one it got.
          if (service->GetSessions().Find(client.transport->GetCookie("zel_session"))->user !=
              user) {
            ++wrong;
          }
        }
        client.sessions->Logout();
      } catch (const std::exception& e) {
        ADD_FAILURE() << "client " << t << ": " << e.what();
        ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(service->GetSessions().Count(), 0u);
}

TEST_F(HttpServiceTest, StopIsIdempotentAndAStoppedServerAnswersNothing) {
  std::string url = server->GetUrl();
  server->Stop();
  server->Stop();
  auto transport = MakeRef<ZelHttp::HttpTransport>(url);
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  EXPECT_THROW(transport->Send(request, response), Lumo::Wire::WireFormatFault::Exception);
}

}  // namespace
}  // namespace HttpTesting
