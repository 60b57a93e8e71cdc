// What reading keeps between messages, and its bounds: the parser's pages
// and the copy of the message that is parsed in place. Both make the next
// message cheaper; neither may grow with the largest message read or with
// the number of threads that read. Each thread keeps a few pages and a small
// copy; pages beyond that go to a pool shared by all threads, bounded for the
// process; what exceeds both is given back when the message has been read,
// and the C library is asked to return free memory to the system once that
// comes to more than kTrimBytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Lumo {
namespace Wire {
namespace Detail {

// Parser pages kept per thread (about 2 MiB) and in the shared pool (about
// 32 MiB).
constexpr size_t kKeptPages = 64;
constexpr size_t kSharedPages = 1024;
// Capacity of the message copy kept per thread, and of the one larger copy
// kept for the process.
constexpr size_t kKeptCopyBytes = 1024 * 1024;
constexpr size_t kSharedCopyBytes = 16 * 1024 * 1024;
constexpr size_t kTrimBytes = 8 * 1024 * 1024;
// What a thread keeps when told to give memory back.
constexpr size_t kIdlePages = 8;
constexpr size_t kIdleCopyBytes = 64 * 1024;

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
// Bytes in the shared pool (pages and the larger copy).
size_t SharedReaderBytes();
// Frees the shared pool and what the calling thread keeps beyond
// kIdlePages and kIdleCopyBytes, and trims the C heap.
void FreeSharedReaderMemory();

}  // namespace Detail
}  // namespace Wire
}  // namespace Lumo
