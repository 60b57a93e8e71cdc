// HTTP on the loopback interface: the client transport, the server, and the
// sample service behind them.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using Kestrum::Ref;

// ---- URLs and hosts --------------------------------------------------------------------------

TEST(UrlTest, SplitsHttpUrls) {
  std::string host, path;
  int port = 0;
  ASSERT_TRUE(ZelHttp::SplitUrl("http://127.0.0.1:8080/zel", host, port, path));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 8080);
  EXPECT_EQ(path, "/zel");
  ASSERT_TRUE(ZelHttp::SplitUrl("http://localhost", host, port, path));
  EXPECT_EQ(port, 80);
  EXPECT_EQ(path, "/");
  ASSERT_TRUE(ZelHttp::SplitUrl("http://[::1]:9/x/y", host, port, path));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(path, "/x/y");
  for (const char* bad :
       {"https://127.0.0.1/zel", "127.0.0.1:80/zel", "http://:80/", "http://127.0.0.1:0/",
        "http://127.0.0.1:99999/", "http://h:8a/", "http://[::1/", ""}) {
    EXPECT_FALSE(ZelHttp::SplitUrl(bad, host, port, path)) << bad;
  }
}

TEST(UrlTest, OnlyLoopbackHostsAreTalkedToOrListenedOn) {
  EXPECT_THROW(new ZelHttp::HttpTransport("http://192.0.2.1:80/zel"), std::invalid_argument);
  EXPECT_THROW(new ZelHttp::HttpTransport("ftp://127.0.0.1/zel"), std::invalid_argument);
  Ref<ZelHttp::HttpTransport> fine(new ZelHttp::HttpTransport("http://localhost:1/zel"));
  ZelHttp::HttpServerSettings settings;
  settings.host = "0.0.0.0";
  ZelHttp::HttpServer server([](auto&, auto&) {}, settings);
  EXPECT_THROW(server.Start(), std::invalid_argument);
}

TEST(TransportTest, NoServerIsATransportFault) {
  // Find a port nobody listens on: bind one, then close it.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  close(probe);

  Ref<ZelHttp::HttpTransport> transport(
      new ZelHttp::HttpTransport("http://127.0.0.1:" + std::to_string(port) + "/zel"));
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  try {
    transport->Send(request, response);
    FAIL() << "a request without a server succeeded";
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_EQ(*e.GetFault()->PeekReason(), "transport");
  }
}

// ---- the sample service over HTTP ------------------------------------------------------------

class HttpServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  void SetUp() override {
    service = std::make_unique<ZelSample::SampleService>();
    endpoint = new ZelSample::WireEndpoint(*service);
    ZelHttp::HttpServerSettings settings;
    settings.maxBodyBytes = 64 * 1024;
    server = std::make_unique<ZelHttp::HttpServer>(
        [endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                              Lumo::Wire::TransportResponse& response) {
          endpoint->Handle(request, response);
        },
        settings);
    server->Start();
  }
  void TearDown() override {
    server.reset();
    endpoint.Reset();
    service.reset();
  }

  struct Client {
    Ref<ZelHttp::HttpTransport> transport;
    Ref<Lumo::Wire::WireStubAdapter> adapter;
    Ref<Zel::ServiceInstanceStub> instance;
    Ref<Zel::Auth::SessionManagerStub> sessions;
    Ref<Zel::Profile::ProfileManagerStub> profiles;
  };

  Client Connect() {
    Client client;
    client.transport = new ZelHttp::HttpTransport(server->GetUrl());
    Lumo::Wire::Options options;
    options.version = "zel.version.version14";
    client.adapter = new Lumo::Wire::WireStubAdapter(client.transport.Get(), options);
    client.instance = new Zel::ServiceInstanceStub(service->GetServiceInstanceRef().Get(),
                                                   client.adapter.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    client.instance->RetrieveContent(content);
    client.sessions = new Zel::Auth::SessionManagerStub(content->GetSessionManager(),
                                                        client.adapter.Get(), nullptr);
    client.profiles = new Zel::Profile::ProfileManagerStub(content->GetProfileManager(),
                                                           client.adapter.Get(), nullptr);
    return client;
  }

  // Whether a fresh client is still served.
  bool StillServes() {
    try {
      Client client = Connect();
      return client.instance != nullptr;
    } catch (const std::exception&) {
      return false;
    }
  }

  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
};

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

// A raw HTTP exchange, for requests a stub would never send.
struct Raw {
  int status;
  std::string contentType;
  std::string body;
};

Raw Post(const std::string& url, const std::string& path, const std::string& body,
         const std::string& contentType, const httplib::Headers& headers = {}) {
  std::string host, ignored;
  int port = 0;
  ZelHttp::SplitUrl(url, host, port, ignored);
  httplib::Client client(host, port);
  client.set_connection_timeout(std::chrono::seconds(2));
  client.set_read_timeout(std::chrono::seconds(5));
  auto result = client.Post(path, headers, body, contentType);
  if (!result) return Raw{-1, "", httplib::to_string(result.error())};
  return Raw{result->status, result->get_header_value("Content-Type"), result->body};
}

const std::string kEnvelopeStart =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Body>";
const std::string kEnvelopeEnd = "</soapenv:Body></soapenv:Envelope>";

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
  httplib::Headers headers;
  if (!bad.action.empty()) headers.emplace("SOAPAction", bad.action);
  Raw answer = Post(server->GetUrl(), bad.path, bad.body, bad.contentType, headers);
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
        BadRequest{"PrivilegedWithoutSession", "/zel",
                   kEnvelopeStart +
                       "<ZelFetchResourceType xmlns=\"urn:zel\"><_this "
                       "type=\"ZelProfileProfileManager\">ProfileManager</_this>"
                       "</ZelFetchResourceType>" +
                       kEnvelopeEnd,
                   "text/xml", "\"urn:zel/6.7.2\"", 500, "Permission denied"}),
    [](const ::testing::TestParamInfo<BadRequest>& info) { return std::string(info.param.name); });

TEST_F(HttpServiceTest, OtherMethodsAndGarbageBytesDoNotStopTheServer) {
  std::string host, path;
  int port = 0;
  ZelHttp::SplitUrl(server->GetUrl(), host, port, path);
  httplib::Client client(host, port);
  client.set_connection_timeout(std::chrono::seconds(2));
  client.set_read_timeout(std::chrono::seconds(5));
  auto get = client.Get("/zel");
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 405);
  EXPECT_EQ(get->get_header_value("Allow"), "POST");
  auto put = client.Put("/zel", "x", "text/xml");
  ASSERT_TRUE(put);
  EXPECT_GE(put->status, 400);

  // Bytes that are not HTTP, then a connection closed half-way through a
  // request.
  for (const std::string& bytes :
       {std::string("\x16\x03\x01\x02\x00garbage\r\n\r\n", 16),
        std::string("POST /zel HTTP/1.1\r\nContent-Length: 100\r\n\r\n<soap")}) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    shutdown(fd, SHUT_WR);
    char buffer[256];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    close(fd);
  }
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
          Ref<Zel::Profile::ResourceType> storage(new Zel::Profile::ResourceType);
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
  Ref<ZelHttp::HttpTransport> transport(new ZelHttp::HttpTransport(url));
  Lumo::Wire::TransportRequest request;
  Lumo::Wire::TransportResponse response;
  EXPECT_THROW(transport->Send(request, response), Lumo::Wire::WireFormatFault::Exception);
}

}  // namespace
