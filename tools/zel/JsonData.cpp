#include "JsonData.h"

#include <Kestrum/File.h>

#include <stdexcept>

#include "Arguments.h"

namespace ZelCli {

std::string ReadDataOption(const std::string& value, std::istream& in) {
  if (value.empty() || value[0] != '@') return value;
  if (value == "@-") {
    std::string text;
    char buffer[64 * 1024];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      text.append(buffer, static_cast<size_t>(in.gcount()));
      if (text.size() > kMaxArgumentFileBytes) {
        throw std::invalid_argument("the standard input holds more than " +
                                    std::to_string(kMaxArgumentFileBytes) + " bytes");
      }
    }
    return text;
  }
  std::string path = value.substr(1);
  try {
    return Kestrum::ReadFileBounded(path, kMaxArgumentFileBytes);
  } catch (const Kestrum::FileReadException& e) {
    bool tooLarge = e.GetReason() == Kestrum::FileReadException::Reason::kTooLarge;
    throw std::invalid_argument(tooLarge ? path + " is too large" : "cannot read " + path);
  }
}

}  // namespace ZelCli
