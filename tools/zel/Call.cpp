#include "Call.h"

#include <Kestrum/File.h>
#include <Lumo/Json/Json.h>
#include <Lumo/Wire/Wire.h>
#include <ZelHttp/HttpTransport.h>

#include <memory>
#include <stdexcept>

#include "Arguments.h"
#include "Records.h"
#include "Render.h"

namespace ZelCli {

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

constexpr size_t kMaxTokenFileBytes = 64 * 1024;

// Shows every message that passes.
class TracingTransport : public Lumo::Wire::Transport {
 public:
  TracingTransport(Lumo::Wire::Transport* inner, std::ostream& out) : _inner(inner), _out(out) {}
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override {
    _out << "--> request (SOAPAction \"" << request.action << "\")\n" << request.body << "\n";
    _inner->Send(request, response);
    _out << "<-- response (status " << response.status << ")\n" << response.body << "\n";
  }

 protected:
  ~TracingTransport() override = default;

 private:
  Ref<Lumo::Wire::Transport> _inner;
  std::ostream& _out;
};

std::string ReadTokenFile(const std::string& path) {
  try {
    return Kestrum::ReadFileBounded(path, kMaxTokenFileBytes);
  } catch (const Kestrum::FileReadException& e) {
    bool tooLarge = e.GetReason() == Kestrum::FileReadException::Reason::kTooLarge;
    throw std::invalid_argument(tooLarge ? path + " is too large"
                                         : "cannot read the token file " + path);
  }
}

// A call through the adapter on the object (type, id).
Ref<Lumo::Any> Invoke(Lumo::Wire::WireStubAdapter* adapter, Lumo::ManagedObjectType* type,
                      const std::string& id, Lumo::ManagedMethod* method,
                      std::vector<Ref<Lumo::Any>>& args) {
  auto ref = MakeRef<Lumo::MoRef>(type->GetName(), id);
  Ref<Lumo::Stub> stub(type->CreateStub(ref.Get(), adapter, nullptr));
  if (!stub) throw std::runtime_error(std::string(type->GetName()) + " has no client stub");
  Ref<Lumo::Any> result;
  adapter->Invoke(stub.Get(), method, args, result);
  return result;
}

Lumo::ManagedMethod* RequireMethod(Lumo::ManagedObjectType* type, const char* name) {
  Lumo::ManagedMethod* method = type->FindMethod(name);
  if (method == nullptr) {
    throw std::runtime_error(std::string(type->GetName()) + " has no method " + name);
  }
  return method;
}

// Logs in: the service content names the session manager.
void Login(Lumo::Wire::WireStubAdapter* adapter, const CallOptions& options) {
  std::string token = ReadTokenFile(options.tokenFile);
  std::string error;
  Lumo::ManagedObjectType* root = FindManagedType("zel.ServiceInstance", error);
  if (root == nullptr) throw std::runtime_error(error);
  std::vector<Ref<Lumo::Any>> none;
  Ref<Lumo::Any> content =
      Invoke(adapter, root, options.serviceInstance, RequireMethod(root, "retrieveContent"), none);
  auto* data = content ? dynamic_cast<Lumo::DynamicData*>(content.Get()) : nullptr;
  const Lumo::DataObjectType* contentType = data ? data->_GetDataType() : nullptr;
  int index = contentType ? contentType->FindProperty("sessionManager") : -1;
  if (index < 0) throw std::runtime_error("the service content names no session manager");
  Ref<Lumo::Any> managerRef;
  contentType->GetInfo()->getProperty(data, index, &managerRef);
  auto* ref = dynamic_cast<Lumo::MoRef*>(managerRef.Get());
  if (ref == nullptr) throw std::runtime_error("the service content names no session manager");
  Lumo::ManagedObjectType* sessions = FindManagedType(ref->GetTypeName(), error);
  if (sessions == nullptr) throw std::runtime_error(error);
  std::vector<Ref<Lumo::Any>> args{Ref<Lumo::Any>(new Lumo::Primitive<std::string>(token))};
  Invoke(adapter, sessions, ref->GetId(), RequireMethod(sessions, "loginByToken"), args);
}

void Show(const Lumo::Wire::Codec& codec, const Lumo::Any* value, bool xml, std::ostream& out) {
  std::string text;
  codec.EncodeValue(value, text);
  if (xml) {
    RenderValueXml(text, out);
  } else {
    RenderValueText(text, out);
  }
}

}  // namespace

int RunCall(const CallOptions& options, std::ostream& out, std::ostream& err) {
  // What to call: checked against the records before anything is sent.
  std::string id = options.object;
  std::string typeName;
  size_t colon = id.rfind(':');
  if (colon != std::string::npos) {
    typeName = id.substr(0, colon);
    id = id.substr(colon + 1);
  } else {
    typeName = id;
  }
  std::string error;
  Lumo::ManagedObjectType* type = FindManagedType(typeName, error);
  if (type == nullptr) {
    err << "zel call: " << error << (colon == std::string::npos ? " (give OBJECT as TYPE:ID)" : "")
        << "\n";
    return kCallUsage;
  }
  Lumo::ManagedMethod* method = type->FindMethod(options.method);
  if (method == nullptr) {
    err << "zel call: " << type->GetName() << " has no method or property " << options.method
        << " (see: zel describe " << type->GetName() << ")\n";
    return kCallUsage;
  }
  Lumo::Wire::Options wireOptions;
  wireOptions.version = options.version;
  Lumo::Wire::Codec codec(wireOptions);
  std::vector<Ref<Lumo::Any>> args;
  Lumo::Json::Options jsonOptions;
  jsonOptions.version = options.version;
  std::unique_ptr<Lumo::Json::Codec> json;
  try {
    json = std::make_unique<Lumo::Json::Codec>(jsonOptions);
    if (options.hasJsonArguments) {
      args = json->DecodeArguments(method, options.jsonArguments);
    } else {
      std::string action = codec.GetAction(method);
      std::string request =
          BuildRequest(*method, *type, id, options.assignments, action.substr(0, action.find('/')));
      args = codec.DecodeRequest(request).args;
    }
  } catch (const Lumo::Json::Error& e) {
    err << "zel call: the arguments do not fit " << method->GetQualifiedName() << ": " << e.what()
        << "\n";
    return kCallUsage;
  } catch (const std::invalid_argument& e) {
    err << "zel call: " << e.what() << "\n";
    return kCallUsage;
  } catch (const Lumo::MethodFault::Exception& e) {
    err << "zel call: the arguments do not fit " << method->GetQualifiedName() << ": "
        << e.GetFault()->GetMsg() << "\n";
    return kCallUsage;
  }

  try {
    Ref<Lumo::Wire::Transport> transport = MakeRef<ZelHttp::HttpTransport>(options.url);
    if (options.wire) transport = new TracingTransport(transport.Get(), out);
    auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport.Get(), wireOptions);
    if (!options.tokenFile.empty()) Login(adapter.Get(), options);
    Ref<Lumo::Any> result = Invoke(adapter.Get(), type, id, method, args);
    if (options.json) {
      out << json->EncodeResult(method, result.Get()) << "\n";
    } else if (!result) {
      out << "(no result)\n";
    } else {
      Show(codec, result.Get(), options.xml, out);
    }
    return kCallAnswered;
  } catch (const Lumo::MethodFault::Exception& e) {
    Lumo::MethodFault* fault = e.GetFault();
    auto* wireFault = dynamic_cast<Lumo::Wire::WireFormatFault*>(fault);
    const std::string* reason = wireFault ? wireFault->PeekReason() : nullptr;
    if (reason && *reason == Lumo::Wire::ToWireString(Lumo::Wire::Reason::kTransport)) {
      err << "zel call: " << fault->GetMsg() << "\n";
      return kCallFailed;
    }
    if (options.json) {
      // The fault as a typed value: "_type" names its type.
      try {
        out << "{\"fault\":" << json->EncodeValue(fault) << "}\n";
      } catch (const Lumo::Json::Error& written) {
        out << "fault " << fault->_GetType()->GetName() << ": " << fault->GetMsg() << "\n";
      }
      return kCallFaulted;
    }
    out << "fault " << fault->_GetType()->GetName() << ": " << fault->GetMsg() << "\n";
    try {
      Show(codec, fault, options.xml, out);
    } catch (const std::exception&) {
      // The message above says what there is to say.
    }
    return kCallFaulted;
  } catch (const std::exception& e) {
    err << "zel call: " << e.what() << "\n";
    return kCallFailed;
  }
}

}  // namespace ZelCli
