// The address the service description names: the operator's public URL
// (checked at start), the request's Host, the forwarded host and scheme when
// trusted, and the bound address for anything that is not a plain host.
#include <gtest/gtest.h>

#include <string>

#include "PublicAddress.h"

namespace {

using ZelServer::AddressSettings;
using ZelServer::IsHostAndPort;
using ZelServer::ParsePublicUrl;
using ZelServer::PublicAddress;

constexpr char kBound[] = "http://127.0.0.1:4000/zel";

ZelHttp::PageRequest Asking(std::vector<std::pair<std::string, std::string>> headers) {
  ZelHttp::PageRequest request;
  request.target = "/zel?wsdl";
  request.headers = std::move(headers);
  return request;
}

std::string AddressFor(const AddressSettings& settings,
                       std::vector<std::pair<std::string, std::string>> headers) {
  PublicAddress address(settings);
  address.SetBoundUrl(kBound);
  return address.For(Asking(std::move(headers)));
}

TEST(HostHeader, TakesHostNamesAndIpLiteralsWithAnOptionalPort) {
  for (const char* host : {"example.test", "example.test:8443", "a", "10.0.0.5:8080", "[::1]",
                           "[2001:db8::1]:443", "xn--bcher-kva.example", "EXAMPLE.Test"}) {
    EXPECT_TRUE(IsHostAndPort(host)) << host;
  }
}

TEST(HostHeader, RefusesAnythingElse) {
  for (const char* host :
       {"", "evil\"><x", "evil.test/x", "evil.test:0", "evil.test:65536",
        "evil.test:", "evil.test:80:80", "user@evil.test", "[::1", "[not-v6]", "::1", "a..b", ".a",
        "a.", "evil test", "evil\r\nX: y", "evil_host", "a:b", "[::1]x"}) {
    EXPECT_FALSE(IsHostAndPort(host)) << host;
  }
  EXPECT_FALSE(IsHostAndPort(std::string(10240, 'a')));
  EXPECT_FALSE(IsHostAndPort(std::string(64, 'a') + ".test"));  // a label over 63
}

TEST(PublicUrl, AcceptsHttpAndHttpsWithHostPortAndPath) {
  struct Case {
    const char* given;
    const char* used;
  };
  for (const Case& c : {Case{"https://lb.example/zel", "https://lb.example/zel"},
                        Case{"HTTP://lb.example:8080/api/zel/", "http://lb.example:8080/api/zel"},
                        Case{"https://lb.example", "https://lb.example/zel"},
                        Case{"https://lb.example/", "https://lb.example/zel"},
                        Case{"http://[2001:db8::1]:81/z", "http://[2001:db8::1]:81/z"}}) {
    std::string url, error;
    EXPECT_TRUE(ParsePublicUrl(c.given, "/zel", url, error)) << c.given << ": " << error;
    EXPECT_EQ(url, c.used);
  }
}

TEST(PublicUrl, RefusesOtherSchemesAndUrlsWithMoreThanAHostAndPath) {
  for (const char* given :
       {"ftp://lb.example/zel", "lb.example/zel", "https://", "https:///zel",
        "https://user@lb.example/zel", "https://lb.example/zel?wsdl", "https://lb.example/zel#x",
        "https://lb.example/a\"b", "https://lb.example/<x>", "https://lb.example:99999/zel"}) {
    std::string url, error;
    EXPECT_FALSE(ParsePublicUrl(given, "/zel", url, error)) << given;
    EXPECT_FALSE(error.empty()) << given;
  }
}

TEST(PublicAddress, NamesTheRequestedHostWithTheListenersScheme) {
  AddressSettings plain;
  EXPECT_EQ(AddressFor(plain, {{"Host", "example.test:8443"}}), "http://example.test:8443/zel");
  AddressSettings tls;
  tls.scheme = "https";
  tls.path = "/api";
  EXPECT_EQ(AddressFor(tls, {{"host", "example.test"}}), "https://example.test/api");
}

TEST(PublicAddress, FallsBackToTheBoundAddressForABadMissingOrRepeatedHost) {
  AddressSettings settings;
  EXPECT_EQ(AddressFor(settings, {}), kBound);
  EXPECT_EQ(AddressFor(settings, {{"Host", "evil\"><x"}}), kBound);
  EXPECT_EQ(AddressFor(settings, {{"Host", std::string(10240, 'a')}}), kBound);
  EXPECT_EQ(AddressFor(settings, {{"Host", "a.test"}, {"Host", "b.test"}}), kBound);
}

TEST(PublicAddress, BelievesForwardedHeadersOnlyWhenTrusted) {
  std::vector<std::pair<std::string, std::string>> forwarded = {
      {"Host", "10.0.0.5:8080"},
      {"X-Forwarded-Host", "lb.example, inner.proxy"},
      {"X-Forwarded-Proto", "https"}};
  AddressSettings settings;
  EXPECT_EQ(AddressFor(settings, forwarded), "http://10.0.0.5:8080/zel");
  settings.trustForwarded = true;
  EXPECT_EQ(AddressFor(settings, forwarded), "https://lb.example/zel");
  // A forwarded value that is not a host or scheme is not used.
  EXPECT_EQ(AddressFor(settings, {{"Host", "example.test"},
                                  {"X-Forwarded-Host", "evil\"><x"},
                                  {"X-Forwarded-Proto", "javascript"}}),
            "http://example.test/zel");
}

TEST(PublicAddress, ThePublicUrlWinsOverEveryHeader) {
  AddressSettings settings;
  settings.publicUrl = "https://lb.example/zel";
  settings.trustForwarded = true;
  EXPECT_EQ(AddressFor(settings, {{"Host", "example.test"}, {"X-Forwarded-Host", "other"}}),
            "https://lb.example/zel");
}

}  // namespace
