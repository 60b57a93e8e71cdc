// Data object classes: the accessors of every property kind, validation before
// assignment, lazily created arrays (also under concurrent readers), deep
// clones, loose matching, date-times across zones and diff paths.
#include <Olyx/Zel/AboutInfo.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>
#include <Olyx/Zel/Compliance/OperationalStatus.h>
#include <Olyx/Zel/ExtendedElementDescription.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/ServerObjectRef.h>
#include <Olyx/Zel/ServiceInstanceContent.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Optional;
using Kestrum::Ref;
using Kestrum::System::DateTime;
using InvalidString = Lumo::Fault::InvalidArgument::Exception;

class DataObjectTest : public ZelRules::RulesTest {};

std::vector<std::string> Paths(const Lumo::PropertyDiffSet& diffs) {
  std::vector<std::string> out;
  for (const auto& path : diffs.GetChanged()) out.push_back(path.ToString());
  return out;
}

TEST_F(DataObjectTest, RequiredStringValidatesBeforeAssignmentUnlessGivenRawText) {
  auto about = MakeRef<Zel::AboutInfo>();
  EXPECT_EQ(about->GetName(), "");
  EXPECT_EQ(about->PeekName(), &about->GetName());

  about->SetName(std::string("zel"));
  EXPECT_THROW(about->SetName(std::string("bad\x01")), InvalidString);
  EXPECT_THROW(about->SetName(std::string("bad\xC3\x28")), InvalidString);
  EXPECT_EQ(about->GetName(), "zel");

  std::string refused("\x01");
  EXPECT_THROW(about->SwapName(&refused), InvalidString);
  EXPECT_EQ(about->GetName(), "zel");
  EXPECT_EQ(refused, "\x01");

  std::string other("other");
  about->SwapName(&other);
  EXPECT_EQ(about->GetName(), "other");
  EXPECT_EQ(other, "zel");

  // The raw-text setter stores without looking.
  about->SetVersion("raw\x01");
  EXPECT_EQ(about->GetVersion(), "raw\x01");
}

TEST_F(DataObjectTest, OptionalStringIsAbsentUntilSetAndRefusesInvalidText) {
  auto ref = MakeRef<Zel::ServerObjectRef>();
  std::string out = "untouched";
  EXPECT_FALSE(ref->GetServerUuid(out));
  EXPECT_EQ(out, "untouched");
  EXPECT_EQ(ref->PeekServerUuid(), nullptr);
  EXPECT_FALSE(ref->GetServerUuid().IsSet());

  ref->SetServerUuid(Optional<std::string>("uuid-1"));
  EXPECT_THROW(ref->SetServerUuid(Optional<std::string>("\x02")), InvalidString);
  ASSERT_TRUE(ref->GetServerUuid(out));
  EXPECT_EQ(out, "uuid-1");
  ASSERT_NE(ref->PeekServerUuid(), nullptr);
  EXPECT_EQ(*ref->PeekServerUuid(), "uuid-1");

  Optional<std::string> unset;
  ref->SwapServerUuid(&unset);
  EXPECT_EQ(ref->PeekServerUuid(), nullptr);
  ASSERT_TRUE(unset.IsSet());
  EXPECT_EQ(unset.GetValue(), "uuid-1");

  ref->SetServerUuid(Optional<std::string>(""));
  EXPECT_TRUE(ref->GetServerUuid().IsSet());
  ref->UnsetServerUuid();
  EXPECT_EQ(ref->PeekServerUuid(), nullptr);
}

TEST_F(DataObjectTest, ValueKindsOfInheritedAndOwnProperties) {
  auto profile = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  int64_t generation = -1;
  EXPECT_FALSE(profile->GetGenerationId(generation));
  profile->SetGenerationId(Optional<int64_t>(7));
  ASSERT_TRUE(profile->GetGenerationId(generation));
  EXPECT_EQ(generation, 7);
  EXPECT_EQ(*profile->PeekGenerationId(), 7);
  profile->UnsetGenerationId();
  EXPECT_EQ(profile->PeekGenerationId(), nullptr);

  EXPECT_FALSE(profile->IsIsDefault());
  profile->SetIsDefault(true);
  EXPECT_TRUE(*profile->PeekIsDefault());
  bool flag = false;
  profile->SwapIsDefault(&flag);
  EXPECT_FALSE(profile->IsIsDefault());
  EXPECT_TRUE(flag);

  // Inherited from Profile: required date-time and an optional string whose
  // validation uses the parent's own index.
  EXPECT_EQ(profile->GetCreationTime().GetUtcTime(), 0);
  profile->SetCreationTime(DateTime(1700000000000000));
  EXPECT_EQ(profile->PeekCreationTime()->GetUtcTime(), 1700000000000000);
  EXPECT_THROW(profile->SetDescription(Optional<std::string>("\x03")), InvalidString);
  EXPECT_EQ(profile->PeekDescription(), nullptr);
  EXPECT_THROW(profile->SetLineOfService(Optional<std::string>("\x03")), InvalidString);
  EXPECT_EQ(profile->PeekLineOfService(), nullptr);

  // Optional booleans: false is a set value, not an absent one.
  auto status = MakeRef<Zel::Compliance::OperationalStatus>();
  bool healthy = true;
  EXPECT_FALSE(status->IsHealthy(healthy));
  status->SetHealthy(Optional<bool>(false));
  ASSERT_TRUE(status->IsHealthy(healthy));
  EXPECT_FALSE(healthy);
  ASSERT_NE(status->PeekHealthy(), nullptr);
  EXPECT_FALSE(*status->PeekHealthy());
}

TEST_F(DataObjectTest, ReferenceHeldPropertiesCountTheirHolders) {
  auto content = MakeRef<Zel::ServiceInstanceContent>();
  EXPECT_EQ(content->GetReplicationManager(), nullptr);

  auto about = MakeRef<Zel::AboutInfo>();
  content->SetAboutInfo(about.Get());
  EXPECT_EQ(about->GetRefCount(), 2);
  EXPECT_EQ(content->PeekAboutInfo(), about.Get());

  auto other = MakeRef<Zel::AboutInfo>();
  content->SwapAboutInfo(&other);
  EXPECT_EQ(other.Get(), about.Get());
  EXPECT_EQ(about->GetRefCount(), 2);
  EXPECT_EQ(other->GetRefCount(), 2);
  EXPECT_NE(content->GetAboutInfo(), about.Get());
  EXPECT_EQ(content->GetAboutInfo()->GetRefCount(), 1);

  auto manager = MakeRef<Lumo::MoRef>("zel.replication.ReplicationManager", "rm-1");
  content->SetReplicationManager(manager.Get());
  EXPECT_EQ(content->GetReplicationManager(), manager.Get());
  EXPECT_EQ(manager->GetRefCount(), 2);
  content.Reset();
  EXPECT_EQ(manager->GetRefCount(), 1);
}

TEST_F(DataObjectTest, ArrayIsCreatedOnceByGetNeverByGetPtrAndEmptyCountsAsAbsent) {
  auto text = MakeRef<Zel::ExtendedElementDescription>();
  EXPECT_EQ(text->GetPtrMessageArg(), nullptr);
  EXPECT_FALSE(text->IsSetMessageArg());
  EXPECT_EQ(text->PeekMessageArg(), nullptr);

  const Zel::ExtendedElementDescription& constText = *text;
  const Lumo::DataArray<Lumo::KeyAnyValue>* created = constText.GetMessageArg();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->GetLength(), 0);
  EXPECT_EQ(text->GetMessageArg(), created);
  EXPECT_EQ(text->GetPtrMessageArg(), created);
  EXPECT_EQ(created->GetRefCount(), 1);
  EXPECT_FALSE(text->IsSetMessageArg());
  EXPECT_EQ(text->PeekMessageArg(), nullptr);

  text->GetMessageArg()->Append(new Lumo::KeyAnyValue("k", nullptr));
  EXPECT_TRUE(text->IsSetMessageArg());
  EXPECT_EQ(text->PeekMessageArg(), created);

  text->SetMessageArg(nullptr);
  EXPECT_EQ(text->GetPtrMessageArg(), nullptr);
  EXPECT_FALSE(text->IsSetMessageArg());
}

TEST_F(DataObjectTest, ConcurrentReadersOfAnAbsentArrayAllGetTheOneInstalled) {
  constexpr int kRounds = 20;
  constexpr int kThreads = 8;
  for (int round = 0; round < kRounds; ++round) {
    auto text = MakeRef<Zel::ExtendedElementDescription>();
    const Zel::ExtendedElementDescription* shared = text.Get();
    std::vector<const Lumo::DataArray<Lumo::KeyAnyValue>*> seen(kThreads, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ready.fetch_add(1);
        while (ready.load() < kThreads) std::this_thread::yield();
        seen[t] = shared->GetMessageArg();
      });
    }
    for (auto& thread : threads) thread.join();
    const auto* installed = text->GetPtrMessageArg();
    ASSERT_NE(installed, nullptr);
    for (const auto* array : seen) EXPECT_EQ(array, installed);
    // The losers' arrays were released; only the object holds the winner.
    EXPECT_EQ(installed->GetRefCount(), 1);
  }
}

TEST_F(DataObjectTest, SwapWithoutDestinationAssertsInTheHeaderThatDefinesTheAccessor) {
  using ZelRules::HeaderAssert;
  auto about = MakeRef<Zel::AboutInfo>();
  EXPECT_DEATH(about->SwapName(nullptr), HeaderAssert("AboutInfo-decl"));
  auto content = MakeRef<Zel::ServiceInstanceContent>();
  EXPECT_DEATH(content->SwapAboutInfo(nullptr), HeaderAssert("ServiceInstanceContent"));
  auto profile = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  EXPECT_DEATH(profile->SwapGenerationId(nullptr),
               HeaderAssert("Profile/CapabilityBasedProfile-decl"));
  EXPECT_DEATH(profile->SwapConstraints(nullptr), HeaderAssert("Profile/CapabilityBasedProfile"));
  EXPECT_DEATH(profile->SwapName(nullptr), HeaderAssert("Profile/Profile-decl"));
}

TEST_F(DataObjectTest, CloneSharesNothingWithItsSource) {
  auto content = MakeRef<Zel::ServiceInstanceContent>();
  content->SetAboutInfo(new Zel::AboutInfo);
  content->GetAboutInfo()->SetName("service");
  content->SetSessionManager(new Lumo::MoRef("zel.auth.SessionManager", "sm"));
  Ref<Zel::ServiceInstanceContent> copy(content->_Clone());
  EXPECT_TRUE(copy->_IsEqual(content.Get()));
  ASSERT_NE(copy->GetAboutInfo(), nullptr);
  EXPECT_NE(copy->GetAboutInfo(), content->GetAboutInfo());
  EXPECT_NE(copy->GetSessionManager(), content->GetSessionManager());
  EXPECT_EQ(copy->GetSessionManager()->GetId(), "sm");
  copy->GetAboutInfo()->SetName("changed");
  EXPECT_EQ(content->GetAboutInfo()->GetName(), "service");

  auto text = MakeRef<Zel::ExtendedElementDescription>();
  text->GetMessageArg()->Append(new Lumo::KeyAnyValue("k", new Zel::AboutInfo));
  Ref<Zel::ExtendedElementDescription> textCopy(text->_Clone());
  ASSERT_NE(textCopy->GetPtrMessageArg(), nullptr);
  EXPECT_NE(textCopy->GetPtrMessageArg(), text->GetPtrMessageArg());
  textCopy->GetMessageArg()->Append(new Lumo::KeyAnyValue("k2", nullptr));
  EXPECT_EQ(text->GetPtrMessageArg()->GetLength(), 1);

  auto instance = MakeRef<Zel::Capability::PropertyInstance>();
  instance->SetValue(new Zel::AboutInfo);
  Ref<Zel::Capability::PropertyInstance> instanceCopy(instance->_Clone());
  ASSERT_NE(instanceCopy->GetValue(), nullptr);
  EXPECT_NE(instanceCopy->GetValue(), instance->GetValue());
  static_cast<Zel::AboutInfo*>(instanceCopy->GetValue())->SetName("changed");
  EXPECT_EQ(static_cast<const Zel::AboutInfo*>(instance->GetValue())->GetName(), "");
}

TEST_F(DataObjectTest, LooseMatchIgnoresOnlyOptionalsUnsetOnTheOtherSide) {
  auto full = MakeRef<Zel::ServerObjectRef>();
  full->SetObjectType(Zel::ServerObjectRef::OBJECTTYPE_DATASTORE);
  full->SetKey("ds-1");
  full->SetServerUuid(Optional<std::string>("uuid"));
  Ref<Zel::ServerObjectRef> partial(full->_Clone());
  partial->UnsetServerUuid();
  EXPECT_TRUE(full->_IsEqual(partial.Get(), true));
  EXPECT_FALSE(full->_IsEqual(partial.Get(), false));
  EXPECT_FALSE(partial->_IsEqual(full.Get(), true));

  auto content = MakeRef<Zel::ServiceInstanceContent>();
  content->SetAboutInfo(new Zel::AboutInfo);
  content->SetReplicationManager(new Lumo::MoRef("zel.replication.ReplicationManager", "rm"));
  Ref<Zel::ServiceInstanceContent> older(content->_Clone());
  older->SetReplicationManager(nullptr);
  EXPECT_TRUE(content->_IsEqual(older.Get(), true));
  EXPECT_FALSE(older->_IsEqual(content.Get(), true));
  older->SetAboutInfo(nullptr);  // required: never ignored
  EXPECT_FALSE(content->_IsEqual(older.Get(), true));

  // An inherited optional is matched loosely too.
  auto profile = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  profile->SetDescription(Optional<std::string>("gold"));
  profile->SetLineOfService(Optional<std::string>("REPLICATION"));
  auto bare = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  EXPECT_TRUE(profile->_IsEqual(bare.Get(), true));
  EXPECT_FALSE(bare->_IsEqual(profile.Get(), true));
}

TEST_F(DataObjectTest, DateTimesOfTheSameInstantInOtherZonesAreEqualAndDoNotDiffer) {
  const int64_t instant = 1717171717000000;
  auto utc = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  utc->SetCreationTime(DateTime(instant, 0));
  Ref<Zel::Profile::CapabilityBasedProfile> shifted(utc->_Clone());
  shifted->SetCreationTime(DateTime(instant, 330));
  EXPECT_TRUE(utc->_IsEqual(shifted.Get()));
  Lumo::PropertyDiffSet none;
  utc->_DiffProperties(shifted.Get(), "p", none);
  EXPECT_TRUE(none.IsEmpty()) << testing::PrintToString(Paths(none));

  shifted->SetCreationTime(DateTime(instant + 1, 330));
  EXPECT_FALSE(utc->_IsEqual(shifted.Get()));
  Lumo::PropertyDiffSet one;
  utc->_DiffProperties(shifted.Get(), "p", one);
  EXPECT_EQ(Paths(one), std::vector<std::string>{"p.creationTime"});

  auto a = MakeRef<Zel::Compliance::OperationalStatus>();
  auto b = MakeRef<Zel::Compliance::OperationalStatus>();
  a->SetOperationETA(Optional<DateTime>(DateTime(instant, -480)));
  b->SetOperationETA(Optional<DateTime>(DateTime(instant, 60)));
  EXPECT_TRUE(a->_IsEqual(b.Get()));
  Lumo::PropertyDiffSet optionalNone;
  a->_DiffProperties(b.Get(), "s", optionalNone);
  EXPECT_TRUE(optionalNone.IsEmpty());
}

TEST_F(DataObjectTest, DiffPathsFollowPropertyOrderWithParentPropertiesFirst) {
  auto a = MakeRef<Zel::AboutInfo>();
  a->SetName("a");
  a->SetVersion("1");
  Ref<Zel::AboutInfo> b(a->_Clone());
  b->SetName("b");
  Lumo::PropertyDiffSet nameOnly;
  a->_DiffProperties(b.Get(), "about", nameOnly);
  EXPECT_EQ(Paths(nameOnly), std::vector<std::string>{"about.name"});

  auto p = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  p->SetName("gold");
  p->SetProfileCategory("REQUIREMENT");
  p->SetIsDefault(false);
  Ref<Zel::Profile::CapabilityBasedProfile> q(p->_Clone());
  q->SetProfileCategory("RESOURCE");
  q->SetName("silver");
  q->SetIsDefault(true);
  q->SetGenerationId(Optional<int64_t>(3));
  Lumo::PropertyDiffSet diffs;
  p->_DiffProperties(q.Get(), "profile", diffs);
  EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"profile.name", "profile.profileCategory",
                                                    "profile.generationId", "profile.isDefault"}));

  // Reference-held properties recurse with the property name appended.
  auto c = MakeRef<Zel::ServiceInstanceContent>();
  c->SetAboutInfo(a.Get());
  auto d = MakeRef<Zel::ServiceInstanceContent>();
  d->SetAboutInfo(b.Get());
  d->SetProfileManager(new Lumo::MoRef("zel.profile.ProfileManager", "pm"));
  Lumo::PropertyDiffSet nested;
  c->_DiffProperties(d.Get(), "content", nested);
  EXPECT_EQ(Paths(nested),
            (std::vector<std::string>{"content.aboutInfo.name", "content.profileManager"}));
}

}  // namespace
