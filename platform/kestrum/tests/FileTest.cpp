// Bounded reads of whole files.
#include <Kestrum/File.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Reason = Kestrum::FileReadException::Reason;

class BoundedFileRead : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = ::testing::TempDir() + "kestrum-file-test-" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    _written.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : _written) std::remove(path.c_str());
  }

  // The reason a read is refused for; fails the test when it is not.
  static Reason RefusedFor(const std::string& path, size_t maxBytes) {
    try {
      Kestrum::ReadFileBounded(path, maxBytes);
    } catch (const Kestrum::FileReadException& e) {
      EXPECT_EQ(e.GetPath(), path);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      return e.GetReason();
    }
    ADD_FAILURE() << path << " was read";
    return Reason::kUnreadable;
  }

 private:
  std::vector<std::string> _written;
};

TEST_F(BoundedFileRead, ReadsEveryByteUpToTheLimit) {
  std::string bytes("line\r\n\0binary\xff", 14);
  EXPECT_EQ(Kestrum::ReadFileBounded(Write("exact", bytes), bytes.size()), bytes);
  EXPECT_EQ(Kestrum::ReadFileBounded(Write("empty", ""), 0), "");
  EXPECT_EQ(Kestrum::ReadFileBounded(Write("small", "abc"), 1024), "abc");
}

TEST_F(BoundedFileRead, RefusesAFileOneByteOverTheLimit) {
  std::string path = Write("over", "12345");
  EXPECT_EQ(RefusedFor(path, 4), Reason::kTooLarge);
  try {
    Kestrum::ReadFileBounded(path, 4);
  } catch (const Kestrum::FileReadException& e) {
    EXPECT_EQ(e.GetMaxBytes(), 4u);
    EXPECT_EQ(std::string(e.what()), "the file " + path + " is larger than 4 bytes");
  }
}

TEST_F(BoundedFileRead, TellsAMissingFileFromAnUnreadableOne) {
  EXPECT_EQ(RefusedFor(::testing::TempDir() + "kestrum-file-test-none", 10), Reason::kMissing);
  EXPECT_EQ(RefusedFor(::testing::TempDir(), 10), Reason::kUnreadable);  // a directory
}

TEST_F(BoundedFileRead, TheRefusalKeepsItsClassWhenCloned) {
  Kestrum::FileReadException original(Reason::kTooLarge, "/x", 3, "too large");
  std::unique_ptr<Kestrum::Exception> clone(original.Clone());
  auto* copy = dynamic_cast<Kestrum::FileReadException*>(clone.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetReason(), Reason::kTooLarge);
  EXPECT_THROW(clone->Throw(), Kestrum::FileReadException);
}

}  // namespace
