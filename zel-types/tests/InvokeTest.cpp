// invokeByIndex, the server-side mirror of the stubs: arguments unpacked and
// checked before the implementation runs, results packed, properties read
// after the methods, and everything else not reached.
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ReconfigOutcome.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <Olyx/Zel/Task.h>

#include <string>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Optional;
using Kestrum::Ref;
using Lumo::Any;
using Args = std::vector<Ref<Any>>;

[[noreturn]] void Unused() { throw Lumo::Fault::NotSupported::Exception(); }

// The profile manager has 38 methods. Its stub, built without an adapter,
// implements all of them by throwing NotSupported; the local implementation
// overrides the four it serves.
class LocalProfileManager : public Zel::Profile::ProfileManagerStub {
 public:
  LocalProfileManager() : ProfileManagerStub(nullptr, nullptr, nullptr) {}
  int calls = 0;
  bool enable = false;
  Optional<std::string> methodToFail, fault, content;
  Optional<bool> applyOnChildren;
  const Any* received = nullptr;
  Ref<Zel::Profile::ProfileId> created{new Zel::Profile::ProfileId};

  void Create(Zel::Profile::CapabilityBasedProfileCreateSpec* createSpec,
              Ref<Zel::Profile::ProfileId>& result) override {
    ++calls;
    received = createSpec;
    result = created;
  }
  Optional<std::string> RetrieveContentAsString(Zel::Profile::ProfileId*,
                                                Zel::Placement::PlacementHub*,
                                                Hox::Vm::Replication::ReplicationSpec*) override {
    ++calls;
    return content;
  }
  void ApplyAssociated(Lumo::DataArray<Zel::ServerObjectRef>* entities,
                       const Optional<bool>& children,
                       Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>&) override {
    ++calls;
    received = entities;
    applyOnChildren = children;
  }
  void ConfigureErrorMode(bool on, const Optional<std::string>& method,
                          const Optional<std::string>& faultName) override {
    ++calls;
    enable = on;
    methodToFail = method;
    fault = faultName;
  }
};

class LocalServiceInstance : public Zel::ServiceInstance, public Kestrum::ObjectImpl {
 public:
  int calls = 0;
  bool fail = false;
  std::string providerType;
  Ref<Zel::ServiceInstanceContent> content{new Zel::ServiceInstanceContent};
  Ref<Lumo::Array<std::string>> ids{new Lumo::Array<std::string>{"atom-1"}};

  void GetContent(Ref<Zel::ServiceInstanceContent>& result) override { result = content; }
  void RetrieveContent(Ref<Zel::ServiceInstanceContent>& result) override {
    ++calls;
    if (fail) throw Zel::Fault::NotFound::Exception();
    result = content;
  }
  void QueryAtomFeedQsProviderIds(const std::string& type,
                                  Ref<Lumo::Array<std::string>>& result) override {
    ++calls;
    providerType = type;
    result = ids;
  }
  void GetZelDebugManager(Ref<Lumo::MoRef>& result) override {
    result = new Lumo::MoRef("zel.ZelDebugManager", "debug");
  }
};

class LocalMetadataManager : public Zel::Capability::CapabilityMetadataManager,
                             public Kestrum::ObjectImpl {
 public:
  bool answer = false;
  void RegisterCapabilityMetadata(
      Zel::Capability::Provider::CapabilityProviderInfo*,
      Zel::Capability::Provider::CapabilityObjectMetadataInfo*) override {
    Unused();
  }
  void UnregisterCapabilityMetadata(Zel::Capability::Provider::CapabilityProviderInfo*) override {
    Unused();
  }
  void QueryAtomFeedQsProviderIds(Ref<Lumo::Array<std::string>>&) override { Unused(); }
  bool RemoveAllCapabilityMetadataDocuments() override { return answer; }
};

class LocalTask : public Zel::Task, public Kestrum::ObjectImpl {};

class InvokeTest : public ZelRules::RulesTest {
 protected:
  template <class T>
  static Ref<Any> Invoke(Lumo::ManagedObject* object, int index, Args args,
                         Ref<Any> result = Ref<Any>()) {
    Lumo::GetMoType<T>()->GetInfo()->invokeByIndex(object, index, args, result);
    return result;
  }
  static Ref<Any> Boxed(const std::string& text) {
    return Ref<Any>(new Lumo::Primitive<std::string>(text));
  }
  static Ref<Any> Marker() { return Ref<Any>(new Zel::ServerObjectRef); }
};

TEST_F(InvokeTest, MethodsInListOrderThenThePropertyOfTheServiceInstance) {
  auto local = MakeRef<LocalServiceInstance>();
  using SI = Zel::ServiceInstance;
  EXPECT_EQ(Invoke<SI>(local.Get(), 0, {}).Get(), local->content.Get());
  EXPECT_EQ(Invoke<SI>(local.Get(), 1, {Boxed("kind")}).Get(), local->ids.Get());
  EXPECT_EQ(local->providerType, "kind");
  Ref<Any> debug = Invoke<SI>(local.Get(), 2, {});
  ASSERT_NE(dynamic_cast<Lumo::MoRef*>(debug.Get()), nullptr);
  EXPECT_EQ(static_cast<Lumo::MoRef*>(debug.Get())->GetId(), "debug");
  EXPECT_EQ(local->calls, 2);
  EXPECT_EQ(Invoke<SI>(local.Get(), 3, {}).Get(), local->content.Get());
  EXPECT_EQ(local->calls, 2) << "index 3 reads the property, not a method";

  auto propertyIndex = Lumo::GetMoType<SI>()->GetInfo()->propertyIndex;
  ASSERT_NE(propertyIndex, nullptr);
  EXPECT_EQ(propertyIndex("content", 7), 0);
  EXPECT_EQ(propertyIndex("conten", 6), -1);
  EXPECT_EQ(propertyIndex("contents", 8), -1);
  EXPECT_EQ(propertyIndex("content", 6), -1);
  EXPECT_EQ(propertyIndex("Content", 7), -1);
  EXPECT_EQ(propertyIndex("", 0), -1);
  EXPECT_EQ(Lumo::GetMoType<Zel::Profile::ProfileManager>()->GetInfo()->propertyIndex, nullptr);
}

TEST_F(InvokeTest, ArgumentsAreUnpackedInParameterOrderAndResultsPacked) {
  using PM = Zel::Profile::ProfileManager;
  auto local = MakeRef<LocalProfileManager>();
  Ref<Any> none =
      Invoke<PM>(local.Get(), 23,
                 {Ref<Any>(Lumo::Primitive<bool>::Factory::sTrue), nullptr, Boxed("")}, Marker());
  EXPECT_FALSE(none) << "a method without result leaves the result cleared";
  EXPECT_TRUE(local->enable);
  EXPECT_FALSE(local->methodToFail.IsSet());
  ASSERT_TRUE(local->fault.IsSet());
  EXPECT_EQ(local->fault.GetValue(), "");

  Ref<Any> createSpec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  EXPECT_EQ(Invoke<PM>(local.Get(), 4, {createSpec}).Get(), local->created.Get());
  EXPECT_EQ(local->received, createSpec.Get());

  Ref<Any> entities = MakeRef<Lumo::DataArray<Zel::ServerObjectRef>>();
  Invoke<PM>(local.Get(), 19, {entities, Ref<Any>(Lumo::Primitive<bool>::Factory::sFalse)});
  EXPECT_EQ(local->received, entities.Get());
  ASSERT_TRUE(local->applyOnChildren.IsSet());
  EXPECT_FALSE(local->applyOnChildren.GetValue());
  Invoke<PM>(local.Get(), 19, {nullptr, nullptr});
  EXPECT_EQ(local->received, nullptr);
  EXPECT_FALSE(local->applyOnChildren.IsSet());

  local->content = std::string("<profile/>");
  Ref<Any> text = Invoke<PM>(local.Get(), 16, {nullptr, nullptr, nullptr});
  ASSERT_NE(dynamic_cast<Lumo::Primitive<std::string>*>(text.Get()), nullptr);
  EXPECT_EQ(static_cast<Lumo::Primitive<std::string>*>(text.Get())->GetValue(), "<profile/>");
  local->content.Reset();
  EXPECT_FALSE(Invoke<PM>(local.Get(), 16, {nullptr, nullptr, nullptr}));
  EXPECT_EQ(local->calls, 6);

  using CMM = Zel::Capability::CapabilityMetadataManager;
  auto metadata = MakeRef<LocalMetadataManager>();
  metadata->answer = true;
  EXPECT_EQ(Invoke<CMM>(metadata.Get(), 3, {}).Get(), Lumo::Primitive<bool>::Factory::sTrue);
  metadata->answer = false;
  EXPECT_EQ(Invoke<CMM>(metadata.Get(), 3, {}).Get(), Lumo::Primitive<bool>::Factory::sFalse);
}

TEST_F(InvokeTest, ArgumentsOfTheWrongClassAreRefusedBeforeTheImplementationRuns) {
  auto local = MakeRef<LocalProfileManager>();
  Ref<Any> yes(Lumo::Primitive<bool>::Factory::sTrue);
  auto refused = [&](Lumo::ManagedObjectType* type, Lumo::ManagedObject* object, int index,
                     Args args) {
    Ref<Any> result = Marker();
    EXPECT_THROW(type->GetInfo()->invokeByIndex(object, index, args, result),
                 Kestrum::TypeMismatchException)
        << type->GetName() << " index " << index;
    EXPECT_FALSE(result);
  };
  Lumo::ManagedObjectType* pm = Lumo::GetMoType<Zel::Profile::ProfileManager>();
  refused(pm, local.Get(), 4, {Boxed("not a create request")});
  refused(pm, local.Get(), 23, {Boxed("true"), nullptr, nullptr});
  refused(pm, local.Get(), 23, {yes, yes, nullptr});
  refused(pm, local.Get(), 19, {Ref<Any>(new Lumo::DataArray<Zel::Profile::ProfileId>), nullptr});
  refused(pm, local.Get(), 19, {nullptr, Boxed("false")});
  refused(pm, local.Get(), 16, {Marker(), nullptr, nullptr});
  EXPECT_EQ(local->calls, 0);

  auto root = MakeRef<LocalServiceInstance>();
  Lumo::ManagedObjectType* si = Lumo::GetMoType<Zel::ServiceInstance>();
  refused(si, root.Get(), 1, {yes});
  EXPECT_EQ(root->calls, 0);

  // An object that does not implement the interface.
  refused(pm, root.Get(), 23, {yes, nullptr, nullptr});
  refused(si, local.Get(), 0, {});
  refused(Lumo::GetMoType<Zel::Task>(), root.Get(), 0, {});
}

TEST_F(InvokeTest, ExceptionOfTheImplementationPassesUnchangedWithTheResultCleared) {
  auto root = MakeRef<LocalServiceInstance>();
  root->fail = true;
  Ref<Any> result = Marker();
  try {
    Args none;
    Lumo::GetMoType<Zel::ServiceInstance>()->GetInfo()->invokeByIndex(root.Get(), 0, none, result);
    FAIL() << "nothing thrown";
  } catch (const Zel::Fault::NotFound::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Zel::Fault::NotFound::Exception));
  }
  EXPECT_FALSE(result);
  EXPECT_EQ(root->calls, 1);
}

TEST_F(InvokeTest, IndexBeyondMethodsAndPropertiesIsNotReached) {
  auto root = MakeRef<LocalServiceInstance>();
  EXPECT_DEATH(Invoke<Zel::ServiceInstance>(root.Get(), 4, {}),
               std::string("NOT_REACHED ") + ZelRules::kRootUnit);
  auto local = MakeRef<LocalProfileManager>();
  EXPECT_DEATH(Invoke<Zel::Profile::ProfileManager>(local.Get(), 38, {}),
               std::string("NOT_REACHED ") + ZelRules::kProfileUnit);
  auto task = MakeRef<LocalTask>();
  EXPECT_DEATH(Invoke<Zel::Task>(task.Get(), 0, {}),
               std::string("NOT_REACHED ") + ZelRules::kRootUnit);
}

}  // namespace
