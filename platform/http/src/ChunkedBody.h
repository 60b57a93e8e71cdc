// Reads a chunked request body, strictly and with limits: each chunk's size
// line is hexadecimal digits, then at most extensions (ignored) of visible
// characters, ended by CR LF and no longer than a limit; each chunk's data
// ends in CR LF; trailer lines end in CR LF and count against a limit. Its
// decisions depend only on the bytes, never on how they arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ZelHttp {
namespace Detail {

class ChunkedBody {
 public:
  // The longest chunk size line, extensions included.
  static constexpr size_t kMaxSizeLine = 1024;

  ChunkedBody(uint64_t maxBodyBytes, size_t maxTrailerBytes)
      : _left(maxBodyBytes), _maxTrailerBytes(maxTrailerBytes) {}

  // Reads what it can of bytes (what has come of the body), appending the
  // chunks' data to body; returns how many bytes it used.
  size_t Read(std::string_view bytes, std::string& body);

  bool Done() const { return _part == Part::kDone; }
  bool Refused() const { return _status != 0; }
  // The refusal's status (400, 413, 431) and reason.
  int Status() const { return _status; }
  const std::string& Reason() const { return _reason; }

 private:
  enum class Part { kSizeLine, kData, kDataEnd, kTrailer, kDone };

  // The size line's chunk size, or a refusal.
  bool ReadSizeLine(std::string_view line, uint64_t& size);
  void Refuse(int status, std::string reason);

  Part _part = Part::kSizeLine;
  uint64_t _left;           // body bytes still allowed
  uint64_t _chunkLeft = 0;  // data bytes of the current chunk still to come
  size_t _maxTrailerBytes;
  size_t _trailerBytes = 0;
  int _status = 0;
  std::string _reason;
};

}  // namespace Detail
}  // namespace ZelHttp
