#include <Kestrum/Exception.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/Dispatcher.h>

#include "Versions.h"

namespace Lumo {
namespace Wire {

// ---- Dispatcher --------------------------------------------------------------------------

namespace {

// A request naming an object the registry cannot call: the caller's fault,
// on the request's _this.
[[noreturn]] void RefuseRequest(Refusal why, const MoRef* target, const ManagedMethod& method,
                                const ManagedObject*) {
  if (why == Refusal::kWrongType) {
    ThrowWireFault(Reason::kWrongType, "_this",
                   "the object does not implement " + std::string(method.GetOwner()->GetName()));
  }
  ThrowWireFault(
      Reason::kUnknownObject, "_this",
      target ? "no " + target->GetTypeName() + " '" + target->GetId() + "'" : "no object named");
}

// The last resort when not even a fault could be written.
constexpr const char* kBareFault =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Body><soapenv:Fault><faultcode>soapenv:Server</faultcode>"
    "<faultstring>the fault could not be written</faultstring></soapenv:Fault>"
    "</soapenv:Body></soapenv:Envelope>";

Kestrum::Ref<MethodFault> FaultWithMessage(MethodFault* fault, const std::string& message) {
  Kestrum::Ref<MethodFault> held(fault);
  std::string text = message;
  for (size_t bad; (bad = FindInvalidXmlText(text)) != std::string::npos;) text[bad] = '?';
  held->SetMsg(text);
  return held;
}

}  // namespace

Dispatcher::Dispatcher(ObjectRegistry* registry, const Settings& settings)
    : _registry(registry), _settings(settings) {
  Options options;
  options.lenient = settings.lenient;
  options.limits = settings.limits;
  _anyVersion = std::make_unique<Codec>(options);
}

Dispatcher::~Dispatcher() = default;

const CallInfo* Dispatcher::CurrentCall() {
  return dynamic_cast<const CallInfo*>(Lumo::CurrentCall());
}

const Codec& Dispatcher::CodecFor(const std::string& action) {
  constexpr std::string_view kPrefix = "urn:";
  if (action.empty()) return *_anyVersion;
  if (action.compare(0, kPrefix.size(), kPrefix) != 0) {
    ThrowWireFault(Reason::kVersion, "", "unknown action '" + action + "'");
  }
  size_t slash = action.find('/', kPrefix.size());
  if (slash == std::string::npos) return *_anyVersion;
  {
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _codecs.find(action);
    if (it != _codecs.end()) return *it->second;
  }
  std::string ns = action.substr(kPrefix.size(), slash - kPrefix.size());
  const OlyxVersion* version = Detail::FindVersionById(ns, action.substr(slash + 1));
  if (!version) ThrowWireFault(Reason::kVersion, "", "unknown API version in '" + action + "'");
  Options options;
  options.version = version->name;
  options.lenient = _settings.lenient;
  options.limits = _settings.limits;
  auto codec = std::make_unique<Codec>(options);
  std::lock_guard<std::mutex> lock(_mutex);
  auto [it, inserted] = _codecs.emplace(action, std::move(codec));
  return *it->second;
}

void Dispatcher::WriteFault(const Codec& codec, const MethodFault* fault, FaultCode code,
                            const ManagedMethod* method, TransportResponse& response) {
  response.status = 500;
  try {
    codec.EncodeFault(fault, response.body, code, method);
    return;
  } catch (const MethodFault::Exception& e) {
    // The fault itself could not be written: say why instead.
    try {
      codec.EncodeFault(e.GetFault(), response.body, FaultCode::kServer, method);
      return;
    } catch (...) {
    }
  } catch (...) {
  }
  response.body = kBareFault;
}

void Dispatcher::Handle(const TransportRequest& request, TransportResponse& response) {
  CallInfo call;
  Handle(request, response, call);
}

void Dispatcher::Handle(const TransportRequest& request, TransportResponse& response,
                        CallInfo& info) {
  response.status = 0;
  response.body.clear();
  const Codec* codec = _anyVersion.get();
  const ManagedMethod* method = nullptr;
  // Until the call is read and its target found, a failure is the caller's.
  enum class Stage { kReading, kInvoking, kAnswering } stage = Stage::kReading;
  auto codeFor = [&](const MethodFault* fault) {
    switch (stage) {
      case Stage::kReading:
        if (auto* wire = dynamic_cast<const WireFormatFault*>(fault)) {
          const std::string* reason = wire->PeekReason();
          if (reason && *reason == ToWireString(Reason::kVersionMismatch)) {
            return FaultCode::kVersionMismatch;
          }
          if (reason && *reason == ToWireString(Reason::kMustUnderstand)) {
            return FaultCode::kMustUnderstand;
          }
        }
        return FaultCode::kClient;
      case Stage::kInvoking:
        // Arguments the service refuses are the caller's fault too.
        return dynamic_cast<const Fault::InvalidArgument*>(fault) ? FaultCode::kClient
                                                                  : FaultCode::kServer;
      case Stage::kAnswering:
        break;
    }
    return FaultCode::kServer;
  };
  try {
    codec = &CodecFor(request.action);
    DecodedRequest call = codec->DecodeRequest(request.body);
    method = call.method;
    info.request = &request;
    info.version = &codec->GetVersion();
    info.context = &call.context;
    Kestrum::Ref<Any> result;
    // A refusal of the registry (unknown object, wrong type) is an invalid
    // argument: the caller's fault, as are the arguments the service refuses.
    stage = Stage::kInvoking;
    if (!_registry) RefuseRequest(Refusal::kNoObject, call.target.Get(), *method, nullptr);
    _registry->Invoke(info, call.target.Get(), *method, call.args, result, RefuseRequest);
    stage = Stage::kAnswering;
    codec->EncodeResult(method, result.Get(), response.body);
    response.status = 200;
  } catch (const MethodFault::Exception& e) {
    WriteFault(*codec, e.GetFault(), codeFor(e.GetFault()), method, response);
  } catch (const Kestrum::TypeMismatchException& e) {
    // An argument of a class its parameter does not take.
    Kestrum::Ref<MethodFault> fault = FaultWithMessage(new Fault::InvalidArgument(), e.what());
    WriteFault(*codec, fault.Get(),
               stage == Stage::kAnswering ? FaultCode::kServer : FaultCode::kClient, method,
               response);
  } catch (const std::exception& e) {
    WriteFault(*codec, FaultWithMessage(new MethodFault(), e.what()).Get(), FaultCode::kServer,
               method, response);
  } catch (...) {
    WriteFault(*codec, FaultWithMessage(new MethodFault(), "unknown failure").Get(),
               FaultCode::kServer, method, response);
  }
}

}  // namespace Wire
}  // namespace Lumo
