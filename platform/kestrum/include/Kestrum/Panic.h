// Process-ending assertions of the core library.
//
// Assertion messages name an explicit path and line ("ASSERT Kestrum/Ref:263"),
// never __FILE__/__LINE__, so that the text is stable across builds and can be
// matched by tooling.
#pragma once

namespace Kestrum {

// Formats the message (printf-style) to stderr and aborts the process.
[[noreturn]] void Panic(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace Kestrum

#define KESTRUM_ASSERT_AT(cond, path, line)               \
  do {                                                    \
    if (__builtin_expect(!(cond), 0)) {                   \
      ::Kestrum::Panic("ASSERT %s:%d\n", (path), (line)); \
    }                                                     \
  } while (0)

#define KESTRUM_NOT_REACHED_AT(path, line) ::Kestrum::Panic("NOT_REACHED %s:%d\n", (path), (line))
