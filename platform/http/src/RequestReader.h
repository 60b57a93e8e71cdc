// Reads the requests of one connection from its bytes, without doing any I/O:
// the connection reads into Room() and says what came; the reader says what
// to do next. A header's raw lines are checked before the parser folds them,
// its framing once it has been read, the body under its limit. Bytes of
// pipelined requests stay buffered for the next one.
#pragma once

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ChunkedBody.h"
#include "RequestAnswer.h"

namespace ZelHttp {
namespace Detail {

class RequestReader {
 public:
  // What the connection does next.
  enum class Step {
    kNeedMore,      // read more bytes into Room()
    kSendContinue,  // write "100 Continue", then call Continued()
    kRequest,       // a whole request is read: Release() it
    kRefuse,        // answer status and reason, then close
    kClose,         // close without an answer (the peer left or broke off)
  };
  struct Outcome {
    Outcome(Step step) : step(step) {}  // NOLINT: a step alone reads as an outcome
    Outcome(Step step, int status, std::string reason)
        : step(step), status(status), reason(std::move(reason)) {}
    Step step;
    int status = 0;
    std::string reason;
  };

  // Bytes read at once into Room() at most.
  static constexpr size_t kReadChunk = 64 * 1024;

  RequestReader(size_t maxHeaderBytes, uint64_t maxBodyBytes);

  // Starts reading the next request. Returns whether bytes of it are
  // buffered already (pipelined); then Received(0) parses them.
  bool Begin();
  // Where the next read puts its bytes; empty when the buffer is full.
  boost::asio::mutable_buffer Room();
  // bytes were read into Room().
  Outcome Received(size_t bytes);
  // The peer closed its sending side.
  Outcome ReceivedEnd();
  // The interim answer asked for by "Expect: 100-continue" was sent.
  Outcome Continued() { return Parse(); }

  // The request read (after kRequest).
  HttpRequest Release();
  // A body buffer to read the next request's body into, keeping its memory
  // from call to call; one over kKeptBodyBytes is let go instead.
  void Recycle(std::string body);
  // What has been read of the current request, for a log; null when nothing.
  const HttpRequest* Partial() const;
  // Forgets the current request and every byte buffered (after a refusal).
  void Discard();

  // Bytes the buffer holds (whether a request has started) and its capacity.
  size_t Buffered() const { return _buffer.size(); }
  size_t Capacity() const { return _buffer.capacity(); }
  // Gives back buffer memory well beyond what is buffered.
  void Shrink();

 private:
  Outcome Parse();
  Outcome Judge(boost::beast::error_code ec);
  std::string_view Text() const;

  const size_t _maxHeaderBytes;
  const uint64_t _maxBodyBytes;
  boost::beast::flat_buffer _buffer;
  std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> _parser;
  bool _headerChecked = false;
  // How far the lines of the header being read have been checked.
  size_t _lineScanned = 0;
  // A chunked body is read here rather than by the parser, whose reading of
  // chunk extensions depends on how the bytes arrived.
  std::optional<ChunkedBody> _chunked;
  std::string _chunkedData;
  std::string _spareBody;
};

}  // namespace Detail
}  // namespace ZelHttp
