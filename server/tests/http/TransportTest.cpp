// The client transport against a real server: connections kept and reused
// across calls and threads, many threads over one transport, call timeouts,
// cookies kept and dropped as the server says, and TLS with a certificate made for the test
// (trusted, and not).
#include <Lumo/Wire/Transport.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "RawHttp.h"
#include "ServiceFixture.h"

namespace HttpTesting {
namespace {

std::string FaultText(const Lumo::Wire::WireFormatFault::Exception& e) {
  const auto* fault = e.GetFault();
  return *fault->PeekReason() + " " + e.what();
}

TEST_F(HttpServiceTest, KeptAliveConnectionsAreReusedAcrossCallsAndThreads) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  std::atomic<int> calls{0};
  settings.requestLog = [&](const ZelHttp::RequestRecord&) { ++calls; };
  Restart(settings);
  Client client = Connect();
  for (int i = 0; i < 20; ++i) {
    Ref<Zel::ServiceInstanceContent> content;
    client.instance->RetrieveContent(content);
  }
  EXPECT_EQ(server->GetConnectionCount(), 1u);
  EXPECT_EQ(client.transport->GetIdleConnectionCount(), 1u);

  // Sixteen threads over the one transport, each with its own calls: every
  // answer is the right one, and the pool keeps no more than it may.
  constexpr int kThreads = 16;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int r = 0; r < 20; ++r) {
        try {
          Ref<Zel::ServiceInstanceContent> content;
          client.instance->RetrieveContent(content);
          if (!content || !content->GetSessionManager()) ++wrong;
        } catch (const std::exception& e) {
          ADD_FAILURE() << e.what();
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(client.transport->GetIdleConnectionCount(), 8u);
  EXPECT_GE(calls.load(), 21 + kThreads * 20);
}

TEST_F(HttpServiceTest, AConnectionTheServerClosedIsReplacedWithoutAFault) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.idleTimeout = std::chrono::seconds(1);
  Restart(settings);
  Client client = Connect();
  // Wait until the server has closed the kept-alive connection.
  while (server->GetConnectionCount() != 0) std::this_thread::yield();
  Ref<Zel::ServiceInstanceContent> content;
  client.instance->RetrieveContent(content);
  EXPECT_TRUE(content);
}

TEST_F(HttpServiceTest, ACallThatTakesTooLongIsATransportFault) {
  // Shared with the handler, which may start only after the client gave up.
  auto release = std::make_shared<std::atomic<bool>>(false);
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [release, endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                                     Lumo::Wire::TransportResponse& response) {
        while (!*release) std::this_thread::yield();
        endpoint->Handle(request, response);
      },
      TestSettings());
  server->Start();
  ZelHttp::HttpTransportSettings settings;
  settings.readTimeout = std::chrono::milliseconds(300);
  auto transport = MakeRef<ZelHttp::HttpTransport>(server->GetUrl(), settings);
  Lumo::Wire::TransportRequest request;
  request.body = kRetrieveContent;
  Lumo::Wire::TransportResponse response;
  try {
    transport->Send(request, response);
    ADD_FAILURE() << "the call did not time out";
  } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
    EXPECT_NE(FaultText(e).find("no answer within 300 ms"), std::string::npos) << FaultText(e);
  }
  *release = true;
}

// The client keeps the cookies a server sets, replaces and drops them as its
// Set-Cookie headers say, ignores those that do not read, and sends what it
// keeps back in one Cookie header. Each request's body holds the Set-Cookie
// values its answer is to carry, one a line.
TEST_F(HttpServiceTest, TheClientKeepsReplacesAndDropsCookiesAsSetCookieSays) {
  struct Seen {
    std::mutex mutex;
    std::vector<std::string> cookieHeaders;
  };
  auto seen = std::make_shared<Seen>();
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [seen](const Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response) {
        const std::string* cookies = Lumo::Wire::FindHeader(request.headers, "Cookie");
        {
          std::lock_guard<std::mutex> lock(seen->mutex);
          seen->cookieHeaders.push_back(cookies ? *cookies : "(none)");
        }
        std::istringstream lines(request.body);
        for (std::string line; std::getline(lines, line);) {
          response.headers.emplace_back("Set-Cookie", line);
        }
        response.status = 200;
        response.body = "<ok/>";
      },
      TestSettings());
  server->Start();
  auto transport = MakeRef<ZelHttp::HttpTransport>(server->GetUrl());
  auto send = [&](const std::string& setCookies) {
    Lumo::Wire::TransportRequest request;
    request.body = setCookies;
    Lumo::Wire::TransportResponse response;
    transport->Send(request, response);
  };

  send(
      "zel_session=abc; Path=/; HttpOnly\nb=2; Max-Age=3600\npath=max-age=0\n"
      "a b=bad\nnovalue\n\"q\"=1");
  EXPECT_EQ(transport->GetCookie("zel_session"), "abc");
  EXPECT_EQ(transport->GetCookie("path"), "max-age=0");  // a value, not an attribute
  EXPECT_EQ(transport->GetCookie("a b"), "");
  send("zel_session=def\nb=; Path=/\npath=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(transport->GetCookie("zel_session"), "def");
  EXPECT_EQ(transport->GetCookie("b"), "");
  EXPECT_EQ(transport->GetCookie("path"), "");
  send("zel_session=; Path=/; HttpOnly; Max-Age=0");
  EXPECT_EQ(transport->GetCookie("zel_session"), "");
  send("");

  std::lock_guard<std::mutex> lock(seen->mutex);
  EXPECT_EQ(seen->cookieHeaders,
            (std::vector<std::string>{"(none)", "b=2; path=max-age=0; zel_session=abc",
                                      "zel_session=def", "(none)"}));
}

// ---- TLS --------------------------------------------------------------------------------------

class TlsTest : public HttpServiceTest {
 protected:
  void SetUp() override {
    HttpServiceTest::SetUp();
    directory =
        std::filesystem::temp_directory_path() / ("zel-http-tls-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    MakeCertificate("trusted", "localhost");
    MakeCertificate("stranger", "localhost");
    MakeCertificate("elsewhere", "elsewhere.test", false);
    ZelHttp::HttpServerSettings settings = TestSettings();
    settings.tlsCertificateFile = File("trusted.crt");
    settings.tlsKeyFile = File("trusted.key");
    Restart(settings);
  }
  void TearDown() override {
    HttpServiceTest::TearDown();
    std::filesystem::remove_all(directory);
  }

  // A self-signed certificate for host (and 127.0.0.1 when withAddress)
  // made with the openssl program.
  void MakeCertificate(const std::string& name, const std::string& host, bool withAddress = true) {
    std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -days 2 -subj /CN=" +
        host + " -addext subjectAltName=DNS:" + host + (withAddress ? ",IP:127.0.0.1" : "") +
        " -keyout " + File(name + ".key") + " -out " + File(name + ".crt") + " 2>" +
        File(name + ".log");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  std::string File(const std::string& name) const { return (directory / name).string(); }
  std::string HttpsUrl(const std::string& host) const {
    return "https://" + host + ":" + std::to_string(Port()) + "/zel";
  }

  std::filesystem::path directory;
};

TEST_F(TlsTest, ARoundTripWithATrustedCertificate) {
  ZelHttp::HttpTransportSettings settings;
  settings.trustedCertificateFile = File("trusted.crt");
  EXPECT_EQ(server->GetUrl().rfind("https://", 0), 0u);
  EXPECT_TRUE(HoldConversation(HttpsUrl("localhost"), *service, settings));
  EXPECT_TRUE(HoldConversation(HttpsUrl("127.0.0.1"), *service, settings));
}

TEST_F(TlsTest, FailedHandshakesAreLogged) {
  std::mutex mutex;
  std::vector<std::string> refusals;
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.tlsCertificateFile = File("trusted.crt");
  settings.tlsKeyFile = File("trusted.key");
  settings.requestLog = [&](const ZelHttp::RequestRecord& record) {
    std::lock_guard<std::mutex> lock(mutex);
    if (record.request == nullptr) refusals.push_back(record.refusal);
  };
  Restart(settings);
  // Plain HTTP on the TLS port, and a client that does not trust the server.
  EXPECT_NE(Post(Port(), "/zel", kRetrieveContent, "text/xml", kAction).status, 200);
  Lumo::Wire::TransportRequest request;
  request.body = kRetrieveContent;
  Lumo::Wire::TransportResponse response;
  auto untrusting = MakeRef<ZelHttp::HttpTransport>(HttpsUrl("localhost"));
  EXPECT_THROW(untrusting->Send(request, response), Lumo::Wire::WireFormatFault::Exception);
  // The server logs after the client has seen the failure: wait for both.
  for (int i = 0; i < 500; ++i) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (refusals.size() >= 2) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(refusals.size(), 2u);
  for (const std::string& refusal : refusals) {
    EXPECT_EQ(refusal.rfind("TLS handshake failed: ", 0), 0u) << refusal;
  }
}

TEST_F(TlsTest, AnUntrustedCertificateOrAnotherHostNameIsRefused) {
  Lumo::Wire::TransportRequest request;
  request.body = kRetrieveContent;
  Lumo::Wire::TransportResponse response;
  auto expectRefused = [&](const std::string& url, const ZelHttp::HttpTransportSettings& settings) {
    auto transport = MakeRef<ZelHttp::HttpTransport>(url, settings);
    try {
      transport->Send(request, response);
      ADD_FAILURE() << "an untrusted server was talked to at " << url;
    } catch (const Lumo::Wire::WireFormatFault::Exception& e) {
      EXPECT_NE(FaultText(e).find("certificate verify failed"), std::string::npos) << FaultText(e);
    }
  };
  // The system's CA bundle does not know the test certificate.
  expectRefused(HttpsUrl("localhost"), {});
  // Trusting another certificate does not trust this one.
  ZelHttp::HttpTransportSettings stranger;
  stranger.trustedCertificateFile = File("stranger.crt");
  expectRefused(HttpsUrl("localhost"), stranger);
  // Plain HTTP to a TLS port gets no SOAP answer; the server keeps serving.
  RawAnswer plain = Post(Port(), "/zel", kRetrieveContent, "text/xml", kAction);
  EXPECT_NE(plain.status, 200);
  ZelHttp::HttpTransportSettings trusted;
  trusted.trustedCertificateFile = File("trusted.crt");
  EXPECT_TRUE(HoldConversation(HttpsUrl("localhost"), *service, trusted));

  // A trusted certificate, but for another name than the one asked for.
  ZelHttp::HttpServerSettings elsewhere = TestSettings();
  elsewhere.tlsCertificateFile = File("elsewhere.crt");
  elsewhere.tlsKeyFile = File("elsewhere.key");
  Restart(elsewhere);
  ZelHttp::HttpTransportSettings trustsElsewhere;
  trustsElsewhere.trustedCertificateFile = File("elsewhere.crt");
  expectRefused(HttpsUrl("localhost"), trustsElsewhere);
}

TEST(TlsSettingsTest, MissingFilesAreClearErrors) {
  ZelHttp::HttpServerSettings settings;
  settings.tlsCertificateFile = "/nonexistent/server.crt";
  settings.tlsKeyFile = "/nonexistent/server.key";
  ZelHttp::HttpServer server([](auto&, auto&) {}, settings);
  EXPECT_THROW(server.Start(), std::runtime_error);
  ZelHttp::HttpTransportSettings client;
  client.trustedCertificateFile = "/nonexistent/ca.crt";
  EXPECT_THROW(new ZelHttp::HttpTransport("https://localhost:1/zel", client),
               std::invalid_argument);
}

}  // namespace
}  // namespace HttpTesting
