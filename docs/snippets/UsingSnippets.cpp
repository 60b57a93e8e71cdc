// The code of docs/using.md. Every region between "// snippet: NAME" and
// "// end snippet" stands verbatim in the guide (checked by the test
// docs.guide-matches-snippets; `python3 docs/snippets/sync_guide.py --write`
// copies them over). The program runs the snippets against the sample
// service in this process and exits non-zero when one goes wrong.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/Service.h>
#include <ZelSample/WireEndpoint.h>

#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Kestrum::MakeRef;
using Kestrum::Ref;

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

Ref<Zel::ServiceInstanceStub> Connect(Lumo::Wire::Transport* transport) {
  // snippet: stubs
  // A stub is the client side of a managed object: a reference (type and id),
  // an adapter that carries the calls, and an optional request context.
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport);
  auto root = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "ServiceInstance");
  auto service = MakeRef<Zel::ServiceInstanceStub>(root.Get(), adapter.Get(), nullptr);
  // end snippet
  return service;
}

void Http() {
  // snippet: transport
  // HTTP to a zel-server on this machine; the transport keeps the session
  // cookie that a login sets.
  Ref<Lumo::Wire::Transport> http = MakeRef<ZelHttp::HttpTransport>("http://127.0.0.1:8080/zel");
  // end snippet
  Check(http.Get() != nullptr, "transport");
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

void Conversation(Lumo::Wire::Transport* transport) {
  Ref<Zel::ServiceInstanceStub> service = Connect(transport);
  Ref<Zel::ServiceInstanceContent> content;
  service->RetrieveContent(content);
  auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(content->GetSessionManager(),
                                                         service->_GetStubAdapter(), nullptr);
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

void Versions(Lumo::Wire::Transport* transport) {
  // snippet: versions
  // Speak an older version of the API: the writer sends nothing newer, the
  // reader refuses what is newer. Empty (the default) speaks every version.
  Lumo::Wire::Options options;
  options.version = "zel.version.version11";
  auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport, options);
  // What a type, property or method appeared in comes from its record:
  const char* since =
      Lumo::GetMoType<Zel::Profile::ProfileManager>()->FindMethod("queryProfile")->GetVersion();
  // end snippet
  Check(std::string(since) == "zel.version.version1", "versions");
}

void Threads(Zel::ServiceInstanceStub* service) {
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

}  // namespace

// snippet: start-up
int main() {
  // Once, before the first stub, type or record accessor is used: it creates
  // the types of every type library the program has loaded.
  Lumo::StartRuntime();
  // ...
  // end snippet
  try {
    References();
    Http();
    Accessors();
    RequiredAndOptional();
    Arrays();
    AnyType();
    ZelSample::SampleService sample;
    auto endpoint = MakeRef<ZelSample::WireEndpoint>(sample);
    Ref<Lumo::Wire::Transport> transport = MakeRef<ZelSample::InProcessTransport>(endpoint.Get());
    Conversation(transport.Get());
    Versions(transport.Get());
    Threads(Connect(transport.Get()).Get());
  } catch (const std::exception& e) {
    std::cerr << "using-snippets: " << e.what() << "\n";
    return 1;
  }
  std::cout << "using-snippets: ok\n";
  return 0;
}
