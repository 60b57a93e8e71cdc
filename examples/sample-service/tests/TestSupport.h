// Shared pieces of the sample service's tests: clients through the direct
// adapter, builders of profile specifications, and fault catching.
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
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace ZelSampleTest {

using Kestrum::Ref;

inline Ref<Lumo::Any> Int(int32_t v) { return Ref<Lumo::Any>(new Lumo::Primitive<int32_t>(v)); }
inline Ref<Lumo::Any> Text(const std::string& v) {
  return Ref<Lumo::Any>(new Lumo::Primitive<std::string>(v));
}
inline Ref<Lumo::Any> Bool(bool v) { return Ref<Lumo::Any>(Lumo::BoxBool(v)); }
inline Ref<Lumo::Any> IntRange(int32_t lo, int32_t hi) {
  Ref<Zel::Capability::Types::Range> range(new Zel::Capability::Types::Range);
  range->SetMin(Int(lo).Get());
  range->SetMax(Int(hi).Get());
  return Ref<Lumo::Any>(range.Get());
}
inline Ref<Lumo::Any> TextSet(std::initializer_list<const char*> values) {
  Ref<Zel::Capability::Types::DiscreteSet> set(new Zel::Capability::Types::DiscreteSet);
  for (const char* v : values) set->GetValues()->Append(Text(v).Get());
  return Ref<Lumo::Any>(set.Get());
}

// A capability of the sample namespace constrained by one property of the
// same id.
inline Ref<Zel::Capability::CapabilityInstance> Capability(const std::string& id,
                                                           Ref<Lumo::Any> value,
                                                           const std::string& ns = "sample.storage",
                                                           const std::string& property = "") {
  Ref<Zel::Capability::PropertyInstance> p(new Zel::Capability::PropertyInstance);
  p->SetId(property.empty() ? id : property);
  p->SetValue(value.Get());
  Ref<Zel::Capability::ConstraintInstance> c(new Zel::Capability::ConstraintInstance);
  c->GetPropertyInstance()->Append(p.Get());
  Ref<Zel::Capability::CapabilityMetadata::UniqueId> uid(
      new Zel::Capability::CapabilityMetadata::UniqueId);
  uid->SetNamespace(ns);
  uid->SetId(id);
  Ref<Zel::Capability::CapabilityInstance> instance(new Zel::Capability::CapabilityInstance);
  instance->SetId(uid.Get());
  instance->GetConstraint()->Append(c.Get());
  return instance;
}

using SubProfile = Zel::Profile::SubProfileCapabilityConstraints::SubProfile;

inline Ref<SubProfile> Sub(const std::string& name,
                           std::vector<Ref<Zel::Capability::CapabilityInstance>> capabilities) {
  Ref<SubProfile> sub(new SubProfile);
  sub->SetName(name);
  for (auto& c : capabilities) sub->GetCapability()->Append(c.Get());
  return sub;
}

inline Ref<Zel::Profile::SubProfileCapabilityConstraints> Constraints(
    std::vector<Ref<SubProfile>> subs) {
  Ref<Zel::Profile::SubProfileCapabilityConstraints> constraints(
      new Zel::Profile::SubProfileCapabilityConstraints);
  for (auto& s : subs) constraints->GetSubProfiles()->Append(s.Get());
  return constraints;
}

inline Ref<Zel::Profile::ResourceType> Storage() {
  Ref<Zel::Profile::ResourceType> type(new Zel::Profile::ResourceType);
  type->SetResourceType(Zel::Profile::RESOURCETYPEENUM_STORAGE);
  return type;
}

inline Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> Spec(const std::string& name,
                                                                std::vector<Ref<SubProfile>> subs) {
  Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> spec(
      new Zel::Profile::CapabilityBasedProfileCreateSpec);
  spec->SetName(name);
  spec->SetResourceType(Storage().Get());
  spec->SetConstraints(Constraints(std::move(subs)).Get());
  return spec;
}

// "Gold": two replicas and encryption, or the gold tier striped 2 to 8 wide.
inline Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> GoldSpec(
    const std::string& name = "Gold") {
  return Spec(name, {Sub("replicated", {Capability("replicaCount", Int(2)),
                                        Capability("encryption", Bool(true))}),
                     Sub("fast", {Capability("performanceTier", TextSet({"gold"})),
                                  Capability("stripeWidth", IntRange(2, 8))})});
}

inline Ref<Zel::ServerObjectRef> Entity(const char* type, const std::string& key) {
  Ref<Zel::ServerObjectRef> entity(new Zel::ServerObjectRef);
  entity->SetObjectType(type);
  entity->SetKey(key);
  return entity;
}
inline Ref<Zel::ServerObjectRef> Vm(const std::string& key) {
  return Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALMACHINE, key);
}
inline Ref<Zel::ServerObjectRef> Disk(const std::string& key) {
  return Entity(Zel::ServerObjectRef::OBJECTTYPE_VIRTUALDISKID, key);
}

inline Ref<Zel::Profile::ProfileId> Id(const std::string& uniqueId) {
  Ref<Zel::Profile::ProfileId> id(new Zel::Profile::ProfileId);
  id->SetUniqueId(uniqueId);
  return id;
}

template <class T>
Ref<Lumo::DataArray<T>> ArrayOf(std::vector<Ref<T>> items) {
  Ref<Lumo::DataArray<T>> array(new Lumo::DataArray<T>);
  for (auto& item : items) array->Append(item.Get());
  return array;
}

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
