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
#include <ZelDemo/Conversation.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace {

void Usage(std::ostream& out) {
  out << "usage: zel-demo [--url http://127.0.0.1:PORT/zel] [--wire] [--api-version VERSION]\n"
         "  --url URL            talk to a running zel-server (default: embed the service)\n"
         "  --trust FILE         for an https URL: trust the PEM certificates in FILE instead\n"
         "                       of the system's CA bundle (a test server's own certificate)\n"
         "  --version            print the version and exit\n"
         "  --wire               print the XML of every request and response\n"
         "  --api-version V      the API version to speak; one of:\n";
  for (const auto& [name, id] : ZelDemo::KnownVersions()) {
    out << "                         " << name << " (" << id << ")\n";
  }
  out << "                       default: " << ZelDemo::DefaultVersion() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  Lumo::StartRuntime();
  std::string url;
  std::string versionText;
  bool wire = false;
  ZelHttp::HttpTransportSettings transportSettings;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--wire") {
      wire = true;
    } else if (arg == "--url" && i + 1 < argc) {
      url = argv[++i];
    } else if (arg == "--api-version" && i + 1 < argc) {
      versionText = argv[++i];
    } else if (arg == "--trust" && i + 1 < argc) {
      transportSettings.trustedCertificateFile = argv[++i];
    } else if (arg == "--version") {
      std::cout << "zel-demo " << ZEL_VERSION << "\n";
      return 0;
    } else if (arg == "--help" || arg == "-h") {
      Usage(std::cout);
      return 0;
    } else {
      std::cerr << "zel-demo: unknown argument " << arg << "\n";
      Usage(std::cerr);
      return 2;
    }
  }
  std::string version = ZelDemo::DefaultVersion();
  if (!versionText.empty()) {
    version = ZelDemo::ResolveVersion(versionText);
    if (version.empty()) {
      std::cerr << "zel-demo: unknown API version " << versionText << "\n";
      Usage(std::cerr);
      return 2;
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
