// The server side of HTTP: serves wire requests POSTed to one path and hands
// each to a handler (a dispatcher, an endpoint) on a bounded pool of handler
// threads, so that a slow handler never holds up the connections' I/O.
// Requests that are not SOAP messages get an HTTP error: 404 for another
// path, 405 for another method, 415 for another content type or a body with
// a Content-Encoding, 413 for a body over the limit (whatever its framing),
// 431 for headers over the limit, 400 for bytes that are not HTTP. The
// server keeps serving after any of them.
//
// Limits that hold whatever a peer does: the decoded body, the header
// block, the time a whole request may take to arrive, the time a kept-alive
// connection may sit idle, connections in all and per peer address (an idle
// kept-alive connection is closed to make room for a new one). Requests
// pipelined on one connection are answered in order. Each answer goes out in
// one write with TCP_NODELAY set. Built on Boost.Beast over Asio; TLS
// through OpenSSL when a certificate and key are given.
#pragma once

#include <Lumo/Wire/Transport.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Lumo {
namespace Wire {
struct CallInfo;
}  // namespace Wire
}  // namespace Lumo

namespace ZelHttp {

// One answered request, for a request log. The request and response are
// null when the HTTP layer answered by itself (a refusal).
struct RequestRecord {
  std::string peer;
  std::string httpMethod;
  std::string target;
  // The status answered; 0 when none could be (a failed TLS handshake).
  int status = 0;
  std::chrono::microseconds duration{0};
  const Lumo::Wire::TransportRequest* request = nullptr;
  const Lumo::Wire::TransportResponse* response = nullptr;
  // What the handler recorded about the call (Lumo/Wire/Dispatcher.h): set
  // with the request, filled in by a CallHandler.
  const Lumo::Wire::CallInfo* call = nullptr;
  // Why the HTTP layer refused, for a refusal ("body over the limit").
  std::string refusal;
  // With HttpServerSettings::logBodies, a call's body as received (the
  // handler may have read the request's body in place since).
  std::string requestBody;
};

// Thrown by a handler to reset the connection instead of answering: the
// peer sees the connection fail (RST), as when a server dies mid-call.
class ResetConnection : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Thrown by a handler to answer with an HTTP error of its own instead of a
// SOAP message: the status and the text, as text/plain.
class HttpError : public std::runtime_error {
 public:
  HttpError(int status, const std::string& text) : std::runtime_error(text), _status(status) {}
  int GetStatus() const { return _status; }

 private:
  int _status;
};

// A request that is not a call, as a page handler sees it.
struct PageRequest {
  std::string method;  // "GET", "HEAD", "POST", ...
  std::string target;
  std::string body;
  // Every header field as received, in order, names as sent.
  std::vector<std::pair<std::string, std::string>> headers;
  // The values of the fields named so (in any case), in order.
  std::vector<std::string> Values(const std::string& name) const;
};

// A page handler's answer.
struct Page {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::string body;
};

struct HttpServerSettings {
  // The address to listen on: "127.0.0.1" (the default), "::1", "0.0.0.0",
  // "::" or any local address.
  std::string host = "127.0.0.1";
  // 0: an ephemeral port, chosen by the system.
  int port = 0;
  std::string path = "/zel";
  // The body after any transfer framing (chunks count as they decode).
  size_t maxBodyBytes = 8u * 1024u * 1024u;
  // The request line and headers together.
  size_t maxHeaderBytes = 16u * 1024u;
  // The time a whole request (headers and body) may take to arrive, from
  // its first byte; a TLS handshake gets as long.
  std::chrono::seconds readTimeout{10};
  // The time an answer may take to be written.
  std::chrono::seconds writeTimeout{10};
  // The time a kept-alive connection may wait for its next request.
  std::chrono::seconds idleTimeout{30};
  size_t maxConnections = 1024;
  size_t maxConnectionsPerPeer = 256;
  // The listen backlog (the kernel caps it at net.core.somaxconn).
  int backlog = 1024;
  // Threads reading and writing the connections; 0: one per core.
  int ioThreads = 0;
  // Threads running the handler: at most this many requests are handled at
  // once; the others wait their turn.
  int handlerThreads = 8;
  // On Stop: the time calls in flight are given to finish.
  std::chrono::seconds drainTimeout{30};
  // TLS: PEM files of the server's certificate (chain) and private key.
  // Both empty: plain HTTP.
  std::string tlsCertificateFile;
  std::string tlsKeyFile;
  // Answers GET requests for any target: true with the content type and
  // body to send, false for 404. Unset: GET is refused with 405 on the path
  // and 404 elsewhere. Runs on a handler thread.
  std::function<bool(const std::string& target, std::string& contentType, std::string& body)>
      getHandler;
  // As getHandler, for a handler that reads the request's headers or
  // answers another status; when set, getHandler is not asked. It is asked
  // for GET and HEAD on any target, and for every other method on targets
  // outside path; false answers 404.
  std::function<bool(const PageRequest& request, Page& page)> pageHandler;
  // Whether a call read now may be answered on the I/O thread that read it,
  // saving the hop to a handler thread and back: true only while no call
  // waits (on a store, a provider, a timer), for a waiting call would hold
  // up every connection of its I/O thread. Asked for each call; unset:
  // every call goes to the handler threads.
  std::function<bool()> answerInline;
  // Keeps each call's request body for the request log (RequestRecord::
  // requestBody): a copy per call, for debugging.
  bool logBodies = false;
  // Called once for every answered request, on the thread that answered it,
  // and for every connection refused as one too many (status 503, no
  // method or target).
  std::function<void(const RequestRecord&)> requestLog;
};

using RequestHandler =
    std::function<void(const Lumo::Wire::TransportRequest&, Lumo::Wire::TransportResponse&)>;
// A handler that owns the request it is given (it may read the body in
// place) and records what it learned about the call for the request log.
using CallHandler = std::function<void(Lumo::Wire::TransportRequest&,
                                       Lumo::Wire::TransportResponse&, Lumo::Wire::CallInfo&)>;

class HttpServer {
 public:
  HttpServer(RequestHandler handler, const HttpServerSettings& settings = HttpServerSettings());
  HttpServer(CallHandler handler, const HttpServerSettings& settings = HttpServerSettings());
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the port and serves on threads of the server's own. Throws
  // std::runtime_error when the port cannot be bound (in use, no
  // permission) or the TLS files cannot be loaded, and std::invalid_argument
  // for a host that is not an IP address.
  void Start();
  // Stops accepting, closes idle connections, lets the calls in flight
  // finish and answer (at most drainTimeout), then stops the threads.
  // Idempotent.
  void Stop();

  int GetPort() const { return _port; }
  // "http://127.0.0.1:PORT/zel" ("https://" with TLS; a wildcard address
  // shows as the loopback address).
  std::string GetUrl() const;
  // Connections open right now.
  size_t GetConnectionCount() const;

  struct Impl;

 private:
  CallHandler _handler;
  HttpServerSettings _settings;
  std::unique_ptr<Impl> _impl;
  int _port = 0;
};

}  // namespace ZelHttp
