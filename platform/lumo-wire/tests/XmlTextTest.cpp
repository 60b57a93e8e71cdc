// Escaping for XML written outside the codec: what each place escapes, and
// text XML cannot carry refused without leaving half of it behind.
#include <Lumo/Wire/XmlText.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using Lumo::Wire::AppendXmlEscaped;
using Lumo::Wire::XmlEscape;

TEST(XmlEscaping, EscapesForContentAndAttributesAndRefusesWhatXmlCannotCarry) {
  std::string out = "<a>";
  ASSERT_TRUE(AppendXmlEscaped(out, "x<y & \"z\" > w\r\n\tcaf\xC3\xA9", XmlEscape::kText));
  EXPECT_EQ(out, "<a>x&lt;y &amp; \"z\" &gt; w&#13;\n\tcaf\xC3\xA9");
  out.clear();
  ASSERT_TRUE(AppendXmlEscaped(out, "a\"b\tc\nd\re&", XmlEscape::kAttribute));
  EXPECT_EQ(out, "a&quot;b&#9;c&#10;d&#13;e&amp;");

  using namespace std::string_literals;
  for (const std::string& bad :
       {"bell\x07"s, "nul\0x"s, "lone \x80"s, "cut \xC3"s, "overlong \xC0\xAF"s,
        "surrogate \xED\xA0\x80"s, "noncharacter \xEF\xBF\xBF"s}) {
    std::string kept = "kept";
    EXPECT_FALSE(AppendXmlEscaped(kept, "ok & " + bad, XmlEscape::kText)) << bad;
    EXPECT_FALSE(AppendXmlEscaped(kept, bad, XmlEscape::kAttribute)) << bad;
    EXPECT_EQ(kept, "kept") << bad;
  }
}

}  // namespace
