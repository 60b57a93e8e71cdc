// A data file on a full disk: a change that needs more room is refused with
// a fault that says why, and deletes still go through, so that room can be
// made through the service. The disk is simulated by a file system layer
// under SQLite that refuses every write that would grow a file.
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "TestSupport.h"

namespace ZelSampleTest {
namespace {

std::atomic<bool> gDiskFull{false};

// The default file system, with xOpen giving files whose writes past their
// end fail as on a full disk. The files are the default ones with only their
// method table replaced: a copy whose xWrite checks first.
struct FullDiskVfs {
  static sqlite3_vfs* Real() {
    static sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    return real;
  }

  // Each original method table with its copy, and each copy with its original.
  struct Tables {
    std::mutex mutex;
    std::map<const sqlite3_io_methods*, std::unique_ptr<sqlite3_io_methods>> copies;
    std::map<const sqlite3_io_methods*, const sqlite3_io_methods*> originals;
  };
  static Tables& Known() {
    static Tables tables;
    return tables;
  }

  static int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    const sqlite3_io_methods* real = nullptr;
    {
      std::lock_guard<std::mutex> lock(Known().mutex);
      real = Known().originals.at(file->pMethods);
    }
    if (gDiskFull) {
      sqlite3_int64 size = 0;
      if (real->xFileSize(file, &size) != SQLITE_OK || offset + amount > size) return SQLITE_FULL;
    }
    return real->xWrite(file, data, amount, offset);
  }

  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                  int* outFlags) {
    int opened = Real()->xOpen(Real(), name, file, flags, outFlags);
    if (opened != SQLITE_OK || file->pMethods == nullptr) return opened;
    std::lock_guard<std::mutex> lock(Known().mutex);
    auto& copy = Known().copies[file->pMethods];
    if (!copy) {
      copy = std::make_unique<sqlite3_io_methods>(*file->pMethods);
      copy->xWrite = Write;
      Known().originals[copy.get()] = file->pMethods;
    }
    file->pMethods = copy.get();
    return opened;
  }

  // Makes it the default file system, once.
  static void Install() {
    static sqlite3_vfs vfs = [] {
      sqlite3_vfs copy = *Real();
      copy.zName = "zel-full-disk";
      copy.xOpen = Open;
      return copy;
    }();
    static const int registered = sqlite3_vfs_register(&vfs, 1);
    ASSERT_EQ(registered, SQLITE_OK);
  }
};

class FullDiskTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    FullDiskVfs::Install();
    char pattern[] = "/tmp/zel-full-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    gDiskFull = false;
    std::system(("rm -rf " + dir).c_str());
  }

  std::unique_ptr<ZelSample::SampleService> Open() {
    ZelSample::ServiceSettings settings;
    settings.dataFile = dir + "/data.db";
    // The profile that finds the disk full is larger than a description may
    // be by default.
    settings.quotas.maxDescriptionBytes = 1u << 20;
    return std::make_unique<ZelSample::SampleService>(settings);
  }

  std::string dir;
};

TEST_F(FullDiskTest, DeletesMakeRoomWhereChangesThatNeedMoreAreRefused) {
  std::vector<Ref<Zel::Profile::ProfileId>> ids;
  {
    // Room in the file for what comes: pages freed by deletes stay in it.
    auto service = Open();
    Client client(*service);
    client.Login();
    auto scratch = MakeRef<Lumo::DataArray<Zel::Profile::ProfileId>>();
    for (int i = 0; i < 40; ++i) {
      Ref<Zel::Profile::ProfileId> id;
      client.profiles->Create(GoldSpec("scratch" + std::to_string(i)).Get(), id);
      scratch->Append(id.Get());
    }
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    client.profiles->Delete(scratch.Get(), outcomes);
  }
  auto service = Open();
  Client client(*service);
  client.Login();
  for (int i = 0; i < 5; ++i) {
    Ref<Zel::Profile::ProfileId> id;
    client.profiles->Create(GoldSpec("kept" + std::to_string(i)).Get(), id);
    ids.push_back(id);
  }
  gDiskFull = true;
  Ref<Zel::Profile::ProfileId> id;
  std::string refusal;
  auto big = GoldSpec("big");
  big->SetDescription(Kestrum::Optional<std::string>(std::string(200000, 'x')));
  try {
    client.profiles->Create(big.Get(), id);
    ADD_FAILURE() << "a profile was stored on a full disk";
  } catch (const Lumo::MethodFault::Exception& e) {
    refusal = e.GetFault()->GetMsg();
  }
  EXPECT_NE(refusal.find("free space on the disk"), std::string::npos) << refusal;
  for (const auto& kept : ids) {
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    client.profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({kept}).Get(), outcomes);
    ASSERT_EQ(outcomes->GetLength(), 1);
    EXPECT_FALSE(outcomes->Get(0)->GetFault()) << "a delete was refused on a full disk";
  }
  gDiskFull = false;
  service.reset();
  service = Open();
  Client again(*service);
  again.Login();
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> left;
  again.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), left);
  EXPECT_EQ(left->GetLength(), 0);
}

}  // namespace
}  // namespace ZelSampleTest
