// The phases of zel-server's start, timed from main: what `--log-level
// debug` prints once the server listens, to tell where a slow start goes
// (the time before main, the dynamic loader and static constructors, is
// what `zel-server --version` takes).
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace ZelServer {

class StartPhases {
 public:
  using Clock = std::chrono::steady_clock;

  StartPhases();
  // Ends the phase running since the previous mark (or since construction).
  void Mark(std::string name);
  // "started in 5.10 ms from main: runtime 1.20 ms, service 3.40 ms, ..."
  std::string Describe() const;

 private:
  Clock::time_point _started;
  Clock::time_point _last;
  std::vector<std::pair<std::string, Clock::duration>> _phases;
};

}  // namespace ZelServer
