// The -d option of `zel call`: the call's arguments as one JSON object,
// parameter name -> value, given inline, from a file (@FILE) or from the
// standard input (@-).
#pragma once

#include <istream>
#include <string>

namespace ZelCli {

// The JSON text the option names. Throws std::invalid_argument for a file
// that cannot be read or input larger than kMaxArgumentFileBytes.
std::string ReadDataOption(const std::string& value, std::istream& in);

}  // namespace ZelCli
