// Reference counting, ownership and copies of runtime values.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Color.h>
#include <LumoTest/Derived.h>
#include <LumoTest/Other.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

TEST(Ownership, NewValuesStartAtZeroAndTheLastRefDeletes) {
  auto* raw = new Lumo::Primitive<std::string>("x");
  EXPECT_EQ(raw->GetRefCount(), 0);
  Ref<Lumo::Any> a(raw);
  Ref<Lumo::Any> b = a;
  EXPECT_EQ(raw->GetRefCount(), 2);
  b.Reset();
  EXPECT_EQ(raw->GetRefCount(), 1);
}

TEST(Ownership, HoldersKeepNestedValuesAliveAfterOtherRefsGo) {
  auto parent = MakeRef<LumoTest::Base>();
  {
    auto child = MakeRef<LumoTest::Other>();
    parent->SetChild(child.Get());
    EXPECT_EQ(child->GetRefCount(), 2);
  }
  EXPECT_EQ(parent->GetChild()->GetRefCount(), 1);
}

TEST(Ownership, ArraysHoldOneReferencePerElement) {
  auto element = MakeRef<LumoTest::Other>();
  auto array = MakeRef<Lumo::DataArray<LumoTest::Other>>();
  array->Append(element.Get());
  array->Append(element.Get());
  EXPECT_EQ(element->GetRefCount(), 3);
  array->RemoveAt(0);
  EXPECT_EQ(element->GetRefCount(), 2);
  array.Reset();
  EXPECT_EQ(element->GetRefCount(), 1);
}

TEST(Ownership, ConcurrentHoldersCountAtomically) {
  auto shared = MakeRef<LumoTest::Base>();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < 5000; ++i) Ref<Lumo::Any> local(shared.Get());
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared->GetRefCount(), 1);
}

// Values made on a thread that has ended, released on another while a third
// keeps making values: the value allocator gives back memory of threads that
// are gone.
TEST(Ownership, ValuesReleasedOnAnotherThreadThanTheirMaker) {
  constexpr int kRounds = 200;
  std::vector<Ref<Lumo::Any>> made[kRounds];
  std::thread maker([&made] {
    for (auto& batch : made) {
      for (int i = 0; i < 50; ++i) {
        auto object = MakeRef<LumoTest::Base>();
        object->SetChild(new LumoTest::Other);
        batch.emplace_back(object.Get());
        batch.emplace_back(
            new Lumo::Primitive<std::string>(std::string(static_cast<size_t>(i), 'x')));
        batch.emplace_back(new Lumo::Array<int32_t>(static_cast<size_t>(i)));
      }
    }
  });
  maker.join();
  std::thread releaser([&made] {
    for (auto& batch : made) {
      Ref<Lumo::Any> kept(batch.back()->_Clone());
      batch.clear();
      EXPECT_EQ(kept->GetRefCount(), 1);
    }
  });
  std::vector<Ref<Lumo::Any>> mine;
  for (int i = 0; i < 5000; ++i) mine.emplace_back(new LumoTest::Other);
  releaser.join();
}

TEST(Clone, IsDeepThroughObjectsArraysAndAnyValues) {
  auto source = MakeRef<LumoTest::Base>();
  source->SetName("root");
  auto nested = MakeRef<LumoTest::Base>();
  nested->SetName("nested");
  source->SetChild(nested.Get());
  source->SetItems(new Lumo::DataArray<LumoTest::Base>);
  source->GetItems()->Append(new LumoTest::Base);

  Ref<LumoTest::Base> copy(source->_Clone());
  EXPECT_EQ(copy->GetRefCount(), 1);
  EXPECT_NE(copy->GetChild(), source->GetChild());
  EXPECT_NE(copy->GetPtrItems(), source->GetPtrItems());
  EXPECT_NE(copy->GetItems()->Get(0), source->GetItems()->Get(0));
  EXPECT_TRUE(copy->_IsEqual(source.Get()));

  static_cast<LumoTest::Base*>(copy->GetChild())->SetName("changed");
  copy->GetItems()->Get(0)->SetName("changed too");
  EXPECT_EQ(nested->GetName(), "nested");
  EXPECT_EQ(source->GetItems()->Get(0)->GetName(), "");
  EXPECT_FALSE(copy->_IsEqual(source.Get()));
}

TEST(Clone, BoxedValuesAreSharedNotCopied) {
  auto boxed = MakeRef<Lumo::Primitive<std::string>>("same");
  Ref<Lumo::Any> clone(boxed->_Clone());
  EXPECT_EQ(clone.Get(), boxed.Get());
  EXPECT_EQ(boxed->GetRefCount(), 2);
}

TEST(KeyAnyValue, HoldsKeyAndAnyValueAndComparesThem) {
  auto a = MakeRef<Lumo::KeyAnyValue>("retries", new Lumo::Primitive<int32_t>(3));
  Ref<Lumo::KeyAnyValue> b(a->_Clone());
  EXPECT_EQ(b->GetKey(), "retries");
  EXPECT_TRUE(a->_IsEqual(b.Get()));
  b->SetValue(new Lumo::Primitive<int32_t>(4));
  EXPECT_FALSE(a->_IsEqual(b.Get()));
  // A value of another class is simply unequal.
  b->SetValue(new Lumo::Primitive<std::string>("3"));
  EXPECT_FALSE(a->_IsEqual(b.Get()));
  Lumo::PropertyDiffSet diffs;
  a->_DiffProperties(b.Get(), "kv", diffs);
  ASSERT_EQ(diffs.GetCount(), 1u);
  EXPECT_EQ(diffs.GetChanged()[0].ToString(), "kv.value");
}

TEST(MoRef, ComparesByTypeAndId) {
  auto a = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "pm");
  auto same = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "pm");
  auto otherId = MakeRef<Lumo::MoRef>("zel.profile.ProfileManager", "pm2");
  auto otherType = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "pm");
  EXPECT_TRUE(a->_IsEqual(same.Get()));
  EXPECT_FALSE(a->_IsEqual(otherId.Get()));
  EXPECT_FALSE(a->_IsEqual(otherType.Get()));
  auto text = MakeRef<Lumo::Primitive<std::string>>("pm");
  EXPECT_FALSE(a->_IsEqual(text.Get()));
  Ref<Lumo::MoRef> copy(a->_Clone());
  EXPECT_NE(copy.Get(), a.Get());
  EXPECT_TRUE(*copy == *a);
  EXPECT_EQ(a->_GetType(), Lumo::GetNoType<Lumo::MoRef>());
}

TEST(TypesOfValues, ValuesReportTheirRuntimeTypes) {
  auto derived = MakeRef<LumoTest::Derived>();
  EXPECT_EQ(derived->_GetType(), Lumo::GetDoType<LumoTest::Derived>());
  EXPECT_EQ(derived->_GetDataType(), Lumo::GetDoType<LumoTest::Derived>());
  auto color = MakeRef<Lumo::Primitive<LumoTest::Color>>(LumoTest::Color::blue);
  EXPECT_EQ(color->_GetType(), Lumo::GetEnumType<LumoTest::Color>());
  auto colors = MakeRef<Lumo::Array<LumoTest::Color>>();
  EXPECT_EQ(colors->_GetType(), Lumo::GetEnumType<LumoTest::Color>()->GetArrayType());
  auto anys = MakeRef<Lumo::DataArray<Lumo::Any>>();
  EXPECT_EQ(anys->_GetType(), Lumo::GetNoType<Lumo::Any>()->GetArrayType());
  EXPECT_EQ(anys->_GetElementType(), Lumo::GetNoType<Lumo::Any>());
  auto bases = MakeRef<Lumo::DataArray<LumoTest::Base>>();
  EXPECT_EQ(bases->_GetElementType(), Lumo::GetDoType<LumoTest::Base>());
  EXPECT_EQ(Ref<Lumo::Any>(Lumo::GetDoType<LumoTest::Base>()->CreateArray())->_GetType(),
            bases->_GetType());
}

TEST(Serialize, RendersObjectsArraysAndBoxedValues) {
  auto d = MakeRef<LumoTest::Derived>();
  d->SetName("a\"b");
  d->SetCount(int64_t{5});
  d->SetChild(new Lumo::KeyAnyValue("k", new Lumo::Primitive<bool>(true)));
  d->SetWhen(Kestrum::System::DateTime::FromLocal(2024, 1, 2, 3, 4, 5, 0, 60));
  std::string text = Lumo::SerializeToText(d.Get());
  EXPECT_EQ(text,
            "(test.Derived) {\n"
            "   name = \"a\\\"b\",\n"
            "   count = 5,\n"
            "   child = (olyx.KeyAnyValue) {\n"
            "      key = \"k\",\n"
            "      value = (boolean) true\n"
            "   },\n"
            "   items = <unset>,\n"
            "   tag = <unset>,\n"
            "   when = 2024-01-02T03:04:05+01:00\n"
            "}");
  EXPECT_EQ(d->ToString(), text);

  Ref<Lumo::Array<LumoTest::Color>> colors(new Lumo::Array<LumoTest::Color>{LumoTest::Color::blue});
  EXPECT_EQ(Lumo::SerializeToText(colors.Get()), "(test.Color[]) [\n   blue\n]");
  auto empty = MakeRef<Lumo::DataArray<Lumo::KeyAnyValue>>();
  EXPECT_EQ(Lumo::SerializeToText(empty.Get()), "(olyx.KeyAnyValue[]) []");
  EXPECT_EQ(Lumo::SerializeToText(nullptr), "");
  auto ref = MakeRef<Lumo::MoRef>("zel.ServiceInstance", "si");
  EXPECT_EQ(Lumo::SerializeFormatter(ref.Get()).GetText(),
            "(ManagedObjectReference) 'zel.ServiceInstance:si'");
}

}  // namespace
