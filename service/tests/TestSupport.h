// Shared pieces of the sample service's tests: clients through the direct
// adapter, the request builders, and fault catching.
#pragma once

#include <Lumo/Lumo.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Capability/CapabilityInstance.h>
#include <Olyx/Zel/Capability/ConstraintInstance.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Capability/Types/DiscreteSet.h>
#include <Olyx/Zel/Capability/Types/Range.h>
#include <Olyx/Zel/Compliance/ComplianceManager.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/ResourceTypeEnum.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelSample/DirectAdapter.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace ZelSampleTest {

using Kestrum::MakeRef;
using Kestrum::Ref;

// The request builders the demo and benchmarks use too.
using namespace ZelSample::Build;

inline Ref<Lumo::MoRef> RefOf(const char* type, const char* id) {
  return Ref<Lumo::MoRef>(new Lumo::MoRef(type, id));
}

// Runs a call that must fail with the exception class E; returns its fault
// (null, with a test failure, otherwise).
template <class E, class Call>
Ref<Lumo::MethodFault> CatchFault(Call&& call) {
  try {
    call();
  } catch (const E& e) {
    return Ref<Lumo::MethodFault>(e.GetFault());
  } catch (const Kestrum::Exception& e) {
    ADD_FAILURE() << "another exception: " << e.what();
    return Ref<Lumo::MethodFault>();
  }
  ADD_FAILURE() << "the call did not fail";
  return Ref<Lumo::MethodFault>();
}

// Whether a fault is exactly of class T (not a subclass).
template <class T>
bool IsExactly(const Lumo::MethodFault* fault) {
  return fault != nullptr && fault->_GetType() == Lumo::GetDoType<T>();
}

// One client of a service: its adapter (its session) and stubs on every
// manager of the content.
struct Client {
  Ref<ZelSample::DirectAdapter> adapter;
  Ref<Zel::ServiceInstanceStub> instance;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;
  Ref<Zel::Compliance::ComplianceManagerStub> compliance;

  explicit Client(ZelSample::SampleService& service)
      : adapter(new ZelSample::DirectAdapter(service)) {
    instance =
        new Zel::ServiceInstanceStub(service.GetServiceInstanceRef().Get(), adapter.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    instance->RetrieveContent(content);
    sessions =
        new Zel::Auth::SessionManagerStub(content->GetSessionManager(), adapter.Get(), nullptr);
    profiles =
        new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter.Get(), nullptr);
    compliance = new Zel::Compliance::ComplianceManagerStub(content->GetComplianceManager(),
                                                            adapter.Get(), nullptr);
  }

  void Login(const std::string& user = "alice@sample.test",
             const std::vector<std::string>& privileges = {}) {
    sessions->LoginByToken(ZelSample::MakeDelegatedToken(user, privileges));
  }
};

class ServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    service = std::make_unique<ZelSample::SampleService>();
    client = std::make_unique<Client>(*service);
  }
  void TearDown() override {
    client.reset();
    service.reset();
  }

  // Creates a profile through the logged-in client and returns its id.
  std::string Create(const Ref<Zel::Profile::CapabilityBasedProfileCreateSpec>& spec) {
    Ref<Zel::Profile::ProfileId> id;
    client->profiles->Create(spec.Get(), id);
    return id->GetUniqueId();
  }

  std::unique_ptr<ZelSample::SampleService> service;
  std::unique_ptr<Client> client;
};

}  // namespace ZelSampleTest
