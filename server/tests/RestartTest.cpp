// zel-server with a data file, killed with SIGKILL in the middle of a
// concurrent load and started again: every change it answered is there, and
// nothing is half-written.
#include <Lumo/Lumo.h>
#include <Lumo/Wire/StubAdapters.h>
#include <Olyx/Zel/Auth/SessionManager.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfile.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileCreateSpec.h>
#include <Olyx/Zel/Profile/CapabilityBasedProfileUpdateSpec.h>
#include <Olyx/Zel/Profile/ProfileManager.h>
#include <Olyx/Zel/Profile/ResourceType.h>
#include <Olyx/Zel/Profile/SubProfileCapabilityConstraints.h>
#include <ZelHttp/HttpTransport.h>
#include <ZelSample/ProfileSpecs.h>
#include <ZelSample/Token.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Kestrum::MakeRef;
using Kestrum::Ref;

// A zel-server child process.
class Server {
 public:
  explicit Server(const std::string& dataFile) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    _pid = fork();
    if (_pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      // No request log: nothing reads the pipe once the server has started.
      execl(ZEL_SERVER_PATH, ZEL_SERVER_PATH, "--port", "0", "--data", dataFile.c_str(),
            "--log-level", "error", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    _out = out[0];
    // The line naming the URL, within a generous time.
    std::string seen;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (_url.empty() && std::chrono::steady_clock::now() < until) {
      pollfd p{_out, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) continue;
      char buffer[512];
      ssize_t got = read(_out, buffer, sizeof buffer);
      if (got <= 0) break;
      seen.append(buffer, static_cast<size_t>(got));
      size_t at = seen.find("http://127.0.0.1:");
      size_t end = at == std::string::npos ? at : seen.find("/zel", at);
      if (end != std::string::npos) _url = seen.substr(at, end + 4 - at);
    }
    if (_url.empty()) throw std::runtime_error("zel-server did not start: " + seen);
  }
  ~Server() {
    if (_pid > 0) Kill(SIGTERM);
    close(_out);
  }
  void Kill(int signal) {
    kill(_pid, signal);
    int status = 0;
    waitpid(_pid, &status, 0);
    _pid = -1;
  }
  const std::string& Url() const { return _url; }

 private:
  pid_t _pid = -1;
  int _out = -1;
  std::string _url;
};

struct Client {
  Ref<Lumo::Wire::WireStubAdapter> adapter;
  Ref<Zel::Profile::ProfileManagerStub> profiles;

  explicit Client(const std::string& url) {
    Ref<Lumo::Wire::Transport> transport = MakeRef<ZelHttp::HttpTransport>(url);
    adapter = new Lumo::Wire::WireStubAdapter(transport.Get());
    auto sessions = MakeRef<Zel::Auth::SessionManagerStub>(
        Ref<Lumo::MoRef>(new Lumo::MoRef("zel.auth.SessionManager", "SessionManager")).Get(),
        adapter.Get(), nullptr);
    sessions->LoginByToken(ZelSample::MakeDelegatedToken("loader@sample.test"));
    profiles = new Zel::Profile::ProfileManagerStub(
        Ref<Lumo::MoRef>(new Lumo::MoRef("zel.profile.ProfileManager", "ProfileManager")).Get(),
        adapter.Get(), nullptr);
  }
};

using ZelSample::Build::Vm;

// A profile of two sub-profiles: one replica, or two.
Ref<Zel::Profile::CapabilityBasedProfileCreateSpec> TwoRuleSpec(const std::string& name) {
  using namespace ZelSample::Build;
  return Spec(name, {Sub("replicas-1", {Capability("replicaCount", Int(1))}),
                     Sub("replicas-2", {Capability("replicaCount", Int(2))})});
}

// What the load was answered.
struct Answered {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, std::string> profiles;      // name -> id
  std::map<std::string, std::string> associations;  // vm key -> profile id
  std::map<std::string, std::string> updated;       // profile id -> description
  size_t count = 0;
};

TEST(RestartTest, EveryAnsweredChangeSurvivesAKillInTheMiddleOfALoad) {
  Lumo::StartRuntime();
  char pattern[] = "/tmp/zel-restart-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dataFile = std::string(pattern) + "/data.db";
  Answered answered;
  {
    Server server(dataFile);
    std::atomic<bool> stop{false};
    std::vector<std::thread> loaders;
    for (int t = 0; t < 4; ++t) {
      loaders.emplace_back([&, t] {
        try {
          Client client(server.Url());
          for (int n = 0; !stop; ++n) {
            const std::string name = "load-" + std::to_string(t) + "-" + std::to_string(n);
            Ref<Zel::Profile::ProfileId> id;
            client.profiles->Create(TwoRuleSpec(name).Get(), id);
            {
              std::lock_guard<std::mutex> lock(answered.mutex);
              answered.profiles[name] = id->GetUniqueId();
              ++answered.count;
            }
            client.profiles->Associate(Vm("vm-" + name).Get(), id.Get(), nullptr);
            {
              std::lock_guard<std::mutex> lock(answered.mutex);
              answered.associations["vm-" + name] = id->GetUniqueId();
            }
            auto update = MakeRef<Zel::Profile::CapabilityBasedProfileUpdateSpec>();
            update->SetDescription(Kestrum::Optional<std::string>("updated " + name));
            client.profiles->Update(id.Get(), update.Get());
            {
              std::lock_guard<std::mutex> lock(answered.mutex);
              answered.updated[id->GetUniqueId()] = "updated " + name;
            }
            answered.changed.notify_all();
          }
        } catch (const std::exception&) {
          // The server is gone: what was answered so far is what counts.
        }
        answered.changed.notify_all();
      });
    }
    {
      std::unique_lock<std::mutex> lock(answered.mutex);
      answered.changed.wait_for(lock, std::chrono::seconds(120),
                                [&] { return answered.count >= 60; });
    }
    server.Kill(SIGKILL);
    stop = true;
    for (auto& loader : loaders) loader.join();
  }
  ASSERT_GE(answered.count, 1u);

  // The file itself is sound.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(dataFile.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);

  Server again(dataFile);
  Client client(again.Url());
  // Every profile there is whole: its name, its two sub-profiles.
  Ref<Lumo::DataArray<Zel::Profile::ProfileId>> ids;
  client.profiles->QueryProfile(ZelSample::Build::Storage().Get(), Kestrum::Optional<std::string>(),
                                ids);
  ASSERT_GE(static_cast<size_t>(ids->GetLength()), answered.profiles.size());
  Ref<Lumo::DataArray<Zel::Profile::Profile>> all;
  client.profiles->RetrieveContent(ids.Get(), all);
  std::map<std::string, const Zel::Profile::CapabilityBasedProfile*> byName;
  for (int i = 0; i < all->GetLength(); ++i) {
    auto* profile = dynamic_cast<const Zel::Profile::CapabilityBasedProfile*>(all->Get(i));
    ASSERT_NE(profile, nullptr);
    auto* constraints = dynamic_cast<const Zel::Profile::SubProfileCapabilityConstraints*>(
        profile->GetConstraints());
    ASSERT_NE(constraints, nullptr);
    EXPECT_EQ(constraints->GetPtrSubProfiles()->GetLength(), 2);
    byName[profile->GetName()] = profile;
  }
  // Every answered change is there.
  for (const auto& [name, id] : answered.profiles) {
    ASSERT_EQ(byName.count(name), 1u) << name;
    EXPECT_EQ(byName[name]->GetProfileId()->GetUniqueId(), id);
  }
  for (const auto& [name, profile] : byName) {
    auto it = answered.updated.find(profile->GetProfileId()->GetUniqueId());
    if (it != answered.updated.end()) {
      EXPECT_EQ(profile->GetDescription(), it->second) << name;
    }
  }
  for (const auto& [vm, id] : answered.associations) {
    Ref<Lumo::DataArray<Zel::Profile::ProfileId>> associated;
    client.profiles->QueryAssociatedProfile(Vm(vm).Get(), associated);
    ASSERT_EQ(associated->GetLength(), 1) << vm;
    EXPECT_EQ(associated->Get(0)->GetUniqueId(), id);
  }
  std::string cleanup = std::string("rm -rf ") + pattern;
  EXPECT_EQ(std::system(cleanup.c_str()), 0);
}

}  // namespace
