// Temporaries handed to the setters, to the record's swap and to boxed values
// change hands without a copy of their text (the same buffer ends up held),
// and a refused text changes nothing: neither the property nor, through the
// record's swap, the caller's value.
#include <Lumo/Fault/InvalidArgument.h>
#include <Lumo/Primitive.h>
#include <Olyx/Zel/Capability/PropertyInstance.h>

#include <string>
#include <utility>

#include "RulesSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Optional;
using Zel::Capability::PropertyInstance;

// Long enough to live outside the string object, so that a move keeps the
// buffer and a copy does not.
std::string LongText(char c) { return std::string(64, c); }

// The index of the named property in the class's own record.
int IndexOf(const Lumo::DataTypeInfo* info, const char* name) {
  for (int i = 0; info->properties[i].name != nullptr; ++i) {
    if (std::string(info->properties[i].name) == name) return i;
  }
  ADD_FAILURE() << "no property " << name;
  return -1;
}

const Lumo::DataTypeInfo* InfoOf(const Lumo::Any* object) {
  return static_cast<const Lumo::DynamicData*>(object)->_GetDataType()->GetInfo();
}

class MovingSettersTest : public ZelRules::RulesTest {};

TEST_F(MovingSettersTest, RequiredStringTakesTheTemporaryOver) {
  auto property = MakeRef<PropertyInstance>();
  std::string text = LongText('a');
  const char* buffer = text.data();
  property->SetId(std::move(text));
  EXPECT_EQ(property->GetId(), LongText('a'));
  EXPECT_EQ(property->GetId().data(), buffer);

  // A named value is still copied.
  std::string kept = LongText('b');
  property->SetId(kept);
  EXPECT_EQ(property->GetId(), kept);
  EXPECT_NE(property->GetId().data(), kept.data());
}

TEST_F(MovingSettersTest, OptionalStringTakesTheTemporaryOver) {
  auto property = MakeRef<PropertyInstance>();
  Optional<std::string> text(LongText('c'));
  const std::string* held = text.GetPtr();
  property->SetOperator(std::move(text));
  ASSERT_TRUE(property->GetOperator().IsSet());
  EXPECT_EQ(property->GetOperator().GetValue(), LongText('c'));
  EXPECT_EQ(property->GetOperator().GetPtr(), held);

  property->SetOperator(Optional<std::string>());
  EXPECT_FALSE(property->GetOperator().IsSet());
}

TEST_F(MovingSettersTest, RefusedTemporariesChangeNothing) {
  auto property = MakeRef<PropertyInstance>();
  property->SetId(std::string("kept"));
  property->SetOperator(std::string("NOT"));
  EXPECT_THROW(property->SetId(std::string("bad\x01")), Lumo::Fault::InvalidArgument::Exception);
  EXPECT_THROW(property->SetOperator(Optional<std::string>(std::string("bad\x02"))),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_EQ(property->GetId(), "kept");
  EXPECT_EQ(property->GetOperator().GetValue(), "NOT");
}

TEST_F(MovingSettersTest, RecordSwapOfAnOptionalStringMovesBothWays) {
  auto property = MakeRef<PropertyInstance>();
  const Lumo::DataTypeInfo* info = InfoOf(property.Get());
  const int index = IndexOf(info, "operator");
  ASSERT_GE(index, 0);

  std::string first = LongText('d');
  const char* firstBuffer = first.data();
  info->swapProperty(property.Get(), index, &first);
  EXPECT_EQ(first, "") << "the property was unset";
  EXPECT_EQ(property->GetOperator().GetValue().data(), firstBuffer);

  std::string second = LongText('e');
  info->swapProperty(property.Get(), index, &second);
  EXPECT_EQ(second, LongText('d'));
  EXPECT_EQ(second.data(), firstBuffer) << "the held text came back without a copy";
  EXPECT_EQ(property->GetOperator().GetValue(), LongText('e'));
}

TEST_F(MovingSettersTest, RecordSwapOfARefusedOptionalStringGivesTheValueBack) {
  auto property = MakeRef<PropertyInstance>();
  property->SetOperator(std::string("NOT"));
  const Lumo::DataTypeInfo* info = InfoOf(property.Get());
  const int index = IndexOf(info, "operator");
  ASSERT_GE(index, 0);

  std::string bad = "bad\x01" + LongText('f');
  const std::string original = bad;
  EXPECT_THROW(info->swapProperty(property.Get(), index, &bad),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_EQ(bad, original);
  EXPECT_EQ(property->GetOperator().GetValue(), "NOT");
}

TEST_F(MovingSettersTest, BoxedStringTakesTheTemporaryOver) {
  std::string text = LongText('g');
  const char* buffer = text.data();
  Kestrum::Ref<Lumo::Primitive<std::string>> boxed(
      new Lumo::Primitive<std::string>(std::move(text)));
  EXPECT_EQ(boxed->GetValue(), LongText('g'));
  EXPECT_EQ(boxed->GetValue().data(), buffer);

  const std::string named = LongText('h');
  Kestrum::Ref<Lumo::Primitive<std::string>> copied(new Lumo::Primitive<std::string>(named));
  EXPECT_EQ(copied->GetValue(), named);
  EXPECT_NE(copied->GetValue().data(), named.data());
}

}  // namespace
