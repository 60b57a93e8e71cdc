// What the service stores survives it in a data file; a change that cannot
// be stored changes nothing.
#include <Olyx/Zel/Compliance/ComplianceResult.h>
#include <Olyx/Zel/Fault/DuplicateName.h>
#include <Olyx/Zel/Placement/PlacementHub.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/ProfileOperationOutcome.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>

#include "TestSupport.h"
#include "store/State.h"
#include "store/Store.h"

namespace ZelSampleTest {
namespace {

class StoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Lumo::StartRuntime(); }
  void SetUp() override {
    char pattern[] = "/tmp/zel-store-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    file = dir + "/data.db";
  }
  void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

  std::unique_ptr<ZelSample::SampleService> Open() {
    ZelSample::ServiceSettings settings;
    settings.dataFile = file;
    return std::make_unique<ZelSample::SampleService>(settings);
  }

  static Ref<Lumo::DataArray<Zel::Placement::PlacementHub>> Hubs(const char* id) {
    auto hub = MakeRef<Zel::Placement::PlacementHub>();
    hub->SetHubType("datastore");
    hub->SetHubId(id);
    return ArrayOf<Zel::Placement::PlacementHub>({hub});
  }

  std::string dir;
  std::string file;
};

TEST_F(StoreTest, EverythingStoredIsServedAgainAfterARestart) {
  std::string gold;
  std::string silver;
  {
    auto service = Open();
    Client client(*service);
    client.Login();
    Ref<Zel::Profile::ProfileId> id;
    client.profiles->Create(GoldSpec().Get(), id);
    gold = id->GetUniqueId();
    client.profiles->Create(GoldSpec("Silver").Get(), id);
    silver = id->GetUniqueId();
    client.profiles->Create(GoldSpec("Gone").Get(), id);
    Ref<Lumo::DataArray<Zel::Profile::ProfileOperationOutcome>> outcomes;
    client.profiles->Delete(ArrayOf<Zel::Profile::ProfileId>({id}).Get(), outcomes);
    client.profiles->Associate(Vm("vm-42").Get(), Id(gold).Get(), nullptr);
    client.profiles->Associate(Disk("vm-42:2001").Get(), Id(silver).Get(), nullptr);
    Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
    client.compliance->CheckCompliance(ArrayOf<Zel::ServerObjectRef>({Vm("vm-42")}).Get(), nullptr,
                                       results);
    client.profiles->AssignDefaultRequirementProfile(Id(gold).Get(), Hubs("ds-fast").Get());
    auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
    update->SetDescription(Kestrum::Optional<std::string>("changed"));
    client.profiles->Update(Id(gold).Get(), update.Get());
  }
  auto service = Open();
  Client client(*service);
  client.Login();
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
  client.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
  ASSERT_EQ(ids->GetLength(), 2);
  EXPECT_EQ(ids->Get(0)->GetUniqueId(), gold);  // creation order kept
  EXPECT_EQ(ids->Get(1)->GetUniqueId(), silver);
  Ref<Lumo::DataArray<Zel::Profile::Profile>> profiles;
  client.profiles->RetrieveContent(ids.Get(), profiles);
  EXPECT_EQ(profiles->Get(0)->GetDescription(), "changed");
  EXPECT_EQ(profiles->Get(1)->GetName(), "Silver");

  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> associated;
  client.profiles->QueryAssociatedProfile(Disk("vm-42:2001").Get(), associated);
  ASSERT_EQ(associated->GetLength(), 1);
  EXPECT_EQ(associated->Get(0)->GetUniqueId(), silver);
  Ref<Zel::Profile::ProfileId> byDefault;
  client.profiles->QueryDefaultRequirementProfile(Hubs("ds-fast")->Get(0), byDefault);
  ASSERT_TRUE(byDefault);
  EXPECT_EQ(byDefault->GetUniqueId(), gold);
  // The stored result is there, and out of date since the update.
  Ref<Lumo::DataArray<Zel::Compliance::ComplianceResult>> results;
  client.compliance->FetchComplianceResult(ArrayOf<Zel::ServerObjectRef>({Vm("vm-42")}).Get(),
                                           nullptr, results);
  EXPECT_EQ(results->Get(0)->GetComplianceStatus(), "outOfDate");
  // A new profile does not take a name or a place in the order of an old one.
  Ref<Zel::Profile::ProfileId> id;
  CatchFault<Zel::Fault::DuplicateName::Exception>(
      [&] { client.profiles->Create(GoldSpec("Silver").Get(), id); });
  client.profiles->Create(GoldSpec("Third").Get(), id);
  client.profiles->QueryProfile(Storage().Get(), Kestrum::Optional<std::string>(), ids);
  EXPECT_EQ(ids->Get(2)->GetUniqueId(), id->GetUniqueId());
}

TEST_F(StoreTest, AFileThatIsNotADataFileIsRefused) {
  FILE* text = std::fopen(file.c_str(), "w");
  ASSERT_NE(text, nullptr);
  std::fputs("this is not a database, and it is long enough to be read as a header....\n", text);
  std::fclose(text);
  EXPECT_THROW(Open(), ZelSample::StoreError);

  std::remove(file.c_str());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE other (x)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  try {
    Open();
    ADD_FAILURE() << "opened another program's database";
  } catch (const ZelSample::StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("tables of another program"), std::string::npos);
  }
}

std::string Bytes(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  std::string bytes;
  if (in == nullptr) return bytes;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, got);
  std::fclose(in);
  return bytes;
}

void MakeDatabase(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

TEST_F(StoreTest, ARefusedFileKeepsEveryByte) {
  struct Case {
    const char* name;
    const char* sql;
    const char* reasonPart;
  } cases[] = {
      {"another program's", "CREATE TABLE other (x); INSERT INTO other VALUES (1)",
       "tables of another program"},
      {"a newer version", "CREATE TABLE profiles (id); PRAGMA user_version = 7",
       "data of version 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(file.c_str());
    MakeDatabase(file, c.sql);
    const std::string before = Bytes(file);
    ASSERT_FALSE(before.empty());
    try {
      Open();
      ADD_FAILURE() << "opened " << c.name << " database";
    } catch (const ZelSample::StoreError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reasonPart), std::string::npos) << e.what();
    }
    EXPECT_EQ(Bytes(file), before) << "the refused file was changed";
    EXPECT_TRUE(Bytes(file + "-wal").empty());
  }
}

// The readiness probe: a data file removed or replaced since it was opened
// (writes would go where nobody reads them) makes the store not ready, and
// says which file; a memory store is always ready.
TEST_F(StoreTest, TheProbeFindsTheDataFileGoneOrReplaced) {
  EXPECT_EQ(ZelSample::SampleService().ProbeStore(), "");
  {
    auto service = Open();
    EXPECT_EQ(service->ProbeStore(), "");
    ASSERT_EQ(std::rename(file.c_str(), (file + ".moved").c_str()), 0);
    std::string reason = service->ProbeStore();
    EXPECT_NE(reason.find("SQLite file " + file + ": cannot reach the data file"),
              std::string::npos)
        << reason;
    std::ofstream(file) << "another file";
    reason = service->ProbeStore();
    EXPECT_NE(reason.find("was replaced since it was opened"), std::string::npos) << reason;
    std::remove(file.c_str());
    ASSERT_EQ(std::rename((file + ".moved").c_str(), file.c_str()), 0);
    EXPECT_EQ(service->ProbeStore(), "");
  }
}

// An observer is told of each commit, and of a refused one as failed.
TEST_F(StoreTest, AnObserverIsToldOfEveryCommit) {
  struct Seen {
    std::mutex mutex;
    int commits = 0;
    int failed = 0;
  };
  auto seen = std::make_shared<Seen>();
  ZelSample::ServiceSettings settings;
  settings.dataFile = file;
  settings.storeObserver = [seen](std::chrono::nanoseconds elapsed, bool failed) {
    std::lock_guard<std::mutex> lock(seen->mutex);
    EXPECT_GE(elapsed.count(), 0);
    ++seen->commits;
    seen->failed += failed ? 1 : 0;
  };
  ZelSample::SampleService service(settings);
  Client client(service);
  client.Login();
  Ref<Zel::Profile::ProfileId> id;
  client.profiles->Create(GoldSpec().Get(), id);
  client.profiles->Create(GoldSpec("Silver").Get(), id);
  std::lock_guard<std::mutex> lock(seen->mutex);
  EXPECT_EQ(seen->commits, 2);
  EXPECT_EQ(seen->failed, 0);
}

TEST(ObservedStoreTest, ARefusedCommitIsToldAsFailed) {
  class Refusing : public ZelSample::Store {
   public:
    ZelSample::StoredData Load() override { return {}; }
    void Commit(const ZelSample::ChangeSet&) override { throw ZelSample::StoreError("full"); }
    std::string Describe() const override { return "refusing"; }
  };
  int failed = 0;
  auto store = ZelSample::ObserveStore(
      std::make_unique<Refusing>(), [&failed](std::chrono::nanoseconds, bool f) { failed += f; });
  ZelSample::ChangeSet changes{ZelSample::DropDefault{"hub"}};
  EXPECT_THROW(store->Commit(changes), ZelSample::StoreError);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(store->Describe(), "refusing");
}

// A store that fails every commit.
class BrokenStore : public ZelSample::Store {
 public:
  ZelSample::StoredData Load() override { return {}; }
  void Commit(const ZelSample::ChangeSet&) override {
    throw ZelSample::StoreError("the disk is full");
  }
  std::string Describe() const override { return "broken"; }
};

TEST(ProfileStateTest, AChangeTheStoreRefusesChangesNothingInMemory) {
  Lumo::StartRuntime();
  ZelSample::ProfileState state(std::make_unique<BrokenStore>());
  auto profile = MakeRef<Zel::Profile::CapabilityBasedProfile>();
  profile->SetProfileId(Id("p").Get());
  profile->SetName("P");
  EXPECT_THROW(state.Commit({ZelSample::ProfileRecord{"p", 1, profile}}), ZelSample::StoreError);
  EXPECT_EQ(state.FindProfile("p"), nullptr);
  EXPECT_EQ(state.FindProfileByName("P"), nullptr);
  EXPECT_EQ(state.ProfileCount(), 0u);
}

}  // namespace
}  // namespace ZelSampleTest
