// Client stubs against a recording stub adapter: how arguments are packed,
// which method object a call names, how results are unpacked, and what the
// asynchronous members hand over untouched.
#include <Olyx/Zel/Capability/CapabilityMetadataManager.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include <memory>
#include <string>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Optional;
using Kestrum::Ref;
using Kestrum::System::ScheduledItem;
using Lumo::Any;
using Zel::Profile::ProfileId;
using Args = std::vector<Ref<Any>>;

class RecordingAdapter : public Lumo::StubAdapter {
 public:
  struct Call {
    Lumo::Stub* stub;
    Lumo::ManagedMethod* method;
    std::vector<Ref<Any>> args;
    std::vector<int> countsDuringCall;  // reference counts of the arguments
    bool started;
  };
  std::vector<Call> calls;
  Ref<Any> reply;                               // what every call yields
  std::unique_ptr<Kestrum::Exception> failure;  // thrown instead, when set
  Ref<ScheduledItem> startedItem;

  void Invoke(Lumo::Stub* stub, Lumo::ManagedMethod* method, std::vector<Ref<Any>>& args,
              Ref<Any>& result) override {
    Record(stub, method, args, false);
    if (failure) failure->Throw();
    result = reply;
  }
  void StartInvoke(Lumo::Stub* stub, Lumo::ManagedMethod* method, const std::vector<Ref<Any>>& args,
                   const Lumo::CompletionFunctor& completion, Ref<ScheduledItem>& item) override {
    Record(stub, method, args, true);
    startedItem = new ScheduledItem;
    item = startedItem;
    completion(startedItem.Get(), nullptr, reply.Get());
    startedItem->Complete();
  }
  const Call& Last() const { return calls.back(); }

 private:
  void Record(Lumo::Stub* stub, Lumo::ManagedMethod* method, const std::vector<Ref<Any>>& args,
              bool started) {
    Call call{stub, method, {}, {}, started};
    for (const auto& arg : args) call.countsDuringCall.push_back(arg ? arg->GetRefCount() : 0);
    call.args = args;
    calls.push_back(std::move(call));
  }
};

Lumo::ManagedMethod* Slot(Lumo::ManagedObjectType* type, int index) {
  return type->GetInfo()->methodObjects[index];
}

std::string BoxedString(const Ref<Any>& value) {
  auto* boxed = dynamic_cast<Lumo::Primitive<std::string>*>(value.Get());
  return boxed == nullptr ? "<not a boxed string>" : boxed->GetValue();
}

class StubTest : public ZelRules::RulesTest {
 protected:
  void SetUp() override { adapter = new RecordingAdapter; }

  Ref<Zel::Profile::ProfileManagerStub> ProfileManager() {
    return Ref<Zel::Profile::ProfileManagerStub>(new Zel::Profile::ProfileManagerStub(
        new Lumo::MoRef("zel.profile.ProfileManager", "pm"), adapter.Get(), nullptr));
  }
  static Lumo::ManagedObjectType* ProfileManagerType() {
    return Lumo::GetMoType<Zel::Profile::ProfileManager>();
  }

  Ref<RecordingAdapter> adapter;
};

TEST_F(StubTest, ArgumentsArePackedOneSlotPerParameter) {
  auto stub = ProfileManager();
  adapter->reply = new Lumo::Primitive<std::string>("ignored by a member without result");
  stub->ConfigureErrorMode(true, Optional<std::string>(), Optional<std::string>(""));
  ASSERT_EQ(adapter->calls.size(), 1u);
  const auto& configure = adapter->Last();
  EXPECT_FALSE(configure.started);
  EXPECT_EQ(configure.method, Slot(ProfileManagerType(), 23));
  ASSERT_EQ(configure.args.size(), 3u);
  EXPECT_EQ(configure.args[0].Get(), Lumo::Primitive<bool>::Factory::sTrue);
  EXPECT_EQ(configure.args[1].Get(), nullptr);
  EXPECT_EQ(BoxedString(configure.args[2]), "");

  stub->ConfigureErrorMode(false, Optional<std::string>("create"), Optional<std::string>());
  EXPECT_EQ(adapter->Last().args[0].Get(), Lumo::Primitive<bool>::Factory::sFalse);
  EXPECT_EQ(BoxedString(adapter->Last().args[1]), "create");
  EXPECT_EQ(adapter->Last().args[2].Get(), nullptr);

  adapter->reply = nullptr;
  Ref<Lumo::DataArray<Zel::Profile::ReconfigOutcome>> outcomes;
  stub->ApplyAssociated(nullptr, Optional<bool>(), outcomes);
  EXPECT_EQ(adapter->Last().method, Slot(ProfileManagerType(), 19));
  ASSERT_EQ(adapter->Last().args.size(), 2u);
  EXPECT_EQ(adapter->Last().args[0].Get(), nullptr) << "a null array is not an empty one";
  EXPECT_EQ(adapter->Last().args[1].Get(), nullptr);

  auto entities = MakeRef<Lumo::DataArray<Zel::ServerObjectRef>>();
  stub->ApplyAssociated(entities.Get(), Optional<bool>(false), outcomes);
  EXPECT_EQ(adapter->Last().args[0].Get(), entities.Get());
  EXPECT_EQ(adapter->Last().countsDuringCall[0], 2);
  EXPECT_EQ(adapter->Last().args[1].Get(), Lumo::Primitive<bool>::Factory::sFalse);

  auto createSpec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  Ref<ProfileId> id;
  stub->Create(createSpec.Get(), id);
  EXPECT_EQ(adapter->Last().method, Slot(ProfileManagerType(), 4));
  EXPECT_EQ(adapter->Last().args[0].Get(), createSpec.Get());
  EXPECT_EQ(adapter->Last().countsDuringCall[0], 2);
  adapter->calls.clear();
  EXPECT_EQ(createSpec->GetRefCount(), 1) << "the stub released its argument reference";
  EXPECT_EQ(entities->GetRefCount(), 1);
}

TEST_F(StubTest, EachMemberNamesItsMethodObjectSlot) {
  auto context = MakeRef<Lumo::RequestContext>();
  auto ref = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "ServiceInstance");
  Lumo::ManagedObjectType* type = Lumo::GetMoType<Zel::ServiceInstance>();
  Ref<Lumo::Stub> created(type->GetInfo()->createStub(ref.Get(), adapter.Get(), context.Get()));
  auto* stub = dynamic_cast<Zel::ServiceInstanceStub*>(created.Get());
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(stub->_GetType(), type);
  EXPECT_EQ(stub->_GetRef(), ref.Get());
  EXPECT_EQ(stub->_GetRequestContext(), context.Get());

  Ref<Zel::ServiceInstanceContent> content;
  Ref<Lumo::Array<std::string>> ids;
  Ref<Lumo::MoRef> debug;
  stub->GetContent(content);
  stub->RetrieveContent(content);
  stub->QueryAtomFeedQsProviderIds("kind", ids);
  stub->GetZelDebugManager(debug);
  ASSERT_EQ(adapter->calls.size(), 4u);
  const int expectedSlots[] = {3, 0, 1, 2};
  const char* expectedNames[] = {"content", "retrieveContent", "queryAtomFeedQsProviderIds",
                                 "getZelDebugManager"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(adapter->calls[i].method, Slot(type, expectedSlots[i])) << expectedNames[i];
    EXPECT_STREQ(adapter->calls[i].method->GetName(), expectedNames[i]);
    EXPECT_EQ(adapter->calls[i].stub, static_cast<Lumo::Stub*>(stub));
  }
  EXPECT_TRUE(adapter->calls[0].method->IsProperty());
  EXPECT_EQ(BoxedString(adapter->calls[2].args[0]), "kind");
  EXPECT_EQ(Slot(type, 4), nullptr);
}

TEST_F(StubTest, ResultsAreUnpackedByTheirKind) {
  auto stub = ProfileManager();
  auto id = MakeRef<ProfileId>();
  adapter->reply = nullptr;
  stub->Create(nullptr, id);
  EXPECT_FALSE(id) << "no value replaces the old result with null";

  auto created = MakeRef<ProfileId>();
  adapter->reply = created.Get();
  stub->Create(nullptr, id);
  EXPECT_EQ(id.Get(), created.Get());

  adapter->reply = nullptr;
  EXPECT_FALSE(stub->RetrieveContentAsString(nullptr, nullptr, nullptr).IsSet());
  adapter->reply = new Lumo::Primitive<std::string>("<profile/>");
  Optional<std::string> text = stub->RetrieveContentAsString(nullptr, nullptr, nullptr);
  ASSERT_TRUE(text.IsSet());
  EXPECT_EQ(text.GetValue(), "<profile/>");

  auto root = MakeRef<Zel::ServiceInstanceStub>(new Lumo::MoRef("zel.ServiceInstance", "si"),
                                                adapter.Get(), nullptr);
  adapter->reply = nullptr;
  Ref<Lumo::Array<std::string>> ids;
  root->QueryAtomFeedQsProviderIds("kind", ids);
  ASSERT_TRUE(ids) << "an absent array result becomes an empty array";
  EXPECT_EQ(ids->GetLength(), 0);
  Ref<Lumo::Array<std::string>> some(new Lumo::Array<std::string>{"a", "b"});
  adapter->reply = some.Get();
  root->QueryAtomFeedQsProviderIds("kind", ids);
  EXPECT_EQ(ids.Get(), some.Get());

  auto debug = MakeRef<Lumo::MoRef>("zel.ZelDebugManager", "old");
  adapter->reply = nullptr;
  root->GetZelDebugManager(debug);
  EXPECT_FALSE(debug);

  auto metadata = MakeRef<Zel::Capability::CapabilityMetadataManagerStub>(
      new Lumo::MoRef("zel.capability.CapabilityMetadataManager", "cm"), adapter.Get(), nullptr);
  adapter->reply = Lumo::Primitive<bool>::Factory::sTrue;
  EXPECT_TRUE(metadata->RemoveAllCapabilityMetadataDocuments());
  adapter->reply = Lumo::Primitive<bool>::Factory::sFalse;
  EXPECT_FALSE(metadata->RemoveAllCapabilityMetadataDocuments());
}

TEST_F(StubTest, ResultOfAnotherClassIsRefusedAndTheOldResultKept) {
  auto stub = ProfileManager();
  auto id = MakeRef<ProfileId>();
  ProfileId* before = id.Get();
  adapter->reply = new Lumo::Primitive<std::string>("not an id");
  EXPECT_THROW(stub->Create(nullptr, id), Kestrum::TypeMismatchException);
  EXPECT_EQ(id.Get(), before);

  auto outcomes = MakeRef<Lumo::DataArray<Zel::Profile::ReconfigOutcome>>();
  auto* previous = outcomes.Get();
  adapter->reply = new Lumo::DataArray<ProfileId>;
  EXPECT_THROW(stub->ApplyAssociated(nullptr, Optional<bool>(), outcomes),
               Kestrum::TypeMismatchException);
  EXPECT_EQ(outcomes.Get(), previous);

  adapter->reply = Lumo::Primitive<bool>::Factory::sTrue;
  EXPECT_THROW(stub->RetrieveContentAsString(nullptr, nullptr, nullptr),
               Kestrum::TypeMismatchException);
}

TEST_F(StubTest, ExceptionsOfTheCallPassThroughUnchanged) {
  auto stub = ProfileManager();
  adapter->failure.reset(new Zel::Fault::DuplicateName::Exception("gold"));
  auto createSpec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  auto id = MakeRef<ProfileId>();
  ProfileId* before = id.Get();
  try {
    stub->Create(createSpec.Get(), id);
    FAIL() << "nothing thrown";
  } catch (const Zel::Fault::DuplicateName::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Zel::Fault::DuplicateName::Exception));
    EXPECT_EQ(e.GetFault()->GetName(), "gold");
  }
  EXPECT_EQ(id.Get(), before);
  adapter->calls.clear();
  EXPECT_EQ(createSpec->GetRefCount(), 1);

  EXPECT_THROW(stub->ConfigureErrorMode(true, Optional<std::string>(), Optional<std::string>()),
               Zel::Fault::DuplicateName::Exception);
}

TEST_F(StubTest, AsynchronousMembersStartTheCallAndLeaveTheResultToTheCompletion) {
  auto stub = ProfileManager();
  auto createSpec = MakeRef<Zel::Profile::CapabilityBasedProfileCreateSpec>();
  adapter->reply = new Lumo::Primitive<std::string>("raw");  // not a ProfileId: not checked
  int completions = 0;
  ScheduledItem* completedItem = nullptr;
  Any* delivered = nullptr;
  Kestrum::Exception* error = nullptr;
  Lumo::CompletionFunctor completion = [&](ScheduledItem* item, Kestrum::Exception* e, Any* r) {
    ++completions;
    completedItem = item;
    error = e;
    delivered = r;
  };
  Ref<ScheduledItem> item;
  stub->Create(createSpec.Get(), completion, item);
  ASSERT_EQ(adapter->calls.size(), 1u);
  EXPECT_TRUE(adapter->Last().started);
  EXPECT_EQ(adapter->Last().method, Slot(ProfileManagerType(), 4));
  EXPECT_EQ(adapter->Last().args[0].Get(), createSpec.Get());
  EXPECT_EQ(adapter->Last().countsDuringCall[0], 2);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(delivered, adapter->reply.Get());
  EXPECT_EQ(item.Get(), adapter->startedItem.Get());
  EXPECT_EQ(completedItem, item.Get());

  auto root = MakeRef<Zel::ServiceInstanceStub>(new Lumo::MoRef("zel.ServiceInstance", "si"),
                                                adapter.Get(), nullptr);
  adapter->reply = nullptr;
  delivered = reinterpret_cast<Any*>(&completions);
  root->QueryAtomFeedQsProviderIds("kind", completion, item);
  EXPECT_EQ(delivered, nullptr) << "no empty-array substitution on the asynchronous path";
  EXPECT_EQ(adapter->Last().method, Slot(Lumo::GetMoType<Zel::ServiceInstance>(), 1));
  EXPECT_EQ(BoxedString(adapter->Last().args[0]), "kind");

  stub->ConfigureErrorMode(false, Optional<std::string>("x"), Optional<std::string>(), completion,
                           item);
  EXPECT_TRUE(adapter->Last().started);
  EXPECT_EQ(adapter->Last().args[0].Get(), Lumo::Primitive<bool>::Factory::sFalse);
  EXPECT_EQ(completions, 3);
  adapter->calls.clear();
  EXPECT_EQ(createSpec->GetRefCount(), 1);
}

// A value of a parameter or result record, distinct per tag.
Ref<Any> ValueFor(const Lumo::TypeInfo* type, uint32_t flags, const std::string& tag) {
  if (type == nullptr) return Ref<Any>();
  const bool array = (flags & Lumo::kFlagArray) != 0;
  if (type == &gStringTypeInfo) {
    return array ? Ref<Any>(new Lumo::Array<std::string>{tag})
                 : Ref<Any>(new Lumo::Primitive<std::string>(tag));
  }
  if (type == &gBoolTypeInfo && !array) return Ref<Any>(Lumo::Primitive<bool>::Factory::sTrue);
  if (type->kind == Lumo::kTypeKindManagedObject && !array) {
    return Ref<Any>(new Lumo::MoRef(type->name, tag));
  }
  auto* data = dynamic_cast<Lumo::DataObjectType*>(Lumo::FindTypeByName(type->name));
  if (data == nullptr) return Ref<Any>();
  return Ref<Any>(array ? data->CreateArray() : data->CreateInstance());
}

bool SameValue(const Ref<Any>& expected, const Ref<Any>& actual) {
  auto* text = dynamic_cast<Lumo::Primitive<std::string>*>(expected.Get());
  if (text != nullptr) return BoxedString(actual) == text->GetValue();
  return expected.Get() == actual.Get();
}

// invokeByIndex on a stub calls the stub's own member, which packs the
// unpacked arguments again: every method and property of every managed type
// must reach its own method object with its arguments in order, and the
// result must come back as it was given.
TEST_F(StubTest, EveryMemberRoundTripsThroughInvokeByIndexOfItsStub) {
  int members = 0;
  for (const auto& reg : Lumo::GetLoaderRegistrations()) {
    if (reg.name != "zel") continue;
    for (const Lumo::Type* type : reg.types) {
      if (!type->IsManagedObject()) continue;
      auto* managed = static_cast<const Lumo::ManagedObjectType*>(type);
      const Lumo::ManagedTypeInfo* info = managed->GetInfo();
      Ref<Lumo::Stub> stub(
          info->createStub(new Lumo::MoRef(type->GetName(), "x"), adapter.Get(), nullptr));
      ASSERT_TRUE(stub) << type->GetName();
      EXPECT_EQ(stub->_GetType(), type);
      for (int index = 0; info->methodObjects[index] != nullptr; ++index, ++members) {
        Lumo::ManagedMethod* method = info->methodObjects[index];
        SCOPED_TRACE(method->GetQualifiedName());
        Args args;
        if (const Lumo::MethodInfo* m = method->GetMethodInfo()) {
          for (int k = 0; m->parameters[k].name != nullptr; ++k) {
            const Lumo::ParamInfo& p = m->parameters[k];
            args.push_back(ValueFor(p.type, p.flags, "a" + std::to_string(k)));
            EXPECT_TRUE(args.back()) << "no value for parameter " << p.name;
          }
          adapter->reply = ValueFor(m->result.type, m->result.flags, "result");
        } else {
          adapter->reply = ValueFor(method->GetPropInfo()->type, method->GetPropInfo()->flags, "p");
        }
        adapter->calls.clear();
        Ref<Any> result;
        Args sent = args;
        info->invokeByIndex(stub.Get(), index, sent, result);
        ASSERT_EQ(adapter->calls.size(), 1u);
        EXPECT_EQ(adapter->Last().method, method);
        ASSERT_EQ(adapter->Last().args.size(), args.size());
        for (size_t k = 0; k < args.size(); ++k) {
          EXPECT_TRUE(SameValue(args[k], adapter->Last().args[k])) << "argument " << k;
        }
        EXPECT_TRUE(SameValue(adapter->reply, result));
      }
    }
  }
  EXPECT_EQ(members, 95);
}

}  // namespace
