#include "StartPhases.h"

#include <cstdio>

namespace ZelServer {

namespace {

std::string Milliseconds(StartPhases::Clock::duration elapsed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f ms",
                std::chrono::duration<double, std::milli>(elapsed).count());
  return text;
}

}  // namespace

StartPhases::StartPhases() : _started(Clock::now()), _last(_started) {}

void StartPhases::Mark(std::string name) {
  Clock::time_point now = Clock::now();
  _phases.emplace_back(std::move(name), now - _last);
  _last = now;
}

std::string StartPhases::Describe() const {
  std::string text = "started in " + Milliseconds(_last - _started) + " from main";
  const char* separator = ": ";
  for (const auto& [name, elapsed] : _phases) {
    text += separator + name + " " + Milliseconds(elapsed);
    separator = ", ";
  }
  return text;
}

}  // namespace ZelServer
