// What a thread keeps for its next read, and what all threads share, stay
// bounded after large messages, on every thread that reads, and values read
// before and after are whole.
#include <Lumo/Array.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "WireTestSupport.h"

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;
using Lumo::Any;

constexpr size_t kBound = 4u * 1024u * 1024u;
constexpr size_t kSharedBound = 49u * 1024u * 1024u;

// An ArrayOfString value of count texts, written.
std::string LargeMessage(int count) {
  auto texts = MakeRef<Lumo::Array<std::string>>();
  for (int i = 0; i < count; ++i) {
    texts->Append("replication rule " + std::to_string(i) + " of the gold policy, <mirrored>");
  }
  std::string bytes;
  Lumo::Wire::Codec().EncodeValue(texts.Get(), bytes);
  return bytes;
}

// Reads message and expects count texts back, the last one intact.
void ReadAndCheck(const std::string& message, int count) {
  Ref<Any> back = Lumo::Wire::Codec().DecodeValue(message);
  auto* texts = dynamic_cast<Lumo::Array<std::string>*>(back.Get());
  ASSERT_NE(texts, nullptr);
  ASSERT_EQ(texts->GetLength(), count);
  EXPECT_EQ(texts->Get(count - 1),
            "replication rule " + std::to_string(count - 1) + " of the gold policy, <mirrored>");
}

class ReaderMemoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { WireTest::StartRuntime(); }
};

TEST_F(ReaderMemoryTest, LargeMessagesLeaveABoundedAmountKept) {
  // About 7 MB: a copy of that size and a few hundred parser pages.
  const int count = 90000;
  std::string large = LargeMessage(count);
  ASSERT_GT(large.size(), 6u * 1024u * 1024u);
  std::string small = LargeMessage(10);

  ReadAndCheck(small, 10);
  size_t afterSmall = Lumo::Wire::ReaderBytesKept();
  ReadAndCheck(large, count);
  EXPECT_LE(Lumo::Wire::ReaderBytesKept(), kBound);
  ReadAndCheck(large, count);
  EXPECT_LE(Lumo::Wire::ReaderBytesKept(), kBound);
  EXPECT_LE(Lumo::Wire::ReaderBytesShared(), kSharedBound);
  ReadAndCheck(small, 10);
  EXPECT_LE(Lumo::Wire::ReaderBytesKept(), std::max(afterSmall, kBound));
}

TEST_F(ReaderMemoryTest, EveryReadingThreadKeepsItsOwnBoundedAmount) {
  const int count = 60000;
  std::string large = LargeMessage(count);
  std::vector<size_t> kept(3, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kept.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2; ++round) ReadAndCheck(large, count);
      kept[t] = Lumo::Wire::ReaderBytesKept();
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t bytes : kept) {
    EXPECT_GT(bytes, 0u);  // the thread keeps some pages for its next read
    EXPECT_LE(bytes, kBound);
  }
  EXPECT_LE(Lumo::Wire::ReaderBytesShared(), kSharedBound);
}

}  // namespace
