// zel-server's request log over a real HTTP server: each line is taken from
// the request's record and the call record the endpoint leaves on it; the
// user of a login, of a logout (whose session has ended by the time the line
// is written) and of a call, the wire type of a fault, and the reason of a
// refusal the HTTP layer answers by itself.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Fault/InvalidLogin.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/ServiceInstance.h>
#include <Olyx/Zel/ServiceInstanceContent.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "RequestLog.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

class RequestLogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }

  void SetUp() override {
    service = std::make_unique<ZelSample::SampleService>();
    endpoint = new ZelSample::WireEndpoint(*service);
    ZelHttp::HttpServerSettings settings;
    settings.requestLog = [this](const ZelHttp::RequestRecord& record) {
      std::lock_guard<std::mutex> lock(_mutex);
      _info.Write(record);
      _debug.Write(record);
    };
    server = std::make_unique<ZelHttp::HttpServer>(
        [endpoint = endpoint](Lumo::Wire::TransportRequest& request,
                              Lumo::Wire::TransportResponse& response, Lumo::Wire::CallInfo& call) {
          endpoint->HandleInPlace(request, response, call);
        },
        settings);
    server->Start();
    transport = new ZelHttp::HttpTransport(server->GetUrl());
    adapter = new Lumo::Wire::WireStubAdapter(transport.Get());
    Ref<Zel::ServiceInstanceStub> instance = new Zel::ServiceInstanceStub(
        service->GetServiceInstanceRef().Get(), adapter.Get(), nullptr);
    Ref<Zel::ServiceInstanceContent> content;
    instance->RetrieveContent(content);
    sessions =
        new Zel::Auth::SessionManagerStub(content->GetSessionManager(), adapter.Get(), nullptr);
    profiles =
        new Zel::Profile::ProfileManagerStub(content->GetProfileManager(), adapter.Get(), nullptr);
  }

  void TearDown() override { server.reset(); }

  // The last entry's line of a log, without its time stamp (the bodies a
  // debug log adds follow it on indented lines of their own).
  std::string LastLine(const std::ostringstream& log) {
    std::lock_guard<std::mutex> lock(_mutex);
    std::istringstream lines(log.str());
    std::string line;
    std::string last;
    while (std::getline(lines, line)) {
      if (line.rfind("  ", 0) != 0) last = line;
    }
    static const std::regex kTime("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+Z ");
    EXPECT_TRUE(std::regex_search(last, kTime)) << last;
    return std::regex_replace(last, kTime, "");
  }
  std::string DebugText() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _debugText.str();
  }
  std::string LastInfo() { return LastLine(_infoText); }
  std::string LastDebug() { return LastLine(_debugText); }

  void FetchResourceTypes() {
    Ref<Lumo::DataArray<Zel::Profile::ResourceType>> types;
    profiles->FetchResourceType(types);
  }

  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::WireEndpoint> endpoint;
  std::unique_ptr<ZelHttp::HttpServer> server;
  Ref<ZelHttp::HttpTransport> transport;
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::Auth::SessionManagerStub> sessions;
  Ref<Zel::Profile::ProfileManagerStub> profiles;

 private:
  std::mutex _mutex;
  std::ostringstream _infoText;
  std::ostringstream _debugText;
  ZelServer::RequestLog _info{ZelServer::LogLevel::kInfo, _infoText};
  ZelServer::RequestLog _debug{ZelServer::LogLevel::kDebug, _debugText};
};

// PEER USER METHOD OUTCOME DURATION
void ExpectLine(const std::string& line, const std::string& withoutDuration) {
  std::regex expected("^" + withoutDuration + " [0-9]+\\.[0-9]{3}ms$");
  EXPECT_TRUE(std::regex_match(line, expected)) << line;
}

TEST_F(RequestLogTest, NamesTheUserOfEachCallAndOfTheSessionALogoutEnded) {
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 - ZelRetrieveServiceContent ok");

  sessions->LoginByToken(ZelSample::MakeDelegatedToken("dora"));
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 dora ZelLoginByToken ok");
  FetchResourceTypes();
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 dora ZelFetchResourceType ok");
  // The session has ended when the line is written: the user is the one
  // whose session the logout ended.
  sessions->Logout();
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 dora ZelLogout ok");
  // A login over a live session names the new user.
  sessions->LoginByToken(ZelSample::MakeDelegatedToken("erin"));
  sessions->LoginByToken(ZelSample::MakeDelegatedToken("fred"));
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 fred ZelLoginByToken ok");
}

TEST_F(RequestLogTest, NamesTheWireTypeOfAFault) {
  EXPECT_THROW(sessions->LoginByToken("<not-a-token/>"), Zel::Fault::InvalidLogin::Exception);
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 - ZelLoginByToken fault:ZelFaultInvalidLogin");
  EXPECT_THROW(FetchResourceTypes(), Lumo::MethodFault::Exception);
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 - ZelFetchResourceType fault:MethodFault");
}

TEST_F(RequestLogTest, NamesTheReasonOfARefusalOfTheHttpLayer) {
  std::string url = server->GetUrl();
  auto elsewhere = MakeRef<ZelHttp::HttpTransport>(url.substr(0, url.rfind('/')) + "/elsewhere");
  Lumo::Wire::TransportRequest request;
  request.body = "<x/>";
  Lumo::Wire::TransportResponse response;
  EXPECT_THROW(elsewhere->Send(request, response), Lumo::Wire::WireFormatFault::Exception);
  ExpectLine(LastInfo(), "127\\.0\\.0\\.1 - POST /elsewhere http:404 \\(nothing at /elsewhere\\)");
}

TEST_F(RequestLogTest, AddsTheCallRecordAtDebugLevel) {
  sessions->LoginByToken(ZelSample::MakeDelegatedToken("dora"));
  static const std::regex kFields(
      "^127\\.0\\.0\\.1 dora ZelLoginByToken ok [0-9.]+ms action=\"urn:zel[^\"]*\" "
      "in=[1-9][0-9]* "
      "out=[1-9][0-9]* target=zel\\.auth\\.SessionManager:SessionManager decode=[0-9.]+ms "
      "invoke=[0-9.]+ms encode=[0-9.]+ms$");
  std::string line = LastDebug();
  EXPECT_TRUE(std::regex_match(line, kFields)) << line;
  // The answer's body follows; the request's only where the server keeps it.
  std::string text = DebugText();
  EXPECT_NE(text.find("\n  response: <?xml"), std::string::npos) << text;
  EXPECT_NE(text.find("ZelLoginByTokenResponse"), std::string::npos) << text;
}

// A monitor's polls of /healthz, /readyz and /metrics, answered or not, are
// logged at the debug level only; other pages and refusals as before.
TEST(RequestLogProbes, AreLoggedAtDebugLevelOnly) {
  auto page = [](const char* method, const char* target, int status) {
    ZelHttp::RequestRecord record;
    record.peer = "10.0.0.9";
    record.httpMethod = method;
    record.target = target;
    record.status = status;
    return record;
  };
  std::ostringstream warning, info, debug;
  ZelServer::RequestLog warningLog(ZelServer::LogLevel::kWarning, warning);
  ZelServer::RequestLog infoLog(ZelServer::LogLevel::kInfo, info);
  ZelServer::RequestLog debugLog(ZelServer::LogLevel::kDebug, debug);
  for (const auto& record : {page("GET", "/healthz", 200), page("HEAD", "/readyz", 503),
                             page("GET", "/metrics", 200), page("GET", "/readyz?verbose", 503)}) {
    warningLog.Write(record);
    infoLog.Write(record);
    debugLog.Write(record);
  }
  EXPECT_EQ(warning.str(), "");
  EXPECT_EQ(info.str(), "");
  EXPECT_NE(debug.str().find("GET /healthz"), std::string::npos) << debug.str();
  EXPECT_NE(debug.str().find("HEAD /readyz"), std::string::npos) << debug.str();

  infoLog.Write(page("GET", "/zel?wsdl", 200));
  infoLog.Write(page("GET", "/healthzz", 404));
  infoLog.Write(page("POST", "/metrics", 405));
  EXPECT_NE(info.str().find("GET /zel?wsdl"), std::string::npos) << info.str();
  EXPECT_NE(info.str().find("GET /healthzz"), std::string::npos) << info.str();
  EXPECT_NE(info.str().find("POST /metrics"), std::string::npos) << info.str();
}

// Whatever form the token takes, no byte of it reaches the log; what
// merely mentions the element's name is left alone.
TEST(RequestLogBodies, RedactTheTokenWhateverItsForm) {
  using ZelServer::RedactTokens;
  EXPECT_EQ(RedactTokens("<a><delegatedTokenXml>&lt;T&gt;secret</delegatedTokenXml></a>"),
            "<a><delegatedTokenXml>[redacted]</delegatedTokenXml></a>");
  EXPECT_EQ(RedactTokens("<p:delegatedTokenXml x=\"1\"><![CDATA[<T><S>secret</S></T>]]>"
                         "</p:delegatedTokenXml>"),
            "<p:delegatedTokenXml x=\"1\">[redacted]</p:delegatedTokenXml>");
  EXPECT_EQ(RedactTokens("<delegatedTokenXml>one</delegatedTokenXml>"
                         "<delegatedTokenXml>two</delegatedTokenXml>"),
            "<delegatedTokenXml>[redacted]</delegatedTokenXml>"
            "<delegatedTokenXml>[redacted]</delegatedTokenXml>");
  EXPECT_EQ(RedactTokens("<delegatedTokenXml/><msg>delegatedTokenXml</msg>"),
            "<delegatedTokenXml/><msg>delegatedTokenXml</msg>");
  // Never closed: nothing after the start tag is shown.
  EXPECT_EQ(RedactTokens("<delegatedTokenXml>secret</x>"), "<delegatedTokenXml>[redacted]");
}

}  // namespace
