// A strict reader of one HTTP/1.x request's raw bytes, written apart from the
// server's reader so that the fuzz target can hold the two against each other.
#pragma once

#include <string>
#include <string_view>

namespace ZelHttpFuzz {

// Empty when raw is exactly one request whose body is body, framed
// unambiguously; else what is wrong with it.
std::string CheckRawRequest(std::string_view raw, std::string_view body);

}  // namespace ZelHttpFuzz
