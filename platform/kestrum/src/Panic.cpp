#include <Kestrum/Panic.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace Kestrum {

void Panic(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
  std::fflush(stderr);
  std::abort();
}

}  // namespace Kestrum
