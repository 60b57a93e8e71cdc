// The sample service behind an HttpServer on an ephemeral loopback port, and
// clients that talk to it through HttpTransport and the generated stubs.
#pragma once

#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace HttpTesting {

using Kestrum::MakeRef;
using Kestrum::Ref;

inline const std::string kEnvelopeStart =
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Body>";
inline const std::string kEnvelopeEnd = "</soapenv:Body></soapenv:Envelope>";
// A small call any client may make: the service's content.
inline const std::string kRetrieveContent =
    kEnvelopeStart +
    "<ZelRetrieveServiceContent xmlns=\"urn:zel\"><_this type=\"ZelServiceInstance\">"
    "ServiceInstance</_this></ZelRetrieveServiceContent>" +
    kEnvelopeEnd;
inline const std::string kAction = "SOAPAction: \"urn:zel/6.7.2\"\r\n";

struct Client {
  Ref<ZelHttp::HttpTransport> transport;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::ServiceInstanceStub> instance;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
};

// Opens a client on url: the stubs of the service's managers, fetched
// through the service content.
Client ConnectClient(const std::string& url, ZelSample::SampleService& service,
                     const ZelHttp::HttpTransportSettings& settings = {});

// A whole short conversation: content, login, a privileged call, logout.
// False (with the reason added as a test failure) when any step fails.
bool HoldConversation(const std::string& url, ZelSample::SampleService& service,
                      const ZelHttp::HttpTransportSettings& settings = {});

class HttpServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override;
  void TearDown() override;

  // Settings of the server every test starts with.
  static ZelHttp::HttpServerSettings TestSettings();
  // Restarts the server with other settings.
  void Restart(const ZelHttp::HttpServerSettings& settings);

  Client Connect() { return ConnectClient(server->GetUrl(), *service); }
  bool StillServes() { return HoldConversation(server->GetUrl(), *service); }
  int Port() const { return server->GetPort(); }

  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
};

}  // namespace HttpTesting
