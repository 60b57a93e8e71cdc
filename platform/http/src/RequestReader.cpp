#include "RequestReader.h"

#include <algorithm>
#include <boost/beast/http/error.hpp>

#include "Framing.h"
#include "HeaderText.h"

namespace ZelHttp {
namespace Detail {

namespace beast = boost::beast;
namespace http = boost::beast::http;

RequestReader::RequestReader(size_t maxHeaderBytes, uint64_t maxBodyBytes)
    : _maxHeaderBytes(maxHeaderBytes),
      _maxBodyBytes(maxBodyBytes),
      _buffer(maxHeaderBytes + kReadChunk) {}

bool RequestReader::Begin() {
  _parser.emplace();
  _parser->get().body() = std::move(_spareBody);
  _parser->header_limit(static_cast<std::uint32_t>(_maxHeaderBytes));
  _parser->body_limit(_maxBodyBytes);
  _headerChecked = false;
  _lineScanned = 0;
  _chunked.reset();
  _chunkedData.clear();
  return _buffer.size() > 0;
}

boost::asio::mutable_buffer RequestReader::Room() {
  size_t room = std::min(kReadChunk, _buffer.max_size() - _buffer.size());
  if (room == 0) return {};
  return _buffer.prepare(room);
}

RequestReader::Outcome RequestReader::Received(size_t bytes) {
  _buffer.commit(bytes);
  return Parse();
}

RequestReader::Outcome RequestReader::ReceivedEnd() {
  if (!_parser->got_some() || _chunked) return Step::kClose;
  beast::error_code ec;
  _parser->put_eof(ec);
  return Judge(ec);
}

RequestReader::Outcome RequestReader::Parse() {
  for (;;) {
    if (_buffer.size() == 0) return Step::kNeedMore;
    if (!_parser->is_header_done()) {
      // Only what may be header is looked at: the same bytes, however they
      // arrived.
      std::string_view header = Text().substr(0, _maxHeaderBytes);
      if (const char* fault = HeaderLineFault(header, _lineScanned)) {
        return {Step::kRefuse, 400, fault};
      }
      // The parser gets the header whole and nothing after it: given part
      // of one, or bytes beyond it, it judges a bad request line now or
      // later depending on how the bytes arrived.
      if (_lineScanned != std::string_view::npos) {
        if (_buffer.size() >= _maxHeaderBytes) return Judge(http::error::header_limit);
        return Step::kNeedMore;
      }
      size_t headerBytes = header.find("\r\n\r\n") + 4;
      beast::error_code ec;
      size_t used = _parser->put(boost::asio::buffer(_buffer.data().data(), headerBytes), ec);
      _buffer.consume(used);
      if (ec == http::error::need_more) {
        return {Step::kRefuse, 400, "not an HTTP request: the header does not read"};
      }
      Outcome outcome = Judge(ec);
      if (outcome.step != Step::kNeedMore) return outcome;
      continue;
    }
    if (_chunked) {
      _buffer.consume(_chunked->Read(Text(), _chunkedData));
      if (_chunked->Refused()) return {Step::kRefuse, _chunked->Status(), _chunked->Reason()};
      return _chunked->Done() ? Step::kRequest : Step::kNeedMore;
    }
    beast::error_code ec;
    size_t used = _parser->put(_buffer.data(), ec);
    _buffer.consume(used);
    if (ec == http::error::need_more) {
      if (_buffer.size() == _buffer.max_size()) return Judge(http::error::buffer_overflow);
      return Step::kNeedMore;
    }
    Outcome outcome = Judge(ec);
    if (outcome.step != Step::kNeedMore) return outcome;
  }
}

// What the parser's state after a step means: an error, a header to check, a
// whole request, or more to read (kNeedMore: parse on).
RequestReader::Outcome RequestReader::Judge(beast::error_code ec) {
  if (ec) {
    if (ec == http::error::body_limit) return {Step::kRefuse, 413, "body over the limit"};
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      return {Step::kRefuse, 431, "headers over the limit"};
    }
    if (ec == http::error::end_of_stream || ec == http::error::partial_message ||
        ec.category() != http::make_error_code(http::error::bad_method).category()) {
      return Step::kClose;
    }
    return {Step::kRefuse, 400, "not an HTTP request: " + ec.message()};
  }
  if (_parser->is_header_done() && !_headerChecked) {
    _headerChecked = true;
    const HttpRequest& request = _parser->get();
    if (auto refusal = CheckFraming(request, _parser->chunked())) {
      return {Step::kRefuse, refusal->status, refusal->reason};
    }
    if (!IsIdentityEncoding(request[http::field::content_encoding])) {
      return {Step::kRefuse, 415, "bodies with a Content-Encoding are not accepted"};
    }
    if (_parser->chunked()) _chunked.emplace(_maxBodyBytes, _maxHeaderBytes);
    if (Lower(request[http::field::expect]) == "100-continue" && !_parser->is_done()) {
      return Step::kSendContinue;
    }
  }
  if (_parser->is_done() && !_chunked) return Step::kRequest;
  return Step::kNeedMore;
}

HttpRequest RequestReader::Release() {
  HttpRequest request = _parser->release();
  if (_chunked) {
    request.body() = std::move(_chunkedData);
    _chunked.reset();
    _chunkedData = std::string();
  }
  _parser.reset();
  return request;
}

void RequestReader::Recycle(std::string body) {
  body.clear();
  if (body.capacity() <= kKeptBodyBytes) _spareBody = std::move(body);
}

const HttpRequest* RequestReader::Partial() const { return _parser ? &_parser->get() : nullptr; }

void RequestReader::Discard() {
  _parser.reset();
  _chunked.reset();
  _chunkedData = std::string();
  _buffer.consume(_buffer.size());
}

void RequestReader::Shrink() {
  if (_buffer.capacity() > _buffer.size() + 2 * kReadChunk) _buffer.shrink_to_fit();
}

std::string_view RequestReader::Text() const {
  auto data = _buffer.data();
  return std::string_view(static_cast<const char*>(data.data()), data.size());
}

}  // namespace Detail
}  // namespace ZelHttp
