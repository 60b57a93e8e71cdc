// What reading keeps per thread between messages, and its bound: the
// parser's pages and the copy of the message that is parsed in place. Both
// make the next message cheaper; neither may grow with the largest message a
// thread ever read. What a large message took beyond the bound is given back
// when it has been read, and the C library is asked to return free memory to
// the system once that comes to more than kTrimBytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

// Parser pages kept per thread; about 2 MiB.
constexpr size_t kKeptPages = 64;
// Capacity of the message copy kept per thread.
constexpr size_t kKeptCopyBytes = 1024 * 1024;
constexpr size_t kTrimBytes = 8 * 1024 * 1024;

// Installs the parser's memory functions (page cache) when the library loads.
void InstallParserMemory();

// The message copy a read parses in place: the thread's own buffer, or a
// buffer of its own while the thread's is in use (a read inside a read).
class MessageCopy {
 public:
  explicit MessageCopy(std::string_view message);
  ~MessageCopy();
  MessageCopy(const MessageCopy&) = delete;
  MessageCopy& operator=(const MessageCopy&) = delete;
  std::string& Get() { return _shared ? Buffer() : _own; }
  // The thread's own buffer.
  static std::string& Buffer();

 private:
  bool _shared = false;
  std::string _own;
};

// Gives back what a read took beyond the bound; called when a parsed
// document has been released.
void AfterRead();

// Bytes this thread keeps for the next read.
size_t KeptReaderBytes();

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
