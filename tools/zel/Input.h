// What zel reads for a value given as @FILE or @- (standard input): whole,
// up to a limit, and standard input once only, since it cannot be read again.
#pragma once

#include <istream>
#include <string>

namespace ZelCli {

// Larger files and inputs are refused.
inline constexpr size_t kMaxArgumentFileBytes = 16 * 1024 * 1024;

class InputFiles {
 public:
  explicit InputFiles(std::istream& standardInput) : _standardInput(standardInput) {}

  // The content of the file at path, or of standard input for "-". Throws
  // std::invalid_argument naming the file for an unreadable or too large
  // one, and for standard input asked for a second time.
  std::string Read(const std::string& path);

 private:
  std::istream& _standardInput;
  bool _standardInputRead = false;
};

}  // namespace ZelCli
