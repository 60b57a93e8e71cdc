#include <Kestrum/Exception.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/ManagedMethod.h>
#include <Lumo/Type.h>
#include <Lumo/Validate.h>
#include <Lumo/Wire/Dispatcher.h>

#include "CallRefusal.h"
#include "Versions.h"

namespace Lumo {
namespace Wire {

// ---- Dispatcher --------------------------------------------------------------------------

namespace {

// The last resort when not even a fault could be written.
constexpr const char* kBareFault =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<soapenv:Body><soapenv:Fault><faultcode>soapenv:Server</faultcode>"
    "<faultstring>the fault could not be written</faultstring></soapenv:Fault>"
    "</soapenv:Body></soapenv:Envelope>";
// The type a client reads the last resort as.
constexpr const char* kBareFaultType = "MethodFault";

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
                            const ManagedMethod* method, TransportResponse& response,
                            CallInfo& call) {
  response.status = 500;
  try {
    call.fault = codec.GetFaultTypeName(fault);
    codec.EncodeFault(fault, response.body, code, method);
    return;
  } catch (const MethodFault::Exception& e) {
    // The fault itself could not be written: say why instead.
    try {
      call.fault = codec.GetFaultTypeName(e.GetFault());
      codec.EncodeFault(e.GetFault(), response.body, FaultCode::kServer, method);
      return;
    } catch (...) {
    }
  } catch (...) {
  }
  call.fault = kBareFaultType;
  response.body = kBareFault;
}

void Dispatcher::Handle(const TransportRequest& request, TransportResponse& response) {
  CallInfo call;
  Serve(request, nullptr, response, call);
}

void Dispatcher::Handle(const TransportRequest& request, TransportResponse& response,
                        CallInfo& call) {
  Serve(request, nullptr, response, call);
}

void Dispatcher::HandleInPlace(TransportRequest& request, TransportResponse& response,
                               CallInfo& call) {
  Serve(request, &request.body, response, call);
}

void Dispatcher::Serve(const TransportRequest& request, std::string* body,
                       TransportResponse& response, CallInfo& info) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point mark = Clock::now();
  response.status = 0;
  response.body.clear();
  info.request = &request;
  info.requestBytes = request.body.size();
  const Codec* codec = _anyVersion.get();
  // The method the fault answers: known once the call has been read.
  const ManagedMethod* method = nullptr;
  DecodedRequest call;
  // Until the call is read and its target found, a failure is the caller's.
  enum class Stage { kReading, kInvoking, kAnswering } stage = Stage::kReading;
  // Ends the current stage: its time goes to the call record.
  auto endStage = [&] {
    Clock::time_point now = Clock::now();
    std::chrono::nanoseconds& time = stage == Stage::kReading    ? info.decodeTime
                                     : stage == Stage::kInvoking ? info.invokeTime
                                                                 : info.encodeTime;
    time = now - mark;
    mark = now;
  };
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
  Kestrum::Ref<MethodFault> fault;
  FaultCode code = FaultCode::kServer;
  try {
    codec = &CodecFor(request.action);
    info.version = &codec->GetVersion();
    if (body) {
      codec->DecodeRequestInPlace(*body, call);
    } else {
      codec->DecodeRequest(request.body, call);
    }
    method = call.method;
    info.context = &call.context;
    endStage();
    Kestrum::Ref<Any> result;
    // A refusal of the registry (unknown object, wrong type) is an invalid
    // argument: the caller's fault, as are the arguments the service refuses.
    stage = Stage::kInvoking;
    if (!_registry) Detail::RefuseCall(Refusal::kNoObject, call.target.Get(), *method, nullptr);
    _registry->Invoke(info, call.target.Get(), *method, call.args, result, Detail::RefuseCall);
    endStage();
    stage = Stage::kAnswering;
    codec->EncodeResult(method, result.Get(), response.body);
    response.status = 200;
  } catch (const MethodFault::Exception& e) {
    fault = e.GetFault();
    code = codeFor(fault.Get());
  } catch (const Kestrum::TypeMismatchException& e) {
    // An argument of a class its parameter does not take.
    fault = FaultWithMessage(new Fault::InvalidArgument(), e.what());
    code = stage == Stage::kAnswering ? FaultCode::kServer : FaultCode::kClient;
  } catch (const std::exception& e) {
    fault = FaultWithMessage(new MethodFault(), e.what());
  } catch (...) {
    fault = FaultWithMessage(new MethodFault(), "unknown failure");
  }
  if (fault) {
    if (stage != Stage::kAnswering) {
      endStage();
      stage = Stage::kAnswering;
    }
    WriteFault(*codec, fault.Get(), code, method, response, info);
  }
  endStage();
  info.request = nullptr;
  info.context = nullptr;
  info.method = call.method;
  info.target = std::move(call.target);
  info.responseBytes = response.body.size();
}

}  // namespace Wire
}  // namespace Lumo
