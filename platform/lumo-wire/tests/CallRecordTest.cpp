// The call record the dispatcher leaves on a CallInfo for a log: the method
// and target it read (also when the arguments do not read), the wire type of
// the fault it answered, the sizes; and the in-place read, which answers
// what the copying read answers.
#include <Olyx/Zel/Fault/NotFound.h>
#include <gtest/gtest.h>

#include "CallTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

class CallRecordTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }

  void SetUp() override {
    type = WireTest::ManagedTypeNamed("zel.ServiceInstance");
    method = type->FindMethod("retrieveContent");
    ASSERT_NE(method, nullptr);
    auto target = MakeRef<Lumo::MoRef>(type->GetName(), service.IdOf(type));
    Lumo::Wire::Codec codec;
    codec.EncodeRequest(method, target.Get(), {}, request.body);
  }

  // Handles a copy of request in place; the record goes to call.
  Lumo::Wire::TransportResponse HandleInPlace(const std::string& body, Lumo::Wire::CallInfo& call) {
    Lumo::Wire::TransportRequest copy{"", body, {}};
    Lumo::Wire::TransportResponse response;
    service.dispatcher->HandleInPlace(copy, response, call);
    return response;
  }

  WireTest::Service service;
  const Lumo::ManagedObjectType* type = nullptr;
  const Lumo::ManagedMethod* method = nullptr;
  Lumo::Wire::TransportRequest request;
};

TEST_F(CallRecordTest, RecordsTheMethodTargetAndSizesOfAnAnsweredCall) {
  Lumo::Wire::CallInfo call;
  Lumo::Wire::TransportResponse response = HandleInPlace(request.body, call);
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_EQ(call.method, method);
  ASSERT_TRUE(call.target);
  EXPECT_EQ(call.target->GetTypeName(), "zel.ServiceInstance");
  EXPECT_EQ(call.target->GetId(), "zel.ServiceInstance-1");
  EXPECT_EQ(call.fault, "");
  EXPECT_EQ(call.requestBytes, request.body.size());
  EXPECT_EQ(call.responseBytes, response.body.size());
  // What the call read while it ran is gone with it.
  EXPECT_EQ(call.context, nullptr);

  // The copying read answers the same bytes and leaves the request as it was.
  Lumo::Wire::CallInfo copied;
  const std::string sent = request.body;
  Lumo::Wire::TransportResponse again;
  service.dispatcher->Handle(request, again, copied);
  EXPECT_EQ(request.body, sent);
  EXPECT_EQ(again.status, response.status);
  EXPECT_EQ(again.body, response.body);
  EXPECT_EQ(copied.method, method);
}

TEST_F(CallRecordTest, RecordsTheWireTypeOfTheFaultItAnswered) {
  auto notFound = MakeRef<Zel::Fault::NotFound>();
  service.recorder->Fail(notFound.Get());
  Lumo::Wire::CallInfo call;
  Lumo::Wire::TransportResponse response = HandleInPlace(request.body, call);
  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(call.fault, "ZelFaultNotFound");
  EXPECT_NE(response.body.find("<ZelFaultNotFoundFault "), std::string::npos) << response.body;
  EXPECT_EQ(call.method, method);

  // An object the registry has not: the wire's own fault.
  std::string nobody = request.body;
  nobody.replace(nobody.find("zel.ServiceInstance-1"), 21, "nobody");
  Lumo::Wire::CallInfo unknown;
  response = HandleInPlace(nobody, unknown);
  EXPECT_EQ(unknown.fault, "WireFormatFault");
  EXPECT_NE(response.body.find("<WireFormatFaultFault "), std::string::npos) << response.body;
  ASSERT_TRUE(unknown.target);
  EXPECT_EQ(unknown.target->GetId(), "nobody");
}

TEST_F(CallRecordTest, KeepsWhatItReadOfARequestThatDoesNotReadToTheEnd) {
  // The arguments do not read: the method and target are known by then.
  std::string extra = request.body;
  extra.insert(extra.find("</_this>") + 8, "<bogus/>");
  Lumo::Wire::CallInfo call;
  Lumo::Wire::TransportResponse response = HandleInPlace(extra, call);
  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(call.method, method);
  ASSERT_TRUE(call.target);
  EXPECT_EQ(call.fault, "WireFormatFault");

  // Nothing reads: no method, no target, still the fault.
  Lumo::Wire::CallInfo nothing;
  response = HandleInPlace("<not-soap/>", nothing);
  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(nothing.method, nullptr);
  EXPECT_FALSE(nothing.target);
  EXPECT_EQ(nothing.fault, "WireFormatFault");
  EXPECT_EQ(nothing.requestBytes, 11u);
}

}  // namespace
