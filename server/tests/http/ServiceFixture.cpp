#include "ServiceFixture.h"

#include <Olyx/Zel/Profile/ProfileId.h>

namespace HttpTesting {

Client ConnectClient(const std::string& url, ZelSample::SampleService& service,
                     const ZelHttp::HttpTransportSettings& settings) {
  Client client;
  client.transport = new ZelHttp::HttpTransport(url, settings);
  Lumo::Wire::Options options;
  options.version = "zel.version.version14";
  client.adapter = new Lumo::Wire::WireStubAdapter(client.transport.Get(), options);
  client.instance = new Zel::ServiceInstanceStub(service.GetServiceInstanceRef().Get(),
                                                 client.adapter.Get(), nullptr);
  Ref<Zel::ServiceInstanceContent> content;
  client.instance->RetrieveContent(content);
  client.sessions = new Zel::Auth::SessionManagerStub(content->GetSessionManager(),
                                                      client.adapter.Get(), nullptr);
  client.profiles = new Zel::Profile::ProfileManagerStub(content->GetProfileManager(),
                                                         client.adapter.Get(), nullptr);
  return client;
}

bool HoldConversation(const std::string& url, ZelSample::SampleService& service,
                      const ZelHttp::HttpTransportSettings& settings) {
  try {
    Client client = ConnectClient(url, service, settings);
    client.sessions->LoginByToken(ZelSample::MakeDelegatedToken("carol"));
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
    client.profiles->FetchResourceType(types);
    client.sessions->Logout();
    if (types->GetLength() != 1) {
      ADD_FAILURE() << "expected one resource type, got " << types->GetLength();
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "the conversation failed: " << e.what();
    return false;
  }
}

ZelHttp::HttpServerSettings HttpServiceTest::TestSettings() {
  ZelHttp::HttpServerSettings settings;
  settings.maxBodyBytes = 64 * 1024;
  return settings;
}

void HttpServiceTest::SetUp() {
  service = std::make_unique<ZelSample::SampleService>();
  endpoint = new ZelSample::WireEndpoint(*service);
  Restart(TestSettings());
}

void HttpServiceTest::Restart(const ZelHttp::HttpServerSettings& settings) {
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                            Lumo::Wire::TransportResponse& response) {
        endpoint->Handle(request, response);
      },
      settings);
  server->Start();
}

void HttpServiceTest::TearDown() {
  server.reset();
  endpoint.Reset();
  service.reset();
}

}  // namespace HttpTesting
