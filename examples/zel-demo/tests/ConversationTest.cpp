// The demo conversation as a test: over the in-process wire, over HTTP on
// loopback, in an older version, and against answers that are not right.
#include <Lumo/Lumo.h>
#include <Lumo/Primitive.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/ProfileId.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <ZelDemo/Conversation.h>
#include <ZelHttp/HttpServer.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/DirectAdapter.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Service.h>
#include <ZelSample/Token.h>
#include <ZelSample/WireEndpoint.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

class ConversationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    service = std::make_unique<ZelSample::SampleService>();
    endpoint = new ZelSample::WireEndpoint(*service);
  }
  void TearDown() override {
    endpoint.Reset();
    service.reset();
  }

  ZelDemo::ConversationResult Run(Lumo::Wire::Transport* transport,
                                  const std::string& version = ZelDemo::DefaultVersion()) {
    Lumo::Wire::Options options;
    options.version = version;
    auto adapter = MakeRef<Lumo::Wire::WireStubAdapter>(transport, options);
    ZelDemo::ConversationOptions conversation;
    conversation.version = version;
    return ZelDemo::RunConversation(adapter.Get(), ZelDemo::ServiceInstanceRef().Get(),
                                    conversation, transcript);
  }

  Ref<Lumo::Wire::Transport> InProcess() {
    return Ref<Lumo::Wire::Transport>(new ZelSample::InProcessTransport(endpoint.Get()));
  }

  bool Said(const std::string& text) const {
    return transcript.str().find(text) != std::string::npos;
  }

  std::unique_ptr<ZelSample::SampleService> service;
  Ref<ZelSample::WireEndpoint> endpoint;
  std::ostringstream transcript;
};

TEST_F(ConversationTest, EveryStepAnswersAsExpectedOverTheInProcessWire) {
  ZelDemo::ConversationResult result = Run(InProcess().Get());
  EXPECT_TRUE(result.Succeeded()) << transcript.str();
  EXPECT_EQ(result.steps, 19);
  EXPECT_TRUE(Said("replicationManager: zel.replication.ReplicationManager"));
  EXPECT_TRUE(Said("caught Zel::Fault::InvalidLogin::Exception"));
  EXPECT_TRUE(Said("caught Zel::Fault::DuplicateName::Exception, name \"Gold\""));
  EXPECT_TRUE(Said("vm-42:2001 (virtualDiskId): nonCompliant"));
  EXPECT_TRUE(Said("wanted replicaCount = 2, offered replicaCount = 1"));
  EXPECT_TRUE(Said("no-such-profile: zel.fault.NotFound"));
  EXPECT_TRUE(Said("Conversation complete: 19 steps, every answer as expected."));
  // The conversation cleans up after itself and ends its session.
  EXPECT_EQ(service->GetSessions().Count(), 0u);
}

TEST_F(ConversationTest, EveryStepAnswersAsExpectedOverHttpOnLoopback) {
  ZelHttp::HttpServer server([endpoint = endpoint](const Lumo::Wire::TransportRequest& request,
                                                   Lumo::Wire::TransportResponse& response) {
    endpoint->Handle(request, response);
  });
  server.Start();
  Ref<Lumo::Wire::Transport> transport = MakeRef<ZelHttp::HttpTransport>(server.GetUrl());
  ZelDemo::ConversationResult result = Run(transport.Get());
  EXPECT_TRUE(result.Succeeded()) << transcript.str();
  EXPECT_EQ(result.steps, 19);
  // A second conversation with the same service succeeds as well.
  ZelDemo::ConversationResult again = Run(transport.Get());
  EXPECT_TRUE(again.Succeeded()) << transcript.str();
}

TEST_F(ConversationTest, Version2HasNoReplicationManagerAndStillSucceeds) {
  ZelDemo::ConversationResult result = Run(InProcess().Get(), "zel.version.version2");
  EXPECT_TRUE(result.Succeeded()) << transcript.str();
  EXPECT_TRUE(Said("replicationManager: not part of zel.version.version2"));
}

TEST_F(ConversationTest, Version1CannotHoldTheConversation) {
  EXPECT_FALSE(ZelDemo::CheckVersion("zel.version.version1").empty());
  EXPECT_TRUE(ZelDemo::CheckVersion("zel.version.version2").empty());
  ZelDemo::ConversationResult result = Run(InProcess().Get(), "zel.version.version1");
  EXPECT_FALSE(result.Succeeded());
  EXPECT_EQ(result.steps, 0);
  EXPECT_TRUE(Said("cannot run"));
}

TEST_F(ConversationTest, AProfileLeftOverMakesTheCreationStepFail) {
  // Someone else already holds the name "Gold".
  auto direct = MakeRef<ZelSample::DirectAdapter>(*service);
  auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(
      new Lumo::MoRef("zel.auth.SessionManager", "SessionManager"), direct.Get(), nullptr);
  sessions->LoginByToken(ZelSample::MakeDelegatedToken("someone"));
  auto profiles = MakeRef<Zel::Profile::ProfileManagerStub>(
      new Lumo::MoRef("zel.profile.ProfileManager", "ProfileManager"), direct.Get(), nullptr);

  using namespace ZelSample::Build;
  auto spec = Spec("Gold", {Sub("encrypted", {Capability("encryption", Bool(true))})});
  Ref<Zel::Profile::ProfileId> id;
  profiles->Create(spec.Get(), id);

  ZelDemo::ConversationResult result = Run(InProcess().Get());
  EXPECT_FALSE(result.Succeeded());
  ASSERT_FALSE(result.failed.empty());
  EXPECT_EQ(result.failed[0], "Create the profile \"Gold\"");
  EXPECT_TRUE(Said("failed with zel.fault.DuplicateName"));
  EXPECT_TRUE(Said("Conversation FAILED"));
}

// A transport that changes the answers it carries: the conversation notices.
class TamperingTransport : public Lumo::Wire::Transport {
 public:
  TamperingTransport(Lumo::Wire::Transport* inner, std::string from, std::string to)
      : _inner(inner), _from(std::move(from)), _to(std::move(to)) {}
  void Send(const Lumo::Wire::TransportRequest& request,
            Lumo::Wire::TransportResponse& response) override {
    _inner->Send(request, response);
    for (size_t at; (at = response.body.find(_from)) != std::string::npos;) {
      response.body.replace(at, _from.size(), _to);
    }
  }

 private:
  Ref<Lumo::Wire::Transport> _inner;
  std::string _from;
  std::string _to;
};

TEST_F(ConversationTest, WrongAnswersAreReportedAsFailedSteps) {
  Ref<Lumo::Wire::Transport> tampering = MakeRef<TamperingTransport>(
      InProcess().Get(), "<complianceStatus>compliant<", "<complianceStatus>unknown<");
  ZelDemo::ConversationResult result = Run(tampering.Get());
  EXPECT_FALSE(result.Succeeded());
  ASSERT_EQ(result.failed.size(), 1u) << transcript.str();
  EXPECT_EQ(result.failed[0], "Check compliance of the virtual machine and its disks");
  EXPECT_TRUE(Said("UNEXPECTED: vm-42 is compliant"));
  EXPECT_TRUE(Said("Conversation FAILED: 19 steps, 1 not as expected."));
}

TEST_F(ConversationTest, AnUnreachableServiceFailsTheFirstStepAndStops) {
  Ref<Lumo::Wire::Transport> nowhere = MakeRef<ZelHttp::HttpTransport>("http://127.0.0.1:1/zel");
  ZelDemo::ConversationResult result = Run(nowhere.Get());
  EXPECT_FALSE(result.Succeeded());
  EXPECT_EQ(result.steps, 1);
  EXPECT_TRUE(Said("NOT AS EXPECTED"));
}

TEST_F(ConversationTest, TheWireTraceShowsEveryMessage) {
  std::ostringstream wire;
  Ref<Lumo::Wire::Transport> traced = MakeRef<ZelDemo::TracingTransport>(InProcess().Get(), wire);
  EXPECT_TRUE(Run(traced.Get()).Succeeded());
  const std::string text = wire.str();
  EXPECT_NE(text.find(">>> request (SOAPAction urn:zel/6.7.2)"), std::string::npos);
  EXPECT_NE(text.find("<ZelRetrieveServiceContent xmlns=\"urn:zel\">"), std::string::npos);
  EXPECT_NE(text.find("Set-Cookie: zel_session="), std::string::npos);
  EXPECT_NE(text.find("<<< response (status 500"), std::string::npos);
  EXPECT_NE(text.find("ZelDuplicateName"), std::string::npos);
}

TEST(VersionTest, NamesIdsAndShortNamesResolve) {
  Lumo::StartRuntime();
  EXPECT_EQ(ZelDemo::ResolveVersion("version2"), "zel.version.version2");
  EXPECT_EQ(ZelDemo::ResolveVersion("zel.version.version11"), "zel.version.version11");
  EXPECT_EQ(ZelDemo::ResolveVersion("6.7.2"), "zel.version.version14");
  EXPECT_EQ(ZelDemo::ResolveVersion("9.9"), "");
  EXPECT_EQ(ZelDemo::ResolveVersion(""), "");
  EXPECT_EQ(ZelDemo::DefaultVersion(), "zel.version.version14");
  EXPECT_GE(ZelDemo::KnownVersions().size(), 6u);
}

}  // namespace
