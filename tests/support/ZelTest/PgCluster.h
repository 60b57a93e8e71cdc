// A scratch PostgreSQL cluster for a test, through tests/support/pg_cluster.sh:
// made in a fresh folder under /tmp, on a free loopback port, and removed
// when the object ends. Available() is false (the test should skip) when the
// machine has no PostgreSQL server programs.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace ZelTest {

class PgCluster {
 public:
  // The exit status of pg_cluster.sh without the server's programs.
  static constexpr int kUnavailable = 77;

  explicit PgCluster(std::string script) : _script(std::move(script)) {
    char pattern[] = "/tmp/zel-pg-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    _dir = pattern;
    int status = Run("start", &_uri);
    if (status == kUnavailable) {
      _available = false;
      return;
    }
    if (status != 0 || _uri.empty()) {
      throw std::runtime_error("pg_cluster.sh start failed with status " + std::to_string(status));
    }
    while (!_uri.empty() && (_uri.back() == '\n' || _uri.back() == ' ')) _uri.pop_back();
  }
  ~PgCluster() {
    std::string ignored;
    Run("stop", &ignored);
    std::system(("rm -rf '" + _dir + "'").c_str());
  }
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  bool Available() const { return _available; }
  // postgresql://postgres@127.0.0.1:PORT/postgres
  const std::string& Uri() const { return _uri; }
  // The URI of another database of the cluster.
  std::string UriOf(const std::string& database) const {
    return _uri.substr(0, _uri.rfind('/') + 1) + database;
  }
  // Stops the server, keeping its data, and starts it again on the same port.
  void Halt() { Check(Run("halt", nullptr), "halt"); }
  void Restart() { Check(Run("restart", nullptr), "restart"); }

 private:
  int Run(const char* command, std::string* out) {
    const std::string line = "bash '" + _script + "' " + command + " '" + _dir + "'";
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
      if (out != nullptr) *out += buffer;
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static void Check(int status, const char* what) {
    if (status != 0) {
      throw std::runtime_error(std::string("pg_cluster.sh ") + what + " failed with status " +
                               std::to_string(status));
    }
  }

  std::string _script;
  std::string _dir;
  std::string _uri;
  bool _available = true;
};

}  // namespace ZelTest
