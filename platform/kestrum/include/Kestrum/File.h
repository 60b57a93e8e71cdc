// Reading a whole file of bounded size.
#pragma once

#include <Kestrum/Exception.h>

#include <cstddef>
#include <string>

namespace Kestrum {

// A file that could not be read whole: why, which and the limit it was read under.
class FileReadException : public Exception {
 public:
  enum class Reason { kMissing, kUnreadable, kTooLarge };

  FileReadException(Reason reason, const std::string& path, size_t maxBytes, std::string&& message);
  FileReadException(const FileReadException& other);
  ~FileReadException() override;

  Exception* Clone() const override;
  [[noreturn]] void Throw() const override;

  Reason GetReason() const { return _reason; }
  const std::string& GetPath() const { return _path; }
  size_t GetMaxBytes() const { return _maxBytes; }

 private:
  Reason _reason;
  std::string _path;
  size_t _maxBytes;
};

// The bytes of the file at path, which may hold at most maxBytes of them. No
// more than maxBytes + 1 bytes are read. Throws FileReadException when the
// file does not exist, cannot be read (a directory, no permission, an I/O
// error) or is larger than maxBytes.
std::string ReadFileBounded(const std::string& path, size_t maxBytes);

}  // namespace Kestrum
