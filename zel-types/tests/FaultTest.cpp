// Faults and their exception classes: construction, the message text, shared
// fault objects, catching by ancestor and polymorphic rethrowing.
#include <Olyx/Zel/Capability/CapabilityMetadata.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Fault/IncompatibleVendorSpecificRuleSet.h>
#include <Olyx/Zel/Fault/NotFound.h>
#include <Olyx/Zel/Fault/PropertyMismatchFault.h>
#include <Olyx/Zel/Placement/PlacementHub.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using namespace Zel::Fault;

class FaultTest : public ZelRules::RulesTest {};

std::string ExpectedText(const Lumo::MethodFault* fault) {
  return "Message is: " + fault->GetMsg() + ",\nFault cause: " + fault->_GetType()->GetName() +
         "\nFault Messages are:\n" + Lumo::SerializeToText(fault->GetPtrFaultMessage()) + "\n";
}

TEST_F(FaultTest, DefaultConstructedExceptionIsCaughtAsEveryAncestor) {
  auto throwIt = [] { throw NotFound::Exception(); };
  try {
    throwIt();
    FAIL() << "nothing thrown";
  } catch (const ZELFault::Exception& e) {
    NotFound* fault = dynamic_cast<const NotFound::Exception&>(e).GetFault();
    ASSERT_NE(fault, nullptr);
    EXPECT_EQ(fault->_GetType(), Lumo::GetDoType<NotFound>());
    EXPECT_EQ(fault->GetRefCount(), 1) << "held by the exception alone";
    EXPECT_EQ(fault->PeekMsg(), nullptr);
  }
  EXPECT_THROW(throwIt(), Lumo::MethodFault::Exception);
  EXPECT_THROW(throwIt(), Kestrum::Exception);
  EXPECT_THROW(throwIt(), Kestrum::Throwable);
  EXPECT_THROW(throwIt(), std::exception);
  EXPECT_THROW(
      throw IncompatibleVendorSpecificRuleSet::Exception(nullptr, nullptr, nullptr, nullptr),
      PropertyMismatchFault::Exception);
}

TEST_F(FaultTest, MessageHasThreeLinesComposedOnceAtConstruction) {
  NotFound::Exception bare;
  EXPECT_EQ(std::string(bare.what()), ExpectedText(bare.GetFault()));
  EXPECT_EQ(std::string(bare.what())
                .rfind("Message is: ,\nFault cause: zel.fault.NotFound\n"
                       "Fault Messages are:\n",
                       0),
            0u);

  auto fault = MakeRef<NotFound>();
  fault->GetFaultMessage();  // present but empty
  fault->SetMsg("no such profile");
  NotFound::Exception empty(fault.Get());
  EXPECT_EQ(std::string(empty.what()), ExpectedText(fault.Get()));

  fault->GetFaultMessage()->Append(
      new Lumo::KeyAnyValue("profile", new Lumo::Primitive<std::string>("gold")));
  NotFound::Exception listed(fault.Get());
  const std::string text = listed.what();
  EXPECT_EQ(text, ExpectedText(fault.Get()));
  EXPECT_NE(text.find("gold"), std::string::npos);

  fault->SetMsg("changed later");
  EXPECT_EQ(std::string(listed.what()), text);
  NotFound::Exception copy(listed);
  EXPECT_EQ(std::string(copy.what()), text);
}

TEST_F(FaultTest, ValueConstructorsStoreWithoutValidationAndTakeOneReferenceEach) {
  DuplicateName::Exception duplicate("gold\x01");
  EXPECT_EQ(duplicate.GetFault()->GetName(), "gold\x01");
  EXPECT_EQ(duplicate.GetFault()->_GetType(), Lumo::GetDoType<DuplicateName>());

  auto hub = MakeRef<Zel::Placement::PlacementHub>();
  auto id = MakeRef<Zel::Capability::CapabilityMetadata::UniqueId>();
  auto requirement = MakeRef<Zel::Capability::PropertyInstance>();
  auto resource = MakeRef<Zel::Capability::PropertyInstance>();
  {
    IncompatibleVendorSpecificRuleSet::Exception e(hub.Get(), id.Get(), requirement.Get(),
                                                   resource.Get());
    IncompatibleVendorSpecificRuleSet* fault = e.GetFault();
    EXPECT_EQ(fault->GetHub(), hub.Get());
    EXPECT_EQ(fault->GetCapabilityInstanceId(), id.Get());
    EXPECT_EQ(fault->GetRequirementPropertyInstance(), requirement.Get());
    EXPECT_EQ(fault->GetResourcePropertyInstance(), resource.Get());
    for (const Lumo::Any* value :
         {static_cast<const Lumo::Any*>(hub.Get()), static_cast<const Lumo::Any*>(id.Get()),
          static_cast<const Lumo::Any*>(requirement.Get()),
          static_cast<const Lumo::Any*>(resource.Get())}) {
      EXPECT_EQ(value->GetRefCount(), 2);
    }
  }
  EXPECT_EQ(hub->GetRefCount(), 1);
  EXPECT_EQ(resource->GetRefCount(), 1);

  IncompatibleVendorSpecificRuleSet::Exception partial(nullptr, id.Get(), nullptr, nullptr);
  EXPECT_EQ(partial.GetFault()->GetHub(), nullptr);
  EXPECT_EQ(partial.GetFault()->GetCapabilityInstanceId(), id.Get());
  EXPECT_EQ(partial.GetFault()->GetRequirementPropertyInstance(), nullptr);
  EXPECT_EQ(partial.GetFault()->GetResourcePropertyInstance(), nullptr);
}

TEST_F(FaultTest, CopiesAndClonesShareTheFault) {
  auto fault = MakeRef<DuplicateName>();
  {
    DuplicateName::Exception original(fault.Get());
    DuplicateName::Exception copy(original);
    EXPECT_EQ(copy.GetFault(), original.GetFault());
    EXPECT_EQ(copy.GetFault(), fault.Get());
    std::unique_ptr<Kestrum::Exception> clone(original.Clone());
    ASSERT_NE(dynamic_cast<DuplicateName::Exception*>(clone.get()), nullptr);
    EXPECT_EQ(dynamic_cast<DuplicateName::Exception*>(clone.get())->GetFault(), fault.Get());
    EXPECT_EQ(fault->GetRefCount(), 4);
  }
  EXPECT_EQ(fault->GetRefCount(), 1);
}

TEST_F(FaultTest, RethrowFollowsTheDynamicClass) {
  PropertyMismatchFault::Exception mismatch(nullptr, nullptr, nullptr);
  const CompatibilityCheckFault::Exception& base = mismatch;
  try {
    base.Throw();
  } catch (const CompatibilityCheckFault::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(PropertyMismatchFault::Exception));
    EXPECT_EQ(e.GetFault(), mismatch.GetFault());
  }

  // The runtime's Throw of a fault ends in the fault's own ThrowInternal.
  Ref<Lumo::MethodFault> fault = MakeRef<DuplicateName>();
  try {
    fault->Throw();
  } catch (const Lumo::MethodFault::Exception& e) {
    EXPECT_EQ(typeid(e), typeid(DuplicateName::Exception));
    EXPECT_EQ(e.GetFault(), fault.Get());
  }

  Ref<Lumo::MethodFault> rules = MakeRef<IncompatibleVendorSpecificRuleSet>();
  std::unique_ptr<Lumo::MethodFault::Exception> created(rules->CreateException());
  ASSERT_TRUE(created);
  EXPECT_EQ(typeid(*created), typeid(IncompatibleVendorSpecificRuleSet::Exception));
  EXPECT_EQ(created->GetFault(), rules.Get());
  EXPECT_EQ(std::string(created->what()), ExpectedText(rules.Get()));
}

// An exception whose held fault is not of its class can only be forged
// through the protected constructor; asking it for the fault asserts.
class ForgedDuplicate : public DuplicateName::Exception {
 public:
  explicit ForgedDuplicate(Lumo::MethodFault* fault) : DuplicateName::Exception("forged", fault) {}
};

TEST_F(FaultTest, FaultOfAnotherClassAssertsInTheDeclarationHeader) {
  auto other = MakeRef<NotFound>();
  ForgedDuplicate forged(other.Get());
  EXPECT_DEATH(forged.GetFault(), ZelRules::HeaderAssert("Fault/DuplicateName-decl"));
}

}  // namespace
