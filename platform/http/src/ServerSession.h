// One connection of the server: reads a request under the header, body and
// time limits, has it answered on the handler pool, writes the answer, and
// reads the next request (kept alive, pipelined requests in order). Plain
// TCP or TLS by the stream type. Every step runs on the connection's I/O
// thread (IoThreads.h).
// What the bytes read mean is the request reader's to say (RequestReader.h).
#pragma once

#include <ZelHttp/HttpServer.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "ConnectionTable.h"
#include "RequestAnswer.h"
#include "RequestReader.h"

namespace ZelHttp {
namespace Detail {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = boost::asio::ip::tcp;

template <class Stream>
class ServerSession : public Closable, public std::enable_shared_from_this<ServerSession<Stream>> {
 public:
  static constexpr bool kTls = !std::is_same_v<Stream, tcp::socket>;

  ServerSession(ServerContext& context, uint64_t id, std::string peer, Stream stream)
      : _context(context),
        _id(id),
        _peer(std::move(peer)),
        _stream(std::move(stream)),
        _timer(_stream.get_executor()),
        _reader(context.settings.maxHeaderBytes, context.settings.maxBodyBytes) {}
  ~ServerSession() override { _context.table.Remove(_id); }

  void Start() {
    net::post(_stream.get_executor(), [self = this->shared_from_this()] { self->Begin(); });
  }
  void Close() override {
    net::post(_stream.get_executor(), [self = this->shared_from_this()] { self->CloseSocket(); });
  }
  void Drain() override {
    net::post(_stream.get_executor(), [self = this->shared_from_this()] {
      if (self->_state != State::kHandling && self->_state != State::kWriting) self->CloseSocket();
    });
  }

 private:
  enum class State { kHandshake, kIdle, kReading, kHandling, kWriting, kClosed };
  static constexpr size_t kReadChunk = RequestReader::kReadChunk;

  void Begin() {
    if constexpr (kTls) {
      _state = State::kHandshake;
      SetDeadline(_context.settings.readTimeout);
      _stream.async_handshake(net::ssl::stream_base::server,
                              [self = this->shared_from_this()](beast::error_code ec) {
                                if (ec) return self->HandshakeFailed(ec);
                                self->ReadRequest();
                              });
    } else {
      // Lets Write() send on the socket at once and learn when it is full.
      beast::error_code ignored;
      _stream.non_blocking(true, ignored);
      ReadRequest();
    }
  }

  // Logged (no HTTP answer is possible) unless the server closed it.
  void HandshakeFailed(beast::error_code ec) {
    if (_state != State::kClosed && ec != net::error::operation_aborted) {
      LogRefusedConnection(_context, _peer, 0, "TLS handshake failed: " + ec.message());
    }
    CloseSocket();
  }

  void ReadRequest() {
    if (_context.stopping || _state == State::kClosed) return CloseSocket();
    if (_reader.Begin()) {
      StartRequestClock();
      return Follow(_reader.Received(0));
    }
    _state = State::kIdle;
    _context.table.SetIdle(_id, true);
    SetDeadline(_context.settings.idleTimeout);
    ReadSome();
  }

  // The first byte of a request came: the whole of it must come in time.
  void StartRequestClock() {
    _state = State::kReading;
    _context.table.SetIdle(_id, false);
    _started = std::chrono::steady_clock::now();
    SetDeadline(_context.settings.readTimeout);
  }

  void ReadSome() {
    auto room = _reader.Room();
    _stream.async_read_some(room,
                            [self = this->shared_from_this()](beast::error_code ec, size_t bytes) {
                              self->OnBytes(ec, bytes);
                            });
  }

  void OnBytes(beast::error_code ec, size_t bytes) {
    if (_state == State::kClosed) return;
    if (_state == State::kIdle && bytes > 0) StartRequestClock();
    if (ec == net::error::eof) {
      if (bytes > 0) {
        RequestReader::Outcome outcome = _reader.Received(bytes);
        if (outcome.step != RequestReader::Step::kNeedMore) return Follow(std::move(outcome));
      }
      return Follow(_reader.ReceivedEnd());
    }
    if (ec) return CloseSocket();
    Follow(_reader.Received(bytes));
  }

  // Does what the reader says comes next.
  void Follow(RequestReader::Outcome outcome) {
    switch (outcome.step) {
      case RequestReader::Step::kNeedMore:
        return ReadSome();
      case RequestReader::Step::kSendContinue: {
        static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        net::async_write(_stream, net::buffer(kContinue),
                         [self = this->shared_from_this()](beast::error_code ec, size_t) {
                           if (ec) return self->CloseSocket();
                           self->Follow(self->_reader.Continued());
                         });
        return;
      }
      case RequestReader::Step::kRequest:
        return Dispatch();
      case RequestReader::Step::kRefuse:
        return Refuse(outcome.status, outcome.reason);
      case RequestReader::Step::kClose:
        return CloseSocket();
    }
  }

  // Answers the request here when the server says calls do not wait, else
  // hands it to the handler pool and the answer comes back here. The
  // request and the answer are the connection's own, kept from call to
  // call: while a call is answered the connection does nothing else, and
  // the posts between the threads order their use.
  void Dispatch() {
    _state = State::kHandling;
    ClearDeadline();
    _request = _reader.Release();
    if (_context.settings.answerInline && _context.settings.answerInline()) {
      return Answer() ? Write() : ResetSocket();
    }
    net::post(_context.handlers.Executor(), [self = this->shared_from_this()] {
      bool answered = self->Answer();
      net::post(self->_stream.get_executor(),
                [self, answered] { return answered ? self->Write() : self->ResetSocket(); });
    });
  }

  // Fills the answer to the request; false when the handler asked for the
  // connection to be reset instead. The request's body buffer goes back to
  // the reader for the next request.
  bool Answer() {
    StartResponse();
    bool large = _request.body().size() >= kLargeBytes;
    bool answered = AnswerRequest(_context, _peer, _started, _request, _response);
    _reader.Recycle(std::move(_request.body()));
    _request = HttpRequest();
    // On this thread: the values of a large call were made and freed here.
    if (large || _response.body().size() >= kLargeBytes) GiveBackMemory();
    return answered;
  }

  // An empty answer whose body keeps the buffer of the last one, unless
  // that was over kKeptBodyBytes.
  void StartResponse() {
    std::string body = std::move(_response.body());
    body.clear();
    if (body.capacity() > kKeptBodyBytes) body = std::string();
    _response = HttpResponse();
    _response.body() = std::move(body);
  }

  void Write() {
    if (_state == State::kClosed) return;
    _state = State::kWriting;
    SetDeadline(_context.settings.writeTimeout);
    if constexpr (kTls) {
      http::async_write(
          _stream, _response,
          [self = this->shared_from_this()](beast::error_code ec, size_t) { self->OnWrite(ec); });
    } else {
      WriteNow();
    }
  }

  // Plain TCP: the answer is written at once, as far as the socket takes
  // it. Taken whole (the usual case), the connection goes on to its next
  // request here, with no completion handler queued on the loop and so no
  // extra turn of the loop (an epoll_wait) per call; the rest of an answer
  // the socket could not take is written when it can.
  void WriteNow() {
    _serializer.emplace(_response);
    beast::error_code ec;
    http::write(_stream, *_serializer, ec);
    if (ec == net::error::would_block) {
      return http::async_write(
          _stream, *_serializer,
          [self = this->shared_from_this()](beast::error_code ec, size_t) { self->OnWrite(ec); });
    }
    OnWrite(ec, true);
  }

  // wroteNow: called from WriteNow, on the stack of the handler that read
  // the request.
  void OnWrite(beast::error_code ec, bool wroteNow = false) {
    _serializer.reset();
    if (ec) return CloseSocket();
    bool keepAlive = _response.keep_alive() && !_refused;
    bool large = _response.body().size() >= kLargeBytes || _reader.Capacity() >= kLargeBytes;
    _reader.Shrink();
    if (large || _response.body().capacity() > kKeptBodyBytes) _response = HttpResponse();
    if (large) GiveBackMemory();
    if (_refused) return Linger();
    if (!keepAlive || _context.stopping) return CloseSocket();
    // A pipelined request read already is answered from the loop rather than
    // deeper in this stack, so that a client's pipelined burst cannot nest
    // one call in another.
    if (wroteNow && _reader.Buffered() > 0) {
      return net::post(_stream.get_executor(),
                       [self = this->shared_from_this()] { self->ReadRequest(); });
    }
    ReadRequest();
  }

  // Answers from the HTTP layer itself; the connection closes after it.
  void Refuse(int status, const std::string& reason) {
    _refused = true;
    _state = State::kHandling;
    StartResponse();
    RefusalAnswer(_context, _peer, _started, _reader.Partial(), status, reason, _response);
    _reader.Discard();
    Write();
  }

  // After a refusal the peer may still be sending: stop writing, read and
  // drop what comes for a moment, so that closing does not reset the
  // connection before the peer has read the answer.
  void Linger() {
    _state = State::kWriting;
    beast::error_code ignored;
    beast::get_lowest_layer(_stream).shutdown(tcp::socket::shutdown_send, ignored);
    SetDeadline(std::chrono::seconds(2));
    DropIncoming();
  }

  void DropIncoming() {
    beast::get_lowest_layer(_stream).async_read_some(
        net::buffer(_drop), [self = this->shared_from_this()](beast::error_code ec, size_t bytes) {
          self->_dropped += bytes;
          if (ec || self->_dropped > 4 * kReadChunk) return self->CloseSocket();
          self->DropIncoming();
        });
  }

  // The connection closes when the deadline passes. The timer is armed
  // lazily: moving the deadline later (as every kept-alive call does) leaves
  // the timer as it is, and when it fires early it is armed again for the
  // deadline then. Only a deadline earlier than the armed expiry re-arms it
  // at once, so a call costs no timer syscall and no cancelled wait.
  void SetDeadline(std::chrono::steady_clock::duration duration) {
    _deadline = std::chrono::steady_clock::now() + duration;
    if (!_timerArmed || _deadline < _timer.expiry()) ArmTimer();
  }

  // No deadline while the call is answered; the armed timer, when it
  // fires, finds none and stays unarmed.
  void ClearDeadline() { _deadline = std::chrono::steady_clock::time_point::max(); }

  void ArmTimer() {
    _timerArmed = true;
    // Re-arming cancels the wait pending, whose handler then does nothing.
    _timer.expires_at(_deadline);
    _timer.async_wait([self = this->shared_from_this()](beast::error_code ec) {
      if (!ec) self->OnTimer();
    });
  }

  void OnTimer() {
    _timerArmed = false;
    if (_state == State::kClosed) return;
    if (_deadline == std::chrono::steady_clock::time_point::max()) return;
    if (std::chrono::steady_clock::now() >= _deadline) return CloseSocket();
    ArmTimer();
  }

  // Closes with a reset (RST), not an orderly close: the peer's read fails.
  void ResetSocket() {
    if (_state == State::kClosed) return;
    beast::error_code ignored;
    beast::get_lowest_layer(_stream).set_option(net::socket_base::linger(true, 0), ignored);
    _state = State::kClosed;
    _timer.cancel();
    beast::get_lowest_layer(_stream).close(ignored);
    _context.table.Remove(_id);
  }

  void CloseSocket() {
    if (_state == State::kClosed) return;
    _state = State::kClosed;
    _timer.cancel();
    beast::error_code ignored;
    auto& socket = beast::get_lowest_layer(_stream);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    _context.table.Remove(_id);
  }

  ServerContext& _context;
  const uint64_t _id;
  const std::string _peer;
  Stream _stream;
  net::steady_timer _timer;
  std::chrono::steady_clock::time_point _deadline = std::chrono::steady_clock::time_point::max();
  bool _timerArmed = false;
  RequestReader _reader;
  HttpRequest _request;
  HttpResponse _response;
  // Writes _response on plain TCP; made again for each answer.
  std::optional<http::response_serializer<http::string_body>> _serializer;
  State _state = State::kIdle;
  bool _refused = false;
  std::chrono::steady_clock::time_point _started = std::chrono::steady_clock::now();
  std::array<char, 4096> _drop{};
  size_t _dropped = 0;
};

}  // namespace Detail
}  // namespace ZelHttp
