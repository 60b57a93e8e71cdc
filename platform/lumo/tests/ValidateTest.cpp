// Validation of strings before they are stored.
#include <Lumo/Lumo.h>
#include <LumoTest/Base.h>
#include <LumoTest/Derived.h>
#include <gtest/gtest.h>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::FindInvalidXmlText;

TEST(XmlText, AcceptsValidUtf8AndAllowedCharacters) {
  const char* accepted[] = {
      "",
      "plain ascii",
      "tab\tnewline\ncarriage\r",
      "caf\xC3\xA9",       // U+00E9
      "\xE2\x82\xAC",      // U+20AC
      "\xED\x9F\xBF",      // U+D7FF, just below the surrogates
      "\xEE\x80\x80",      // U+E000, just above them
      "\xEF\xBF\xBD",      // U+FFFD
      "\xF0\x9F\x98\x80",  // U+1F600
      "\xF4\x8F\xBF\xBF",  // U+10FFFF
      "\x7F",              // DEL is allowed in XML 1.0
      "\xC2\x85",          // NEL too
  };
  for (const char* text : accepted) {
    EXPECT_EQ(FindInvalidXmlText(text), std::string::npos) << text;
  }
}

TEST(XmlText, RefusesInvalidUtf8AtTheOffendingByte) {
  struct Case {
    std::string text;
    size_t at;
    const char* reason;
  } refused[] = {
      {"ab\xFF", 2, "lead byte"},           {"\x80", 0, "lead byte"},
      {"\xC0\xAF", 0, "lead byte"},         // overlong '/'
      {"\xC1\xBF", 0, "lead byte"},         // overlong
      {"\xE0\x80\xAF", 0, "overlong"},      // overlong '/'
      {"\xF0\x80\x80\xAF", 0, "overlong"},  // overlong '/'
      {"x\xED\xA0\x80", 1, "surrogate"},    // U+D800
      {"\xED\xBF\xBF", 0, "surrogate"},     // U+DFFF
      {"\xF4\x90\x80\x80", 0, "beyond"},    // U+110000
      {"\xF5\x80\x80\x80", 0, "lead byte"}, {"\xE2\x82", 0, "truncated"},
      {"\xC3(", 0, "continuation"},
  };
  for (const auto& c : refused) {
    std::string reason;
    EXPECT_EQ(FindInvalidXmlText(c.text, &reason), c.at) << reason;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
}

TEST(XmlText, RefusesCharactersXmlDoesNotAllow) {
  EXPECT_EQ(FindInvalidXmlText(std::string("a\0b", 3)), 1u);
  EXPECT_EQ(FindInvalidXmlText("\x01"), 0u);
  EXPECT_EQ(FindInvalidXmlText("ok\x1F"), 2u);
  EXPECT_EQ(FindInvalidXmlText("\x0B"), 0u);
  EXPECT_EQ(FindInvalidXmlText("\xEF\xBF\xBE"), 0u);  // U+FFFE
  EXPECT_EQ(FindInvalidXmlText("\xEF\xBF\xBF"), 0u);  // U+FFFF
}

// Longer texts are scanned eight bytes at a time, the end by the last eight
// bytes: whatever falls where, it is found at its own offset.
TEST(XmlText, FindsWhatIsRefusedAtEveryOffsetOfLongerTexts) {
  for (size_t size = 1; size <= 26; ++size) {
    for (size_t at = 0; at < size; ++at) {
      std::string text(size, 'x');
      text[at] = '\x01';
      EXPECT_EQ(FindInvalidXmlText(text), at) << size;
      text[at] = '\xFF';
      EXPECT_EQ(FindInvalidXmlText(text), at) << size;
      if (at + 2 <= size) {
        text.replace(at, 2, "\xC3\xA9");  // U+00E9, two bytes
        EXPECT_EQ(FindInvalidXmlText(text), std::string::npos) << size << " " << at;
      }
      if (at + 1 == size) {
        text[at] = '\xC3';  // cut short by the end
        EXPECT_EQ(FindInvalidXmlText(text), at) << size;
      }
    }
  }
}

TEST(Validate, RefusalNamesTheOwnerTypeAndPropertyAndStoresNothing) {
  auto base = MakeRef<LumoTest::Base>();
  base->SetName("good");
  try {
    base->SetName(std::string("bad\x01"));
    FAIL() << "accepted";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("test.Base.name"), std::string::npos) << e.what();
    EXPECT_EQ(e.GetFault()->GetInvalidProperty().GetValue(), "name");
    EXPECT_NE(e.GetFault()->GetMsg().find("U+0001"), std::string::npos);
  }
  EXPECT_EQ(base->GetName(), "good");
}

TEST(Validate, AnIndexSharedByBaseAndDerivedNamesEveryCandidate) {
  auto derived = MakeRef<LumoTest::Derived>();
  // name is own index 0 of test.Base and tag own index 0 of test.Derived: the
  // object and the index cannot tell which setter ran, so both are named.
  try {
    derived->SetName(std::string("\xFF"));
    FAIL() << "accepted";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("test.Derived.name or tag"), std::string::npos)
        << e.what();
  }
  try {
    derived->SetTag(Kestrum::Optional<std::string>("\xEF\xBF\xBF"));
    FAIL() << "accepted";
  } catch (const Kestrum::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("test.Derived.name or tag"), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(derived->GetTag().IsSet());
}

TEST(Validate, ArrayOwnerNamesTheElementIndex) {
  auto strings = MakeRef<Lumo::Array<std::string>>(3);
  std::string bad = "\xC0\x80";
  try {
    Lumo::Validate<std::string>(&bad, strings.Get(), 2);
    FAIL() << "accepted";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("element 2 of string[]"), std::string::npos) << e.what();
    EXPECT_EQ(e.GetFault()->GetInvalidProperty().GetValue(), "[2]");
  }
}

TEST(Validate, RuntimeOwnTypesValidateTheirStrings) {
  auto kv = MakeRef<Lumo::KeyAnyValue>();
  EXPECT_THROW(kv->SetKey(std::string("\x02")), Lumo::Fault::InvalidArgument::Exception);
  // The const char* form stores without validation.
  kv->SetKey("\x02");
  EXPECT_EQ(kv->GetKey(), "\x02");
  std::string swapped = "\x03";
  EXPECT_THROW(kv->SwapKey(&swapped), Lumo::Fault::InvalidArgument::Exception);
  EXPECT_EQ(swapped, "\x03");
  auto fault = MakeRef<Lumo::MethodFault>();
  EXPECT_THROW(fault->SetMsg(Kestrum::Optional<std::string>("\x04")),
               Lumo::Fault::InvalidArgument::Exception);
  EXPECT_FALSE(fault->GetMsgOptional().IsSet());
}

TEST(Validate, OtherValueTypesAlwaysPass) {
  auto base = MakeRef<LumoTest::Base>();
  int64_t number = -1;
  Lumo::Validate<int64_t>(&number, base.Get(), 1);
  std::string fine = "fine";
  Lumo::Validate<std::string>(&fine, nullptr, 0);
  Lumo::Validate<std::string>(nullptr, base.Get(), 0);
}

}  // namespace
