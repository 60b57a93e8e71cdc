// Every method and property of the 19 managed types called through a client
// stub over the wire adapter (and over the local adapter), against recording
// serving objects: arguments arrive equal, results come back equal, absent
// array results become empty arrays, declared faults arrive typed.
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

struct Totals {
  int methods = 0;
  int properties = 0;
  int faults = 0;
};

class MethodsTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  // true: the wire adapter over the loopback; false: the local adapter.
  Ref<Lumo::StubAdapter> Adapter() {
    if (GetParam())
      return Ref<Lumo::StubAdapter>(new Lumo::Wire::WireStubAdapter(service.transport.Get()));
    return Ref<Lumo::StubAdapter>(new Lumo::Wire::LocalStubAdapter(service.registry.Get()));
  }

  std::vector<Ref<Any>> Arguments(const Lumo::ManagedMethod* m, WireTest::Filler& filler,
                                  bool optionalsToo) {
    std::vector<Ref<Any>> args;
    for (const Lumo::ParamInfo* p = WireTest::ParametersOf(m); p->name; ++p) {
      bool optional = (p->flags & Lumo::kFlagOptional) != 0;
      args.push_back(optional && !optionalsToo ? Ref<Any>() : filler.Boxed(p->type, p->flags));
    }
    return args;
  }

  WireTest::Service service;
};

TEST_P(MethodsTest, EveryMethodCarriesItsArgumentsAndResult) {
  Ref<Lumo::StubAdapter> adapter = Adapter();
  WireTest::Filler filler(11);
  Totals totals;
  for (const Lumo::ManagedObjectType* type : service.types) {
    Ref<Lumo::Stub> stub = service.ClientStub(type, adapter.Get());
    for (int i = 0; i < type->GetMethodObjectCount(); ++i) {
      Lumo::ManagedMethod* m = type->GetMethod(i);
      (m->IsProperty() ? totals.properties : totals.methods)++;
      for (bool optionalsToo : {true, false}) {
        std::vector<Ref<Any>> args = Arguments(m, filler, optionalsToo);
        std::vector<Ref<Any>> sent = args;
        const Lumo::TypeInfo* resultType;
        uint32_t resultFlags;
        Ref<Any> expected;
        if (WireTest::ResultOf(m, &resultType, &resultFlags)) {
          expected = filler.Boxed(resultType, resultFlags);
        }
        service.recorder->Answer(expected.Get());
        size_t before = service.recorder->Count();
        Ref<Any> result;
        try {
          stub->_Invoke_Task(m, args, result);
        } catch (const Lumo::MethodFault::Exception& e) {
          ADD_FAILURE() << m->GetQualifiedName() << ": " << e.what();
          continue;
        }
        ASSERT_EQ(service.recorder->Count(), before + 1) << m->GetQualifiedName();
        WireTest::RecordingAdapter::Call call = service.recorder->Last();
        EXPECT_EQ(call.method, m);
        ASSERT_EQ(call.args.size(), sent.size()) << m->GetQualifiedName();
        for (size_t k = 0; k < sent.size(); ++k) {
          std::string why;
          EXPECT_TRUE(WireTest::SameValue(sent[k].Get(), call.args[k].Get(), &why))
              << m->GetQualifiedName() << " argument " << k << ": " << why;
        }
        std::string why;
        EXPECT_TRUE(WireTest::SameValue(expected.Get(), result.Get(), &why))
            << m->GetQualifiedName() << " result: " << why;
      }
    }
  }
  // 94 methods, and the one property of zel.ServiceInstance.
  EXPECT_EQ(totals.methods, 94);
  EXPECT_EQ(totals.properties, 1);
}

TEST_P(MethodsTest, AbsentArrayResultsBecomeEmptyArrays) {
  Ref<Lumo::StubAdapter> adapter = Adapter();
  WireTest::Filler filler(12);
  int arrays = 0;
  for (const Lumo::ManagedObjectType* type : service.types) {
    Ref<Lumo::Stub> stub = service.ClientStub(type, adapter.Get());
    for (int i = 0; i < type->GetMethodObjectCount(); ++i) {
      Lumo::ManagedMethod* m = type->GetMethod(i);
      const Lumo::TypeInfo* resultType;
      uint32_t flags;
      if (!WireTest::ResultOf(m, &resultType, &flags)) continue;
      bool plainRequired = !(flags & (Lumo::kFlagArray | Lumo::kFlagOptional)) &&
                           (resultType == &gStringTypeInfo || resultType == &gBoolTypeInfo);
      if (plainRequired) continue;  // always delivered
      service.recorder->Answer(nullptr);
      std::vector<Ref<Any>> args = Arguments(m, filler, false);
      Ref<Any> result;
      stub->_Invoke_Task(m, args, result);
      if (flags & Lumo::kFlagArray) {
        ++arrays;
        ASSERT_TRUE(result) << m->GetQualifiedName();
        auto* collection = dynamic_cast<Lumo::Collection*>(result.Get());
        ASSERT_TRUE(collection) << m->GetQualifiedName();
        EXPECT_EQ(collection->_GetLength(), 0) << m->GetQualifiedName();
        EXPECT_EQ(result->_GetType()->GetElementType()->GetTypeInfo(), resultType)
            << m->GetQualifiedName();
      } else {
        EXPECT_FALSE(result) << m->GetQualifiedName();
      }
    }
  }
  EXPECT_GT(arrays, 40);
}

TEST_P(MethodsTest, DeclaredFaultsArriveAsTheirOwnExceptionClass) {
  Ref<Lumo::StubAdapter> adapter = Adapter();
  WireTest::Filler filler(13);
  int faults = 0;
  for (const Lumo::ManagedObjectType* type : service.types) {
    Ref<Lumo::Stub> stub = service.ClientStub(type, adapter.Get());
    for (int i = 0; i < type->GetOwnMethodCount(); ++i) {
      Lumo::ManagedMethod* m = type->GetMethod(i);
      for (const Lumo::TypeInfo* const* f = m->GetMethodInfo()->faults; *f; ++f) {
        auto* faultType = WireTest::DataTypeNamed((*f)->name);
        ASSERT_TRUE(faultType) << (*f)->name;
        Ref<Any> made = filler.Object(faultType);
        Ref<Lumo::MethodFault> fault(static_cast<Lumo::MethodFault*>(made.Get()));
        service.recorder->Fail(fault.Get());
        std::unique_ptr<Lumo::MethodFault::Exception> model(fault->CreateException());
        std::vector<Ref<Any>> args = Arguments(m, filler, true);
        Ref<Any> result;
        try {
          stub->_Invoke_Task(m, args, result);
          ADD_FAILURE() << m->GetQualifiedName() << " did not fail with " << (*f)->name;
        } catch (const Lumo::MethodFault::Exception& e) {
          ++faults;
          EXPECT_EQ(typeid(e), typeid(*model)) << m->GetQualifiedName() << " " << (*f)->name;
          std::string why;
          EXPECT_TRUE(WireTest::SameValue(fault.Get(), e.GetFault(), &why))
              << m->GetQualifiedName() << " " << (*f)->name << ": " << why;
        }
      }
    }
  }
  EXPECT_GT(faults, 90);
}

INSTANTIATE_TEST_SUITE_P(Adapters, MethodsTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Wire" : "Local";
                         });

// ---- Typed calls through the generated stub members ------------------------------

class TypedCallsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  template <class Interface>
  Ref<Lumo::Stub> Stub(const char* typeName) {
    adapter = new Lumo::Wire::WireStubAdapter(service.transport.Get());
    return service.ClientStub(WireTest::ManagedTypeNamed(typeName), adapter.Get());
  }

  WireTest::Service service;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
};

TEST_F(TypedCallsTest, QueryProfileGivesAnEmptyArrayForNoValue) {
  Ref<Lumo::Stub> stub = Stub<Zel::Profile::ProfileManager>("zel.profile.ProfileManager");
  auto* manager = dynamic_cast<Zel::Profile::ProfileManager*>(stub.Get());
  ASSERT_TRUE(manager);
  service.recorder->Answer(nullptr);
  auto resourceType = MakeRef<Zel::Profile::ResourceType>();
  resourceType->SetResourceType("STORAGE");
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> result;
  manager->QueryProfile(resourceType.Get(), Kestrum::Optional<std::string>("REQUIREMENT"), result);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->GetLength(), 0);
  auto call = service.recorder->Last();
  ASSERT_EQ(call.args.size(), 2u);
  EXPECT_TRUE(WireTest::SameValue(resourceType.Get(), call.args[0].Get()));
  auto* category = dynamic_cast<Lumo::Primitive<std::string>*>(call.args[1].Get());
  ASSERT_TRUE(category);
  EXPECT_EQ(category->GetValue(), "REQUIREMENT");
  EXPECT_NE(service.transport->lastRequest.body.find("<ZelQueryProfile xmlns=\"urn:zel\">"),
            std::string::npos)
      << service.transport->lastRequest.body;
}

TEST_F(TypedCallsTest, ConfigureErrorModeSendsSetOptionalsOnly) {
  Ref<Lumo::Stub> stub = Stub<Zel::Profile::ProfileManager>("zel.profile.ProfileManager");
  auto* manager = dynamic_cast<Zel::Profile::ProfileManager*>(stub.Get());
  manager->ConfigureErrorMode(true, Kestrum::Optional<std::string>(),
                              Kestrum::Optional<std::string>(""));
  auto call = service.recorder->Last();
  ASSERT_EQ(call.args.size(), 3u);
  EXPECT_EQ(call.args[0].Get(), Lumo::Primitive<bool>::Factory::sTrue);
  EXPECT_FALSE(call.args[1]);
  auto* third = dynamic_cast<Lumo::Primitive<std::string>*>(call.args[2].Get());
  ASSERT_TRUE(third);
  EXPECT_EQ(third->GetValue(), "");
}

TEST_F(TypedCallsTest, StringResultsOptionalAndRequired) {
  Ref<Lumo::Stub> stub = Stub<Zel::Profile::ProfileManager>("zel.profile.ProfileManager");
  auto* manager = dynamic_cast<Zel::Profile::ProfileManager*>(stub.Get());
  WireTest::Filler filler(5);
  Ref<Any> id = filler.Object(WireTest::DataTypeNamed("zel.profile.ProfileId"));
  auto* profileId = static_cast<Zel::Profile::ProfileId*>(id.Get());
  Ref<Any> hubValue = filler.Object(WireTest::DataTypeNamed("zel.placement.PlacementHub"));
  auto* hub = static_cast<Zel::Placement::PlacementHub*>(hubValue.Get());
  service.recorder->Answer(nullptr);
  EXPECT_FALSE(manager->RetrieveContentAsString(profileId, hub, nullptr).IsSet());
  service.recorder->Answer(new Lumo::Primitive<std::string>("<profiles/> & more"));
  Kestrum::Optional<std::string> text = manager->RetrieveContentAsString(profileId, hub, nullptr);
  ASSERT_TRUE(text.IsSet());
  EXPECT_EQ(text.GetValue(), "<profiles/> & more");
}

TEST_F(TypedCallsTest, ServiceContentAndReferences) {
  Ref<Lumo::Stub> stub = Stub<Zel::ServiceInstance>("zel.ServiceInstance");
  auto* si = dynamic_cast<Zel::ServiceInstance*>(stub.Get());
  WireTest::Filler filler(21);
  Ref<Any> content = filler.Object(WireTest::DataTypeNamed("zel.ServiceInstanceContent"));
  service.recorder->Answer(content.Get());
  Ref<Zel::ServiceInstanceContent> got;
  si->GetContent(got);
  EXPECT_TRUE(WireTest::SameValue(content.Get(), got.Get()));
  service.recorder->Answer(new Lumo::MoRef("zel.ZelDebugManager", "debug"));
  Ref<Lumo::MoRef> ref;
  si->GetZelDebugManager(ref);
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->GetTypeName(), "zel.ZelDebugManager");
  EXPECT_EQ(ref->GetId(), "debug");
  service.recorder->Answer(nullptr);
  Ref<Lumo::Array<std::string>> ids;
  si->QueryAtomFeedQsProviderIds("kind", ids);
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->GetLength(), 0);
}

TEST_F(TypedCallsTest, AsynchronousCallsCompleteWithResultOrException) {
  Ref<Lumo::Stub> stub = Stub<Zel::Profile::ProfileManagerStub>("zel.profile.ProfileManager");
  auto* manager = dynamic_cast<Zel::Profile::ProfileManagerStub*>(stub.Get());
  ASSERT_TRUE(manager);
  WireTest::Filler filler(31);
  Ref<Any> id = filler.Object(WireTest::DataTypeNamed("zel.profile.ProfileId"));
  service.recorder->Answer(id.Get());
  Ref<Any> spec =
      filler.Object(WireTest::DataTypeNamed("zel.profile.CapabilityBasedProfileCreateSpec"));
  Ref<Any> got;
  bool failed = false;
  Ref<Kestrum::System::ScheduledItem> item;
  manager->Create(static_cast<Zel::Profile::CapabilityBasedProfileCreateSpec*>(spec.Get()),
                  Lumo::CompletionFunctor(
                      [&](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Any* result) {
                        failed = e != nullptr;
                        got = result;
                      }),
                  item);
  ASSERT_TRUE(item);
  item->Wait();
  EXPECT_FALSE(failed);
  EXPECT_TRUE(WireTest::SameValue(id.Get(), got.Get()));

  auto fault = MakeRef<Zel::Fault::NotFound>();
  fault->SetMsg("no such profile");
  service.recorder->Fail(fault.Get());
  std::string caught;
  manager->Create(
      static_cast<Zel::Profile::CapabilityBasedProfileCreateSpec*>(spec.Get()),
      Lumo::CompletionFunctor([&](Kestrum::System::ScheduledItem*, Kestrum::Exception* e, Any*) {
        if (auto* typed = dynamic_cast<Zel::Fault::NotFound::Exception*>(e)) {
          caught = typed->GetFault()->GetMsg();
        }
      }),
      item);
  item->Wait();
  EXPECT_EQ(caught, "no such profile");
}

TEST_F(TypedCallsTest, RequestContextTravelsAndTheCallKnowsItsVersion) {
  auto context = MakeRef<Lumo::RequestContext>();
  context->Set("operationID", "op <7> & \"x\"");
  Lumo::Wire::Options options;
  options.version = "zel.version.version2";
  adapter = new Lumo::Wire::WireStubAdapter(service.transport.Get(), options);
  Ref<Lumo::Stub> stub = service.ClientStub(
      WireTest::ManagedTypeNamed("zel.profile.ProfileManager"), adapter.Get(), context.Get());
  auto* manager = dynamic_cast<Zel::Profile::ProfileManager*>(stub.Get());
  manager->ResetKoruDefaultProfile();
  auto call = service.recorder->Last();
  ASSERT_EQ(call.context.size(), 1u);
  EXPECT_EQ(call.context[0].first, "operationID");
  EXPECT_EQ(call.context[0].second, "op <7> & \"x\"");
  EXPECT_EQ(service.transport->lastRequest.action, "urn:zel/2.0");
}

}  // namespace

namespace {

// Several threads share one wire adapter, transport and dispatcher.
TEST(ConcurrentCallsTest, ThreadsShareAdapterTransportAndDispatcher) {
  WireTest::StartRuntime();
  WireTest::Service service;
  auto* type = WireTest::ManagedTypeNamed("zel.profile.ProfileManager");
  WireTest::Filler filler(51);
  Ref<Any> answer = filler.Boxed(&gZelProfileProfileIdTypeInfo, Lumo::kFlagArray);
  service.recorder->Answer(answer.Get());
  Ref<Lumo::StubAdapter> adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
  Ref<Lumo::Stub> stub = service.ClientStub(type, adapter.Get());
  Lumo::ManagedMethod* method = type->FindMethod("queryProfile");
  Ref<Any> resourceType = filler.Object(WireTest::DataTypeNamed("zel.profile.ResourceType"));
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        std::vector<Ref<Any>> args{resourceType, Ref<Any>()};
        Ref<Any> result;
        stub->_Invoke_Task(method, args, result);
        if (WireTest::SameValue(answer.Get(), result.Get())) ++good;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), 200);
}

}  // namespace

namespace {

// Failures that are not faults become faults of the runtime on the way back.
TEST(RuntimeFailuresTest, PlainExceptionsAndTypeMismatchesArriveAsRuntimeFaults) {
  WireTest::StartRuntime();
  WireTest::Service service;
  auto* type = WireTest::ManagedTypeNamed("zel.profile.ProfileManager");
  Ref<Lumo::StubAdapter> adapter = MakeRef<Lumo::Wire::WireStubAdapter>(service.transport.Get());
  Ref<Lumo::Stub> stub = service.ClientStub(type, adapter.Get());
  Lumo::ManagedMethod* method = type->FindMethod("resetKoruDefaultProfile");
  std::vector<Ref<Any>> args;
  Ref<Any> result;
  service.recorder->FailPlainly(1);
  try {
    stub->_Invoke_Task(method, args, result);
    FAIL();
  } catch (const Lumo::MethodFault::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Lumo::MethodFault::Exception));
    EXPECT_NE(e.GetFault()->GetMsg().find("plain failure"), std::string::npos);
  }
  service.recorder->FailPlainly(2);
  try {
    stub->_Invoke_Task(method, args, result);
    FAIL();
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Lumo::Fault::InvalidArgument::Exception));
    EXPECT_NE(e.GetFault()->GetMsg().find("MoRef"), std::string::npos) << e.GetFault()->GetMsg();
  }
  service.recorder->FailPlainly(0);
}

}  // namespace
