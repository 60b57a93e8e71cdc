// A zel-server child process for tests: started with the given flags on a
// free loopback port, its output watched until it names its URL. Stopped
// with SIGTERM when the object ends.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace ZelServerTest {

class ServerProcess {
 public:
  // Starts ZEL_SERVER_PATH --port 0 ARGS. When it exits before it serves,
  // Url() is empty and Output() holds what it printed (ExitStatus() its
  // status); otherwise Url() is where it serves.
  explicit ServerProcess(const std::vector<std::string>& args) {
    // Its output goes to a file, so that a server that goes on writing
    // never blocks on a pipe nobody reads.
    char pattern[] = "/tmp/zel-server-out-XXXXXX";
    const int file = mkstemp(pattern);
    if (file < 0) throw std::runtime_error("mkstemp");
    _outputFile = pattern;
    _pid = fork();
    if (_pid == 0) {
      dup2(file, STDOUT_FILENO);
      dup2(file, STDERR_FILENO);
      close(file);
      std::vector<std::string> all = {ZEL_SERVER_PATH, "--port", "0", "--log-level", "error"};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& arg : all) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(ZEL_SERVER_PATH, argv.data());
      _exit(127);
    }
    close(file);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (_url.empty() && std::chrono::steady_clock::now() < until) {
      ReadOutput();
      size_t at = _output.find("http://127.0.0.1:");
      size_t end = at == std::string::npos ? at : _output.find("/zel", at);
      if (end != std::string::npos) {
        _url = _output.substr(at, end + 4 - at);
      } else if (waitpid(_pid, &_rawStatus, WNOHANG) == _pid) {
        _pid = -1;
        _status = WIFEXITED(_rawStatus) ? WEXITSTATUS(_rawStatus) : -1;
        ReadOutput();
        return;
      } else {
        usleep(50 * 1000);
      }
    }
  }
  ~ServerProcess() {
    if (_pid > 0) {
      kill(_pid, SIGTERM);
      Wait();
    }
    unlink(_outputFile.c_str());
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  const std::string& Url() const { return _url; }
  // "http://127.0.0.1:PORT": where its pages (/readyz) are.
  std::string Base() const { return _url.substr(0, _url.size() - 4); }
  // What it printed so far.
  const std::string& Output() {
    ReadOutput();
    return _output;
  }
  int ExitStatus() const { return _status; }

 private:
  void ReadOutput() {
    std::ifstream in(_outputFile);
    _output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Wait() {
    if (_pid <= 0) return;
    int status = 0;
    waitpid(_pid, &status, 0);
    _status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    _pid = -1;
  }

  pid_t _pid = -1;
  int _rawStatus = 0;
  std::string _outputFile;
  std::string _url;
  std::string _output;
  int _status = -1;
};

}  // namespace ZelServerTest
