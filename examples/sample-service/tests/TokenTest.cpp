// The delegated tokens accepted at login.
#include <ZelSample/Token.h>
#include <gtest/gtest.h>

namespace {

using ZelSample::DelegatedToken;
using ZelSample::ParseDelegatedToken;

TEST(TokenTest, MadeTokensReadBackWithTheirSubjectAndPrivileges) {
  DelegatedToken token;
  std::string reason;
  ASSERT_TRUE(ParseDelegatedToken(ZelSample::MakeDelegatedToken("bob <b&o@x>"), token, reason))
      << reason;
  EXPECT_EQ(token.subject, "bob <b&o@x>");
  EXPECT_EQ(token.privileges,
            (std::set<std::string>{ZelSample::kPrivilegeView, ZelSample::kPrivilegeUpdate}));

  ASSERT_TRUE(ParseDelegatedToken(
      ZelSample::MakeDelegatedToken("carol", {ZelSample::kPrivilegeView}), token, reason));
  EXPECT_EQ(token.privileges, std::set<std::string>{ZelSample::kPrivilegeView});
}

TEST(TokenTest, AcceptsWhitespaceCommentsAndADeclaration) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<!-- issued for tests -->\n"
      "<DelegatedToken xmlns=\"urn:zel-sample:token\" version=\"1\">\n"
      "  <Issuer> urn:zel-sample:token-issuer </Issuer>\n"
      "  <Subject>dave</Subject>\n"
      "</DelegatedToken>\n";
  DelegatedToken token;
  std::string reason;
  ASSERT_TRUE(ParseDelegatedToken(xml, token, reason)) << reason;
  EXPECT_EQ(token.subject, "dave");
}

struct BadToken {
  const char* name;
  std::string xml;
  const char* reasonPart;
};

std::string Wrap(const std::string& inner, const std::string& root = "DelegatedToken",
                 const std::string& attributes = " xmlns=\"urn:zel-sample:token\" version=\"1\"") {
  return "<" + root + attributes + ">" + inner + "</" + root + ">";
}

const std::string kIssuer = "<Issuer>urn:zel-sample:token-issuer</Issuer>";

class BadTokenTest : public ::testing::TestWithParam<BadToken> {};

TEST_P(BadTokenTest, IsRefusedWithAReason) {
  DelegatedToken token;
  std::string reason;
  EXPECT_FALSE(ParseDelegatedToken(GetParam().xml, token, reason));
  EXPECT_NE(reason.find(GetParam().reasonPart), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadTokenTest,
    ::testing::Values(
        BadToken{"Empty", "", "not well-formed"},
        BadToken{"NotXml", "let me in", "not well-formed"},
        BadToken{"Unclosed", "<DelegatedToken>", "not well-formed"},
        BadToken{"WrongRoot", Wrap(kIssuer + "<Subject>a</Subject>", "Token"), "root element"},
        BadToken{"NoNamespace",
                 Wrap(kIssuer + "<Subject>a</Subject>", "DelegatedToken", " version=\"1\""),
                 "namespace"},
        BadToken{"WrongVersion",
                 Wrap(kIssuer + "<Subject>a</Subject>", "DelegatedToken",
                      " xmlns=\"urn:zel-sample:token\" version=\"2\""),
                 "version"},
        BadToken{"NoIssuer", Wrap("<Subject>a</Subject>"), "issuer"},
        BadToken{"ForeignIssuer", Wrap("<Issuer>evil</Issuer><Subject>a</Subject>"),
                 "trusted issuer"},
        BadToken{"NoSubject", Wrap(kIssuer), "subject"},
        BadToken{"EmptySubject", Wrap(kIssuer + "<Subject>  </Subject>"), "subject"},
        BadToken{"TwoSubjects", Wrap(kIssuer + "<Subject>a</Subject><Subject>b</Subject>"),
                 "subject"},
        BadToken{"LongSubject", Wrap(kIssuer + "<Subject>" + std::string(300, 'x') + "</Subject>"),
                 "longer"},
        BadToken{"UnknownPrivilege",
                 Wrap(kIssuer + "<Subject>a</Subject><Privilege>Root.All</Privilege>"),
                 "unknown privilege"},
        BadToken{"UnknownElement", Wrap(kIssuer + "<Subject>a</Subject><Extra/>"),
                 "unknown element"},
        BadToken{"NestedSubject", Wrap(kIssuer + "<Subject><b>a</b></Subject>"), "holds elements"},
        BadToken{"StrayText", Wrap(kIssuer + "text<Subject>a</Subject>"), "text outside"},
        BadToken{"Doctype",
                 "<!DOCTYPE DelegatedToken [<!ENTITY x \"y\">]>" +
                     Wrap(kIssuer + "<Subject>a</Subject>"),
                 "document type"},
        BadToken{"TooLarge",
                 Wrap(kIssuer + "<Subject>a</Subject><!--" +
                      std::string(ZelSample::kMaxTokenBytes, '-') + "-->"),
                 "larger than"}),
    [](const ::testing::TestParamInfo<BadToken>& info) { return std::string(info.param.name); });

}  // namespace
