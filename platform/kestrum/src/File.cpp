#include <Kestrum/File.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace Kestrum {

FileReadException::FileReadException(Reason reason, const std::string& path, size_t maxBytes,
                                     std::string&& message)
    : Exception(std::move(message)), _reason(reason), _path(path), _maxBytes(maxBytes) {}
FileReadException::FileReadException(const FileReadException& other) = default;
FileReadException::~FileReadException() = default;

Exception* FileReadException::Clone() const { return new FileReadException(*this); }

void FileReadException::Throw() const { throw FileReadException(*this); }

namespace {

[[noreturn]] void CannotRead(const std::string& path, size_t maxBytes, int error) {
  using Reason = FileReadException::Reason;
  Reason reason = error == ENOENT ? Reason::kMissing : Reason::kUnreadable;
  throw FileReadException(reason, path, maxBytes,
                          "cannot read the file " + path + ": " + std::strerror(error));
}

}  // namespace

std::string ReadFileBounded(const std::string& path, size_t maxBytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) CannotRead(path, maxBytes, errno);
  // One byte past the limit tells an oversized file from one of exactly the limit.
  std::string text(maxBytes + 1, '\0');
  size_t read = std::fread(text.data(), 1, text.size(), file.get());
  if (std::ferror(file.get())) CannotRead(path, maxBytes, errno);
  if (read > maxBytes) {
    throw FileReadException(
        FileReadException::Reason::kTooLarge, path, maxBytes,
        "the file " + path + " is larger than " + std::to_string(maxBytes) + " bytes");
  }
  text.resize(read);
  return text;
}

}  // namespace Kestrum
