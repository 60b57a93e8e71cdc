#include "Input.h"

#include <Kestrum/File.h>

#include <stdexcept>

namespace ZelCli {

std::string InputFiles::Read(const std::string& path) {
  if (path == "-") {
    if (_standardInputRead) {
      throw std::invalid_argument("standard input (@-) can be read for one value only");
    }
    _standardInputRead = true;
    std::string text;
    char buffer[65536];
    while (_standardInput.read(buffer, sizeof buffer) || _standardInput.gcount() > 0) {
      text.append(buffer, static_cast<size_t>(_standardInput.gcount()));
      if (text.size() > kMaxArgumentFileBytes) {
        throw std::invalid_argument("standard input is too large (over 16 MiB)");
      }
    }
    if (_standardInput.bad()) throw std::invalid_argument("cannot read standard input");
    return text;
  }
  try {
    return Kestrum::ReadFileBounded(path, kMaxArgumentFileBytes);
  } catch (const Kestrum::FileReadException& e) {
    bool tooLarge = e.GetReason() == Kestrum::FileReadException::Reason::kTooLarge;
    throw std::invalid_argument(tooLarge ? path + " is too large" : "cannot read the file " + path);
  }
}

}  // namespace ZelCli
