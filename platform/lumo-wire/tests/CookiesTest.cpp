// The Cookie and Set-Cookie headers as clients and endpoints read them:
// well-formed lists and pairs, attributes, expiry, and what is refused.
#include <Lumo/Wire/Cookies.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lumo::Wire::Cookie;
using Lumo::Wire::FindCookie;
using Lumo::Wire::ParseCookieHeader;
using Lumo::Wire::ParseSetCookie;
using Lumo::Wire::SetCookie;

// 2026-12-06T00:00:00Z: a fixed "now" for the expiry cases.
constexpr std::time_t kNow = 1796515200;

std::vector<std::string> Names(const std::vector<Cookie>& cookies) {
  std::vector<std::string> names;
  for (const Cookie& cookie : cookies) names.push_back(cookie.name + "=" + cookie.value);
  return names;
}

TEST(CookieHeader, ReadsTheListAndFindsTheFirstOfAName) {
  std::vector<Cookie> cookies;
  ASSERT_TRUE(ParseCookieHeader("a=1; zel_session = xyz ;b=2;\tc=", cookies));
  EXPECT_EQ(Names(cookies), (std::vector<std::string>{"a=1", "zel_session=xyz", "b=2", "c="}));
  EXPECT_EQ(FindCookie("zel_session=abc", "zel_session"), "abc");
  EXPECT_EQ(FindCookie("a=1; zel_session = xyz ;b=2", "zel_session"), "xyz");
  EXPECT_EQ(FindCookie("zel_session_old=1; zel_session=2", "zel_session"), "2");
  EXPECT_EQ(FindCookie("zel_session=first; zel_session=second", "zel_session"), "first");
  EXPECT_EQ(FindCookie("token=a=b=c", "token"), "a=b=c");
  EXPECT_EQ(FindCookie("a=1; b=2", "zel_session"), "");
  EXPECT_EQ(FindCookie("", "zel_session"), "");

  // What a client writes, the endpoint reads back.
  std::string header;
  Lumo::Wire::AppendCookie(header, "a", "1");
  Lumo::Wire::AppendCookie(header, "zel_session", "0123abcd");
  EXPECT_EQ(header, "a=1; zel_session=0123abcd");
  EXPECT_EQ(FindCookie(header, "zel_session"), "0123abcd");
}

TEST(CookieHeader, SkipsBadPairsAndRefusesWhatIsOverTheLimits) {
  std::vector<Cookie> cookies;
  ASSERT_TRUE(
      ParseCookieHeader("garbage;;=;=x; a b=1; \"q\"=2; ok=3; ctl=\x01; zel_session", cookies));
  EXPECT_EQ(Names(cookies), (std::vector<std::string>{"ok=3"}));
  EXPECT_EQ(FindCookie("garbage;;=;", "zel_session"), "");
  EXPECT_EQ(FindCookie("zel_session=a\rb; zel_session=ok", "zel_session"), "ok");

  std::string many;
  for (size_t i = 0; i < Lumo::Wire::kMaxCookiesPerHeader; ++i) {
    Lumo::Wire::AppendCookie(many, "c" + std::to_string(i), "v");
  }
  EXPECT_TRUE(ParseCookieHeader(many, cookies));
  EXPECT_EQ(cookies.size(), Lumo::Wire::kMaxCookiesPerHeader);
  Lumo::Wire::AppendCookie(many, "zel_session", "abc");
  EXPECT_FALSE(ParseCookieHeader(many, cookies));
  EXPECT_TRUE(cookies.empty());

  std::string longHeader =
      "zel_session=abc; pad=" + std::string(Lumo::Wire::kMaxCookieHeaderBytes, 'x');
  EXPECT_FALSE(ParseCookieHeader(longHeader, cookies));
}

TEST(CookieHeader, OneCookieIsFoundWhereverItStands) {
  // However many cookies stand before it, and however long the header.
  std::string many;
  for (int i = 0; i < 1000; ++i) Lumo::Wire::AppendCookie(many, "c" + std::to_string(i), "v");
  Lumo::Wire::AppendCookie(many, "zel_session", "abc");
  Lumo::Wire::AppendCookie(many, "zel_session", "second");
  EXPECT_EQ(FindCookie(many, "zel_session"), "abc");
  EXPECT_EQ(FindCookie(many, "c999"), "v");
  EXPECT_EQ(FindCookie(many, "c1000"), "");
  std::string longHeader =
      "pad=" + std::string(Lumo::Wire::kMaxCookieHeaderBytes, 'x') + "; zel_session=abc";
  EXPECT_EQ(FindCookie(longHeader, "zel_session"), "abc");
  // Only a valid pair of exactly that name counts.
  EXPECT_EQ(FindCookie("zel_session_x=1; xzel_session=2; zel_session=3", "zel_session"), "3");
  EXPECT_EQ(FindCookie("zel_session=a\x01; zel_session = b ", "zel_session"), "b");
}

TEST(SetCookieHeader, ReadsThePairAndTheAttributes) {
  SetCookie cookie;
  ASSERT_TRUE(ParseSetCookie(
      " zel_session = 0123abcd ; path=/zel; DOMAIN=example.test;Secure; httponly; Max-Age=3600;"
      " SameSite=Strict; Flavour",
      cookie));
  EXPECT_EQ(cookie.name, "zel_session");
  EXPECT_EQ(cookie.value, "0123abcd");
  EXPECT_EQ(cookie.path, "/zel");
  EXPECT_EQ(cookie.domain, "example.test");
  EXPECT_TRUE(cookie.secure);
  EXPECT_TRUE(cookie.httpOnly);
  EXPECT_EQ(cookie.maxAge, 3600);
  EXPECT_FALSE(cookie.Removes(kNow));

  // The value may hold '=' and quotes; an empty value is a value.
  ASSERT_TRUE(ParseSetCookie("pref=\"a=b\"", cookie));
  EXPECT_EQ(cookie.value, "\"a=b\"");
  EXPECT_FALSE(cookie.secure);
  EXPECT_EQ(cookie.maxAge, std::nullopt);
  ASSERT_TRUE(ParseSetCookie("zel_session=; Path=/", cookie));
  EXPECT_EQ(cookie.value, "");
  EXPECT_FALSE(cookie.Removes(kNow));
}

TEST(SetCookieHeader, ExpiryComesFromMaxAgeFirstThenExpires) {
  SetCookie cookie;
  for (const char* removal :
       {"zel_session=; Path=/; HttpOnly; Max-Age=0", "s=v; max-age=0", "s=v; MAX-AGE = -1",
        "s=v; Max-Age=000", "s=v; Max-Age=-99999999999999999999999",
        "s=v; Expires=Thu, 01 Jan 1970 00:00:00 GMT",
        "s=v; expires=Sunday, 06-Nov-1994 08:49:37 GMT",
        "s=v; Expires=Sat, 05 Dec 2026 23:59:59 GMT", "s=v; Expires=Sun, 06 Dec 2026 00:00:00 GMT",
        "s=v; Max-Age=60; Max-Age=0", "s=v; Max-Age=0; Max-Age=oops"}) {
    ASSERT_TRUE(ParseSetCookie(removal, cookie)) << removal;
    EXPECT_TRUE(cookie.Removes(kNow)) << removal;
  }
  for (const char* kept : {"s=v", "s=v; Max-Age=1", "s=v; Max-Age=99999999999999999999999",
                           "s=v; Expires=Fri, 01 Jan 2100 00:00:00 GMT",
                           "s=v; Max-Age=60; Expires=Thu, 01 Jan 1970 00:00:00 GMT",
                           // Not a Max-Age of zero, whatever the text holds.
                           "s=max-age=0", "s=v; Path=/max-age=0", "s=v; Max-Age=0x1",
                           "s=v; Max-Age=", "s=v; Max-Age=+0", "s=v; Expires=yesterday",
                           "s=v; Expires=Thu, 01 Jan 1970 00:00:00 CET"}) {
    ASSERT_TRUE(ParseSetCookie(kept, cookie)) << kept;
    EXPECT_FALSE(cookie.Removes(kNow)) << kept;
  }
  ASSERT_TRUE(ParseSetCookie("s=max-age=0", cookie));
  EXPECT_EQ(cookie.value, "max-age=0");
}

TEST(SetCookieHeader, RefusesMalformedPairsAndOverlongHeaders) {
  SetCookie cookie;
  for (const char* bad :
       {"", "   ", "novalue", "novalue; Max-Age=0", "=value", " = value", "two words=x",
        "name=bad\x01value", "name=line\nbreak", "na\x7Fme=v", "\"quoted\"=v", "a,b=v", "; s=v"}) {
    EXPECT_FALSE(ParseSetCookie(bad, cookie)) << bad;
  }
  std::string longValue(Lumo::Wire::kMaxCookieHeaderBytes, 'x');
  EXPECT_FALSE(ParseSetCookie("s=" + longValue, cookie));
  EXPECT_TRUE(ParseSetCookie("s=" + longValue.substr(2), cookie));
  EXPECT_FALSE(ParseSetCookie("s=v; Path=" + longValue, cookie));
}

}  // namespace
