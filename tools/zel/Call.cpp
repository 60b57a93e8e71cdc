#include "Call.h"

#include <Kestrum/File.h>
#include <Lumo/Wire/Wire.h>
#include <ZelHttp/HttpTransport.h>

#include <algorithm>
#include <cctype>
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
    _out << "--> request (SOAPAction \"" << request.action << "\")\n";
    for (const auto& [name, value] : request.headers) _out << name << ": " << value << "\n";
    _out << request.body << "\n";
    _inner->Send(request, response);
    _out << "<-- response (status " << response.status << ")\n";
    for (const auto& [name, value] : response.headers) _out << name << ": " << value << "\n";
    _out << response.body << "\n";
  }

 protected:
  ~TracingTransport() override = default;

 private:
  Ref<Lumo::Wire::Transport> _inner;
  std::ostream& _out;
};

// Adds the user's headers to every request.
class HeaderTransport : public Lumo::Wire::Transport {
 public:
  HeaderTransport(Lumo::Wire::Transport* inner, Lumo::Wire::Headers headers)
      : _inner(inner), _headers(std::move(headers)) {}
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override {
    Lumo::Wire::TransportRequest withHeaders = request;
    withHeaders.headers.insert(withHeaders.headers.end(), _headers.begin(), _headers.end());
    _inner->Send(withHeaders, response);
  }

 protected:
  ~HeaderTransport() override = default;

 private:
  Ref<Lumo::Wire::Transport> _inner;
  Lumo::Wire::Headers _headers;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

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
void Login(Lumo::Wire::WireStubAdapter* adapter, const CallOptions& options,
           const std::string& token) {
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

void Show(const Lumo::Wire::Codec& codec, const Lumo::Any* value, CallOptions::Output output,
          std::ostream& out) {
  std::string text;
  codec.EncodeValue(value, text);
  if (output == CallOptions::Output::kXml) {
    RenderValueXml(text, out);
  } else {
    RenderValueText(text, out);
  }
}

ZelHttp::HttpTransportSettings TransportSettings(const CallOptions& options) {
  ZelHttp::HttpTransportSettings settings;
  settings.trustedCertificateFile = options.caCertificateFile;
  settings.verifyPeer = !options.insecure;
  if (options.timeout.count() > 0) {
    settings.connectTimeout = options.timeout;
    settings.readTimeout = options.timeout;
  }
  return settings;
}

}  // namespace

bool ParseHeader(const std::string& text, std::pair<std::string, std::string>& header,
                 std::string& error) {
  size_t colon = text.find(':');
  std::string name = text.substr(0, colon);
  if (colon == std::string::npos || name.empty()) {
    error = "a header is given as 'Name: value', not \"" + text.substr(0, 100) + "\"";
    return false;
  }
  static const std::string kTokenChars = "!#$%&'*+-.^_`|~";
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && kTokenChars.find(c) == std::string::npos) {
      error = "the header name \"" + name.substr(0, 100) + "\" is not an HTTP token";
      return false;
    }
  }
  std::string value = text.substr(colon + 1);
  value.erase(0, value.find_first_not_of(" \t"));
  if (std::any_of(value.begin(), value.end(),
                  [](char c) { return c == '\r' || c == '\n' || c == '\0'; })) {
    error = "the header " + name + " has a line break in its value";
    return false;
  }
  static const char* const kOwnHeaders[] = {"host",       "content-type",      "content-length",
                                            "soapaction", "transfer-encoding", "connection"};
  for (const char* own : kOwnHeaders) {
    if (Lower(name) == own) {
      error = "zel sets the header " + name + " itself";
      return false;
    }
  }
  header = {name, value};
  return true;
}

int RunCall(const CallOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
  // What is read from files, and the headers, before anything else: a
  // missing file is a usage error, not a failed call.
  std::string token;
  Lumo::Wire::Headers headers;
  InputFiles files(in);
  RequestArguments arguments;
  arguments.assignments = options.assignments;
  try {
    if (!options.tokenFile.empty()) token = ReadTokenFile(options.tokenFile);
    for (const std::string& text : options.headers) {
      std::pair<std::string, std::string> header;
      std::string error;
      if (!ParseHeader(text, header, error)) throw std::invalid_argument(error);
      headers.push_back(header);
    }
    if (!options.data.empty()) {
      arguments.bodyXml =
          options.data[0] == '@' ? files.Read(options.data.substr(1)) : options.data;
      if (arguments.bodyXml.empty()) throw std::invalid_argument("the request body is empty");
    }
  } catch (const std::invalid_argument& e) {
    err << "zel call: " << e.what() << "\n";
    return kCallUsage;
  }

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
  try {
    std::string action = codec.GetAction(method);
    std::string request =
        BuildRequest(*method, *type, id, arguments, action.substr(0, action.find('/')), files);
    args = codec.DecodeRequest(request).args;
  } catch (const std::invalid_argument& e) {
    err << "zel call: " << e.what() << "\n";
    return kCallUsage;
  } catch (const Lumo::MethodFault::Exception& e) {
    err << "zel call: the arguments do not fit " << method->GetQualifiedName() << ": "
        << e.GetFault()->GetMsg() << "\n";
    return kCallUsage;
  }

  Ref<Lumo::Wire::Transport> transport;
  try {
    transport = MakeRef<ZelHttp::HttpTransport>(options.url, TransportSettings(options));
  } catch (const std::invalid_argument& e) {
    err << "zel call: " << e.what() << "\n";  // a URL or certificate file that will not do
    return kCallUsage;
  }
  try {
    // The trace shows the user's headers too.
    if (options.wire) transport = new TracingTransport(transport.Get(), out);
    if (!headers.empty()) transport = new HeaderTransport(transport.Get(), headers);
    auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport.Get(), wireOptions);
    if (!options.tokenFile.empty()) Login(adapter.Get(), options, token);
    Ref<Lumo::Any> result = Invoke(adapter.Get(), type, id, method, args);
    if (!result) {
      out << "(no result)\n";
    } else {
      Show(codec, result.Get(), options.output, out);
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
    out << "fault " << fault->_GetType()->GetName() << ": " << fault->GetMsg() << "\n";
    try {
      Show(codec, fault, options.output, out);
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
