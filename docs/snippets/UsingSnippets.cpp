// The code of docs/using.md. Every region between "// snippet: NAME" and
// "// end snippet" stands verbatim in the guide; regions of the same name are
// shown together, in order, as one block (the includes at the top of this
// file, the code further down). The test docs.guide-matches-snippets checks
// this; `python3 docs/snippets/sync_guide.py --write` copies them over. The
// program runs the snippets against the sample service in this process and
// exits non-zero when one goes wrong. split_snippets.py also writes each
// snippet as a file of its own with only the headers it shows, which the
// build compiles (target using-snippets-alone).

// snippet: start-up
#include <Lumo/Lumo.h>

// The snippets below write Ref and MakeRef for these.
using Kestrum::MakeRef;
using Kestrum::Ref;
// end snippet

// snippet: references
#include <Olyx/Zel/ServerObjectRef.h>
// end snippet

// snippet: transport
#include <ZelHttp/HttpTransport.h>
// end snippet

// snippet: tls
#include <ZelHttp/HttpTransport.h>

#include <chrono>
// end snippet

// snippet: stubs
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/ServiceInstance.h>
// end snippet

// snippet: login
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include <fstream>
#include <iterator>
#include <string>
// end snippet

// snippet: accessors
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/ServerObjectRef.h>

#include <string>
// end snippet

// snippet: presence
#include <Olyx/Zel/Capability/PropertyInstance.h>
// end snippet

// snippet: arrays
#include <Olyx/Zel/ServerObjectRef.h>

#include <iostream>
// end snippet

// snippet: any
#include <Olyx/Zel/Capability/PropertyInstance.h>

#include <iostream>
// end snippet

// snippet: faults
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>

#include <iostream>
// end snippet

// snippet: versions
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
// end snippet

// snippet: threads
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include <thread>
#include <vector>
// end snippet

// snippet: async
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include <iostream>
// end snippet

#include <Lumo/CallPool.h>
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

void Check(bool condition, const char* what) {
  if (!condition) throw std::runtime_error(std::string("not as the guide says: ") + what);
}

void References() {
  // snippet: references
  // MakeRef<T>(args...) makes an object and takes the first reference to it.
  // The object is deleted when the last Ref lets go: never delete a runtime
  // value yourself.
  auto vm = MakeRef<Zel::ServerObjectRef>();
  Ref<Zel::ServerObjectRef> same = vm;  // two owners, one object
  vm.Reset();                           // one owner left: `same`
  // _Clone() makes a deep copy, owned by the Ref it is given to.
  Ref<Zel::ServerObjectRef> copy(same->_Clone());
  // end snippet
  Check(copy.Get() != same.Get() && same->GetRefCount() == 1, "references");
}

void Http() {
  // snippet: transport
  // HTTP to a zel-server on this machine; the transport keeps the session
  // cookie that a login sets.
  Ref<Lumo::Wire::Transport> http = MakeRef<ZelHttp::HttpTransport>("http://127.0.0.1:8080/zel");
  // end snippet
  Check(http.Get() != nullptr, "transport");
}

// Runs in a folder that holds ca.pem, a certificate made by the openssl program.
void Tls() {
  // snippet: tls
  // https, trusting a private CA, with timeouts of its own. Without settings:
  // the system's CA bundle, 2 s to connect and 15 s for a call.
  ZelHttp::HttpTransportSettings settings;
  settings.connectTimeout = std::chrono::seconds(5);  // resolving, connecting, TLS handshake
  settings.readTimeout = std::chrono::seconds(60);    // sending a call and reading its answer
  settings.trustedCertificateFile = "ca.pem";         // PEM certificates to trust
  Ref<Lumo::Wire::Transport> https =
      MakeRef<ZelHttp::HttpTransport>("https://zel.example.test/zel", settings);
  // end snippet
  Check(https.Get() != nullptr, "tls");
  bool refused = false;
  try {
    settings.trustedCertificateFile = "missing.pem";
    MakeRef<ZelHttp::HttpTransport>("https://zel.example.test/zel", settings);
  } catch (const std::invalid_argument&) {
    refused = true;
  }
  Check(refused, "a certificate file that cannot be loaded is refused at once");
}

Ref<Zel::ServiceInstanceStub> Connect(const Ref<Lumo::Wire::Transport>& http) {
  // snippet: stubs
  // A stub is the client side of a managed object: a reference (type and id),
  // an adapter that carries the calls, and an optional request context.
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(http.Get());
  auto root = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "ServiceInstance");
  auto service = MakeRef<Zel::ServiceInstanceStub>(root.Get(), adapter.Get(), nullptr);
  // end snippet
  return service;
}

// Runs in a folder that holds alice.token, as zel-token would write it.
Ref<Zel::Auth::SessionManagerStub> Login(const Ref<Zel::ServiceInstanceStub>& service) {
  // snippet: login
  // A login opens a session. It takes a delegated token: a signed text from
  // an issuer the service trusts. `zel-token --subject alice --out alice.token`
  // makes one for a zel-server that trusts the demo issuer (as it does unless
  // started with --trust-key). The transport keeps the session cookie: the
  // later calls through it run as alice.
  std::ifstream file("alice.token", std::ios::binary);
  std::string token{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  Ref<Zel::ServiceInstanceContent> content;
  service->RetrieveContent(content);
  auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(content->GetSessionManager(),
                                                         service->_GetStubAdapter(), nullptr);
  sessions->LoginByToken(token);
  // end snippet
  return sessions;
}

void Accessors() {
  // snippet: accessors
  auto vm = MakeRef<Zel::ServerObjectRef>();
  vm->SetObjectType(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE);  // Set<P>: copies in
  vm->SetKey("vm-42");
  const std::string& key = vm->GetKey();      // Get<P>: a reference to the stored value
  const std::string* peeked = vm->PeekKey();  // Peek<P>: its address (null when unset)
  std::string other = "vm-43";
  vm->SwapKey(&other);                          // Swap<P>: exchanges, no copy
  vm->SetServerUuid(std::string("6f1c-uuid"));  // an optional value is set ...
  std::string uuid;
  bool present = vm->GetServerUuid(uuid);  // ... read only if set (false otherwise)
  vm->UnsetServerUuid();                   // Unset<P>: unset again

  auto text = MakeRef<Zel::ExtendedElementDescription>();
  bool any = text->IsSetMessageArg();  // IsSet<P>: an array with elements?
  Lumo::DataArray<Lumo::KeyAnyValue>* none = text->GetPtrMessageArg();  // GetPtr<P>: may be null
  text->GetMessageArg()->Append(new Lumo::KeyAnyValue);  // Get<P>: creates an empty array
  // end snippet
  Check(key == "vm-43" && other == "vm-42" && peeked == &key && present && uuid == "6f1c-uuid" &&
            vm->PeekServerUuid() == nullptr && !any && none == nullptr && text->IsSetMessageArg(),
        "accessors");
}

// What the guide says of text that XML cannot carry: the std::string setter
// refuses it and keeps the old value; the const char* one stores it, and the
// wire writer refuses the object when it is sent.
void StringChecks(const Ref<Zel::ServiceInstanceStub>& service) {
  auto vm = MakeRef<Zel::ServerObjectRef>();
  vm->SetKey("vm-42");
  bool refused = false;
  try {
    vm->SetKey(std::string("vm\x01"));
  } catch (const Lumo::Fault::InvalidArgument::Exception&) {
    refused = true;
  }
  Check(refused && vm->GetKey() == "vm-42", "the std::string setter checks its text");
  vm->SetKey("vm\x01");
  Check(vm->GetKey() == "vm\x01", "the const char* setter stores its text unchecked");
  Ref<Zel::ServiceInstanceContent> content;
  service->RetrieveContent(content);
  auto profiles = MakeRef<Zel::Profile::ProfileManagerStub>(content->GetProfileManager(),
                                                            service->_GetStubAdapter(), nullptr);
  auto resource = MakeRef<Zel::Profile::ResourceType>();
  resource->SetResourceType("storage\x01");
  bool unsent = false;
  try {
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
    profiles->QueryProfile(resource.Get(), Kestrum::Optional<std::string>(), ids);
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    unsent = e.GetFault()->GetReason().GetValue() == "badValue";
  }
  Check(unsent, "the wire writer refuses text XML cannot carry");
}

// What the guide says of a required data object property left unset: the
// call is refused before anything is sent, naming the property.
void RequiredUnset(const Ref<Zel::ServiceInstanceStub>& service) {
  Ref<Zel::ServiceInstanceContent> content;
  service->RetrieveContent(content);
  auto profiles = MakeRef<Zel::Profile::ProfileManagerStub>(content->GetProfileManager(),
                                                            service->_GetStubAdapter(), nullptr);
  auto spec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  spec->SetName("no resource type");
  std::string reason, message;
  try {
    Ref<Zel::Profile::ProfileId> id;
    profiles->Create(spec.Get(), id);
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    reason = e.GetFault()->GetReason().GetValue();
    message = e.GetFault()->GetMsg();
  }
  Check(reason == "notSet" && message.find("resourceType") != std::string::npos,
        "a required data object property left unset is refused before sending");
}

void RequiredAndOptional() {
  // snippet: presence
  auto property = MakeRef<Zel::Capability::PropertyInstance>();
  property->SetId("replicaCount");  // required: a plain value, always present
  // optional: Kestrum::Optional<T>; unset until a value is given
  if (!property->GetOperator().IsSet()) property->SetOperator(std::string("atLeast"));
  // end snippet
  Check(property->GetOperator().GetValue() == "atLeast", "presence");
}

void Arrays() {
  // snippet: arrays
  auto disks = MakeRef<Lumo::DataArray<Zel::ServerObjectRef>>();
  for (const char* key : {"vm-42:2000", "vm-42:2001"}) {
    auto disk = MakeRef<Zel::ServerObjectRef>();
    disk->SetObjectType(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID);
    disk->SetKey(key);
    disks->Append(disk.Get());  // the array takes its own reference
  }
  for (int i = 0; i < disks->GetLength(); ++i) std::cout << disks->Get(i)->GetKey() << "\n";
  // Strings and enumeration values live in Lumo::Array<T>, by value.
  auto words = MakeRef<Lumo::Array<std::string>>();
  words->Append("gold");
  // end snippet
  Check(disks->GetLength() == 2 && words->GetLength() == 1, "arrays");
}

void AnyType() {
  // snippet: any
  // An anyType property holds any runtime value: a data object, an array or a
  // boxed primitive. Box on the way in, dynamic_cast on the way out.
  auto property = MakeRef<Zel::Capability::PropertyInstance>();
  property->SetValue(new Lumo::Primitive<int32_t>(2));
  if (auto* number = dynamic_cast<const Lumo::Primitive<int32_t>*>(property->GetValue())) {
    std::cout << "replicaCount = " << number->GetValue() << "\n";
  }
  property->SetValue(Lumo::BoxBool(true));  // booleans are shared boxes
  // end snippet
  Check(dynamic_cast<const Lumo::Primitive<bool>*>(property->GetValue()) != nullptr, "any");
}

void Faults(Zel::Auth::SessionManagerStub* sessions) {
  // snippet: faults
  // A fault arrives as the exception class of its type; GetFault() gives the
  // fault object. Every fault's exception derives from Lumo::MethodFault::Exception.
  try {
    sessions->LoginByToken("<not-a-token/>");
  } catch (const Zel::Fault::InvalidLogin::Exception& e) {
    std::cout << "refused: " << e.GetFault()->GetMsg() << "\n";
  } catch (const Lumo::MethodFault::Exception& e) {
    std::cout << e.GetFault()->_GetType()->GetName() << ": " << e.GetFault()->GetMsg() << "\n";
  }
  // end snippet
}

void Versions(const Ref<Lumo::Wire::Transport>& http) {
  // snippet: versions
  // Speak an older version of the API: the writer sends nothing newer, the
  // reader refuses what is newer. Empty (the default) speaks every version.
  Lumo::Wire::Options options;
  options.version = "zel.version.version11";
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(http.Get(), options);
  // What a type, property or method appeared in comes from its record:
  const char* since =
      Lumo::GetMoType<Zel::Profile::ProfileManager>()->FindMethod("queryProfile")->GetVersion();
  // end snippet
  Check(std::string(since) == "zel.version.version1", "versions");
}

void Threads(const Ref<Zel::ServiceInstanceStub>& service) {
  // snippet: threads
  // Stubs, adapters and transports may be shared between threads; a data
  // object may be read by many threads but changed by one, with no reader.
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([service] {
      Ref<Zel::ServiceInstanceContent> content;
      service->RetrieveContent(content);
    });
  }
  for (std::thread& worker : workers) worker.join();
  // end snippet
}

void Asynchronous(const Ref<Zel::ServiceInstanceStub>& service) {
  bool onPool = false;
  // snippet: async
  // The form with a completion returns at once: a thread of the runtime's
  // call pool makes the call, then runs the completion with the result or
  // with the exception the call failed with. Wait() blocks until it is done.
  Ref<Kestrum::System::ScheduledItem> item;
  service->RetrieveContent(
      Lumo::CompletionFunctor(
          [&](Kestrum::System::ScheduledItem*, Kestrum::Exception* failure, Lumo::Any* result) {
            if (failure != nullptr) {
              std::cerr << "failed: " << failure->what() << "\n";
            } else if (auto* content = dynamic_cast<Zel::ServiceInstanceContent*>(result)) {
              std::cout << "about: " << content->GetAboutInfo()->GetName() << "\n";
            }
          }),
      item);
  item->Wait();
  // end snippet
  service->RetrieveContent(
      Lumo::CompletionFunctor([&](Kestrum::System::ScheduledItem*, Kestrum::Exception*,
                                  Lumo::Any*) { onPool = Lumo::CallPool::OnPoolThread(); }),
      item);
  item->Wait();
  Check(onPool, "completions run on a thread of the runtime's call pool");
}

// A folder of its own for the files the snippets read, made and removed here.
class Folder {
 public:
  Folder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "using-snippets-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder");
    _path = pattern;
    _previous = std::filesystem::current_path();
    std::filesystem::current_path(_path);
  }
  ~Folder() {
    std::filesystem::current_path(_previous);
    std::filesystem::remove_all(_path);
  }

 private:
  std::filesystem::path _path;
  std::filesystem::path _previous;
};

void WriteToken(const std::string& subject) {
  ZelSample::DelegatedToken token;
  token.subject = subject;
  token.issuedAt = ZelSample::TokenClockNow();
  token.expires = token.issuedAt + 3600;
  std::ofstream("alice.token", std::ios::binary)
      << ZelSample::SignDelegatedToken(token, ZelSample::DemoIssuerPrivateKey());
}

void WriteCertificate() {
  int status = std::system(
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
      "-subj /CN=zel.example.test -keyout ca.key -out ca.pem 2>openssl.log");
  if (status != 0) throw std::runtime_error("openssl could not make a certificate");
}

}  // namespace

// snippet: start-up
int main() {
  // Once, before the first stub, type or record accessor is used: it creates
  // the types of every type library the program has loaded.
  Lumo::StartRuntime();
  // ...
  // end snippet
  try {
    Folder folder;
    WriteToken("alice");
    WriteCertificate();
    References();
    Http();
    Tls();
    Accessors();
    RequiredAndOptional();
    Arrays();
    AnyType();
    ZelSample::SampleService sample;
    auto endpoint = MakeRef<ZelSample::WireEndpoint>(sample);
    auto inProcess = MakeRef<ZelSample::InProcessTransport>(endpoint.Get());
    Ref<Lumo::Wire::Transport> transport = inProcess;
    Ref<Zel::ServiceInstanceStub> service = Connect(transport);
    Ref<Zel::Auth::SessionManagerStub> sessions = Login(service);
    Check(!inProcess->GetSession().empty(), "login");
    Faults(sessions.Get());
    StringChecks(service);
    RequiredUnset(service);
    Versions(transport);
    Threads(service);
    Asynchronous(service);
  } catch (const std::exception& e) {
    std::cerr << "using-snippets: " << e.what() << "\n";
    return 1;
  }
  std::cout << "using-snippets: ok\n";
  return 0;
}
