// The wire's own fault before the runtime has started: a transport that cannot
// reach its server throws it before a client starts the runtime, so its type
// is made on first use, and the start hands the same type to the runtime.
// Nothing in this binary starts the runtime before its last test does.
#include <Lumo/TypeInfoLoader.h>
#include <Lumo/Wire/WireFormatFault.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Lumo::Wire::WireFormatFault;

const Lumo::LoaderRegistration* WireLoader(const std::vector<Lumo::LoaderRegistration>& loaders) {
  for (const auto& loader : loaders) {
    if (loader.name == "lumo-wire") return &loader;
  }
  return nullptr;
}

TEST(WireFaultBeforeStart, ThreadsAskingFirstAllGetTheOneType) {
  ASSERT_FALSE(Lumo::IsRuntimeStarted());
  constexpr int kThreads = 4;
  std::vector<const Lumo::Type*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] { seen[t] = Lumo::GetDoType<WireFormatFault>(); });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_NE(seen[0], nullptr);
  for (const Lumo::Type* type : seen) EXPECT_EQ(type, seen[0]);
  EXPECT_EQ(Lumo::FindTypeByName("olyx.fault.WireFormat"), seen[0]);
}

TEST(WireFaultBeforeStart, IsThrownWithItsTypeAndCaughtAsTheRuntimesInvalidArgument) {
  ASSERT_FALSE(Lumo::IsRuntimeStarted());
  try {
    Lumo::Wire::ThrowWireFault(Lumo::Wire::Reason::kTransport, "", "connection refused");
    FAIL() << "ThrowWireFault returned";
  } catch (const Lumo::Fault::InvalidArgument::Exception& e) {
    auto* fault = dynamic_cast<WireFormatFault*>(e.GetFault());
    ASSERT_NE(fault, nullptr);
    ASSERT_NE(fault->PeekReason(), nullptr);
    EXPECT_EQ(*fault->PeekReason(), "transport");
    EXPECT_EQ(fault->GetMsg(), "transport: connection refused");
    // The exception's message names the fault's type, which exists already.
    EXPECT_NE(std::string(e.what()).find("olyx.fault.WireFormat"), std::string::npos) << e.what();
    Lumo::DataObjectType* type = Lumo::GetDoType<WireFormatFault>();
    EXPECT_EQ(fault->_GetType(), type);
    EXPECT_EQ(type->GetInfo()->type, &gOlyxFaultWireFormatTypeInfo);
    ASSERT_NE(type->GetBase(), nullptr);
    EXPECT_STREQ(type->GetBase()->GetName(), "olyx.fault.InvalidArgument");
  }
  auto loaders = Lumo::GetLoaderRegistrations();
  const Lumo::LoaderRegistration* loader = WireLoader(loaders);
  ASSERT_NE(loader, nullptr);
  EXPECT_FALSE(loader->hasRun);
}

TEST(WireFaultAtStart, TheLoaderHandsTheSameTypeToTheRuntime) {
  Lumo::DataObjectType* before = Lumo::GetDoType<WireFormatFault>();
  Lumo::StartRuntime();
  auto loaders = Lumo::GetLoaderRegistrations();
  const Lumo::LoaderRegistration* loader = WireLoader(loaders);
  ASSERT_NE(loader, nullptr);
  EXPECT_TRUE(loader->hasRun);
  EXPECT_EQ(loader->versions, nullptr);
  ASSERT_EQ(loader->types.size(), 1u);
  EXPECT_EQ(loader->types[0], before);
  EXPECT_EQ(Lumo::FindTypeByWsdlName("WireFormatFault"), before);
  EXPECT_EQ(Lumo::GetDoType<WireFormatFault>(), before);
}

}  // namespace
