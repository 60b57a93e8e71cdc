// hello-client: connects to a zel-server, logs in, creates a profile, lists
// the profiles, deletes the one it made and logs out. A fault ends the
// program with its type and message.
//
//   hello-client http://127.0.0.1:PORT/zel TOKEN-FILE
//
// TOKEN-FILE holds a delegated token signed by an issuer the server trusts
// (zel-token --subject hello@sample.test --out FILE mints one for a
// zel-server that trusts the demo issuer).
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelHttp/HttpTransport.h>

#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

using Kestrum::MakeRef;
using Kestrum::Ref;
namespace Profile = Zel::Profile;

// The delegated token in a file (tokens are small: a larger file is refused).
std::string ReadToken(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string token(64 * 1024 + 1, '\0');
  in.read(token.data(), static_cast<std::streamsize>(token.size()));
  token.resize(static_cast<size_t>(in.gcount()));
  if (!in.eof() || token.empty() || token.size() > 64 * 1024) {
    throw std::runtime_error(std::string("cannot read a token from ") + path);
  }
  return token;
}

// A profile that asks for two replicas of everything it holds.
Ref<Profile::CapabilityBasedProfileCreateSpec> TwoReplicas(const std::string& name) {
  auto property = MakeRef<Zel::Capability::PropertyInstance>();
  property->SetId("replicaCount");
  property->SetValue(new Lumo::Primitive<int32_t>(2));
  auto constraint = MakeRef<Zel::Capability::ConstraintInstance>();
  constraint->GetPropertyInstance()->Append(property.Get());
  auto id = MakeRef<Zel::Capability::CapabilityMetadata::UniqueId>();
  id->SetNamespace("sample.storage");
  id->SetId("replicaCount");
  auto capability = MakeRef<Zel::Capability::CapabilityInstance>();
  capability->SetId(id.Get());
  capability->GetConstraint()->Append(constraint.Get());
  auto sub = MakeRef<Profile::SubProfileCapabilityConstraints::SubProfile>();
  sub->SetName("replicated");
  sub->GetCapability()->Append(capability.Get());
  auto constraints = MakeRef<Profile::SubProfileCapabilityConstraints>();
  constraints->GetSubProfiles()->Append(sub.Get());
  auto spec = MakeRef<Profile::CapabilityBasedProfileCreateSpec>();
  spec->SetName(name);
  auto storage = MakeRef<Profile::ResourceType>();
  storage->SetResourceType(Profile::RESOURCETYPEENUM_STORAGE);
  spec->SetResourceType(storage.Get());
  spec->SetConstraints(constraints.Get());
  return spec;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: hello-client http://127.0.0.1:PORT/zel TOKEN-FILE\n";
    return 2;
  }
  Lumo::StartRuntime();  // before the first stub or type is used
  try {
    Ref<Lumo::Wire::Transport> http = MakeRef<ZelHttp::HttpTransport>(argv[1]);
    Ref<Lumo::StubAdapter> adapter = MakeRef<Lumo::Wire::WireStubAdapter>(http.Get());
    auto root = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "ServiceInstance");
    auto service = MakeRef<Zel::ServiceInstanceStub>(root.Get(), adapter.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    service->RetrieveContent(content);

    auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(content->GetSessionManager(),
                                                           adapter.Get(), nullptr);
    sessions->LoginByToken(ReadToken(argv[2]));
    std::cout << "logged in\n";

    auto profiles =
        MakeRef<Profile::ProfileManagerStub>(content->GetProfileManager(), adapter.Get(), nullptr);
    Ref<Profile::ProfileId> id;
    profiles->Create(TwoReplicas("hello").Get(), id);
    std::cout << "created hello: " << id->GetUniqueId() << "\n";
    try {
      profiles->Create(TwoReplicas("hello").Get(), id);
    } catch (const Zel::Fault::DuplicateName::Exception& e) {
      std::cout << "created hello once more: refused, the name " << e.GetFault()->GetName()
                << " is in use\n";
    }

    Ref<Lumo::DataArray<Profile::ProfileId>> ids;
    auto storage = MakeRef<Profile::ResourceType>();
    storage->SetResourceType(Profile::RESOURCETYPEENUM_STORAGE);
    profiles->QueryProfile(storage.Get(), Kestrum::Optional<std::string>(), ids);
    Ref<Lumo::DataArray<Profile::Profile>> found;
    profiles->RetrieveContent(ids.Get(), found);
    for (int i = 0; i < found->GetLength(); ++i) {
      std::cout << "profile " << found->Get(i)->GetName() << "\n";
    }

    Ref<Lumo::DataArray<Profile::ProfileOperationOutcome>> deleted;
    auto mine = MakeRef<Lumo::DataArray<Profile::ProfileId>>();
    mine->Append(id.Get());
    profiles->Delete(mine.Get(), deleted);
    sessions->Logout();
    std::cout << "deleted hello, logged out\n";
    return 0;
  } catch (const Lumo::MethodFault::Exception& e) {
    // A fault of the service: its wire type name and its message.
    std::cerr << "hello-client: " << e.GetFault()->_GetType()->GetName() << ": "
              << e.GetFault()->GetMsg() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "hello-client: " << e.what() << "\n";
  }
  return 1;
}
