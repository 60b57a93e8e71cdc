// libFuzzer entry of the whole service on the wire: the input is the body of
// one SOAP request (after a first byte of options), answered by one service
// kept for the process, so that thousands of inputs run each second and a
// call can find what earlier ones stored. The service is made afresh every
// kInputsPerService inputs, and its quotas are small, so that the state stays
// small. Every answer must be one a client reads: a result of the method the
// call named, or a fault; nothing may throw out of the endpoint.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Lumo/Wire/Wire.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr size_t kInputsPerService = 4096;
constexpr size_t kMessageBytes = 256 * 1024;

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "finding: %s\n", what.c_str());
  std::abort();
}

ZelSample::ServiceSettings Settings() {
  ZelSample::ServiceSettings settings;
  settings.quotas.profilesPerSession = 64;
  settings.quotas.associationsPerSession = 256;
  settings.quotas.resultsPerSession = 256;
  settings.quotas.bytesPerSession = 1 << 20;
  settings.quotas.maxProfiles = 256;
  settings.quotas.maxAssociations = 1024;
  settings.quotas.maxResults = 1024;
  settings.quotas.maxBytes = 4 << 20;
  settings.quotas.maxEntitiesPerCall = 256;
  settings.quotas.answerLimits.maxMessageBytes = kMessageBytes;
  return settings;
}

class Harness {
 public:
  Harness() {
    Lumo::StartRuntime();
    Lumo::Wire::Options options;
    options.limits.maxMessageBytes = kMessageBytes;
    _client = std::make_unique<Lumo::Wire::Codec>(options);
    _anyMethod = static_cast<Lumo::ManagedObjectType*>(Lumo::FindTypeByName("zel.ServiceInstance"))
                     ->FindMethod("retrieveContent");
    Renew();
  }

  void Run(uint8_t flags, std::string body) {
    if (++_inputs % kInputsPerService == 0) Renew();
    Lumo::Wire::TransportRequest request;
    // Bit 0: the call carries the session; bit 1: it names no API version.
    if ((flags & 2) == 0) request.action = _client->GetAction(_anyMethod);
    request.body = std::move(body);
    if (flags & 1) request.headers.emplace_back("Cookie", _cookie);
    Lumo::Wire::TransportResponse response;
    Lumo::Wire::CallInfo call;
    _endpoint->HandleInPlace(request, response, call);
    Check(call, response);
    // A call that ended or replaced the session: log in again.
    if (call.method && (std::string_view(call.method->GetName()) == "logout" ||
                        std::string_view(call.method->GetName()) == "loginByToken")) {
      Login();
    }
  }

 private:
  void Renew() {
    _endpoint = Kestrum::Ref<ZelSample::WireEndpoint>();
    _service.reset();
    _service = std::make_unique<ZelSample::SampleService>(Settings());
    Lumo::Wire::DispatcherSettings dispatcher;
    dispatcher.limits.maxMessageBytes = kMessageBytes;
    _endpoint = Kestrum::MakeRef<ZelSample::WireEndpoint>(*_service, dispatcher);
    Login();
  }

  void Login() {
    auto transport = Kestrum::MakeRef<ZelSample::InProcessTransport>(_endpoint.Get());
    auto adapter = Kestrum::MakeRef<Lumo::Wire::WireStubAdapter>(transport.Get());
    auto target = Kestrum::MakeRef<Lumo::MoRef>("zel.auth.SessionManager", "SessionManager");
    Zel::Auth::SessionManagerStub sessions(target.Get(), adapter.Get(), nullptr);
    sessions.LoginByToken(ZelSample::MakeDelegatedToken("fuzz@sample.test"));
    _cookie = std::string(ZelSample::kSessionCookie) + "=" + transport->GetSession();
  }

  // The answer reads as the call's result or as a fault, as a client's
  // codec reads it.
  void Check(const Lumo::Wire::CallInfo& call, const Lumo::Wire::TransportResponse& response) {
    if (response.status != 200 && response.status != 500) {
      Finding("status " + std::to_string(response.status));
    }
    if (response.status == 200 && (call.method == nullptr || !call.fault.empty())) {
      Finding("a result without a method, or with a fault");
    }
    if (response.status == 500 && call.fault.empty()) Finding("a fault answer with no fault named");
    const Lumo::ManagedMethod* method = call.method ? call.method : _anyMethod;
    try {
      _client->DecodeResponse(method, response.body);
      if (response.status != 200) Finding("a fault answer read as a result");
    } catch (const Lumo::MethodFault::Exception&) {
      if (response.status == 200) Finding("a result answer that does not read:\n" + response.body);
    }
  }

  std::unique_ptr<Lumo::Wire::Codec> _client;
  // What a fault answer to a request that named no method is read as.
  const Lumo::ManagedMethod* _anyMethod = nullptr;
  std::unique_ptr<ZelSample::SampleService> _service;
  Kestrum::Ref<ZelSample::WireEndpoint> _endpoint;
  std::string _cookie;
  size_t _inputs = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* harness = new Harness();  // one for the process; never torn down
  if (size == 0) return 0;
  harness->Run(data[0], std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}
