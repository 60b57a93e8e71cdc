// zel-demo: a client conversation with the sample storage-policy service
// through the zel library's stubs, over HTTP.
//
//   zel-demo                     embeds the service, serves it on an ephemeral
//                                loopback port and talks to it over HTTP
//   zel-demo --url URL           talks to a running zel-server instead
//   zel-demo --wire              also prints the XML of every message
//   zel-demo --api-version V     speaks version V (version2, zel.version.version2, 2.0)
//   zel-demo --trust FILE        trusts the certificates in FILE for an https:// URL
//
// Exits 0 when every answer was the expected one, 1 when one was not, 2 when
// the conversation could not be held.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <ZelCommandLine/Program.h>
#include <ZelDemo/Conversation.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>

#include <iostream>
#include <memory>
#include <string>

namespace {

// The versions the conversation can speak, for the help.
std::string VersionList() {
  std::string text = "the API version to speak; one of:";
  for (const auto& [name, id] : ZelDemo::KnownVersions()) text += " " + name + " (" + id + ")";
  return text + "; default: " + ZelDemo::DefaultVersion();
}

}  // namespace

int main(int argc, char** argv) {
  Lumo::StartRuntime();
  std::string url;
  std::string versionText;
  bool wire = false;
  ZelHttp::HttpTransportSettings transportSettings;
  ZelCommandLine::Program program(
      "zel-demo", ZEL_VERSION,
      "A client conversation with the sample storage-policy service through the zel\n"
      "library's stubs, over HTTP: the service embedded and served on an ephemeral\n"
      "loopback port, or a running zel-server.");
  CLI::App& app = program.App();
  app.add_option("--url", url, "talk to a running zel-server (default: embed the service)")
      ->type_name("URL");
  app.add_option("--trust", transportSettings.trustedCertificateFile,
                 "for an https URL: trust the PEM certificates in FILE instead of the system's "
                 "CA bundle (a test server's own certificate)")
      ->type_name("FILE");
  app.add_flag("--wire", wire, "print the XML of every request and response");
  app.add_option("--api-version", versionText, VersionList())->type_name("V");
  program.AddManSection("exit status",
                        "0 every answer was the expected one, 1 one was not, 2 bad usage or the "
                        "conversation could not be held.");
  if (int status = program.Parse(argc, argv); status >= 0) return status;
  std::string version = ZelDemo::DefaultVersion();
  if (!versionText.empty()) {
    version = ZelDemo::ResolveVersion(versionText);
    if (version.empty()) {
      return program.UsageError("unknown API version " + versionText);
    }
  }
  std::string unsuitable = ZelDemo::CheckVersion(version);
  if (!unsuitable.empty()) {
    std::cerr << "zel-demo: " << unsuitable << "\n";
    return 2;
  }

  // The embedded service, when no URL is given.
  std::unique_ptr<ZelSample::SampleService> service;
  Kestrum::Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
  try {
    if (url.empty()) {
      service = std::make_unique<ZelSample::SampleService>();
      endpoint = new ZelSample::WireEndpoint(*service);
      server = std::make_unique<ZelHttp::HttpServer>(
          [endpoint](const Lumo::Wire::TransportRequest& request,
                     Lumo::Wire::TransportResponse& response) {
            endpoint->Handle(request, response);
          });
      server->Start();
      url = server->GetUrl();
      std::cout << "zel-demo: the sample service runs in this process, served over HTTP at " << url
                << "\n";
    } else {
      std::cout << "zel-demo: talking to the service at " << url << "\n";
    }
    Kestrum::Ref<Lumo::Wire::Transport> transport(
        new ZelHttp::HttpTransport(url, transportSettings));
    if (wire) transport = new ZelDemo::TracingTransport(transport.Get(), std::cout);
    Lumo::Wire::Options options;
    options.version = version;
    Kestrum::Ref<Lumo::Wire::WireStubAdapter> adapter(
        new Lumo::Wire::WireStubAdapter(transport.Get(), options));
    std::cout << "zel-demo: signing tokens with the DEMO issuer key "
              << ZelSample::DemoIssuerPublicKey().GetFingerprint() << "\n";
    std::cout << "zel-demo: speaking " << version << " (SOAPAction \""
              << adapter->GetCodec().GetAction(nullptr) << "\")\n";

    ZelDemo::ConversationOptions conversation;
    conversation.version = version;
    ZelDemo::ConversationResult result = ZelDemo::RunConversation(
        adapter.Get(), ZelDemo::ServiceInstanceRef().Get(), conversation, std::cout);
    if (server) server->Stop();
    return result.Succeeded() ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "zel-demo: " << e.what() << "\n";
    return 2;
  }
}
